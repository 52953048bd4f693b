#pragma once

#include "TextScanner.h"
#include "Value.h"

#include <QString>

namespace PrivateKyJSONAdditions {

// The JSON reader: a lenient recursive-descent parser made of scanning
// operations on the text scanner. Each operation gives a success flag and, on
// success, its value through the out-parameter; a failed operation may leave
// the position past what it looked at (only the token scans and the number
// scan restore it).
//
// Leniencies kept on purpose: members and elements need no comma between
// them, a comma after the last one is accepted, a member or element whose scan
// fails is dropped when the closing bracket follows where that scan stopped,
// "\/" is kept as both characters, and \u escapes take upper-case hex digits
// only.
//
// At most kMaxDepth containers nest; deeper text makes every scan fail and
// exceededDepth() true, and the entry point then gives no value.
class KyJSONScanner : public TextScanner {
public:
    static constexpr int kMaxDepth = 512;

    explicit KyJSONScanner(const QString &text) : TextScanner(text) {}

    bool scanJSONObject(Value &dictionary);
    bool scanJSONArray(Value &array);
    bool scanJSONValue(Value &value);
    bool scanJSONNumber(Value &number);
    bool scanJSONString(QString &string);
    bool scanJSONString(Value &string);

    bool scanJSONWhiteSpace() { return skipWhitespace(); }

    bool scanJSONObjectStartString();
    bool scanJSONObjectEndString();
    bool scanJSONArrayStartString();
    bool scanJSONArrayEndString();
    bool scanJSONKeyValueSeparator();
    bool scanJSONValueSeparator();
    bool scanJSONStringDelimiterString();

    bool exceededDepth() const { return m_exceededDepth; }

private:
    bool scanWord(QStringView word);
    bool enterContainer();

    QString m_buffer; // reused while decoding literals with escapes
    int m_depth = 0;
    bool m_exceededDepth = false;
};

} // namespace PrivateKyJSONAdditions
