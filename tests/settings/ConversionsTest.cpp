#include "Conversions.h"

#include <QLocale>
#include <cmath>
#include <gtest/gtest.h>

namespace {

using namespace vemba::convert;

// Each case runs under the locales a user is likely to have: a "." locale
// and a "," locale.
class UnderLocale : public testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        m_previous = QLocale();
        QLocale::setDefault(QLocale(QString::fromLatin1(GetParam())));
    }
    void TearDown() override { QLocale::setDefault(m_previous); }
    bool commaLocale() const { return QLocale().decimalPoint() == u","; }

private:
    QLocale m_previous;
};

INSTANTIATE_TEST_SUITE_P(Locales, UnderLocale, testing::Values("C", "en_US", "de_DE"));

constexpr Failure Mismatch = Failure::TypeMismatch;
constexpr Failure Overflow = Failure::Overflow;

template <typename T> struct TextCase {
    const char* text;
    T value;
    Failure failure = Failure::None;
};

template <typename T, typename Fn>
void expectAll(Fn convert, std::initializer_list<TextCase<T>> cases) {
    for (const auto& c : cases) {
        const Converted<T> got = convert(QString::fromUtf8(c.text));
        EXPECT_EQ(got.failure, c.failure) << '"' << c.text << '"';
        if (c.failure == Failure::None) {
            EXPECT_EQ(got.value, c.value) << '"' << c.text << '"';
        }
    }
}

// clang-format off
TEST_P(UnderLocale, TextToInt16) {
    expectAll<std::int16_t>(ToInt16, {
        {"1", 1}, {" 1 ", 1}, {"\t1\n", 1}, {"1.0", 1}, {"-1", -1}, {"+7", 7}, {"007", 7},
        // a half goes to the even neighbour, anything more rounds away
        {"2.5", 2}, {"3.5", 4}, {"0.5", 0}, {"1.5", 2}, {"-2.5", -2}, {"-3.5", -4},
        {"2.5000001", 3}, {".5", 0}, {"4.", 4}, {"1e3", 1000}, {"25E-1", 2},
        {"32767", 32767}, {"32767.4", 32767}, {"-32768", -32768}, {"-32768.5", -32768},
        {"", 0, Mismatch}, {"   ", 0, Mismatch}, {"x", 0, Mismatch}, {"1x", 0, Mismatch},
        {"1 2", 0, Mismatch}, {".", 0, Mismatch}, {"-", 0, Mismatch}, {"--1", 0, Mismatch},
        {"1e", 0, Mismatch}, {"0x10", 0, Mismatch}, {"inf", 0, Mismatch},
        {"nan", 0, Mismatch}, {"１", 0, Mismatch},
        {"40000", 0, Overflow}, {"32767.5", 0, Overflow}, {"-32769", 0, Overflow},
        {"1e400", 0, Overflow}});
}

TEST_P(UnderLocale, TextToInt32DoubleAndSingle) {
    expectAll<std::int32_t>(ToInt32, {
        {"40000", 40000}, {" 7 ", 7}, {"10.5", 10}, {"2147483647", 2147483647},
        {"-2147483648", -2147483647 - 1}, {"2147483648", 0, Overflow},
        {"2147483647.5", 0, Overflow}, {"-2147483649", 0, Overflow},
        {"", 0, Mismatch}, {"seven", 0, Mismatch}});
    expectAll<double>(ToDouble, {
        {"1", 1.0}, {"1.0", 1.0}, {" 0.5 ", 0.5}, {"-0.25", -0.25}, {"1e-400", 0.0},
        {"0.0000e-999", 0.0}, {"1e400", 0, Overflow}, {"-1e400", 0, Overflow},
        {"", 0, Mismatch}, {"1..0", 0, Mismatch}});
    expectAll<float>(ToSingle, {
        {"1500", 1500.0f}, {"-120", -120.0f}, {"3.4e38", 3.4e38f}, {"3.5e38", 0, Overflow},
        {"-1e39", 0, Overflow}, {"abc", 0, Mismatch}});
}
// clang-format on

// Only the locale's own decimal separator and "." make a fraction; a group
// separator is never read, so "1,500" cannot become 1500 in one locale.
TEST_P(UnderLocale, DecimalSeparatorOfTheLocale) {
    const Converted<std::int16_t> comma = ToInt16("2,5");
    const Converted<double> grouped = ToDouble("1,500");
    if (commaLocale()) {
        EXPECT_EQ(comma.value, 2);
        EXPECT_TRUE(comma.ok());
        EXPECT_EQ(grouped.value, 1.5);
        EXPECT_EQ(ToDouble("1.500").value, 1.5);
    } else {
        EXPECT_EQ(comma.failure, Mismatch);
        EXPECT_EQ(grouped.failure, Mismatch);
    }
    EXPECT_EQ(ToDouble("1.000.000").failure, Mismatch);
    EXPECT_EQ(ToDouble("1,000,000").failure, Mismatch);
}

TEST_P(UnderLocale, NumbersToText) {
    const std::int64_t integers[] = {0, 1, -1, 10, 1500, -32768, 32767, 2147483647, -2147483648LL};
    for (const std::int64_t value : integers) {
        EXPECT_EQ(FromInteger(value), QString::fromStdString(std::to_string(value)));
    }
    // clang-format off
    const struct {
        float value;
        const char* text; // "." stands for the locale's separator
    } singles[] = {
        {1500.0f, "1500"}, {-120.0f, "-120"}, {0.0f, "0"}, {-0.0f, "0"}, {0.5f, "0.5"},
        {-0.25f, "-0.25"}, {0.1f, "0.1"}, {0.3f, "0.3"}, {100.125f, "100.125"},
        {1234567.0f, "1234567"}, {12345678.0f, "1.234568e+07"}, {1e-5f, "1e-05"},
        {16777216.0f, "1.677722e+07"}};
    // clang-format on
    for (const auto& c : singles) {
        QString expected = QString::fromLatin1(c.text);
        if (commaLocale())
            expected.replace(u'.', u',');
        EXPECT_EQ(FromSingle(c.value), expected) << c.text;
    }
}

// The window position goes out at close and comes back at the next start.
TEST_P(UnderLocale, PositionTextReadsBackAsTheSameNumber) {
    const float positions[] = {0.0f,     15.0f,     -120.0f, 1500.0f, -32768.0f,
                               43200.0f, 999999.0f, 7.5f,    -0.5f,   0.1f};
    for (const float position : positions) {
        const QString text = FromSingle(position);
        const Converted<float> back = ToSingle(text);
        ASSERT_TRUE(back.ok()) << text.toStdString();
        EXPECT_EQ(back.value, position) << text.toStdString();
        EXPECT_FALSE(text.contains(QLocale().groupSeparator())) << text.toStdString();
    }
}

} // namespace
