// The reader: structure, the leniencies it keeps, and the texts it refuses.
#include "KyJSONAdditions.h"
#include "json_test_support.h"

#include <gtest/gtest.h>

using KyJSONAdditions::dictionaryWithJSONString;
using namespace jsontest;

namespace {

Value read(const char16_t *text) { return dictionaryWithJSONString(QString::fromUtf16(text)); }

std::string show(const Value &v)
{
    return v ? KyJSONAdditions::jsonStringValue(v).toStdString() : std::string("<none>");
}

struct ReadCase {
    const char16_t *text;
    Value expected; // no value when the text must be refused
};

void expectReads(std::initializer_list<ReadCase> cases)
{
    for (const ReadCase &c : cases) {
        SCOPED_TRACE(printable(QStringView(c.text)));
        const Value got = read(c.text);
        EXPECT_EQ(got.isNone(), c.expected.isNone()) << show(got);
        if (c.expected) {
            EXPECT_TRUE(got.isDictionary());
            EXPECT_TRUE(got == c.expected) << show(got) << " vs " << show(c.expected);
        }
    }
}

} // namespace

TEST(JsonReaderStructure, ObjectsArraysAndScalars)
{
    expectReads({
        ReadCase{u"{}", Value::dictionary()},
        ReadCase{u" \t\r\n{ \n }", Value::dictionary()},
        ReadCase{u"{\"a\":[]}", dict({{"a", Value::array()}})},
        ReadCase{u"{\"a\":[ \n ]}", dict({{"a", Value::array()}})},
        ReadCase{u"{\"\":\"empty key\"}", dict({{"", str("empty key")}})},
        ReadCase{u"{\"a\" : {\"b\" : [1, \"x\", true, false, null, {}]}}",
            dict({{"a",
                dict({{"b",
                    array({dec(u"1"), str("x"), Value::boolean(true), Value::boolean(false),
                        Value::null(), Value::dictionary()})}})}})},
        ReadCase{u"{\"a\":1,\"a\":2}", dict({{"a", dec(u"2")}})},
        ReadCase{u"{\"n\":-5, \"f\":0.1, \"e\":1.5e3, \"E\":1E-2, \"p\":2e+2, \"z\":007}",
            dict({{"n", dec(u"-5")}, {"f", dec(u"0.1")}, {"e", dec(u"1500")}, {"E", dec(u"0.01")},
                {"p", dec(u"200")}, {"z", dec(u"7")}})},
        // Text after the top-level object is never looked at.
        ReadCase{u"{\"a\":1} trailing garbage [", dict({{"a", dec(u"1")}})},
        ReadCase{u"{}{\"b\":2}", Value::dictionary()},
        // Other kinds at the top level.
        ReadCase{u"", Value()},
        ReadCase{u" \n\t ", Value()},
        ReadCase{u"[1]", Value()},
        ReadCase{u"\"s\"", Value()},
        ReadCase{u"1", Value()},
        ReadCase{u"true", Value()},
        ReadCase{u"null", Value()},
        ReadCase{u"x{}", Value()},
    });
}

TEST(JsonReaderLeniencies, KeptOnPurpose)
{
    expectReads({
        ReadCase{u"{\"a\":1,}", dict({{"a", dec(u"1")}})},
        ReadCase{u"{\"a\":[1,2,]}", dict({{"a", array({dec(u"1"), dec(u"2")})}})},
        ReadCase{u"{\"a\":1 \"b\":2}", dict({{"a", dec(u"1")}, {"b", dec(u"2")}})},
        ReadCase{u"{\"a\":[1 2]}", dict({{"a", array({dec(u"1"), dec(u"2")})}})},
        ReadCase{u"{\"a\":[truefalse]}",
            dict({{"a", array({Value::boolean(true), Value::boolean(false)})}})},
        // A failed member is dropped when "}" follows where its scan stopped.
        ReadCase{u"{\"a\":1, \"b\"}", dict({{"a", dec(u"1")}})},
        ReadCase{u"{\"b\":}", Value::dictionary()},
        ReadCase{u"{\"x\":0, \"a\":[1,2}", dict({{"x", dec(u"0")}})},
        ReadCase{u"{\"a\":[\"x\" nope]}", Value()},
        // Unicode whitespace between tokens.
        ReadCase{u"{\u00a0\"a\"\u2028:\u3000 1\u0085,\u2029\"b\"\u000b:\u000c[\u1680]}",
            dict({{"a", dec(u"1")}, {"b", Value::array()}})},
    });
}

TEST(JsonReaderFailures, MalformedTextGivesNone)
{
    expectReads({
        ReadCase{u"{,\"a\":1}", Value()},
        ReadCase{u"{\"a\":[,1]}", Value()},
        ReadCase{u"{\"a\":1,,\"b\":2}", Value()},
        ReadCase{u"{\"a\":[1,,2]}", Value()},
        ReadCase{u"{\"o\":{\"i\":[1,,2]}}", Value()},
        ReadCase{u"{1:2}", Value()},
        ReadCase{u"{a:1}", Value()},
        ReadCase{u"{'a':1}", Value()},
        ReadCase{u"{\"a\":TRUE}", Value()},
        ReadCase{u"{\"a\":Null}", Value()},
        ReadCase{u"{\"a\":[trueX]}", Value()},
        ReadCase{u"{\"a\":nul}", Value()},
        ReadCase{u"{\"a\":+5}", Value()},
        ReadCase{u"{\"a\":.5}", Value()},
        ReadCase{u"{\"a\":-}", Value()},
        ReadCase{u"{\"a\":[-]}", Value()},
        ReadCase{u"{\"a\":5.}", Value()},
        ReadCase{u"{\"a\":1e}", Value()},
        ReadCase{u"{\"a\":\u0663}", Value()},
        ReadCase{u"{\"a\":1\u0663}", Value()},
        ReadCase{u"{\"a\":1e200}", Value()},
        ReadCase{u"{\"a\":1e-200}", Value()},
        ReadCase{u"{\"a\":\"\\u00e9\"}", Value()},
        ReadCase{u"{\"a\":1}}", dict({{"a", dec(u"1")}})}, // the second "}" is after the object
        ReadCase{u"{\"a\":\"unterminated}", Value()},
    });
}

