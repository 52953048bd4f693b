#include "KyJSONAdditions.h"

#include "KyJSONScanner.h"

#include <algorithm>
#include <limits>
#include <vector>

namespace PrivateKyJSONAdditions {
namespace {

// The writer runs twice over its input: once into a Measure, which only
// counts code units, and then into an Output of exactly that size, so that the
// text is allocated once and every character is written once.
class Measure {
public:
    void put(char16_t) { ++m_size; }
    void put(QStringView text) { m_size += text.size(); }
    void put(const char16_t *, qsizetype n) { m_size += n; }
    qsizetype size() const { return m_size; }

private:
    qsizetype m_size = 0;
};

class Output {
public:
    explicit Output(qsizetype size) : m_text(size, Qt::Uninitialized)
    {
        m_begin = reinterpret_cast<char16_t *>(m_text.data());
        m_cursor = m_begin;
        m_end = m_begin + size;
    }

    void put(char16_t unit)
    {
        room(1);
        *m_cursor++ = unit;
    }
    void put(QStringView text) { put(text.utf16(), text.size()); }
    void put(const char16_t *units, qsizetype n)
    {
        room(n);
        std::copy(units, units + n, m_cursor);
        m_cursor += n;
    }

    QString take()
    {
        m_text.resize(m_cursor - m_begin);
        return std::move(m_text);
    }

private:
    // The measured size is exact; growing is only a safety net.
    void room(qsizetype n)
    {
        if (m_end - m_cursor < n) [[unlikely]] {
            const qsizetype used = m_cursor - m_begin;
            const qsizetype capacity = std::max<qsizetype>(used + n, 2 * (m_end - m_begin));
            m_text.resize(capacity);
            m_begin = reinterpret_cast<char16_t *>(m_text.data());
            m_cursor = m_begin + used;
            m_end = m_begin + capacity;
        }
    }

    QString m_text;
    char16_t *m_begin = nullptr;
    char16_t *m_cursor = nullptr;
    char16_t *m_end = nullptr;
};

// Renders through write(sink) twice: measuring, then writing.
template <typename Write> QString render(const Write &write)
{
    Measure measure;
    write(measure);
    Output out(measure.size());
    write(out);
    return out.take();
}

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

template <typename Sink> void putString(Sink &out, QStringView text)
{
    const char16_t *data = text.utf16();
    const qsizetype n = text.size();
    out.put(u'"');
    qsizetype runStart = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t unit = data[i];
        const char16_t letter = unit < 0x60 ? kEscapes.letter[unit] : 0;
        if (letter == 0) [[likely]]
            continue;
        out.put(data + runStart, i - runStart);
        out.put(u'\\');
        out.put(letter);
        runStart = i + 1;
    }
    out.put(data + runStart, n - runStart);
    out.put(u'"');
}

template <typename Sink> void putInteger(Sink &out, int32_t number)
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
    out.put(p, end - p);
}

template <typename Sink> void putIndent(Sink &out, int32_t level)
{
    if (level == jsonDoNotIndent)
        return;
    out.put(u'\n');
    for (int32_t i = 0; i < level; ++i)
        out.put(jsonIndentString);
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
template <typename Sink>
void putValue(Sink &out, std::vector<Frame> &open, const Value &value, int32_t level)
{
    switch (value.kind()) {
    case Value::Kind::String:
        putString(out, value.toString());
        return;
    case Value::Kind::Dictionary:
        out.put(jsonObjectStartString);
        open.push_back(Frame{value, 0, deeper(level), true});
        return;
    case Value::Kind::Array:
        out.put(jsonArrayStartString);
        open.push_back(Frame{value, 0, level, false});
        return;
    case Value::Kind::Null:
        out.put(jsonNullString);
        return;
    case Value::Kind::Boolean:
        out.put(value.toBool() ? jsonTrueString : jsonFalseString);
        return;
    case Value::Kind::Integer:
        putInteger(out, value.toInt());
        return;
    case Value::Kind::Decimal:
        out.put(value.toDecimal().toString());
        return;
    case Value::Kind::Opaque:
    case Value::Kind::None:
        // The album file's unread leaves (dates, data, reals) never reach the
        // writer, and a container holds no "no value"; should either turn up,
        // it is written as null so that the text stays well-formed JSON.
        out.put(jsonNullString);
        return;
    }
}

template <typename Sink> void drain(Sink &out, std::vector<Frame> &open)
{
    while (!open.empty()) {
        Frame &frame = open.back();
        if (frame.next >= frame.container.count()) {
            out.put(frame.isDictionary ? jsonObjectEndString : jsonArrayEndString);
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
                out.put(jsonValueSeparatorString);
            putIndent(out, level);
            out.put(u' ');
            putString(out, key);
            out.put(u' ');
            out.put(jsonKeyValueSeparatorString);
            out.put(u' ');
            putValue(out, open, value, level);
        } else {
            const Value element = frame.container.at(index);
            if (index > 0) {
                out.put(jsonValueSeparatorString);
                out.put(u' ');
            }
            putValue(out, open, element, level);
        }
    }
}

template <typename Sink> void putDictionary(Sink &out, const Value &dictionary, int32_t level)
{
    std::vector<Frame> open;
    out.put(jsonObjectStartString);
    open.push_back(Frame{dictionary, 0, level, true});
    drain(out, open);
}

} // namespace

QString jsonStringValueWithIndentLevel(const Value &dictionary, int32_t level)
{
    return render([&](auto &out) { putDictionary(out, dictionary, level); });
}

QString jsonStringForValue(const Value &value, int32_t level)
{
    return render([&](auto &out) {
        std::vector<Frame> open;
        putValue(out, open, value, level);
        drain(out, open);
    });
}

QString jsonStringForArray(const Value &array, int32_t level)
{
    return render([&](auto &out) {
        std::vector<Frame> open;
        out.put(jsonArrayStartString);
        open.push_back(Frame{array, 0, level, false});
        drain(out, open);
    });
}

QString jsonStringForString(const QString &string)
{
    return render([&](auto &out) { putString(out, string); });
}

QString jsonIndentStringForLevel(int32_t level)
{
    return render([&](auto &out) { putIndent(out, level); });
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
