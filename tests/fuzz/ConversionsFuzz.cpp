#include "Conversions.h"
#include "FuzzSupport.h"

#include <QLocale>
#include <algorithm>
#include <cerrno>
#include <cfenv>
#include <cmath>
#include <cstring>
#include <fuzzer/FuzzedDataProvider.h>
#include <limits>

// Text to number against the C library's strtod/strtof, and numbers to text
// and back, under a "." locale, a "," locale and C.

namespace {

using namespace vemba::convert;

template <typename T> struct Libc {
    T value = 0;
    bool whole = false; // the whole text is the number
    bool range = false; // ERANGE
};

template <typename T> Libc<T> readWithLibc(const std::string& s, T (*read)(const char*, char**)) {
    Libc<T> r;
    char* end = nullptr;
    errno = 0;
    r.value = read(s.c_str(), &end);
    r.range = errno == ERANGE;
    r.whole = !s.empty() && end == s.c_str() + s.size();
    return r;
}

// Ours against the C library's reading of the same text. Only texts of
// digits, signs, points and exponents are compared: strtod also takes hex,
// "inf" and "nan", which the settings never hold.
template <typename T> void compare(const Converted<T>& ours, const Libc<T>& libc, bool comparable) {
    if (ours.failure() == Failure::Overflow) {
        FUZZ_CHECK(libc.whole && libc.range && std::isinf(libc.value));
    } else if (ours.ok()) {
        FUZZ_CHECK(libc.whole);
        if (libc.range && !std::isinf(libc.value)) {
            // Below the smallest normal number: zero or the denormal.
            FUZZ_CHECK(ours.value() == 0 || ours.value() == libc.value);
        } else {
            FUZZ_CHECK(!libc.range && ours.value() == libc.value);
        }
    } else if (comparable) {
        FUZZ_CHECK(!libc.whole);
    }
}

template <typename Int> void compareInteger(const Converted<Int>& ours, const Libc<double>& libc) {
    if (!libc.whole) {
        FUZZ_CHECK(!ours.ok());
        return;
    }
    if (std::isinf(libc.value)) {
        FUZZ_CHECK(ours.failure() == Failure::Overflow);
        return;
    }
    // Half to even is the default rounding mode's rule.
    const double r = std::nearbyint(libc.value);
    const bool fits = r >= double(std::numeric_limits<Int>::min()) &&
                      r <= double(std::numeric_limits<Int>::max());
    if (ours.ok()) {
        FUZZ_CHECK(fits && double(ours.value()) == r);
    } else {
        FUZZ_CHECK(ours.failure() == Failure::Overflow && !fits);
    }
}

void textToNumbers(const QString& text) {
    std::string ascii = text.trimmed().toStdString();
    if (QLocale().decimalPoint() == QStringLiteral(",")) {
        std::replace(ascii.begin(), ascii.end(), ',', '.');
    }
    const bool comparable = ascii.find_first_not_of("0123456789+-.eE") == std::string::npos;
    const Libc<double> d = readWithLibc<double>(ascii, std::strtod);
    compare(toDouble(text), d, comparable);
    compare(toSingle(text), readWithLibc<float>(ascii, std::strtof), comparable);
    if (comparable) {
        compareInteger(toInt32(text), d);
        compareInteger(toInt16(text), d);
    }
}

void numbersToTextAndBack(float single, std::int64_t integer) {
    if (std::isfinite(single)) {
        const QString text = fromSingle(single);
        const Converted<float> back = toSingle(text);
        FUZZ_CHECK(back.ok());
        // Seven significant digits: within half a unit of the seventh, and
        // a float's step from there (a large share of a denormal).
        const float magnitude = std::fabs(single);
        const double step = double(std::nextafter(magnitude, INFINITY)) - double(magnitude);
        const double tolerance = double(magnitude) * 5e-7 + step;
        FUZZ_CHECK(std::fabs(double(back.value()) - double(single)) <= tolerance);
        FUZZ_CHECK(fromSingle(back.value()) == text);
    }
    const QString text = fromInteger(integer);
    FUZZ_CHECK(toDouble(text).ok() && toDouble(text).value() == double(integer));
    const Converted<std::int32_t> i32 = toInt32(text);
    const bool fits32 = integer >= INT32_MIN && integer <= INT32_MAX;
    FUZZ_CHECK(fits32 ? (i32.ok() && i32.value() == integer) : i32.failure() == Failure::Overflow);
    const Converted<std::int16_t> i16 = toInt16(text);
    const bool fits16 = integer >= INT16_MIN && integer <= INT16_MAX;
    FUZZ_CHECK(fits16 ? (i16.ok() && i16.value() == integer) : i16.failure() == Failure::Overflow);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const QLocale locales[] = {QLocale::c(), QLocale(QStringLiteral("en_US")),
                                      QLocale(QStringLiteral("de_DE"))};
    FuzzedDataProvider in(data, size);
    QLocale::setDefault(locales[in.ConsumeIntegralInRange(0, 2)]);
    if (in.ConsumeBool()) {
        const auto bits = in.ConsumeIntegral<std::uint32_t>();
        float single = 0;
        std::memcpy(&single, &bits, sizeof single);
        numbersToTextAndBack(single, in.ConsumeIntegral<std::int64_t>());
    } else {
        textToNumbers(QString::fromUtf8(in.ConsumeRemainingBytesAsString()));
    }
    return 0;
}
