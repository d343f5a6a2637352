// ParseBalans: preparation and line walk, then the rules by family (who the
// subscriber is, money, turn-off, recommended payment, SMS, minutes, the tariff's
// period), the order in which conditions are read, the worked example and the
// index error at the end of the page.

#include "ParserTestUtil.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {
QString S(const char16_t *text)
{
    return QString::fromUtf16(text);
}
} // namespace

// ---------------------------------------------------------------- preparation and lines

TEST(ParseBalansPreparation, ResetsTheRecordButKeepsLoadedPages)
{
    TIssa r;
    r.PhoneID = 4;
    r.Alias = QStringLiteral("Я");
    r.LicSchet = r.UserName = r.PhoneNumber = r.ErrorMsg = QStringLiteral("old");
    r.Balance = r.Average = r.Recomend = r.ObPlat = r.USDRate = r.BalDelta = 3;
    r.TurnOff = r.SMS = r.Minutes = r.JeansExpired = 3;
    r.QueryDateTime = 45000;
    r.Success = true;
    r.State = dsError;
    r.LoadedPages = {QStringLiteral("p1"), QStringLiteral("p2")};
    ParseBalans(u"<td>Актуальный баланс:</td>\n<td>5</td>", r);
    EXPECT_EQ(r.Balance, 5.0f);
    EXPECT_EQ(r.PhoneID, 0);
    EXPECT_TRUE(r.Alias.isEmpty() && r.LicSchet.isEmpty() && r.UserName.isEmpty() && r.PhoneNumber.isEmpty());
    EXPECT_TRUE(r.ErrorMsg.isEmpty());
    EXPECT_EQ(r.Average + r.Recomend + r.ObPlat + r.USDRate + r.BalDelta, 0.0f);
    EXPECT_EQ(r.TurnOff + r.SMS + r.Minutes + r.JeansExpired, 0);
    EXPECT_EQ(r.QueryDateTime, 0.0);
    EXPECT_FALSE(r.Success);
    EXPECT_EQ(r.State, dsNone);
    EXPECT_EQ(r.LoadedPages.size(), 2);
}

TEST(ParseBalansPreparation, EmptyAndOneLinePagesReadNothing)
{
    for (const char16_t *page :
        {u"", u"\n", u"<td>Актуальный баланс:</td>", u"<td>Остаток смс составляет 5 шт.</td>\n"}) {
        const TIssa r = Parse(QString::fromUtf16(page));
        EXPECT_EQ(r.Balance, 0.0f);
        EXPECT_EQ(r.SMS, 0);
    }
}

TEST(ParseBalansPreparation, TheLastLineIsNeverAMarkerLine)
{
    EXPECT_EQ(Parse(Page({u"<td>1</td>", u"<td>Остаток смс составляет 5 шт.</td>"})).SMS, 0);
    EXPECT_EQ(Parse(Page({u"<td>1</td>", u"<td>Остаток смс составляет 5 шт.</td>", u"</body>"})).SMS, 5);
    EXPECT_EQ(Parse(Page({u"<td>Остаток смс составляет 5 шт.</td>", u"<td>1</td>"})).SMS, 5);
}

TEST(ParseBalansPreparation, LinesEndAtCrLfOrTheirPair)
{
    // The value is the third line when the next is empty: the count of lines decides.
    const auto user = [](const char16_t *page) { return Parse(QString::fromUtf16(page)).UserName; };
    EXPECT_EQ(user(u"<td>Пользователь:</td>\r\n<td>X</td>\r\nend"), S(u"X"));
    EXPECT_EQ(user(u"<td>Пользователь:</td>\r<td>X</td>\rend"), S(u"X"));
    EXPECT_EQ(user(u"<td>Пользователь:</td>\n\r<td>X</td>\n<td>Y</td>\nend"), S(u"Y")); // LF CR: two breaks
    EXPECT_EQ(user(u"<td>Пользователь:</td>\r\n\r\n<td>X</td>\r\n<td>Y</td>\r\nend"), S(u"Y"));
}

