#pragma once
// Helpers shared by the JSON tests.
#include "Value.h"

#include <QString>

#include <cstdio>
#include <initializer_list>
#include <memory>
#include <ostream>
#include <string>
#include <utility>

// A text as one line of ASCII for test messages: controls and non-ASCII code
// units as \uXXXX.
inline std::string printable(QStringView text)
{
    std::string out;
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (u >= 0x20 && u < 0x7f) {
            out.push_back(char(u));
        } else {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\u%04X", unsigned(u));
            out += buffer;
        }
    }
    return out;
}

// Readable QStrings in test failure messages.
inline void PrintTo(const QString &text, std::ostream *os) { *os << '"' << printable(text) << '"'; }

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

// A text whose code units sit in a heap block of exactly their size, so that
// AddressSanitizer reports any read past its end.
class ExactText {
public:
    explicit ExactText(QStringView text)
        : m_units(std::make_unique<char16_t[]>(size_t(text.size() ? text.size() : 1)))
        , m_size(text.size())
    {
        std::copy(text.utf16(), text.utf16() + text.size(), m_units.get());
        m_text = QString::fromRawData(reinterpret_cast<const QChar *>(m_units.get()), m_size);
    }
    const QString &text() const { return m_text; }

private:
    std::unique_ptr<char16_t[]> m_units;
    qsizetype m_size;
    QString m_text;
};

} // namespace jsontest
