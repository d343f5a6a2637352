#include "PhoneNumber.h"

std::optional<QString> NormalizePhoneNumber(const QString &typed)
{
    const QString text = typed.trimmed();
    QString digits;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isDigit() && c.unicode() < 128)
            digits += c;
        else if (c == QLatin1Char('+') && digits.isEmpty() && i == 0)
            continue;
        else if (c != QLatin1Char(' ') && c != QLatin1Char('(') && c != QLatin1Char(')') && c != QLatin1Char('-')
                 && c != QLatin1Char('.'))
            return std::nullopt;
    }
    const bool plus = text.startsWith(QLatin1Char('+'));
    if (digits.size() == 10 && !plus)
        return digits;
    if (digits.size() == 11 && (digits[0] == QLatin1Char('7') || (!plus && digits[0] == QLatin1Char('8'))))
        return digits.mid(1);
    return std::nullopt;
}

QString PhoneNumberProblem(const QString &typed)
{
    return QStringLiteral("Номер \"%1\" не похож на номер телефона: нужны десять цифр (например 9161234567, "
                          "+7 916 123-45-67 или 8 916 123 45 67)")
        .arg(typed.trimmed());
}
