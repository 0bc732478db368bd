#pragma once

#include <QString>
#include <cstdint>

namespace vemba::convert {

enum class Failure { None, TypeMismatch, Overflow };

// A converted number, or why the text did not convert (the value is then 0).
template <typename T> class Converted {
public:
    Converted(T value) : m_value(value) {}
    Converted(Failure failure) : m_failure(failure) {}

    T value() const { return m_value; }
    Failure failure() const { return m_failure; }
    bool ok() const { return m_failure == Failure::None; }

private:
    T m_value{};
    Failure m_failure = Failure::None;
};

// Text to number, as the settings are read back: blanks around the number and
// a decimal fraction are allowed (the default locale's decimal separator, or
// "."), integer targets round a half to the even neighbour.
Converted<std::int16_t> toInt16(const QString& text);
Converted<std::int32_t> toInt32(const QString& text);
Converted<float> toSingle(const QString& text);
Converted<double> toDouble(const QString& text);

// Number to text: plain decimal, "-" only for a negative number, no grouping.
QString fromInteger(std::int64_t value);
// The shortest form of at most 7 significant digits, with the default
// locale's decimal separator and no decimal point for a whole number.
QString fromSingle(float value);

} // namespace vemba::convert
