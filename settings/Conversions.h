#pragma once

#include <QString>
#include <cstdint>

namespace vemba::convert {

enum class Failure { None, TypeMismatch, Overflow };

template <typename T> struct Converted {
    T value{};
    Failure failure = Failure::None;
    bool ok() const { return failure == Failure::None; }
};

// Text to number, as the settings are read back: blanks around the number and
// a decimal fraction are allowed (the default locale's decimal separator, or
// "."), integer targets round a half to the even neighbour.
Converted<std::int16_t> ToInt16(const QString& text);
Converted<std::int32_t> ToInt32(const QString& text);
Converted<float> ToSingle(const QString& text);
Converted<double> ToDouble(const QString& text);

// Number to text: plain decimal, "-" only for a negative number, no grouping.
QString FromInteger(std::int64_t value);
// The shortest form of at most 7 significant digits, with the default
// locale's decimal separator and no decimal point for a whole number.
QString FromSingle(float value);

} // namespace vemba::convert
