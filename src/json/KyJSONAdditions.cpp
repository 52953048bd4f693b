#include "KyJSONAdditions.h"

#include "KyJSONScanner.h"

#include <limits>
#include <vector>

namespace PrivateKyJSONAdditions {
namespace {

// Output is built in one QString that only ever grows at its end.
inline void put(QString &out, QStringView text) { out.append(text); }
inline void put(QString &out, char16_t unit) { out.append(QChar(unit)); }

// Which code units below 0x60 the writer escapes, and the letter after the
// backslash. Everything else, "/" and all other control characters included,
// is written unchanged.
constexpr char16_t escapeLetter(char16_t unit)
{
    switch (unit) {
    case u'"': return u'"';
    case u'\\': return u'\\';
    case 0x08: return u'b';
    case 0x09: return u't';
    case 0x0A: return u'n';
    case 0x0C: return u'f';
    case 0x0D: return u'r';
    default: return 0;
    }
}

struct EscapeTable {
    char16_t letter[0x60] = {};
    constexpr EscapeTable()
    {
        for (char16_t u = 0; u < 0x60; ++u)
            letter[u] = escapeLetter(u);
    }
};
constexpr EscapeTable kEscapes;

void putString(QString &out, QStringView text)
{
    const char16_t *data = text.utf16();
    const qsizetype n = text.size();
    put(out, u'"');
    qsizetype runStart = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t unit = data[i];
        if (unit >= 0x60 || kEscapes.letter[unit] == 0)
            continue;
        if (i > runStart)
            out.append(reinterpret_cast<const QChar *>(data + runStart), i - runStart);
        const char16_t pair[2] = {u'\\', kEscapes.letter[unit]};
        out.append(reinterpret_cast<const QChar *>(pair), 2);
        runStart = i + 1;
    }
    if (n > runStart)
        out.append(reinterpret_cast<const QChar *>(data + runStart), n - runStart);
    put(out, u'"');
}

void putInteger(QString &out, int32_t number)
{
    char16_t buffer[12];
    char16_t *end = buffer + 12;
    char16_t *p = end;
    // Work on the magnitude in 64 bits so that INT32_MIN has one.
    uint64_t magnitude = number < 0 ? uint64_t(-int64_t(number)) : uint64_t(number);
    do {
        *--p = char16_t(u'0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (number < 0)
        *--p = u'-';
    out.append(reinterpret_cast<const QChar *>(p), end - p);
}

void putIndent(QString &out, int32_t level)
{
    if (level == jsonDoNotIndent)
        return;
    put(out, u'\n');
    for (int32_t i = 0; i < level; ++i)
        put(out, jsonIndentString);
}

int32_t deeper(int32_t level)
{
    return level == std::numeric_limits<int32_t>::max() ? level : level + 1;
}

// One container being written: the dictionary or array, the next member or
// element, and the level its members are indented for (a dictionary) or its
// dictionary elements are one deeper than (an array).
struct Frame {
    Value container;
    qsizetype next;
    int32_t level;
    bool isDictionary;
};

// Writes the value at the level of the container holding it. Containers are
// not written recursively: they are pushed on the stack of open containers,
// so a tree of any depth is written with a bounded call stack.
void putValue(QString &out, std::vector<Frame> &open, const Value &value, int32_t level)
{
    switch (value.kind()) {
    case Value::Kind::String:
        putString(out, value.toString());
        return;
    case Value::Kind::Dictionary:
        put(out, jsonObjectStartString);
        open.push_back(Frame{value, 0, deeper(level), true});
        return;
    case Value::Kind::Array:
        put(out, jsonArrayStartString);
        open.push_back(Frame{value, 0, level, false});
        return;
    case Value::Kind::Null:
        put(out, jsonNullString);
        return;
    case Value::Kind::Boolean:
        put(out, value.toBool() ? jsonTrueString : jsonFalseString);
        return;
    case Value::Kind::Integer:
        putInteger(out, value.toInt());
        return;
    case Value::Kind::Decimal:
        put(out, value.toDecimal().toString());
        return;
    case Value::Kind::Opaque:
    case Value::Kind::None:
        // The album file's unread leaves (dates, data, reals) never reach the
        // writer, and a container holds no "no value"; should either turn up,
        // it is written as null so that the text stays well-formed JSON.
        put(out, jsonNullString);
        return;
    }
}

void drain(QString &out, std::vector<Frame> &open)
{
    while (!open.empty()) {
        Frame &frame = open.back();
        if (frame.next >= frame.container.count()) {
            put(out, frame.isDictionary ? jsonObjectEndString : jsonArrayEndString);
            open.pop_back();
            continue;
        }
        const qsizetype index = frame.next++;
        const int32_t level = frame.level;
        if (frame.isDictionary) {
            // Read both before putValue, which may grow the stack and move the frame.
            const QString key = frame.container.keyAt(index);
            const Value value = frame.container.valueAt(index);
            if (index > 0)
                put(out, jsonValueSeparatorString);
            putIndent(out, level);
            put(out, u' ');
            putString(out, key);
            put(out, u' ');
            put(out, jsonKeyValueSeparatorString);
            put(out, u' ');
            putValue(out, open, value, level);
        } else {
            const Value element = frame.container.at(index);
            if (index > 0) {
                put(out, jsonValueSeparatorString);
                put(out, u' ');
            }
            putValue(out, open, element, level);
        }
    }
}

void putDictionary(QString &out, const Value &dictionary, int32_t level)
{
    std::vector<Frame> open;
    put(out, jsonObjectStartString);
    open.push_back(Frame{dictionary, 0, level, true});
    drain(out, open);
}

} // namespace

QString jsonStringValueWithIndentLevel(const Value &dictionary, int32_t level)
{
    QString out;
    out.reserve(64 + dictionary.count() * 32);
    putDictionary(out, dictionary, level);
    return out;
}

QString jsonStringForValue(const Value &value, int32_t level)
{
    QString out;
    std::vector<Frame> open;
    putValue(out, open, value, level);
    drain(out, open);
    return out;
}

QString jsonStringForArray(const Value &array, int32_t level)
{
    QString out;
    std::vector<Frame> open;
    put(out, jsonArrayStartString);
    open.push_back(Frame{array, 0, level, false});
    drain(out, open);
    return out;
}

QString jsonStringForString(const QString &string)
{
    QString out;
    out.reserve(string.size() + 2);
    putString(out, string);
    return out;
}

QString jsonIndentStringForLevel(int32_t level)
{
    QString out;
    putIndent(out, level);
    return out;
}

} // namespace PrivateKyJSONAdditions

namespace KyJSONAdditions {

QString jsonStringValue(const Value &dictionary)
{
    return PrivateKyJSONAdditions::jsonStringValueWithIndentLevel(dictionary, 0);
}

Value dictionaryWithJSONString(const QString &text)
{
    PrivateKyJSONAdditions::KyJSONScanner scanner(text);
    Value result;
    scanner.scanJSONObject(result);
    if (scanner.exceededDepth())
        return Value();
    return result;
}

} // namespace KyJSONAdditions
