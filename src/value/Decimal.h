#pragma once

#include <QString>

#include <compare>
#include <cstdint>
#include <optional>
#include <string_view>

// An exact decimal number: a mantissa of up to 38 decimal digits times a power
// of ten from -128 to 127. It holds decimal fractions exactly ("0.1" is one
// tenth, not its nearest binary double).
//
// Values are kept canonical: trailing zeros of the mantissa are moved into the
// exponent as far as the exponent range allows, and zero is always +0 with
// exponent 0. Two decimals are therefore equal exactly when their fields are.
class Decimal {
public:
    static constexpr int kMaxDigits = 38;
    static constexpr int kMinExponent = -128;
    static constexpr int kMaxExponent = 127;

    __extension__ typedef unsigned __int128 Mantissa;

    Decimal() = default;
    static Decimal fromInt(int64_t value);

    // Builds mantissa * 10^exponent from ASCII digits ('0'..'9' only; leading
    // zeros allowed, any count). Digits beyond the 38th significant one are
    // rounded away (half to even), moving the exponent up. Gives nothing when
    // a digit is not ASCII or when the result's exponent leaves -128..127.
    static std::optional<Decimal> fromDigits(bool negative, std::string_view digits,
                                             int64_t exponent);

    // Parses the plain notation this class prints, and the scanner's grammar:
    // optional "-", digits, optional "." and digits, optional exponent.
    // The whole text must be consumed.
    static std::optional<Decimal> fromString(QStringView text);

    bool isNegative() const { return m_negative; }
    bool isZero() const { return m_mantissa == 0; }
    Mantissa mantissa() const { return m_mantissa; }
    int exponent() const { return m_exponent; }

    // Gives the value when it is an integer in the int64 range.
    std::optional<int64_t> toInt64() const;
    double toDouble() const;

    // Plain decimal notation: "0.1", "-12.25", "300". Never an exponent.
    QString toString() const;

    friend bool operator==(const Decimal &, const Decimal &) = default;
    // Orders by value.
    friend std::strong_ordering operator<=>(const Decimal &a, const Decimal &b);

private:
    Decimal(bool negative, Mantissa mantissa, int exponent);
    void normalize();

    Mantissa m_mantissa = 0;
    int16_t m_exponent = 0;
    bool m_negative = false;
};
