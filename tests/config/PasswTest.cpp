#include "Passw.h"

#include "ConfigHome.h"

#include <QRegularExpression>
#include <QSet>

// 54 upper-case hexadecimal digits whatever the password (the empty one too),
// the length at position 4, a new key each time, cut to fifteen characters.
TEST(Passw, RoundTripsEveryLengthAndCharacterSet)
{
    const QRegularExpression hex(QStringLiteral("^[0-9A-F]{54}$"));
    for (const QString &p : {QString(), QStringLiteral("1"), U("ЁжикЪ-+09 z"), QStringLiteral("123456789012345"),
                             QStringLiteral("\x7f\x01 ~")}) {
        const QString encoded = EncodePass(p);
        EXPECT_TRUE(hex.match(encoded).hasMatch()) << encoded.toStdString();
        EXPECT_EQ(encoded.at(3), QLatin1Char("0123456789ABCDEF"[p.size()])) << encoded.toStdString();
        EXPECT_EQ(DecodePass(encoded), p) << p.toStdString();
    }
    EXPECT_EQ(DecodePass(EncodePass(QStringLiteral("1234567890123456"))), QStringLiteral("123456789012345"));
    EXPECT_EQ(DecodePass(EncodePass(U("абвгдеёжзийклмнопр"))), U("абвгдеёжзийклмн"));
    QSet<QString> seen;
    for (int i = 0; i < 20; ++i)
        seen.insert(EncodePass(QStringLiteral("555")));
    EXPECT_GT(seen.size(), 15);
}

TEST(Passw, DecodesTheStoredLayoutAndRefusesBadText)
{
    // K1 = 0x10, filler 7, n = 3; "1" ^ K2, "2" ^ K1, "3" ^ K2; K2 = 0x20; filler.
    const QString layout = QStringLiteral("1073112213") + QStringLiteral("20");
    const QString encoded = layout + QString(54 - layout.size(), QLatin1Char('E'));
    EXPECT_EQ(DecodePass(encoded), QStringLiteral("123"));
    EXPECT_EQ(DecodePass(encoded.toLower()), QStringLiteral("123"));
    EXPECT_EQ(DecodePass(layout + QStringLiteral("zz!")), QStringLiteral("123"));  // nothing after K2 is read
    QString otherFiller = encoded;
    otherFiller[2] = QLatin1Char('x');  // position 3 is never read
    EXPECT_EQ(DecodePass(otherFiller), QStringLiteral("123"));
    EXPECT_EQ(DecodePass(QStringLiteral("0001FF00")), U("я"));  // windows-1251 bytes

    for (const QString &bad :
         {QStringLiteral("ABC"), QString(), QStringLiteral("1073112213"), QStringLiteral("G073112213AB"),
          QStringLiteral("10731122X3AB"), QStringLiteral("1073112213Z0"), QStringLiteral("107Z112213AB")}) {
        try {
            DecodePass(bad);
            ADD_FAILURE() << "decoded " << bad.toStdString();
        } catch (const SaldomatError &e) {
            EXPECT_TRUE(e.message().startsWith(QStringLiteral("Passw.DecodePass -- > "))) << e.what();
        }
    }
}