TEST(ParseBalansPreparation, AFinalLineBreakAddsNoLine)
{
    QString failure;
    Parse(QStringLiteral("<td>Пользователь:</td>\n<td></td>\n<td></td>\n"), &failure);
    EXPECT_EQ(failure, QStringLiteral("BalanceParser2.ParseBalans -- > List index out of bounds (3)"));
    failure.clear();
    Parse(QStringLiteral("<td>Пользователь:</td>\n<td></td>\n<td></td>\n\n"), &failure); // four lines
    EXPECT_TRUE(failure.isEmpty());
}

// ---------------------------------------------------------------- account, subscriber, number

TEST(IdentityRules, AccountNumberFromTheIconOrTheLabel)
{
    EXPECT_EQ(Parse(Page({u"<TD><IMG src=/img/account.gif></TD>", u"<TD>1234567890</TD>", u"</body>"})).LicSchet,
        S(u"1234567890"));
    EXPECT_EQ(Parse(Page({u"<td>Лицевой счет: </td>", u"<td>42</td>", u"</body>"})).LicSchet, S(u"42"));
    EXPECT_EQ(Parse(Page({u"<td>ЛИЦЕВОЙ СЧЕТ: </td>", u"<td>42</td>", u"</body>"})).LicSchet, S(u"42"));
    // The label needs its space; "&nbsp;" and "счёт" are other texts.
    EXPECT_EQ(Parse(Page({u"<td>Лицевой счет:</td>", u"<td>42</td>", u"</body>"})).LicSchet, QString());
    EXPECT_EQ(Parse(Page({u"<td>Лицевой счет:&nbsp;</td>", u"<td>42</td>", u"</body>"})).LicSchet, QString());
    EXPECT_EQ(Parse(Page({u"<td>Лицевой счёт: </td>", u"<td>42</td>", u"</body>"})).LicSchet, QString());
}

TEST(IdentityRules, TheIconAlwaysOverwritesTheLabelOnlyFills)
{
    EXPECT_EQ(Parse(Page({u"<img src=\"/account.gif\">", u"<td>1</td>", u"<img src=\"/account.gif\">", u"<td></td>",
                        u"</body>"}))
                  .LicSchet,
        QString()); // the last icon wins, even empty
    EXPECT_EQ(Parse(Page({u"<img src=\"/account.gif\">", u"<td>1</td>", u"<td>Лицевой счет: </td>", u"<td>2</td>",
                        u"</body>"}))
                  .LicSchet,
        S(u"1"));
    EXPECT_EQ(
        Parse(Page({u"<td>Лицевой счет: </td>", u"<td>1</td>", u"<td>Лицевой счет: </td>", u"<td>2</td>", u"</body>"}))
            .LicSchet,
        S(u"1"));
    EXPECT_EQ(Parse(Page({u"<td>Лицевой счет: </td>", u"<td>1</td>", u"<img src=\"/account.gif\">", u"<td>2</td>",
                        u"</body>"}))
                  .LicSchet,
        S(u"2"));
}

TEST(IdentityRules, AnEmptyValueFallsBackToTheThirdLine)
{
    EXPECT_EQ(
        Parse(Page({u"<TD>Лицевой счет: </TD>", u"<TD></TD>", u"<TD>&nbsp;</TD>", u"<TD>1234567890</TD>", u"</body>"}))
            .LicSchet,
        S(u"1234567890"));
    EXPECT_EQ(Parse(Page({u"<td>Пользователь:</td>", u"<td>&nbsp;</td>", u"<td>skip</td>", u"<td>Орлова Мария</td>",
                        u"</body>"}))
                  .UserName,
        S(u"Орлова Мария"));
    // The icon has no fallback.
    EXPECT_EQ(
        Parse(Page({u"<img src=/img/account.gif>", u"<td></td>", u"<td></td>", u"<td>1</td>", u"</body>"})).LicSchet,
        QString());
}

