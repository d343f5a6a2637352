#include "Readers.h"

#include <QLocale>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace {
bool isDigit(QChar c)
{
    return c.unicode() >= u'0' && c.unicode() <= u'9';
}
}  // namespace

std::optional<std::int32_t> TextToInt(const QString &text)
{
    QString s = text.trimmed();
    bool negative = false;
    if (s.startsWith(QLatin1Char('-')) || s.startsWith(QLatin1Char('+'))) {
        negative = s.at(0) == QLatin1Char('-');
        s.remove(0, 1);
    }
    int base = 10;
    if (s.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) {
        base = 16;
        s.remove(0, 2);
    } else if (s.startsWith(QLatin1Char('$'))) {
        base = 16;
        s.remove(0, 1);
    }
    if (s.isEmpty())
        return std::nullopt;
    for (QChar c : s) {
        const bool digit = c >= QLatin1Char('0') && c <= QLatin1Char('9');
        const bool hex
            = (c >= QLatin1Char('a') && c <= QLatin1Char('f')) || (c >= QLatin1Char('A') && c <= QLatin1Char('F'));
        if (!digit && !(base == 16 && hex))
            return std::nullopt;
    }
    bool ok = false;
    const qulonglong magnitude = s.toULongLong(&ok, base);
    if (!ok)
        return std::nullopt;
    const qlonglong value = negative ? -static_cast<qlonglong>(magnitude) : static_cast<qlonglong>(magnitude);
    if (magnitude > 0x80000000ULL || value < std::numeric_limits<std::int32_t>::min()
        || value > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    return static_cast<std::int32_t>(value);
}

std::optional<double> TextToFloat(const QString &text)
{
    const QString s = text.trimmed();
    if (s.isEmpty())
        return std::nullopt;
    // Only digits, sign, point and exponent: no "inf", "nan" or group separators.
    for (QChar c : s) {
        if (!(c.isDigit() && c.unicode() < 128) && c != QLatin1Char('.') && c != QLatin1Char('-')
            && c != QLatin1Char('+') && c != QLatin1Char('e') && c != QLatin1Char('E'))
            return std::nullopt;
    }
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::RejectGroupSeparator);
    bool ok = false;
    const double value = c.toDouble(s, &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<float> TextToFloat32(const QString &text)
{
    const std::optional<double> value = TextToFloat(text);
    if (!value || std::fabs(*value) > std::numeric_limits<float>::max())
        return std::nullopt;
    return static_cast<float>(*value);
}

QString FloatToText(double value)
{
    QString s = QString::number(value, 'g', 15);
    const qsizetype e = s.indexOf(QLatin1Char('e'));
    if (e < 0)
        return s;
    // "1e+20" -> "1E20", "1.5e-06" -> "1.5E-6"
    QString mantissa = s.left(e);
    QString exponent = s.mid(e + 1);
    QString sign;
    if (exponent.startsWith(QLatin1Char('-')))
        sign = QStringLiteral("-");
    if (exponent.startsWith(QLatin1Char('-')) || exponent.startsWith(QLatin1Char('+')))
        exponent.remove(0, 1);
    while (exponent.size() > 1 && exponent.startsWith(QLatin1Char('0')))
        exponent.remove(0, 1);
    return mantissa + QLatin1Char('E') + sign + exponent;
}

std::optional<bool> TextToBool(const QString &text)
{
    const QString t = text.trimmed().toLower();
    if (t == QLatin1String("1") || t == QLatin1String("yes") || t == QLatin1String("true"))
        return true;
    if (t == QLatin1String("0") || t == QLatin1String("no") || t == QLatin1String("false"))
        return false;
    return std::nullopt;
}

std::optional<float> FigureToFloat(QStringView s)
{
    qsizetype i = 0;
    const qsizetype n = s.size();
    while (i < n && s[i] == u' ')
        ++i;
    std::string number;
    bool negative = false;
    if (i < n && (s[i] == u'+' || s[i] == u'-')) {
        negative = s[i] == u'-';
        ++i;
    }
    if (negative)
        number += '-';
    // Decimal exponent of the first significant digit, to tell overflow from underflow.
    long long magnitude = 0;
    bool significant = false;
    qsizetype digits = 0;
    for (; i < n && isDigit(s[i]); ++i, ++digits) {
        number += char(s[i].unicode());
        if (significant)
            ++magnitude;
        else if (s[i] != u'0')
            significant = true;
    }
    if (i < n && (s[i] == u'.' || s[i] == u',')) {
        number += '.';
        for (++i; i < n && isDigit(s[i]); ++i, ++digits) {
            number += char(s[i].unicode());
            if (!significant) {
                --magnitude;
                significant = s[i] != u'0';
            }
        }
    }
    if (digits == 0)
        return std::nullopt;
    if (i < n && (s[i] == u'e' || s[i] == u'E')) {
        number += 'e';
        ++i;
        bool expNegative = false;
        if (i < n && (s[i] == u'+' || s[i] == u'-')) {
            expNegative = s[i] == u'-';
            number += char(s[i].unicode());
            ++i;
        }
        long long exponent = 0;
        qsizetype expDigits = 0;
        for (; i < n && isDigit(s[i]); ++i, ++expDigits) {
            number += char(s[i].unicode());
            if (exponent < 1000000000)
                exponent = exponent * 10 + (s[i].unicode() - u'0');
        }
        if (expDigits == 0)
            return std::nullopt;
        magnitude += expNegative ? -exponent : exponent;
    }
    while (i < n && s[i] == u' ')
        ++i;
    if (i != n)
        return std::nullopt;

    float value = 0;
    const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (ec == std::errc::result_out_of_range) {
        if (magnitude < 0)
            return negative ? -0.0f : 0.0f;
        return std::nullopt;
    }
    if (ec != std::errc() || end != number.data() + number.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<std::int32_t> FigureToInt(QStringView s)
{
    qsizetype i = 0;
    const qsizetype n = s.size();
    while (i < n && s[i] == u' ')
        ++i;
    bool negative = false;
    if (i < n && (s[i] == u'+' || s[i] == u'-')) {
        negative = s[i] == u'-';
        ++i;
    }
    if (i == n)
        return std::nullopt;
    long long value = 0;
    for (; i < n; ++i) {
        if (!isDigit(s[i]))
            return std::nullopt;
        value = value * 10 + (s[i].unicode() - u'0');
        if (value > 2147483648LL)
            return std::nullopt;
    }
    if (negative)
        value = -value;
    if (value > 2147483647LL)
        return std::nullopt;
    return std::int32_t(value);
}

std::optional<bool> TickTextToBool(const QString &text)
{
    const QString t = text.trimmed();
    if (t.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
        return true;
    if (t.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
        return false;
    if (const std::optional<double> n = TextToFloat(t))
        return *n != 0;
    return std::nullopt;
}

bool IsTrueText(const QString &text)
{
    return text.compare(QLatin1String("TRUE"), Qt::CaseInsensitive) == 0
        || text.compare(QLatin1String("YES"), Qt::CaseInsensitive) == 0 || text == QLatin1String("1");
}

QString TrimControls(const QString &text)
{
    qsizetype from = 0;
    qsizetype to = text.size();
    while (from < to && text.at(from).unicode() <= 32)
        ++from;
    while (to > from && text.at(to - 1).unicode() <= 32)
        --to;
    return (from == 0 && to == text.size()) ? text : text.mid(from, to - from);
}
