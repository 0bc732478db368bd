#include "Conversions.h"

#include <QLocale>
#include <gtest/gtest.h>
#include <string>

namespace {

using namespace vemba::convert;

// Every case runs under a "." locale and a "," locale as well as C.
class UnderLocale : public testing::TestWithParam<const char*> {
protected:
    void SetUp() override { QLocale::setDefault(QLocale(QString::fromLatin1(GetParam()))); }
    void TearDown() override { QLocale::setDefault(QLocale::c()); }
    bool commaLocale() const { return QLocale().decimalPoint() == u","; }
};

INSTANTIATE_TEST_SUITE_P(Locales, UnderLocale, testing::Values("C", "en_US", "de_DE"));

// Each case is a text and what it reads as: the number, "mismatch" or "overflow".
template <typename T>
void expectAll(Converted<T> (*convert)(const QString&),
               std::initializer_list<std::pair<const char*, const char*>> cases) {
    for (const auto& [text, expected] : cases) {
        const Converted<T> got = convert(QString::fromUtf8(text));
        EXPECT_EQ(got.failure() == Failure::TypeMismatch ? std::string("mismatch")
                  : got.failure() == Failure::Overflow   ? std::string("overflow")
                                                       : QString::number(got.value()).toStdString(),
                  expected)
            << '"' << text << '"';
    }
}

// clang-format off
TEST_P(UnderLocale, TextToNumbers) {
    // A half goes to the even neighbour, anything more rounds away; the
    // limits are the type's, after rounding.
    expectAll(toInt16, {
        {" 2.5 ", "2"}, {"3.5", "4"}, {"2.5000001", "3"}, {"-32768.5", "-32768"},
        {"32767.5", "overflow"}, {"", "mismatch"}, {"1 2", "mismatch"}, {"0x10", "mismatch"},
        {"nan", "mismatch"}});
    expectAll(toInt32, {{"-2147483648", "-2147483648"}, {"2147483648", "overflow"}});
    // Just past halfway between two floats: rounded once from the text, up;
    // through a double first it would land on the halfway point, then down.
    EXPECT_EQ(toSingle(QStringLiteral("333250000.000000004")).value(), 333250016.0f);
    expectAll(toSingle, {{"3.4e38", "3.4e+38"}, {"3.5e38", "overflow"}});
    // The locale's separator and "." make a fraction; a group separator is
    // never read, so "1,500" cannot become 1500 in one locale.
    expectAll(toDouble, {
        {"1e-400", "0"}, {"1..0", "mismatch"}, {"0.5e309", "overflow"},
        {("1" + std::string(400, '0') + "e-10").c_str(), "overflow"},
        {"1e99999999999999999999", "overflow"}, {"1,500", commaLocale() ? "1.5" : "mismatch"},
        {"1,000,000", "mismatch"}});
}
// clang-format on

// The window position goes out at close and comes back at the next start,
// in seven significant digits ("." stands for the locale's separator).
TEST_P(UnderLocale, NumbersToTextAndBack) {
    EXPECT_EQ(fromInteger(-2147483648LL), "-2147483648");
    for (const auto& [value, text] :
         {std::pair{-0.0f, "0"}, {-0.25f, "-0.25"}, {0.1f, "0.1"}, {1234567.0f, "1234567"}}) {
        EXPECT_EQ(fromSingle(value), QString(text).replace(u'.', QLocale().decimalPoint())) << text;
        EXPECT_EQ(toSingle(fromSingle(value)).value(), value) << text;
    }
    EXPECT_EQ(fromSingle(12345678.0f),
              QString("1.234568e+07").replace(u'.', QLocale().decimalPoint()));
}

} // namespace