TEST(IdentityRules, TheUserLabelAlwaysWinsOverTheIconAndTheSubscriberWord)
{
    EXPECT_EQ(Parse(Page({u"<img src=/img/person.gif>", u"<td>A</td>", u"<img src=/img/person.gif>", u"<td>B</td>",
                        u"</body>"}))
                  .UserName,
        S(u"A"));
    EXPECT_EQ(Parse(Page({u"<td>Абонент</td>", u"<td>A</td>", u"<td>Пользователь:</td>", u"<td>B</td>", u"</body>"}))
                  .UserName,
        S(u"B"));
    EXPECT_EQ(Parse(Page({u"<td>Пользователь:</td>", u"<td>B</td>", u"<td>Абонент</td>", u"<td>A</td>", u"</body>"}))
                  .UserName,
        S(u"B"));
    // "Абонент" inside other words counts: a header "абонентов" takes its next line.
    EXPECT_EQ(Parse(Page({u"<td>Система самообслуживания абонентов</td>", u"<td><a href=x>Выход</a></td>", u"</body>"}))
                  .UserName,
        S(u"Выход"));
}

TEST(IdentityRules, PhoneNumberFromItsLabel)
{
    EXPECT_EQ(Parse(Page({u"<td>Номер телефона:</td>", u"<td>9161234567</td>", u"<td>номер телефона:</td>",
                        u"<td>9031112233</td>", u"</body>"}))
                  .PhoneNumber,
        S(u"9031112233"));
    EXPECT_EQ(Parse(Page({u"<td>Номер телефона (10 цифр):</td>", u"<td>9161234567</td>", u"</body>"})).PhoneNumber,
        QString());
}

// ---------------------------------------------------------------- the index error at the end

TEST(EndOfPage, ALabelNearTheEndWithAnEmptyValueFailsWithTheIndex)
{
    QString failure;
    const TIssa r = Parse(
        Page({u"<td>Актуальный баланс:</td>", u"<td>5</td>", u"<td>Лицевой счет: </td>", u"<td></td>", u"</body>"}),
        &failure);
    EXPECT_EQ(failure, QStringLiteral("BalanceParser2.ParseBalans -- > List index out of bounds (5)"));
    EXPECT_EQ(r.Balance, 5.0f); // the figures read before the failure stay
    // With the account number already read the label is skipped: nothing fails.
    failure.clear();
    const TIssa s = Parse(
        Page({u"<img src=/img/account.gif>", u"<td>77</td>", u"<td>Лицевой счет: </td>", u"<td></td>", u"</body>"}),
        &failure);
    EXPECT_TRUE(failure.isEmpty());
    EXPECT_EQ(s.LicSchet, S(u"77"));
}

TEST(EndOfPage, TheFailureStopsReadingAtItsLine)
{
    QString failure;
    // Line 3 would give the account number; reading stops at line 2.
    const TIssa r = Parse(Page({u"<td>Пользователь:</td>", u"<td>Федоров Павел</td>", u"<br>Пользователь:",
                              u"<br><img src=/img/account.gif>", u"<td>999</td>"}),
        &failure);
    EXPECT_EQ(failure, QStringLiteral("BalanceParser2.ParseBalans -- > List index out of bounds (5)"));
    EXPECT_EQ(r.UserName, QString()); // the next line's empty value was written first
    EXPECT_EQ(r.LicSchet, QString());
    EXPECT_EQ(Parse(Page({u"<td>Пользователь:</td>", u"<td>Федоров Павел</td>", u"<br>",
                        u"<br><img src=/img/account.gif>", u"<td>999</td>"}))
                  .LicSchet,
        S(u"999"));
}

TEST(EndOfPage, TheFallbackWithinThePageDoesNotFail)
{
    QString failure;
    const TIssa r = Parse(Page({u"<td>Пользователь:</td>", u"<td></td>", u"<td></td>", u"<td>Z</td>"}), &failure);
    EXPECT_TRUE(failure.isEmpty());
    EXPECT_EQ(r.UserName, S(u"Z"));
    // A label whose next line has a value never needs the third line.
    EXPECT_EQ(Parse(Page({u"<td>Пользователь:</td>", u"<td>Z</td>"})).UserName, S(u"Z"));
}

// ---------------------------------------------------------------- money

TEST(MoneyRules, LabelRowsReadTheNumberAtTheStartOfTheNextLine)
{
    const TIssa r = Parse(Page({u"<td>Внутренний курс на сегодня:</td>", u"<td>31,20 руб.</td>",
        u"<td>Актуальный баланс:</td>", u"<td>245,50 у.е.</td>", u"<td>Сумма обещанного платежа:</td>",
        u"<td>5.00</td>", u"<td>Средняя скорость расходования средств:</td>", u"<td>1,85 у.е./день</td>", u"</body>"}));
    EXPECT_EQ(r.USDRate, 31.2f);
    EXPECT_EQ(r.Balance, 245.5f);
    EXPECT_EQ(r.ObPlat, 5.0f);
    EXPECT_EQ(r.Average, 1.85f);
    EXPECT_EQ(Parse(Page({u"<td>обещанного платежа</td>", u"<td>около 5</td>", u"</body>"})).ObPlat, 0.0f);
}

