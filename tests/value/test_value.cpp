// The value tree: kinds, "no value", sharing, equality and dictionaries.
#include "Value.h"

#include <gtest/gtest.h>

TEST(ValueKinds, EachFactoryGivesItsKindAndNothingElse)
{
    struct Case {
        Value value;
        Value::Kind kind;
    };
    const Case cases[] = {
        {Value(), Value::Kind::None},
        {Value::dictionary(), Value::Kind::Dictionary},
        {Value::array(), Value::Kind::Array},
        {Value::string(QStringLiteral("s")), Value::Kind::String},
        {Value::integer(3), Value::Kind::Integer},
        {Value::decimal(Decimal::fromInt(3)), Value::Kind::Decimal},
        {Value::boolean(true), Value::Kind::Boolean},
        {Value::null(), Value::Kind::Null},
        {Value::opaque(QStringLiteral("date")), Value::Kind::Opaque},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(c.value.kind(), c.kind);
        EXPECT_EQ(c.value.isNone(), c.kind == Value::Kind::None);
        EXPECT_EQ(
            c.value.isNumber(), c.kind == Value::Kind::Integer || c.kind == Value::Kind::Decimal);
        // A boolean is never a number, and only strings give a string.
        EXPECT_EQ(c.value.toString().isNull(), c.kind != Value::Kind::String);
        EXPECT_EQ(c.value.toBool(), c.kind == Value::Kind::Boolean);
    }
    EXPECT_EQ(Value::integer(-7).toInt(), -7);
    EXPECT_EQ(Value::decimal(Decimal::fromInt(5)).toInt(), 0); // toInt is for integers only
    EXPECT_EQ(Value::integer(-7).toDecimal(), Decimal::fromInt(-7));
    EXPECT_EQ(Value::opaque(QStringLiteral("d")).opaqueText(), QStringLiteral("d"));
}

TEST(ValueNoValue, EveryAccessorYieldsNothingAndMutatorsDoNothing)
{
    Value none;
    EXPECT_FALSE(bool(none));
    EXPECT_EQ(none.count(), 0);
    EXPECT_TRUE(none.at(0).isNone());
    EXPECT_TRUE(none.value(QStringLiteral("k")).isNone());
    EXPECT_FALSE(none.contains(QStringLiteral("k")));
    EXPECT_TRUE(none.keyAt(0).isNull());
    EXPECT_EQ(none.toInt(), 0);
    EXPECT_TRUE(none.toDecimal().isZero());
    none.append(Value::integer(1));
    none.insert(QStringLiteral("k"), Value::integer(1));
    EXPECT_TRUE(none.isNone());

    // Mutators on the wrong kind do nothing either.
    Value text = Value::string(QStringLiteral("s"));
    text.append(Value::integer(1));
    text.insert(QStringLiteral("k"), Value::integer(1));
    EXPECT_EQ(text.count(), 0);
    Value list = Value::array();
    list.insert(QStringLiteral("k"), Value::integer(1));
    EXPECT_EQ(list.count(), 0);
    list.append(Value::integer(1));
    EXPECT_TRUE(list.at(-1).isNone());
    EXPECT_TRUE(list.at(1).isNone());
    EXPECT_TRUE(list.value(QStringLiteral("k")).isNone());
}

TEST(ValueSharing, ContainersHaveReferenceSemantics)
{
    Value a = Value::array();
    Value alias = a;
    alias.append(Value::null());
    EXPECT_EQ(a.count(), 1);
    EXPECT_TRUE(a.isSameNode(alias));
    EXPECT_TRUE(Value::null().isSameNode(Value::null()));
    EXPECT_TRUE(Value::boolean(true).isSameNode(Value::boolean(true)));

    Value moved = std::move(alias);
    EXPECT_TRUE(alias.isNone()); // NOLINT(bugprone-use-after-move): moved-from is no value
    EXPECT_TRUE(moved.isSameNode(a));
    moved = moved; // self-assignment keeps the node alive
    EXPECT_EQ(moved.count(), 1);
}

