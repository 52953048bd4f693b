// The writer's text, byte for byte: layout, escapes and numbers.
#include "KyJSONAdditions.h"
#include "json_test_support.h"

#include <gtest/gtest.h>

#include <limits>

using namespace PrivateKyJSONAdditions;
using KyJSONAdditions::jsonStringValue;

namespace {

Value dict(std::initializer_list<std::pair<const char *, Value>> members)
{
    Value d = Value::dictionary();
    for (const auto &[key, value] : members)
        d.insert(QString::fromUtf8(key), value);
    return d;
}

Value array(std::initializer_list<Value> elements)
{
    Value a = Value::array();
    for (const Value &e : elements)
        a.append(e);
    return a;
}

Value str(const char *text) { return Value::string(QString::fromUtf8(text)); }
Value num(int32_t n) { return Value::integer(n); }

Value slide(const char *name, const char *path)
{
    return dict({{"name", str(name)}, {"path", str(path)}});
}

Value slideshow(Value slides)
{
    const Value sequence = dict({{"projectName", str("Trip")},
        {"slideCount", num(int32_t(slides.count()))}, {"ntsc", str("TRUE")}, {"timebase", num(30)},
        {"compHeight", num(480)}, {"compWidth", num(720)}, {"transDuration", num(30)},
        {"photoDuration", num(270)}, {"showStyle", str("Cross Dissolve")}});
    return dict({{"sequence", sequence}, {"slides", slides}});
}

const char *const kSequenceLines = "{\n"
                                   " \"sequence\" : {\n"
                                   "\t \"projectName\" : \"Trip\",\n"
                                   "\t \"slideCount\" : %1,\n"
                                   "\t \"ntsc\" : \"TRUE\",\n"
                                   "\t \"timebase\" : 30,\n"
                                   "\t \"compHeight\" : 480,\n"
                                   "\t \"compWidth\" : 720,\n"
                                   "\t \"transDuration\" : 30,\n"
                                   "\t \"photoDuration\" : 270,\n"
                                   "\t \"showStyle\" : \"Cross Dissolve\"},\n";

} // namespace

TEST(JsonWriterLayout, SlideshowWithOneSlideIsTheFourteenLineText)
{
    const QString expected = QString::fromUtf8(kSequenceLines).arg(1)
        + QString::fromUtf8(" \"slides\" : [{\n"
                            "\t \"name\" : \"Beach\",\n"
                            "\t \"path\" : \"~/Pictures/beach.jpg\"}]}");
    const QString text
        = jsonStringValue(slideshow(array({slide("Beach", "~/Pictures/beach.jpg")})));
    EXPECT_EQ(text.toStdString(), expected.toStdString());
    EXPECT_EQ(text.count(u'\n'), 13); // fourteen lines, none ending the text
}

TEST(JsonWriterLayout, SlideshowWithTwoSlidesContinuesTheArrayOnTheLastSlideLine)
{
    const QString expected = QString::fromUtf8(kSequenceLines).arg(2)
        + QString::fromUtf8(" \"slides\" : [{\n"
                            "\t \"name\" : \"Beach\",\n"
                            "\t \"path\" : \"~/Pictures/beach.jpg\"}, {\n"
                            "\t \"name\" : \"Dunes\",\n"
                            "\t \"path\" : \"~/Pictures/dunes.jpg\"}]}");
    const QString text = jsonStringValue(slideshow(
        array({slide("Beach", "~/Pictures/beach.jpg"), slide("Dunes", "~/Pictures/dunes.jpg")})));
    EXPECT_EQ(text.toStdString(), expected.toStdString());
}

TEST(JsonWriterLayout, IndentTextPerLevel)
{
    EXPECT_EQ(jsonIndentStringForLevel(jsonDoNotIndent), QString());
    EXPECT_EQ(jsonIndentStringForLevel(0), QStringLiteral("\n"));
    EXPECT_EQ(jsonIndentStringForLevel(-7), QStringLiteral("\n"));
    EXPECT_EQ(jsonIndentStringForLevel(1), QStringLiteral("\n\t"));
    EXPECT_EQ(jsonIndentStringForLevel(3), QStringLiteral("\n\t\t\t"));
}

TEST(JsonWriterLayout, EachDictionaryLevelAddsOneTabAndArraysAddNone)
{
    // A dictionary member at level 0 holds a dictionary (level 1), which holds
    // an array of an array of a dictionary (level 2).
    const Value inner = dict({{"x", num(1)}, {"y", num(2)}});
    const Value middle = dict({{"list", array({array({inner})})}});
    const QString text = jsonStringValue(dict({{"outer", middle}}));
    EXPECT_EQ(text.toStdString(),
        "{\n"
        " \"outer\" : {\n"
        "\t \"list\" : [[{\n"
        "\t\t \"x\" : 1,\n"
        "\t\t \"y\" : 2}]]}}");
}

TEST(JsonWriterLayout, StartsAtTheGivenLevelAndAddsNoBreaksAtDoNotIndent)
{
    const Value d = dict({{"a", num(1)}, {"b", dict({{"c", num(2)}})}});
    EXPECT_EQ(jsonStringValueWithIndentLevel(d, 2).toStdString(),
        "{\n\t\t \"a\" : 1,\n\t\t \"b\" : {\n\t\t\t \"c\" : 2}}");
    // Only the dictionary itself is unindented; the nested one is at level 0.
    EXPECT_EQ(jsonStringValueWithIndentLevel(d, jsonDoNotIndent).toStdString(),
        "{ \"a\" : 1, \"b\" : {\n \"c\" : 2}}");
}