TEST(MoneyRules, ALaterBalanceCaptionWithoutANumberResetsAndOnAccountRefills)
{
    const QString base = Page({u"<td>Актуальный баланс:</td>", u"<td>12</td>",
        u"<p>Актуальный баланс обновляется раз в час</p>", u"<p>нет данных</p>"});
    EXPECT_EQ(Parse(base + QStringLiteral("\n")).Balance, 0.0f);
    EXPECT_EQ(Parse(base + QStringLiteral("\n<td>На счету:</td>\n<td>12</td>\n")).Balance, 12.0f);
}

TEST(MoneyRules, SentenceBalanceOnlyFillsAZero)
{
    EXPECT_EQ(Parse(Page({u"<p>Баланс вашего лицевого счета равен 87.15 у.е.</p>", u"</body>"})).Balance, 87.15f);
    EXPECT_EQ(Parse(Page({u"<td>Актуальный баланс:</td>", u"<td>5</td>",
                        u"<p>Баланс вашего лицевого счета равен 87.15</p>", u"</body>"}))
                  .Balance,
        5.0f);
    // The caption rule always writes: after a sentence on an earlier line it wins.
    EXPECT_EQ(Parse(Page({u"<p>Баланс вашего лицевого счета равен 87.15</p>", u"<td>Актуальный баланс:</td>",
                        u"<td>5</td>", u"</body>"}))
                  .Balance,
        5.0f);
    EXPECT_EQ(
        Parse(Page({u"<td>На счету</td>", u"<td>9</td>", u"<td>На счету</td>", u"<td>8</td>", u"</body>"})).Balance,
        9.0f);
}

TEST(MoneyRules, ADebtIsANegativeBalance)
{
    EXPECT_EQ(
        Parse(Page({u"<TD>Задолженность вашего лицевого счета равна 7,25 у.е.</TD>", u"</body>"})).Balance, -7.25f);
    EXPECT_EQ(
        Parse(Page({u"<p>Ваша задолженность вашего лицевого счета равна 3 у.е.</p>", u"</body>"})).Balance, -3.0f);
    // A debt of 0 is -0: equal to 0, so a later rule may still fill the balance.
    const TIssa zero = Parse(Page({u"<p>задолженность вашего лицевого счета равна 0</p>", u"</body>"}));
    EXPECT_EQ(zero.Balance, 0.0f);
    EXPECT_TRUE(std::signbit(zero.Balance));
    EXPECT_EQ(Parse(Page({u"<p>задолженность вашего лицевого счета равна 0</p>", u"<td>На счету</td>", u"<td>4</td>",
                        u"</body>"}))
                  .Balance,
        4.0f);
    // A capital letter later in the sentence: the cut drops the marker's length from the start.
    EXPECT_EQ(
        Parse(Page({u"<p>Итого: Задолженность вашего лицевого счета равна 3 у.е.</p>", u"</body>"})).Balance, 0.0f);
}

// ---------------------------------------------------------------- turn-off, recommended payment, period

TEST(TurnOffRules, TheDateLabelWinsTheSentenceFillsAZero)
{
    EXPECT_EQ(
        Parse(Page({u"<td>Предположительная дата отключения:</td>", u"<td>15 дн.</td>", u"</body>"})).TurnOff, 15);
    EXPECT_EQ(
        Parse(Page({u"<td>Предположительная дата отключения:</td>", u"<td>27.03.2009</td>", u"</body>"})).TurnOff, 0);
    EXPECT_EQ(Parse(Page({u"<p>Отключение ожидается менее, чем через 9 дн.</p>", u"</body>"})).TurnOff, 9);
    EXPECT_EQ(Parse(Page({u"<td>предположительная дата отключения</td>", u"<td>3</td>",
                        u"<p>Отключение ожидается менее, чем через 9 дн.</p>", u"</body>"}))
                  .TurnOff,
        3);
    EXPECT_EQ(Parse(Page({u"<p>Отключение ожидается менее, чем через 9 дн.</p>",
                        u"<td>предположительная дата отключения</td>", u"<td>—</td>", u"</body>"}))
                  .TurnOff,
        0);
}

