#include "Passw.h"

#include "ConfigHome.h"

#include <QRegularExpression>
#include <QSet>

// 54 upper-case hexadecimal digits whatever the password (the empty one too),
// the length at position 4, a new key each time, cut to fifteen characters.
TEST(Passw, RoundTripsEveryLengthAndCharacterSet)
{
    const QRegularExpression hex("^[0-9A-F]{54}$");
    for (const QString &p : {QString(), QString("1"), QString("ЁжикЪ-+09 z"), QString("123456789012345"),
                             QString("\x7f\x01 ~"), QString("1234567890123456"), QString("абвгдеёжзийклмнопр")}) {
        const QString encoded = EncodePass(p);
        EXPECT_TRUE(hex.match(encoded).hasMatch()) << encoded.toStdString();
        EXPECT_EQ(encoded.at(3), QLatin1Char("0123456789ABCDEF"[std::min(p.size(), qsizetype(15))]));
        EXPECT_EQ(DecodePass(encoded), p.left(15)) << p.toStdString();
    }
    QSet<QString> seen;
    for (int i = 0; i < 20; ++i)
        seen.insert(EncodePass("555"));
    EXPECT_GT(seen.size(), 15);
}

TEST(Passw, DecodesTheStoredLayoutAndRefusesBadText)
{
    // K1 = 0x10, filler 7, n = 3; "1" ^ K2, "2" ^ K1, "3" ^ K2; K2 = 0x20; then
    // anything: nothing after K2 is read, nor position 3; windows-1251 bytes.
    const QString layout = "1073112213"
                           "20";
    for (const QString &encoded : {layout + QString(42, u'E'), (layout + QString(42, u'E')).toLower(), layout + "zz!",
                                   QString("10x3112213"
                                           "20")})
        EXPECT_EQ(DecodePass(encoded), "123") << encoded.toStdString();
    EXPECT_EQ(DecodePass("0001FF00"), "я");
    for (const char *bad : {"ABC", "", "1073112213", "G073112213AB", "10731122X3AB", "1073112213Z0", "107Z112213AB"}) {
        try {
            DecodePass(bad);
            ADD_FAILURE() << "decoded " << bad;
        } catch (const SaldomatError &e) {
            EXPECT_TRUE(e.message().startsWith("Passw.DecodePass -- > ")) << e.what();
        }
    }
}