TEST(JsonWriterLayout, ArraysStayOnOneLine)
{
    EXPECT_EQ(jsonStringForArray(array({array({num(1), num(2)}), array({num(3)})}), 0),
        QStringLiteral("[[1, 2], [3]]"));
    EXPECT_EQ(jsonStringValue(dict({{"k", array({dict({{"n", Value::null()}})})}})).toStdString(),
        "{\n \"k\" : [{\n\t \"n\" : null}]}");
}

TEST(JsonWriterLayout, EmptyContainers)
{
    EXPECT_EQ(jsonStringValue(Value::dictionary()), QStringLiteral("{}"));
    EXPECT_EQ(jsonStringValueWithIndentLevel(Value::dictionary(), 4), QStringLiteral("{}"));
    EXPECT_EQ(jsonStringForArray(Value::array(), 0), QStringLiteral("[]"));
    EXPECT_EQ(jsonStringForString(QString()), QStringLiteral("\"\""));
    EXPECT_EQ(
        jsonStringValue(dict({{"d", Value::dictionary()}, {"a", Value::array()}})).toStdString(),
        "{\n \"d\" : {},\n \"a\" : []}");
}

TEST(JsonWriterLayout, MembersInInsertionOrderWithReplacedValueInPlace)
{
    Value d = dict({{"z", num(1)}, {"a", num(2)}, {"m", num(3)}});
    d.insert(QStringLiteral("z"), num(9));
    EXPECT_EQ(jsonStringValue(d).toStdString(), "{\n \"z\" : 9,\n \"a\" : 2,\n \"m\" : 3}");
}

TEST(JsonWriterLayout, VeryDeepTreeIsWrittenWithoutExhaustingTheStack)
{
    constexpr int kDepth = 200000;
    Value root = Value::array();
    Value cursor = root;
    for (int i = 1; i < kDepth; ++i) {
        Value next = Value::array();
        cursor.append(next);
        cursor = next;
    }
    const QString text = jsonStringForArray(root, 0);
    ASSERT_EQ(text.size(), 2 * kDepth);
    EXPECT_EQ(text.count(u'['), kDepth);
    EXPECT_TRUE(text.startsWith(QStringLiteral("[[[")));
    EXPECT_TRUE(text.endsWith(QStringLiteral("]]]")));
}

struct EscapeCase {
    const char16_t *input;
    const char16_t *written; // between the quotation marks
};

TEST(JsonWriterEscapes, StringIsQuotedWithExactlySevenEscapes)
{
    const EscapeCase cases[] = {
        EscapeCase{u"plain", u"plain"},
        EscapeCase{u"say \"hi\"", u"say \\\"hi\\\""},
        EscapeCase{u"C:\\dir\\", u"C:\\\\dir\\\\"},
        EscapeCase{u"\b\f\n\r\t", u"\\b\\f\\n\\r\\t"},
        EscapeCase{u"a/b", u"a/b"},
        EscapeCase{u"caf\u00e9 \u2028 \U0001F600", u"caf\u00e9 \u2028 \U0001F600"},
        EscapeCase{u"\x01\x0b\x1f\x7f", u"\x01\x0b\x1f\x7f"},
        EscapeCase{u"\"\"\\\\", u"\\\"\\\"\\\\\\\\"},
    };
    for (const EscapeCase &c : cases) {
        const QString input = QString::fromUtf16(c.input);
        const QString expected = u'"' + QString::fromUtf16(c.written) + u'"';
        EXPECT_EQ(jsonStringForString(input), expected);
        EXPECT_EQ(jsonStringForValue(Value::string(input), 0), expected);
    }
}

TEST(JsonWriterEscapes, LoneSurrogateAndNulAreWrittenRaw)
{
    const QChar units[] = {QChar(u'a'), QChar(char16_t(0xD800)), QChar(char16_t(0)), QChar(u'b')};
    const QString input(units, 4);
    EXPECT_EQ(jsonStringForString(input), u'"' + input + u'"');
}

TEST(JsonWriterEscapes, KeysAreEscapedLikeValues)
{
    EXPECT_EQ(jsonStringValue(dict({{"a\"b\\c", str("x\ty")}})).toStdString(),
        "{\n \"a\\\"b\\\\c\" : \"x\\ty\"}");
}

TEST(JsonWriterNumbers, IntegersDecimalsBooleansAndNull)
{
    struct Case {
        Value value;
        const char *text;
    };
    const Case cases[] = {
        {num(0), "0"},
        {num(30), "30"},
        {num(-5), "-5"},
        {num(std::numeric_limits<int32_t>::max()), "2147483647"},
        {num(std::numeric_limits<int32_t>::min()), "-2147483648"},
        {Value::decimal(*Decimal::fromString(u"0.1")), "0.1"},
        {Value::decimal(*Decimal::fromString(u"-12.25")), "-12.25"},
        {Value::decimal(*Decimal::fromString(u"3e2")), "300"},
        {Value::decimal(*Decimal::fromString(u"-0")), "0"},
        {Value::boolean(true), "true"},
        {Value::boolean(false), "false"},
        {Value::null(), "null"},
        {str("TRUE"), "\"TRUE\""},
        {str("FALSE"), "\"FALSE\""},
        // Leaves of the album file that nothing writes come out as null.
        {Value::opaque(QStringLiteral("2009-07-01T10:00:00Z")), "null"},
        {Value(), "null"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(jsonStringForValue(c.value, 0).toStdString(), c.text);
        EXPECT_EQ(jsonStringForArray(array({c.value, c.value}), 0).toStdString(),
            std::string("[") + c.text + ", " + c.text + "]");
    }
}
