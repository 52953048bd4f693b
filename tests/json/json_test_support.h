#pragma once
// Helpers shared by the JSON, value tree and text scanner tests.
#include "Value.h"

#include <QString>

#include <initializer_list>
#include <memory>
#include <utility>

namespace jsontest {

inline Value dict(std::initializer_list<std::pair<const char *, Value>> members)
{
    Value d = Value::dictionary();
    for (const auto &[key, value] : members)
        d.insert(QString::fromUtf8(key), value);
    return d;
}

inline Value array(std::initializer_list<Value> elements)
{
    Value a = Value::array();
    for (const Value &e : elements)
        a.append(e);
    return a;
}

inline Value str(const char *text) { return Value::string(QString::fromUtf8(text)); }
inline Value dec(const char16_t *text) { return Value::decimal(*Decimal::fromString(text)); }

// A dictionary holding containers `depth` deep in all: pairs of arrays and
// pairs of dictionaries take turns, so each kind sits inside both kinds.
inline Value nested(int depth)
{
    Value root = Value::dictionary(), cursor = root;
    for (int level = 2; level <= depth; ++level) {
        Value next = level % 4 < 2 ? Value::dictionary() : Value::array();
        cursor.isArray() ? cursor.append(next) : cursor.insert(QStringLiteral("k"), next);
        cursor = next;
    }
    return root;
}

// A text whose code units sit in a heap block of exactly their size, so that
// AddressSanitizer reports any read past its end.
class ExactText {
public:
    explicit ExactText(QStringView text)
        : m_units(std::make_unique<char16_t[]>(size_t(text.size()) + 1))
    {
        std::copy(text.utf16(), text.utf16() + text.size(), m_units.get() + 1);
        m_text = QString::fromRawData(reinterpret_cast<QChar *>(m_units.get() + 1), text.size());
    }
    const QString &text() const { return m_text; }

private:
    std::unique_ptr<char16_t[]> m_units;
    QString m_text;
};

} // namespace jsontest