TEST(RecommendRules, PrepaymentSentenceAlwaysShortFormFillsAZero)
{
    EXPECT_EQ(
        Parse(Page({u"<TD>Сумма рекомендуемой предоплаты составляет 15.00 у.е.</TD>", u"</body>"})).Recomend, 15.0f);
    EXPECT_EQ(Parse(Page({u"<p>Рекомендуемый платеж (рек.опл: 12.50 у.е.)</p>", u"</body>"})).Recomend, 12.5f);
    EXPECT_EQ(Parse(Page({u"<p>предоплаты составляет 3</p>", u"<p>рек.опл: 4</p>", u"</body>"})).Recomend, 3.0f);
    EXPECT_EQ(Parse(Page({u"<p>рек.опл: 4</p>", u"<p>предоплаты составляет 3</p>", u"</body>"})).Recomend, 3.0f);
    EXPECT_EQ(Parse(Page({u"<p>рек.опл: 4</p>", u"<p>предоплаты составляет нет</p>", u"</body>"})).Recomend, 0.0f);
}

TEST(RecommendRules, TheLineTestAndTheCutUseDifferentTexts)
{
    // The test has no space after the colon; the cut wants one and drops nine
    // characters from the start when it does not find it.
    EXPECT_EQ(Parse(Page({u"<p>рек.опл:15</p>", u"</body>"})).Recomend, 5.0f); // "рек.опл:1" goes
    EXPECT_EQ(Parse(Page({u"<p>предоплаты составляет: 7</p>", u"</body>"})).Recomend, 0.0f);
}

TEST(PeriodRules, TheLastSentenceWins)
{
    EXPECT_EQ(
        Parse(Page({u"<p>истекает менее чем через 12 дн.</p>", u"<p>истекает менее чем через 3 дн.</p>", u"</body>"}))
            .JeansExpired,
        3);
    EXPECT_EQ(
        Parse(Page({u"<p>истекает менее чем через 12 дн.</p>", u"<p>истекает менее чем через скоро</p>", u"</body>"}))
            .JeansExpired,
        0);
}

// ---------------------------------------------------------------- SMS

TEST(SmsRules, LatinLettersWinWhicheverComesFirst)
{
    EXPECT_EQ(Parse(Page({u"<td>sms составляет 10</td>", u"<td>смс составляет 20</td>", u"</body>"})).SMS, 10);
    EXPECT_EQ(Parse(Page({u"<td>смс составляет 20</td>", u"<td>sms составляет 10</td>", u"</body>"})).SMS, 10);
    EXPECT_EQ(Parse(Page({u"<td>Остаток SMS составляет 35 шт.</td>", u"</body>"})).SMS, 35);
}

TEST(SmsRules, CyrillicCapitalsPassTheTestButCutByLength)
{
    EXPECT_EQ(Parse(Page({u"<td>СМС составляет 15 шт.</td>", u"</body>"})).SMS, 15);
    EXPECT_EQ(Parse(Page({u"<td>Остаток СМС составляет 15 шт.</td>", u"</body>"})).SMS, 0);
}

// ---------------------------------------------------------------- minutes

TEST(MinutesRules, PlainNumbers)
{
    EXPECT_EQ(Parse(Page({u"<td>локальная связь составляет 200 мин.</td>", u"</body>"})).Minutes, 200);
    EXPECT_EQ(Parse(Page({u"<td>бесплатных разговоров составляет 120 мин.</td>", u"</body>"})).Minutes, 120);
    EXPECT_EQ(Parse(Page({u"<td>разговоров типа составляет 150</td>", u"</body>"})).Minutes, 150);
    // Local always writes, the others only fill a zero.
    EXPECT_EQ(Parse(Page({u"<td>бесплатных разговоров составляет 5</td>", u"<td>локальная связь составляет 0</td>",
                        u"</body>"}))
                  .Minutes,
        0);
    EXPECT_EQ(Parse(Page({u"<td>локальная связь составляет 7</td>", u"<td>бесплатных разговоров составляет 5</td>",
                        u"</body>"}))
                  .Minutes,
        7);
}

