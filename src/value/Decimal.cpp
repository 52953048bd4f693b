#include "Decimal.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace {

using Mantissa = Decimal::Mantissa;

constexpr Mantissa pow10(int n)
{
    Mantissa r = 1;
    for (int i = 0; i < n; ++i)
        r *= 10;
    return r;
}

constexpr Mantissa kMantissaLimit = pow10(Decimal::kMaxDigits); // exclusive

int digitCount(Mantissa m)
{
    int n = 0;
    while (m != 0) {
        m /= 10;
        ++n;
    }
    return n;
}

std::string mantissaDigits(Mantissa m)
{
    if (m == 0)
        return "0";
    std::string s;
    while (m != 0) {
        s.push_back(char('0' + int(m % 10)));
        m /= 10;
    }
    std::reverse(s.begin(), s.end());
    return s;
}

} // namespace

Decimal::Decimal(bool negative, Mantissa mantissa, int exponent)
    : m_mantissa(mantissa), m_exponent(int16_t(exponent)), m_negative(negative)
{
    normalize();
}

void Decimal::normalize()
{
    if (m_mantissa == 0) {
        m_negative = false;
        m_exponent = 0;
        return;
    }
    while (m_exponent < kMaxExponent && m_mantissa % 10 == 0) {
        m_mantissa /= 10;
        ++m_exponent;
    }
}

Decimal Decimal::fromInt(int64_t value)
{
    const bool negative = value < 0;
    const Mantissa magnitude = negative ? Mantissa(-(value + 1)) + 1 : Mantissa(value);
    return Decimal(negative, magnitude, 0);
}

std::optional<Decimal> Decimal::fromDigits(bool negative, std::string_view digits, int64_t exponent)
{
    size_t first = 0;
    while (first < digits.size() && digits[first] == '0')
        ++first;
    for (char c : digits)
        if (c < '0' || c > '9')
            return std::nullopt;
    std::string_view significant = digits.substr(first);
    if (significant.empty())
        return Decimal();

    // Keep at most 38 significant digits; the dropped ones raise the exponent.
    Mantissa m = 0;
    const size_t kept = std::min(significant.size(), size_t(kMaxDigits));
    for (size_t i = 0; i < kept; ++i)
        m = m * 10 + Mantissa(significant[i] - '0');
    // Any exponent this far out stays out of range whatever the digits, and
    // clamping it keeps the arithmetic below from overflowing.
    constexpr int64_t kFarOut = int64_t(1) << 48;
    int64_t e = std::clamp(exponent, -kFarOut, kFarOut) + int64_t(significant.size() - kept);
    if (kept < significant.size()) {
        const char next = significant[kept];
        bool roundUp = next > '5';
        if (next == '5') {
            const bool restNonZero =
                significant.substr(kept + 1).find_first_not_of('0') != std::string_view::npos;
            roundUp = restNonZero || (m % 2) == 1; // ties go to the even digit
        }
        if (roundUp) {
            ++m;
            if (m == kMantissaLimit) {
                m /= 10;
                ++e;
            }
        }
    }
    // Strip trailing zeros before the range check so that 1000e125 fits.
    while (m % 10 == 0 && e < kMaxExponent) {
        m /= 10;
        ++e;
    }
    if (e > kMaxExponent)
        return std::nullopt;
    // A small exponent may still fit once moved into the mantissa, but only
    // without losing digits; otherwise the value is out of range.
    if (e < kMinExponent)
        return std::nullopt;
    return Decimal(negative, m, int(e));
}

