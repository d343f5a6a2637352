#include "Passw.h"

#include "ConfigHome.h"

#include <QRegularExpression>
#include <QSet>

namespace {
bool isUpperHex(const QString &s)
{
    return QRegularExpression(QStringLiteral("^[0-9A-F]*$")).match(s).hasMatch();
}

QString decodeError(const QString &encoded)
{
    try {
        DecodePass(encoded);
    } catch (const SaldomatError &e) {
        return e.message();
    }
    return QString();
}
}  // namespace

TEST(Passw, RoundTripsEveryLengthAndCharacterSet)
{
    const QStringList passwords{
        QString(), QStringLiteral("1"), QStringLiteral("1234"), U("пароль"), U("ЁжикЪ-+09 z"),
        QStringLiteral("123456789012345"), U("абвгдеёжзийклмн"), QStringLiteral("\x7f\x01 ~")};
    for (const QString &p : passwords) {
        const QString encoded = EncodePass(p);
        EXPECT_EQ(encoded.size(), 54) << p.toStdString();
        EXPECT_TRUE(isUpperHex(encoded)) << encoded.toStdString();
        EXPECT_EQ(encoded.at(3), QLatin1Char("0123456789ABCDEF"[p.size()])) << encoded.toStdString();
        EXPECT_EQ(DecodePass(encoded), p) << p.toStdString();
    }
}

TEST(Passw, LongPasswordsAreCutToFifteenCharacters)
{
    EXPECT_EQ(DecodePass(EncodePass(QStringLiteral("1234567890123456"))), QStringLiteral("123456789012345"));
    EXPECT_EQ(DecodePass(EncodePass(U("абвгдеёжзийклмнопр"))), U("абвгдеёжзийклмн"));
    EXPECT_EQ(EncodePass(QString(40, QLatin1Char('7'))).at(3), QLatin1Char('F'));
}

TEST(Passw, EmptyPasswordIsNeverAnEmptyText)
{
    const QString encoded = EncodePass(QString());
    EXPECT_EQ(encoded.size(), 54);
    EXPECT_EQ(encoded.at(3), QLatin1Char('0'));
    EXPECT_EQ(DecodePass(encoded), QString());
}

TEST(Passw, EncodingsDifferButDecodeAlike)
{
    QSet<QString> seen;
    for (int i = 0; i < 20; ++i) {
        const QString e = EncodePass(QStringLiteral("555"));
        seen.insert(e);
        EXPECT_EQ(DecodePass(e), QStringLiteral("555"));
    }
    EXPECT_GT(seen.size(), 15);
}

TEST(Passw, DecodesTheStoredLayoutWrittenByHand)
{
    // K1 = 0x10, filler 7, n = 3; "1" ^ K2, "2" ^ K1, "3" ^ K2; K2 = 0x20; filler.
    const QString layout = QStringLiteral("1073") + QStringLiteral("112213") + QStringLiteral("20");
    const QString encoded = layout + QString(54 - layout.size(), QLatin1Char('E'));
    EXPECT_EQ(DecodePass(encoded), QStringLiteral("123"));
    EXPECT_EQ(DecodePass(encoded.toLower()), QStringLiteral("123"));
    // Nothing after K2 is read: neither its length nor its digits matter.
    EXPECT_EQ(DecodePass(layout), QStringLiteral("123"));
    EXPECT_EQ(DecodePass(layout + QStringLiteral("zz!")), QStringLiteral("123"));
    // Position 3 is never read.
    QString otherFiller = encoded;
    otherFiller[2] = QLatin1Char('x');
    EXPECT_EQ(DecodePass(otherFiller), QStringLiteral("123"));
    // Cyrillic bytes are windows-1251: "я" is 0xFF.
    EXPECT_EQ(DecodePass(QStringLiteral("0001FF00")), U("я"));
}

TEST(Passw, BadTextFailsWithItsLabel)
{
    const QStringList bad{
        QStringLiteral("ABC"),           // 3 characters
        QString(),                       // empty
        QStringLiteral("1073112213"),    // n = 3 needs 12 characters
        QStringLiteral("G073112213AB"),  // key K1 not hex
        QStringLiteral("10731122X3AB"),  // data byte not hex
        QStringLiteral("107311221320").left(10) + QStringLiteral("Z0"),  // K2 not hex
        QStringLiteral("107Z112213AB"),  // length digit not hex
    };
    for (const QString &b : bad) {
        const QString error = decodeError(b);
        EXPECT_TRUE(error.startsWith(QStringLiteral("Passw.DecodePass -- > "))) << b.toStdString() << " -> " << error.toStdString();
    }
}