TEST(MinutesRules, BetweenColons)
{
    EXPECT_EQ(Parse(Page({u"<td>Остаток: локальная связь составляет :45:00</td>", u"</body>"})).Minutes, 45);
}

TEST(MinutesRules, HoursZeroAndOneOfATime)
{
    const auto minutes = [](const char16_t *time) {
        return Parse(QStringLiteral("<TD>Остаток разговоров типа составляет ") + QString::fromUtf16(time)
            + QStringLiteral("</TD>\n<TD></TD>"))
            .Minutes;
    };
    EXPECT_EQ(minutes(u"00:45:10"), 45);
    EXPECT_EQ(minutes(u"01:20:00"), 80);
    EXPECT_EQ(minutes(u"01:00:30"), 0);
    EXPECT_EQ(minutes(u"02:10:00"), 0);
    EXPECT_EQ(minutes(u"00:00:59"), 0);
    // Sixty more in the field's 32-bit arithmetic.
    EXPECT_EQ(minutes(u"01:2147483647:00"), -2147483589);
}

// ---------------------------------------------------------------- conditions read at the moment

TEST(RuleOrder, ConditionsSeeEarlierRulesOfTheSameLine)
{
    // Rule 14 writes 0, rule 15 on the same line then sees a zero.
    EXPECT_EQ(Parse(Page({u"<td>sms составляет нет, смс составляет 4</td>", u"</body>"})).SMS, 4);
    // Rule 23 fills the balance, rule 24 on the same line no longer may.
    EXPECT_EQ(Parse(Page({u"<td>Баланс вашего лицевого счета равен 5 у.е. На счету</td>", u"<td>7</td>", u"</body>"}))
                  .Balance,
        5.0f);
    // Rule 8 writes 0 from its next line; rule 25 on the same line then reads the
    // debt, while rule 23 finds the balance already read.
    EXPECT_EQ(Parse(Page({u"<td>Актуальный баланс; задолженность вашего лицевого счета равна 2</td>", u"<td>нет</td>",
                        u"</body>"}))
                  .Balance,
        -2.0f);
    EXPECT_EQ(
        Parse(Page({u"<td>Актуальный баланс; вашего лицевого счета равен 3</td>", u"<td>4</td>", u"</body>"})).Balance,
        4.0f);
}

// ---------------------------------------------------------------- the worked example

TEST(WorkedExample, ReadsTheDocumentedFigures)
{
    QStringList lines(40, QStringLiteral("<TD>&nbsp;</TD>"));
    lines[10] = QStringLiteral("<TD><IMG src=/img/account.gif></TD>");
    lines[11] = QStringLiteral("<TD>1234567890</TD>");
    lines[14] = QStringLiteral("<TD>пользователь:</TD>");
    lines[15] = QStringLiteral("<TD>Петров Пётр</TD>");
    lines[20] = QStringLiteral("<TD>актуальный баланс:</TD>");
    lines[21] = QStringLiteral("<TD>12,34 у.е.</TD>");
    lines[30] = QStringLiteral("<TD>Сумма рекомендуемой предоплаты составляет 15.00 у.е.</TD>");
    lines[31] = QStringLiteral("<TD>Остаток смс составляет 25 шт.</TD>");
    lines[32] = QStringLiteral("<TD>Остаток разговоров типа составляет 01:20:00</TD>");
    const TIssa r = Parse(lines.join(QStringLiteral("\r\n")));
    EXPECT_EQ(r.LicSchet, S(u"1234567890"));
    EXPECT_EQ(r.UserName, S(u"Петров Пётр"));
    EXPECT_EQ(r.PhoneNumber, QString());
    EXPECT_EQ(r.Balance, 12.34f);
    EXPECT_EQ(r.Recomend, 15.0f);
    EXPECT_EQ(r.SMS, 25);
    EXPECT_EQ(r.Minutes, 80);
    EXPECT_EQ(r.ObPlat + r.Average + r.USDRate, 0.0f);
    EXPECT_EQ(r.TurnOff + r.JeansExpired, 0);
}
