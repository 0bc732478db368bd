#include "Conversions.h"
#include "FuzzSupport.h"

#include <QLocale>
#include <cmath>
#include <cstring>
#include <fuzzer/FuzzedDataProvider.h>

// Any text through every reading, under a "." locale, a "," locale and C; and
// numbers to text and back, which is how the window's position is kept.

using namespace vemba::convert;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const QLocale locales[] = {QLocale::c(), QLocale(QStringLiteral("en_US")),
                                      QLocale(QStringLiteral("de_DE"))};
    FuzzedDataProvider in(data, size);
    QLocale::setDefault(locales[in.ConsumeIntegralInRange(0, 2)]);
    const auto bits = in.ConsumeIntegral<std::uint32_t>();
    float single = 0;
    std::memcpy(&single, &bits, sizeof single);
    if (std::isfinite(single)) {
        // Seven significant digits: the text reads back as itself.
        const Converted<float> back = toSingle(fromSingle(single));
        FUZZ_CHECK(back.ok() && fromSingle(back.value()) == fromSingle(single));
    }
    const auto integer = in.ConsumeIntegral<std::int32_t>();
    FUZZ_CHECK(toInt32(fromInteger(integer)).value() == integer);
    const QString text = QString::fromUtf8(in.ConsumeRemainingBytesAsString());
    const Converted<double> d = toDouble(text);
    FUZZ_CHECK(!d.ok() || std::isfinite(d.value()));
    FUZZ_CHECK(!toSingle(text).ok() || std::isfinite(toSingle(text).value()));
    (void)toInt32(text);
    (void)toInt16(text);
    return 0;
}