std::optional<Decimal> Decimal::fromString(QStringView text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    bool negative = false;
    if (i < n && text[i] == u'-') {
        negative = true;
        ++i;
    }
    std::string digits;
    int64_t exponent = 0;
    const qsizetype intStart = i;
    while (i < n && text[i] >= u'0' && text[i] <= u'9')
        digits.push_back(char(text[i++].unicode()));
    if (i == intStart)
        return std::nullopt;
    if (i < n && text[i] == u'.') {
        ++i;
        const qsizetype fracStart = i;
        while (i < n && text[i] >= u'0' && text[i] <= u'9') {
            digits.push_back(char(text[i++].unicode()));
            --exponent;
        }
        if (i == fracStart)
            return std::nullopt;
    }
    if (i < n && (text[i] == u'e' || text[i] == u'E')) {
        ++i;
        bool expNegative = false;
        if (i < n && (text[i] == u'+' || text[i] == u'-'))
            expNegative = text[i++] == u'-';
        const qsizetype expStart = i;
        int64_t e = 0;
        while (i < n && text[i] >= u'0' && text[i] <= u'9') {
            e = std::min<int64_t>(e * 10 + (text[i++].unicode() - u'0'), 1'000'000'000);
        }
        if (i == expStart)
            return std::nullopt;
        exponent += expNegative ? -e : e;
    }
    if (i != n)
        return std::nullopt;
    return fromDigits(negative, digits, exponent);
}

std::optional<int64_t> Decimal::toInt64() const
{
    if (m_exponent < 0)
        return std::nullopt; // canonical form: a negative exponent means a fraction
    Mantissa m = m_mantissa;
    for (int i = 0; i < m_exponent; ++i) {
        if (m > Mantissa(INT64_MAX))
            return std::nullopt;
        m *= 10;
    }
    const Mantissa limit = m_negative ? Mantissa(INT64_MAX) + 1 : Mantissa(INT64_MAX);
    if (m > limit)
        return std::nullopt;
    if (m_negative)
        return m == Mantissa(INT64_MAX) + 1 ? INT64_MIN : -int64_t(m);
    return int64_t(m);
}

double Decimal::toDouble() const
{
    const double v = double(m_mantissa) * std::pow(10.0, m_exponent);
    return m_negative ? -v : v;
}

QString Decimal::toString() const
{
    std::string digits = mantissaDigits(m_mantissa);
    std::string out;
    if (m_negative)
        out.push_back('-');
    if (m_exponent >= 0) {
        out += digits;
        if (m_mantissa != 0)
            out.append(size_t(m_exponent), '0');
    } else {
        const size_t fraction = size_t(-m_exponent);
        if (digits.size() > fraction) {
            out.append(digits, 0, digits.size() - fraction);
            out.push_back('.');
            out.append(digits, digits.size() - fraction, std::string::npos);
        } else {
            out += "0.";
            out.append(fraction - digits.size(), '0');
            out += digits;
        }
    }
    return QString::fromLatin1(out.data(), qsizetype(out.size()));
}

std::strong_ordering operator<=>(const Decimal &a, const Decimal &b)
{
    if (a == b)
        return std::strong_ordering::equal;
    if (a.isNegative() != b.isNegative())
        return a.isNegative() ? std::strong_ordering::less : std::strong_ordering::greater;
    // Same sign, both non-zero or one zero: compare magnitudes.
    // Same sign: compare magnitudes, first by order of magnitude (the exponent
    // spread may exceed what 128 bits hold), then digit by digit.
    const int da = digitCount(a.mantissa()) + a.exponent();
    const int db = digitCount(b.mantissa()) + b.exponent();
    std::strong_ordering mag = std::strong_ordering::equal;
    if (a.isZero() || b.isZero()) {
        mag = a.isZero() ? std::strong_ordering::less : std::strong_ordering::greater;
    } else if (da != db) {
        mag = da < db ? std::strong_ordering::less : std::strong_ordering::greater;
    } else {
        // Same order of magnitude: align the mantissas to the same digit count.
        Mantissa ma = a.mantissa(), mb = b.mantissa();
        int ca = digitCount(ma), cb = digitCount(mb);
        while (ca < cb) { ma *= 10; ++ca; }
        while (cb < ca) { mb *= 10; ++cb; }
        mag = ma <=> mb;
    }
    if (a.isNegative())
        return 0 <=> mag;
    return mag;
}
