#include "Common.h"
#include "Encoding.h"
#include "OleDate.h"
#include "PhoneTable.h"
#include "TestHome.h"

#include <QElapsedTimer>
#include <QTimer>
#include <gtest/gtest.h>

TEST(Common, FormatPhoneNumberOnlyTouchesTenCharacters)
{
    EXPECT_EQ(FormatPhoneNumber(QStringLiteral("abcdefghij")), QStringLiteral("(abc) def-ghij"));
    EXPECT_EQ(FormatPhoneNumber(QStringLiteral("abcdefghijk")), QStringLiteral("abcdefghijk"));
    EXPECT_EQ(FormatPhoneNumber(QString()), QString());
}

TEST(Common, PhoneHumanInfoPrefersAliasThenUserName)
{
    TestHome home;
    TIssa &r = IssaArray[9];
    r.PhoneNumber = QStringLiteral("9161234567");
    EXPECT_EQ(PhoneHumanInfo(9), QStringLiteral("(916) 123-4567"));
    r.UserName = QStringLiteral("Иванов И.И.");
    EXPECT_EQ(PhoneHumanInfo(9), QStringLiteral("(916) 123-4567 [Иванов И.И.]"));
    r.Alias = QStringLiteral("Мама");
    EXPECT_EQ(PhoneHumanInfo(9), QStringLiteral("(916) 123-4567 [Мама]"));
}

TEST(Common, IsTrueTextAcceptsOnlyTheThreeWords)
{
    for (const char *yes : {"TRUE", "true", "Yes", "yes", "1"})
        EXPECT_TRUE(IsTrueText(QLatin1String(yes))) << yes;
    for (const char *no : {"Y", "0", "", "tru", "yes ", "2"})
        EXPECT_FALSE(IsTrueText(QLatin1String(no))) << no;
}

TEST(Common, WaitRunsTheEventLoopAndEndsOnTheStopFlag)
{
    TestHome home;
    bool fired = false;
    QTimer::singleShot(20, [&] { fired = true; });
    QTimer::singleShot(60, [] { RequestStopped = true; });
    QElapsedTimer clock;
    clock.start();
    Wait(3000);
    EXPECT_TRUE(fired) << "timers run inside a wait";
    EXPECT_TRUE(RequestStopped);
    EXPECT_LT(clock.elapsed(), 2000) << "the wait did not end on the stop flag";

    clock.restart();
    Wait(3000);  // the flag is already set: back at once
    EXPECT_LT(clock.elapsed(), 500);

    RequestStopped = false;
    clock.restart();
    Wait(50);
    EXPECT_GE(clock.elapsed(), 50);
}

TEST(Common, OleDatesRoundTripAndMatchTheEpoch)
{
    EXPECT_EQ(ToOleDate(QDateTime(QDate(1899, 12, 30), QTime(0, 0))), 0.0);
    EXPECT_EQ(ToOleDate(QDateTime(QDate(1900, 1, 1), QTime(12, 0))), 2.5);
    EXPECT_EQ(ToOleDate(QDateTime(QDate(2026, 12, 7), QTime(6, 0))), 46363.25);
    const QDateTime t(QDate(2024, 2, 29), QTime(23, 59, 59, 999));
    EXPECT_EQ(FromOleDate(ToOleDate(t)), t);
    // A value a hair below midnight rounds onto the next day, not to 24:00.
    EXPECT_EQ(FromOleDate(46363.9999999999), QDateTime(QDate(2026, 12, 8), QTime(0, 0)));
}

TEST(Common, Cp1251RoundTripAndCharsetFallback)
{
    const QString text = QStringLiteral("Баланс: 12.50 руб. Ёё №");
    EXPECT_EQ(FromCp1251(ToCp1251(text)), text);
    EXPECT_EQ(ToCp1251(QStringLiteral("Я")), QByteArray("\xDF"));
    EXPECT_EQ(DecodeByCharset("\xC1", "no-such-charset"), QStringLiteral("Б"));
    EXPECT_EQ(DecodeByCharset("\xD0\x91", "UTF-8"), QStringLiteral("Б"));
}