TEST(JsonReaderValues, KindsAreDecimalsBooleansNullAndMutableContainers)
{
    Value d = read(u"{\"i\":30, \"t\":true, \"n\":null, \"s\":\"30\", \"a\":[]}");
    ASSERT_TRUE(d.isDictionary());
    EXPECT_TRUE(d.value(QStringLiteral("i")).isDecimal());
    EXPECT_TRUE(d.value(QStringLiteral("i")) == Value::integer(30));
    EXPECT_TRUE(d.value(QStringLiteral("t")).isBoolean());
    EXPECT_TRUE(d.value(QStringLiteral("n")).isNull());
    EXPECT_TRUE(d.value(QStringLiteral("s")).isString());
    EXPECT_FALSE(d.value(QStringLiteral("s")) == Value::integer(30));
    d.insert(QStringLiteral("new"), Value::null());
    d.value(QStringLiteral("a")).append(Value::null());
    EXPECT_EQ(d.count(), 6);
    EXPECT_EQ(d.value(QStringLiteral("a")).count(), 1);
}

TEST(JsonReaderValues, OneTenthStaysExact)
{
    const Value d = read(u"{\"x\":0.1, \"y\":-12.25, \"big\":123456789012345678901234567890.125}");
    ASSERT_TRUE(d.isDictionary());
    EXPECT_EQ(d.value(QStringLiteral("x")).toDecimal().toString(), QStringLiteral("0.1"));
    EXPECT_EQ(d.value(QStringLiteral("y")).toDecimal().toString(), QStringLiteral("-12.25"));
    EXPECT_EQ(d.value(QStringLiteral("big")).toDecimal().toString(),
        QStringLiteral("123456789012345678901234567890.125"));
}

TEST(JsonReaderFailures, EveryTruncationGivesNoneAndReadsNothingBeyondTheText)
{
    const QString full = QString::fromUtf16(u"{ \"s\" : \"a\\\"b\\u00E9\\n\", \"a\" : [1, -2.5e1, "
                                            u"true, false, null, [], {}],"
                                            u" \"o\" : { \"k\" : \"v\" }, \"t\":\"x\"}");
    ASSERT_TRUE(dictionaryWithJSONString(full).isDictionary());
    for (qsizetype cut = 0; cut < full.size(); ++cut) {
        for (const QString &tail : {QString(), QStringLiteral("  \n\t")}) {
            const ExactText text(full.left(cut) + tail);
            EXPECT_TRUE(dictionaryWithJSONString(text.text()).isNone())
                << "cut at " << cut << ": " << text.text().toStdString();
        }
    }
}

namespace {
// n nested containers: the top-level object holding n - 1 nested arrays, or
// n nested objects.
QString nestedArrays(int n)
{
    return QStringLiteral("{\"a\":") + QString(n - 1, u'[') + QString(n - 1, u']') + u'}';
}

QString nestedObjects(int n)
{
    QString text;
    for (int i = 0; i < n; ++i)
        text += i + 1 < n ? QStringLiteral("{\"a\":") : QStringLiteral("{}");
    return text + QString(n - 1, u'}');
}

int depthOf(const Value &v)
{
    int depth = 0;
    for (Value cursor = v; cursor.isArray() || cursor.isDictionary(); ++depth)
        cursor = cursor.isArray() ? cursor.at(0) : cursor.valueAt(0);
    return depth;
}

} // namespace

TEST(JsonReaderFailures, AtMost512NestedContainers)
{
    const Value arrays = dictionaryWithJSONString(nestedArrays(512));
    ASSERT_TRUE(arrays.isDictionary());
    EXPECT_EQ(depthOf(arrays), 512);
    const Value objects = dictionaryWithJSONString(nestedObjects(512));
    ASSERT_TRUE(objects.isDictionary());
    EXPECT_EQ(depthOf(objects), 512);

    EXPECT_TRUE(dictionaryWithJSONString(nestedArrays(513)).isNone());
    // The refused 513th object stands right before a "}", where dropping just
    // that member would otherwise succeed: the whole text is still refused.
    EXPECT_TRUE(dictionaryWithJSONString(nestedObjects(513)).isNone());
}

TEST(JsonReaderFailures, HugeDepthIsRefusedWithoutRecursingIntoIt)
{
    EXPECT_TRUE(dictionaryWithJSONString(u'{' + QString(1'000'000, u'[')).isNone());
    EXPECT_TRUE(dictionaryWithJSONString(QString(1'000'000, u'{')).isNone());
}

TEST(JsonReaderFailures, LongWhitespaceRunsInsideAndAfterLiteralsStayLinear)
{
    // Whitespace inside an unterminated literal must not make the end test
    // rescan the rest of the text at every character.
    const QString text = QStringLiteral("{\"a\":\"x") + QString(4'000'000, u' ');
    EXPECT_TRUE(dictionaryWithJSONString(text).isNone());
    const QString closed
        = QStringLiteral("{\"a\":\"") + QString(4'000'000, u' ') + QStringLiteral("\"}");
    const Value d = dictionaryWithJSONString(closed);
    ASSERT_TRUE(d.isDictionary());
    EXPECT_EQ(d.value(QStringLiteral("a")).toString().size(), 4'000'000);
}