TEST(ValueEquality, DeepAndByValueForNumbers)
{
    EXPECT_TRUE(Value::integer(30) == Value::decimal(Decimal::fromInt(30)));
    EXPECT_TRUE(Value::decimal(*Decimal::fromString(u"30.0")) == Value::integer(30));
    EXPECT_FALSE(Value::integer(30) == Value::decimal(*Decimal::fromString(u"30.5")));
    EXPECT_FALSE(Value::integer(1) == Value::boolean(true));
    EXPECT_FALSE(Value::null() == Value());
    EXPECT_TRUE(Value() == Value());
    EXPECT_FALSE(Value::string(QStringLiteral("1")) == Value::integer(1));

    auto build = [](int32_t leaf, bool reversed) {
        Value inner = Value::array();
        inner.append(Value::integer(leaf));
        inner.append(Value::string(QStringLiteral("x")));
        Value d = Value::dictionary();
        if (reversed) {
            d.insert(QStringLiteral("b"), inner);
            d.insert(QStringLiteral("a"), Value::null());
        } else {
            d.insert(QStringLiteral("a"), Value::null());
            d.insert(QStringLiteral("b"), inner);
        }
        return d;
    };
    // Member order does not matter; contents do, at any depth.
    EXPECT_TRUE(build(1, false) == build(1, true));
    EXPECT_FALSE(build(1, false) == build(2, false));

    Value x = Value::array(), y = Value::array();
    x.append(Value::integer(1));
    y.append(Value::integer(1));
    y.append(Value::integer(2));
    EXPECT_FALSE(x == y);
    Value d1 = Value::dictionary(), d2 = Value::dictionary();
    d1.insert(QStringLiteral("a"), Value::null());
    d2.insert(QStringLiteral("b"), Value::null());
    EXPECT_FALSE(d1 == d2);
}

TEST(ValueDictionary, InsertionOrderAndReplacementInPlace)
{
    Value d = Value::dictionary();
    const char16_t *keys[] = {u"zeta", u"alpha", u"", u"mid"};
    for (int i = 0; i < 4; ++i)
        d.insert(QString::fromUtf16(keys[i]), Value::integer(i));
    d.insert(QStringLiteral("alpha"), Value::integer(99));
    ASSERT_EQ(d.count(), 4);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(d.keyAt(i), QString::fromUtf16(keys[i]));
    EXPECT_EQ(d.valueAt(1).toInt(), 99);
    EXPECT_EQ(d.value(QString()).toInt(), 2); // the empty key is a key like any other
    EXPECT_TRUE(d.keyAt(4).isNull());
    EXPECT_TRUE(d.valueAt(-1).isNone());
}

TEST(ValueDictionary, HundredThousandMembersAreAllFoundAndReplaceable)
{
    constexpr int kCount = 100000;
    Value d = Value::dictionary();
    for (int i = 0; i < kCount; ++i)
        d.insert(QString::number(i), Value::integer(i));
    for (int i = 0; i < kCount; i += 3) // replacements keep the count and order
        d.insert(QString::number(i), Value::integer(-i));
    ASSERT_EQ(d.count(), kCount);
    for (int i = 0; i < kCount; ++i) {
        const QString key = QString::number(i);
        ASSERT_EQ(d.value(key).toInt(), i % 3 == 0 ? -i : i) << i;
        ASSERT_EQ(d.keyAt(i), key);
    }
    EXPECT_FALSE(d.contains(QStringLiteral("100000")));
    EXPECT_FALSE(d.contains(QStringLiteral("-1")));
    EXPECT_FALSE(d.contains(QString()));

    // Sharing one key string between members of many small dictionaries.
    const QString shared = QStringLiteral("name");
    Value list = Value::array(kCount);
    for (int i = 0; i < kCount; ++i) {
        Value record = Value::dictionary();
        record.insert(shared, Value::integer(i));
        list.append(record);
    }
    EXPECT_EQ(list.at(kCount - 1).value(QStringLiteral("name")).toInt(), kCount - 1);
}

TEST(ValueLifetime, FreeingAndComparingAVeryDeepTreeNeedsNoDeepStack)
{
    constexpr int kDepth = 100'000;
    auto chain = [] {
        Value root = Value::array();
        Value cursor = root;
        for (int i = 0; i < kDepth; ++i) {
            Value next = (i % 2) ? Value::array() : Value::dictionary();
            if (cursor.isArray())
                cursor.append(next);
            else
                cursor.insert(QStringLiteral("k"), next);
            cursor = next;
        }
        return root;
    };
    Value a = chain();
    Value b = chain();
    EXPECT_TRUE(a == b);
    a = Value(); // frees 100,000 nested containers
    b = Value();
    EXPECT_TRUE(a.isNone());
}
