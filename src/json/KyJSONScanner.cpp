#include "KyJSONScanner.h"

#include "KyJSONAdditions.h"

namespace PrivateKyJSONAdditions {

// Token scans: whitespace may stand before every token; a token that is not
// there consumes nothing.
bool KyJSONScanner::scanJSONObjectStartString() { return scanString(jsonObjectStartString); }
bool KyJSONScanner::scanJSONObjectEndString() { return scanString(jsonObjectEndString); }
bool KyJSONScanner::scanJSONArrayStartString() { return scanString(jsonArrayStartString); }
bool KyJSONScanner::scanJSONArrayEndString() { return scanString(jsonArrayEndString); }
bool KyJSONScanner::scanJSONKeyValueSeparator() { return scanString(jsonKeyValueSeparatorString); }
bool KyJSONScanner::scanJSONValueSeparator() { return scanString(jsonValueSeparatorString); }
bool KyJSONScanner::scanJSONStringDelimiterString() { return scanString(jsonStringDelimiterString); }

bool KyJSONScanner::enterContainer()
{
    if (m_depth >= kMaxDepth) {
        m_exceededDepth = true;
        return false;
    }
    ++m_depth;
    return true;
}

bool KyJSONScanner::scanJSONObject(Value &dictionary)
{
    if (m_exceededDepth || !scanJSONObjectStartString())
        return false;
    if (!enterContainer())
        return false;
    Value members = Value::dictionary();
    QString key;
    scanJSONWhiteSpace();
    for (;;) {
        if (!scanJSONString(key) || !scanJSONKeyValueSeparator())
            break;
        Value value;
        if (!scanJSONValue(value))
            break;
        members.insert(key, value); // an equal key's value is replaced: the last one wins
        scanJSONWhiteSpace();
        if (m_location < m_length && m_data[m_location] == u',')
            scanJSONValueSeparator();
    }
    --m_depth;
    if (m_exceededDepth || !scanJSONObjectEndString())
        return false;
    dictionary = std::move(members);
    return true;
}

bool KyJSONScanner::scanJSONArray(Value &array)
{
    if (m_exceededDepth)
        return false;
    // Reached only from the value dispatch, which has seen the "[".
    scanJSONArrayStartString();
    if (!enterContainer())
        return false;
    Value elements = Value::array();
    for (;;) {
        Value value;
        if (!scanJSONValue(value))
            break;
        elements.append(value);
        scanJSONWhiteSpace();
        if (m_location < m_length && m_data[m_location] == u',')
            scanJSONValueSeparator();
    }
    --m_depth;
    if (m_exceededDepth || !scanJSONArrayEndString())
        return false;
    array = std::move(elements);
    return true;
}

bool KyJSONScanner::scanWord(QStringView word)
{
    const qsizetype n = word.size();
    if (m_length - m_location < n || QStringView(m_data + m_location, n) != word)
        return false;
    m_location += n;
    return true;
}

bool KyJSONScanner::scanJSONValue(Value &value)
{
    if (m_exceededDepth)
        return false;
    scanJSONWhiteSpace();
    if (m_location >= m_length)
        return false;
    const char16_t c = m_data[m_location];
    if (c == u'"')
        return scanJSONString(value);
    if (c == u'{')
        return scanJSONObject(value);
    if (c == u'[')
        return scanJSONArray(value);
    // Words are case-sensitive; what follows a word is left to the container.
    if (scanWord(jsonTrueString)) {
        value = Value::boolean(true);
        return true;
    }
    if (scanWord(jsonFalseString)) {
        value = Value::boolean(false);
        return true;
    }
    if (scanWord(jsonNullString)) {
        value = Value::null();
        return true;
    }
    if (c == u'-' || isDecimalDigit(c))
        return scanJSONNumber(value);
    return false;
}

bool KyJSONScanner::scanJSONNumber(Value &number)
{
    Decimal decimal;
    if (!scanDecimal(decimal))
        return false;
    number = Value::decimal(decimal);
    return true;
}

bool KyJSONScanner::scanJSONString(Value &string)
{
    QString text;
    if (!scanJSONString(text))
        return false;
    string = Value::string(text);
    return true;
}

namespace {

// Upper-case hexadecimal digits only; -1 for anything else.
int hexDigit(char16_t unit)
{
    if (unit >= u'0' && unit <= u'9')
        return unit - u'0';
    if (unit >= u'A' && unit <= u'F')
        return unit - u'A' + 10;
    return -1;
}

const QChar *qchars(const char16_t *units) { return reinterpret_cast<const QChar *>(units); }

} // namespace

bool KyJSONScanner::scanJSONString(QString &string)
{
    if (!scanJSONStringDelimiterString())
        return false;

    // The literal ends at the first unescaped quotation mark. The scan stops
    // with a failure once nothing but whitespace remains (isAtEnd), which is
    // where the trailing whitespace run starts.
    qsizetype i = m_location;
    const qsizetype start = i;
    while (i < m_contentEnd && m_data[i] != u'"' && m_data[i] != u'\\')
        ++i;
    if (i >= m_contentEnd) {
        m_location = i;
        return false;
    }
    if (m_data[i] == u'"') {
        // No escapes: the literal is one slice of the text.
        string = QString(qchars(m_data + start), i - start);
        m_location = i + 1;
        return true;
    }

    m_buffer.resize(0); // keeps its capacity
    m_buffer.append(qchars(m_data + start), i - start);
    while (i < m_contentEnd && m_data[i] != u'"') {
        if (m_data[i] != u'\\') {
            const qsizetype runStart = i;
            while (i < m_contentEnd && m_data[i] != u'"' && m_data[i] != u'\\')
                ++i;
            m_buffer.append(qchars(m_data + runStart), i - runStart);
            continue;
        }
        if (i + 1 >= m_length) { // a backslash that ends the text
            m_location = i;
            return false;
        }
        const char16_t e = m_data[i + 1];
        char16_t decoded = 0;
        switch (e) {
        case u'"': decoded = u'"'; break;
        case u'\\': decoded = u'\\'; break;
        case u'b': decoded = 0x08; break;
        case u'f': decoded = 0x0C; break;
        case u'n': decoded = 0x0A; break;
        case u'r': decoded = 0x0D; break;
        case u't': decoded = 0x09; break;
        case u'u': {
            i += 2;
            if (m_length - i < 4) {
                m_location = i;
                return false;
            }
            unsigned code = 0;
            for (int k = 0; k < 4; ++k) {
                const int digit = hexDigit(m_data[i + k]);
                if (digit < 0) {
                    m_location = i;
                    return false;
                }
                code = code * 16 + unsigned(digit);
            }
            // One code unit; surrogates are not paired or checked.
            m_buffer.append(QChar(char16_t(code)));
            i += 4;
            continue;
        }
        default:
            // Any other escape, "\/" included, is kept as both characters.
            m_buffer.append(qchars(m_data + i), 2);
            i += 2;
            continue;
        }
        m_buffer.append(QChar(decoded));
        i += 2;
    }
    if (i >= m_contentEnd) {
        m_location = i;
        return false;
    }
    string = QString(m_buffer.constData(), m_buffer.size());
    m_location = i + 1;
    return true;
}

} // namespace PrivateKyJSONAdditions
