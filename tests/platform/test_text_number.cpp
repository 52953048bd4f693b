#include "TextNumber.h"

#include <gtest/gtest.h>

#include <QString>

#include <limits>

namespace {

constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
constexpr int32_t kMin = std::numeric_limits<int32_t>::min();

struct TextCase {
    const char *text;
    int32_t expected;
};

class IntValueOfText : public ::testing::TestWithParam<TextCase> {};

} // namespace

TEST_P(IntValueOfText, ReadsLeadingInteger)
{
    const TextCase &c = GetParam();
    EXPECT_EQ(intValueOfText(QString::fromUtf8(c.text)), c.expected) << '"' << c.text << '"';
}

INSTANTIATE_TEST_SUITE_P(
    Table, IntValueOfText,
    ::testing::Values(TextCase{" 64", 64}, TextCase{"720 px", 720}, TextCase{"-5", -5}, TextCase{"", 0},
                      TextCase{"abc", 0}, TextCase{"+7", 7}, TextCase{"2.5", 2}, TextCase{"29.97", 29},
                      TextCase{"\t\n 30", 30}, TextCase{"\xc2\xa0\xe2\x80\x83" "12", 12}, // NBSP, em space
                      TextCase{"- 5", 0}, TextCase{"+-5", 0}, TextCase{"-", 0}, TextCase{"007", 7},
                      TextCase{"2147483647", kMax}, TextCase{"2147483648", kMax},
                      TextCase{"-2147483648", kMin}, TextCase{"-2147483649", kMin},
                      TextCase{"99999999999999999999", kMax}, TextCase{"-99999999999999999999", kMin},
                      TextCase{"\xd9\xa3", 0})); // Arabic-Indic three: not an ASCII digit

TEST(IntValueOfTextLong, ThousandDigitsSaturate)
{
    EXPECT_EQ(intValueOfText(QString(1000, QLatin1Char('9'))), kMax);
    EXPECT_EQ(intValueOfText(QLatin1Char('-') + QString(1000, QLatin1Char('9'))), kMin);
    EXPECT_EQ(intValueOfText(QString(1000, QLatin1Char('0')) + QStringLiteral("42")), 42);
}

TEST(SaturatedInt32, ClampsToRange)
{
    EXPECT_EQ(saturatedInt32(0), 0);
    EXPECT_EQ(saturatedInt32(-7), -7);
    EXPECT_EQ(saturatedInt32(int64_t(kMax) + 1), kMax);
    EXPECT_EQ(saturatedInt32(int64_t(kMin) - 1), kMin);
    EXPECT_EQ(saturatedInt32(std::numeric_limits<int64_t>::max()), kMax);
    EXPECT_EQ(saturatedInt32(std::numeric_limits<int64_t>::min()), kMin);
}
