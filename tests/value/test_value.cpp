// The value tree and its exact decimals.
#include "../json/json_test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

using namespace jsontest;

TEST(Value, NoValueAndWrongKindsYieldNothingAndIgnoreMutation)
{
    const QString k = QStringLiteral("k");
    Value none, text = Value::string(k), list = Value::array();
    for (Value *v : {&none, &text, &list}) {
        v->insert(k, Value::null());
        v->append(Value::null());
    }
    EXPECT_TRUE(none.isNone());
    EXPECT_FALSE(bool(none) || none.toBool() || none.toInt() || none.count() || text.count());
    EXPECT_TRUE(none.at(0).isNone() && none.value(k).isNone() && none.keyAt(0).isNull());
    EXPECT_TRUE(none.toString().isNull() && none.toDecimal().isZero());
    EXPECT_EQ(list.count(), 1); // the append only
    EXPECT_TRUE(list.at(1).isNone() && list.at(-1).isNone() && list.value(k).isNone());
}

TEST(Value, DeepEqualityComparesNumbersByValueIgnoresMemberOrderAndAnyDepth)
{
    const Value x = str("x"), null = Value::null();
    const std::tuple<Value, Value, bool> cases[] = {
        {Value::integer(30), dec(u"30.0"), true},
        {Value::integer(30), dec(u"30.5"), false},
        {Value::integer(1), Value::boolean(true), false}, {str("1"), Value::integer(1), false},
        {null, Value(), false}, {Value(), Value(), true},
        {array({x}), array({x, x}), false},
        {dict({{"a", null}, {"b", array({x})}}), dict({{"b", array({x})}, {"a", null}}), true},
        {dict({{"a", null}, {"b", array({x})}}), dict({{"a", null}, {"b", array({null})}}), false},
        {dict({{"a", null}}), dict({{"b", null}}), false},
    };
    for (size_t row = 0; row < std::size(cases); ++row) {
        const auto &[a, b, equal] = cases[row];
        EXPECT_EQ(a == b, equal) << row;
        EXPECT_EQ(b == a, equal) << row;
    }
    // Comparing and freeing a very deep tree needs no deep stack.
    Value a = nested(100000), b = nested(100000);
    EXPECT_TRUE(a == b);
    a = Value(); // frees 100,000 nested containers
}

TEST(Value, DictionaryKeepsInsertionOrderAndReplacesInPlace)
{
    constexpr int kCount = 100000;
    Value d = Value::dictionary();
    for (int i = kCount - 1; i >= 0; --i)
        d.insert(QString::number(i), Value::integer(i));
    for (int i = 0; i < kCount; i += 3)
        d.insert(QString::number(i), Value::integer(-i));
    ASSERT_EQ(d.count(), kCount);
    for (int i = 0; i < kCount; ++i) {
        ASSERT_EQ(d.keyAt(i).toInt(), kCount - 1 - i);
        ASSERT_EQ(d.value(QString::number(i)).toInt(), i % 3 ? i : -i);
    }
    EXPECT_FALSE(d.contains(QStringLiteral("-1")) || d.contains(QString()));
}

// Containers made for a number of members hold them in the node itself and
// move them out when they outgrow that room; members added through a copy of
// the handle, or taken from the container itself, survive the move.
TEST(Value, ContainersOutgrowTheirReservedRoom)
{
    for (const qsizetype room : {0, 2}) {
        Value d = Value::dictionary(room), a = Value::array(room);
        const Value dAlias = d, aAlias = a;
        for (int i = 0; i < 40; ++i) {
            d.insert(QString::number(i), Value::integer(i));
            a.append(a.count() ? a.at(a.count() - 1) : str("first")); // an element of its own
            if (i == 20) {
                a.reserve(100);
                d.reserve(100);
            }
        }
        ASSERT_TRUE(dAlias.count() == 40 && aAlias.count() == 40) << room;
        for (int i = 0; i < 40; ++i) {
            EXPECT_EQ(dAlias.value(dAlias.keyAt(i)).toInt(), i);
            EXPECT_EQ(aAlias.at(i).toString(), QStringLiteral("first"));
        }
    }
}

// Repeated keys in the key list (a short one scanned, a long one indexed)
// keep their first place and last value, as insert does.
TEST(Value, DictionaryFromAKeyList)
{
    for (const int count : {3, 40}) { // a linear scan and an index
        QStringList repeated;
        std::vector<Value> values;
        for (int i = 0; i < count; ++i) {
            repeated.append(QString::number(i % (count - 1))); // the first key again at the end
            values.push_back(Value::integer(i));
        }
        const Value d = Value::dictionary(repeated, values);
        EXPECT_TRUE(d.count() == count - 1 && d.keyAt(0) == QStringLiteral("0")) << count;
        EXPECT_EQ(d.value(QStringLiteral("0")).toInt(), count - 1) << count;
    }
    std::vector<Value> one = {Value::integer(1)};
    EXPECT_EQ(Value::dictionary({"a", "b"}, one), dict({{"a", Value::integer(1)}})); // fewer values than keys
}

// Plain notation; beyond 38 digits rounded half to even.
TEST(Decimal, PrintsPlainNotationRoundedTo38Digits)
{
    const std::u16string d37(37, u'1');
    const std::pair<std::u16string, std::u16string> cases[] = {
        {u"0.1", u"0.1"}, {u"-12.25", u"-12.25"}, {u"3e2", u"300"}, {u"-0.000", u"0"}, {u"12e-4", u"0.0012"},
        {u"007.700", u"7.7"}, {d37 + u"14", d37 + u"10"}, {d37 + u"16", d37 + u"20"},
        {d37 + u"15", d37 + u"20"}, // tie, odd: up
        {d37 + u"25", d37 + u"20"}, // tie, even: stays
        {d37 + u"251", d37 + u"300"},
        {std::u16string(39, u'9'), u"1" + std::u16string(39, u'0')}, // carry into a new digit
    };
    for (const auto &[in, out] : cases)
        EXPECT_EQ(Decimal::fromString(in)->toString().toStdU16String(), out);
    EXPECT_EQ(Decimal::fromInt(INT64_MIN).toString().toStdString(), "-9223372036854775808");
}

TEST(Decimal, ExponentRangeIsMinus128To127)
{
    const std::string many(60, '7');
    const std::tuple<const char *, int64_t, bool> cases[] = {
        {"1", 127, true}, {"1", 128, false}, {"1000", 125, true}, {"1", -128, true},
        {"1", -129, false}, {"10", -129, true}, {"0", INT64_MIN, true}, {"12a", 0, false},
        {many.c_str(), INT64_MAX, false}, {many.c_str(), INT64_MIN, false},
    };
    for (const auto &[digits, exponent, fits] : cases)
        EXPECT_EQ(Decimal::fromDigits(true, digits, exponent).has_value(), fits) << exponent;
    for (const char16_t *bad : {u"", u"-", u"+1", u".5", u"5.", u"1e", u" 1", u"1e128", u"\u0663"})
        EXPECT_FALSE(Decimal::fromString(bad)) << QString::fromUtf16(bad).toStdString();
}
