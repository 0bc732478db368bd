#include "Conversions.h"

#include <QLocale>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace vemba::convert {

namespace {

// What parse() accepted, in the notation from_chars reads.
struct Notation {
    Failure failure = Failure::None;
    QByteArray ascii;
};

template <typename T> struct Parsed {
    Failure failure = Failure::None;
    T value = 0;
};

bool isDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

// The power of ten of a number's leading digit, from the notation parse()
// builds: sign, digits, ".", digits, "e", sign, digits. Every out-of-range
// number has a non-zero digit; an exponent too long to hold saturates.
long long leadingPower(const QByteArray& ascii) {
    const qsizetype exponentAt = ascii.indexOf('e');
    const qsizetype mantissaEnd = exponentAt < 0 ? ascii.size() : exponentAt;
    const qsizetype point = ascii.left(mantissaEnd).indexOf('.');
    const qsizetype wholeEnd = point < 0 ? mantissaEnd : point;
    long long power = 0;
    for (qsizetype k = 0; k < mantissaEnd; ++k) {
        if (ascii[k] >= '1' && ascii[k] <= '9') {
            power = k < wholeEnd ? wholeEnd - k - 1 : wholeEnd - k;
            break;
        }
    }
    long long exponent = 0;
    for (qsizetype k = exponentAt + 1; exponentAt >= 0 && k < ascii.size(); ++k) {
        if (ascii[k] >= '0' && ascii[k] <= '9') {
            exponent = std::min(exponent * 10 + (ascii[k] - '0'), 1'000'000'000LL);
        }
    }
    return power + (ascii.contains("e-") ? -exponent : exponent);
}

// Parses the plain decimal notation the program writes, and what a person
// types by hand: sign, digits, a fraction after the locale's separator or
// ".", an exponent. Group separators are not accepted, so that "1,500" is
// never silently 1500 in one locale and 1.5 in another.
Notation parse(const QString& text) {
    const QString t = text.trimmed();
    const QString localePoint = QLocale().decimalPoint();
    QByteArray ascii;
    qsizetype i = 0;
    auto takeDigits = [&] {
        const qsizetype from = i;
        while (i < t.size() && isDigit(t[i])) {
            ascii += char(t[i++].unicode());
        }
        return i - from;
    };
    if (i < t.size() && (t[i] == u'-' || t[i] == u'+')) {
        ascii += char(t[i++].unicode());
    }
    qsizetype digits = takeDigits();
    if (i < t.size() && t[i] == u'.') {
        ++i;
        ascii += '.';
        digits += takeDigits();
    } else if (!localePoint.isEmpty() && t.mid(i).startsWith(localePoint)) {
        i += localePoint.size();
        ascii += '.';
        digits += takeDigits();
    }
    if (digits == 0) {
        return {Failure::TypeMismatch, {}};
    }
    if (i < t.size() && (t[i] == u'e' || t[i] == u'E')) {
        ascii += 'e';
        ++i;
        if (i < t.size() && (t[i] == u'-' || t[i] == u'+')) {
            ascii += char(t[i++].unicode());
        }
        if (takeDigits() == 0) {
            return {Failure::TypeMismatch, {}};
        }
    }
    if (i != t.size()) {
        return {Failure::TypeMismatch, {}};
    }
    return {Failure::None, ascii};
}

// Reads the text straight into T, so that a float is rounded once from the
// decimal, never through a double first.
template <typename T> Parsed<T> read(const QString& text) {
    const Notation notation = parse(text);
    if (notation.failure != Failure::None) {
        return {notation.failure};
    }
    const QByteArray& ascii = notation.ascii;
    // from_chars ignores the C library's locale, which Qt sets from the
    // environment; a leading "+" is ours to skip.
    const char* first = ascii.constData() + (ascii.startsWith('+') ? 1 : 0);
    Parsed<T> parsed;
    const auto [end, ec] = std::from_chars(first, ascii.constData() + ascii.size(), parsed.value);
    if (ec == std::errc::result_out_of_range) {
        // Too small to hold is zero; too large is an overflow.
        return leadingPower(ascii) < 0 ? Parsed<T>{} : Parsed<T>{Failure::Overflow};
    }
    if (ec != std::errc() || end != ascii.constData() + ascii.size()) {
        return {Failure::TypeMismatch};
    }
    return parsed;
}

double roundHalfEven(double x) {
    double r = std::floor(x);
    const double diff = x - r;
    if (diff > 0.5 || (diff == 0.5 && std::fmod(r, 2.0) != 0.0)) {
        r += 1.0;
    }
    return r;
}

template <typename Int> Converted<Int> toInteger(const QString& text) {
    const Parsed<double> parsed = read<double>(text);
    if (parsed.failure != Failure::None) {
        return parsed.failure;
    }
    const double r = roundHalfEven(parsed.value);
    if (r < double(std::numeric_limits<Int>::min()) ||
        r > double(std::numeric_limits<Int>::max())) {
        return Failure::Overflow;
    }
    return static_cast<Int>(r);
}

} // namespace

Converted<std::int16_t> toInt16(const QString& text) {
    return toInteger<std::int16_t>(text);
}

Converted<std::int32_t> toInt32(const QString& text) {
    return toInteger<std::int32_t>(text);
}

Converted<double> toDouble(const QString& text) {
    const Parsed<double> parsed = read<double>(text);
    if (parsed.failure != Failure::None) {
        return parsed.failure;
    }
    return parsed.value;
}

Converted<float> toSingle(const QString& text) {
    const Parsed<float> parsed = read<float>(text);
    if (parsed.failure != Failure::None) {
        return parsed.failure;
    }
    return parsed.value;
}

QString fromInteger(std::int64_t value) {
    return QString::number(qint64(value));
}

QString fromSingle(float value) {
    if (value == 0.0f) {
        return QStringLiteral("0"); // no "-0"
    }
    // QString::number always uses ASCII digits and "."; only the decimal
    // separator follows the locale, so the text reads back everywhere.
    QString text = QString::number(double(value), 'g', 7);
    if (std::isfinite(value)) {
        text.replace(u'.', QLocale().decimalPoint());
    }
    return text;
}

} // namespace vemba::convert
