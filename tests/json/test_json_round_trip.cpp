// Writing, reading back and writing again.
#include "KyJSONAdditions.h"
#include "json_test_support.h"

#include <gtest/gtest.h>

using KyJSONAdditions::dictionaryWithJSONString;
using KyJSONAdditions::jsonStringValue;
using namespace jsontest;

namespace {

void expectRoundTrip(const Value &original)
{
    const QString text = jsonStringValue(original);
    const Value back = dictionaryWithJSONString(text);
    ASSERT_TRUE(back.isDictionary()) << text.toStdString();
    EXPECT_TRUE(back == original) << text.toStdString();
    EXPECT_EQ(jsonStringValue(back), text);
}

} // namespace

TEST(JsonRoundTrip, SlideshowShapedDocument)
{
    Value slides = Value::array();
    for (int i = 0; i < 300; ++i)
        slides.append(dict({{"name", Value::string(QStringLiteral("IMG_%1").arg(i))},
            {"path",
                Value::string(
                    QStringLiteral("~/Pictures/iPhoto Library/Originals/2009/Trip \"%1\"\\"
                                   "\tIMG_%1.JPG")
                        .arg(i))}}));
    expectRoundTrip(
        dict({{"sequence",
                  dict({{"projectName", str("Trip")}, {"slideCount", Value::integer(300)},
                      {"ntsc", str("TRUE")}, {"timebase", Value::integer(30)},
                      {"photoDuration", Value::integer(-270)}})},
            {"slides", slides}}));
}

TEST(JsonRoundTrip, EveryKindEscapeAndNumberComesBackEqual)
{
    const QChar odd[] = {QChar(char16_t(0xD800)), QChar(char16_t(0)), QChar(char16_t(0x1F)),
        QChar(char16_t(0x7F)), QChar(char16_t(0xDFFF))};
    expectRoundTrip(dict({
        {"", str("empty key")},
        {"quote\"back\\slash/", str("\b\f\n\r\t\"\\/ caf\u00e9 \xF0\x9F\x98\x80")},
        {"odd units", Value::string(QString(odd, 5))},
        {"ints",
            array(
                {Value::integer(0), Value::integer(-2147483647 - 1), Value::integer(2147483647)})},
        {"decimals",
            array({dec(u"0.1"), dec(u"-12.25"), dec(u"1e127"), dec(u"-1e-128"),
                dec(u"12345678901234567890123456789012345678e90"),
                dec(u"0.12345678901234567890123456789012345678"), dec(u"10e127")})},
        {"words",
            array({Value::boolean(true), Value::boolean(false), Value::null(), str("true"),
                str("null")})},
        {"nested", array({array({}), dict({}), array({array({dict({{"x", array({})}})})})})},
    }));
}

TEST(JsonRoundTrip, DeepestAcceptedNesting)
{
    Value root = Value::dictionary();
    Value cursor = root;
    for (int depth = 2; depth <= 512; ++depth) {
        Value next = depth % 2 ? Value::dictionary() : Value::array();
        if (cursor.isDictionary())
            cursor.insert(QStringLiteral("k"), next);
        else
            cursor.append(next);
        cursor = next;
    }
    expectRoundTrip(root);

    // One more level is refused.
    Value deeper = Value::array();
    if (cursor.isDictionary())
        cursor.insert(QStringLiteral("k"), deeper);
    else
        cursor.append(deeper);
    EXPECT_TRUE(dictionaryWithJSONString(jsonStringValue(root)).isNone());
}
