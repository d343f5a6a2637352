#include "NumberText.h"

#include <QLocale>
#include <cmath>
#include <limits>

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
        const bool hex = (c >= QLatin1Char('a') && c <= QLatin1Char('f')) || (c >= QLatin1Char('A') && c <= QLatin1Char('F'));
        if (!digit && !(base == 16 && hex))
            return std::nullopt;
    }
    bool ok = false;
    const qulonglong magnitude = s.toULongLong(&ok, base);
    if (!ok)
        return std::nullopt;
    const qlonglong value = negative ? -static_cast<qlonglong>(magnitude) : static_cast<qlonglong>(magnitude);
    if (magnitude > 0x80000000ULL || value < std::numeric_limits<std::int32_t>::min() ||
        value > std::numeric_limits<std::int32_t>::max())
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
        if (!(c.isDigit() && c.unicode() < 128) && c != QLatin1Char('.') && c != QLatin1Char('-') && c != QLatin1Char('+') &&
            c != QLatin1Char('e') && c != QLatin1Char('E'))
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
