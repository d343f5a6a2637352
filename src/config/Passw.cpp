#include "Passw.h"

#include "Encoding.h"
#include "Failure.h"

#include <QRandomGenerator>

namespace {
const char kHexDigits[] = "0123456789ABCDEF";

void appendByte(QString &out, int value)
{
    out += QLatin1Char(kHexDigits[(value >> 4) & 0xF]);
    out += QLatin1Char(kHexDigits[value & 0xF]);
}

int hexValue(QChar c)
{
    const ushort u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    return -1;
}

// Value of the hex digits at 1-based positions [from, from + count).
int readHex(const QString &text, int from, int count)
{
    int value = 0;
    for (int i = 0; i < count; ++i) {
        const int d = hexValue(text.at(from - 1 + i));
        if (d < 0)
            throw SaldomatError(QStringLiteral("'%1' is not a valid integer value")
                                    .arg(QStringLiteral("$") + text.mid(from - 1, count)));
        value = value * 16 + d;
    }
    return value;
}
}  // namespace

QString EncodePass(const QString &plain)
{
    return guarded(THIS_ROUTINE, [&] {
        QRandomGenerator *random = QRandomGenerator::system();
        const QByteArray bytes = ToCp1251(plain.left(PasswMaxLength));
        const int n = static_cast<int>(bytes.size());
        const int k1 = static_cast<int>(random->bounded(255));
        const int k2 = static_cast<int>(random->bounded(255));
        QString out;
        out.reserve(PasswEncodedLength);
        appendByte(out, k1);
        out += QLatin1Char(kHexDigits[random->bounded(16)]);
        out += QLatin1Char(kHexDigits[n]);
        for (int i = 1; i <= n; ++i) {
            const int b = static_cast<unsigned char>(bytes.at(i - 1));
            appendByte(out, b ^ (i % 2 == 0 ? k1 : k2));
        }
        appendByte(out, k2);
        for (int i = 0; i < 24 - n; ++i)
            appendByte(out, static_cast<int>(random->bounded(255)));
        return out;
    });
}

QString DecodePass(const QString &encoded)
{
    return guarded(THIS_ROUTINE, [&] {
        if (encoded.size() < 4)
            throw SaldomatError(QStringLiteral("Слишком короткий код пароля (%1 симв.)").arg(encoded.size()));
        const int k1 = readHex(encoded, 1, 2);
        const int n = readHex(encoded, 4, 1);
        if (encoded.size() < 2 * n + 6)
            throw SaldomatError(QStringLiteral("Слишком короткий код пароля (%1 симв.)").arg(encoded.size()));
        const int k2 = readHex(encoded, 2 * n + 5, 2);
        QByteArray bytes;
        bytes.reserve(n);
        for (int i = 1; i <= n; ++i) {
            const int x = readHex(encoded, 2 * i + 3, 2);
            bytes.append(static_cast<char>(x ^ (i % 2 == 0 ? k1 : k2)));
        }
        return FromCp1251(bytes);
    });
}
