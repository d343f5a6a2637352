// ParseBalans: the preparation and line walk, every rule family, the order in
// which conditions are read and the index error at the end of the page. Each
// case is a page (lines split at "\n") and one "Field: value" line it must give.

#include "ParserTestUtil.h"

#include <cmath>

namespace {
struct RuleCase {
    const char16_t *page;
    const char *figure;  // one of FigureLines
};

const RuleCase kRuleCases[] = {
    // preparation: fewer than two lines read nothing; the last line is never a marker line
    {u"<td>Актуальный баланс:</td>", "Balance: 0"},
    {u"<td>Остаток смс составляет 5 шт.</td>\n", "SMS: 0"},
    {u"<td>1</td>\n<td>Остаток смс составляет 5 шт.</td>", "SMS: 0"},
    {u"<td>1</td>\n<td>Остаток смс составляет 5 шт.</td>\n</body>", "SMS: 5"},
    // lines end at CR, LF or CR LF; LF CR is two breaks
    {u"<td>Пользователь:</td>\r\n<td>X</td>\r\nend", "UserName: X"},
    {u"<td>Пользователь:</td>\r<td>X</td>\rend", "UserName: X"},
    {u"<td>Пользователь:</td>\n\r<td>X</td>\n<td>Y</td>\nend", "UserName: Y"},
    // account number: the icon always writes, the label (with its space) only fills
    {u"<TD><IMG src=/img/account.gif></TD>\n<TD>1234567890</TD>\n</body>", "LicSchet: 1234567890"},
    {u"<td>ЛИЦЕВОЙ СЧЕТ: </td>\n<td>42</td>\n</body>", "LicSchet: 42"},
    {u"<td>Лицевой счет:</td>\n<td>42</td>\n</body>", "LicSchet:"},
    {u"<td>Лицевой счет:&nbsp;</td>\n<td>42</td>\n</body>", "LicSchet:"},
    {u"<td>Лицевой счёт: </td>\n<td>42</td>\n</body>", "LicSchet:"},
    {u"<img src=\"/account.gif\">\n<td>1</td>\n<img src=\"/account.gif\">\n<td></td>\n</body>", "LicSchet:"},
    {u"<img src=\"/account.gif\">\n<td>1</td>\n<td>Лицевой счет: </td>\n<td>2</td>\n</body>", "LicSchet: 1"},
    {u"<td>Лицевой счет: </td>\n<td>1</td>\n<img src=\"/account.gif\">\n<td>2</td>\n</body>", "LicSchet: 2"},
    // an empty value falls back to the third line, except for the icon
    {u"<TD>Лицевой счет: </TD>\n<TD></TD>\n<TD>&nbsp;</TD>\n<TD>1234567890</TD>\n</body>", "LicSchet: 1234567890"},
    {u"<img src=/img/account.gif>\n<td></td>\n<td></td>\n<td>1</td>\n</body>", "LicSchet:"},
    {u"<td>Пользователь:</td>\n<td></td>\n<td></td>\n<td>Z</td>", "UserName: Z"},
    // the user label wins over the icon and the subscriber word, even inside other words
    {u"<img src=/img/person.gif>\n<td>A</td>\n<img src=/img/person.gif>\n<td>B</td>\n</body>", "UserName: A"},
    {u"<td>Абонент</td>\n<td>A</td>\n<td>Пользователь:</td>\n<td>B</td>\n</body>", "UserName: B"},
    {u"<td>Пользователь:</td>\n<td>B</td>\n<td>Абонент</td>\n<td>A</td>\n</body>", "UserName: B"},
    {u"<td>Система самообслуживания абонентов</td>\n<td><a href=x>Выход</a></td>\n</body>", "UserName: Выход"},
    {u"<td>Номер телефона:</td>\n<td>916</td>\n<td>номер телефона:</td>\n<td>903</td>\n</body>", "PhoneNumber: 903"},
    {u"<td>Номер телефона (10 цифр):</td>\n<td>9161234567</td>\n</body>", "PhoneNumber:"},
    // money: label rows read the number at the start of the next line
    {u"<td>Внутренний курс на сегодня:</td>\n<td>31,20 руб.</td>\n</body>", "USDRate: 31.2"},
    {u"<td>Актуальный баланс:</td>\n<td>245,50 у.е.</td>\n</body>", "Balance: 245.5"},
    {u"<td>Сумма обещанного платежа:</td>\n<td>5.00</td>\n</body>", "ObPlat: 5"},
    {u"<td>обещанного платежа</td>\n<td>около 5</td>\n</body>", "ObPlat: 0"},
    {u"<td>Средняя скорость расходования средств:</td>\n<td>1,85 у.е./день</td>\n</body>", "Average: 1.85"},
    {u"<td>Актуальный баланс:</td>\n<td>12</td>\n<p>Актуальный баланс обновляется</p>\n<p>нет данных</p>\n",
     "Balance: 0"},
    {u"<td>Актуальный баланс:</td>\n<td>12</td>\n<p>Актуальный баланс обновляется</p>\n<p>нет</p>\n<td>На "
     u"счету:</td>\n<td>12</td>\n",
     "Balance: 12"},
    // the sentence balance and "on account" only fill a zero; the caption always writes
    {u"<p>Баланс вашего лицевого счета равен 87.15 у.е.</p>\n</body>", "Balance: 87.15"},
    {u"<td>Актуальный баланс:</td>\n<td>5</td>\n<p>Баланс вашего лицевого счета равен 87.15</p>\n</body>",
     "Balance: 5"},
    {u"<p>Баланс вашего лицевого счета равен 87.15</p>\n<td>Актуальный баланс:</td>\n<td>5</td>\n</body>",
     "Balance: 5"},
    {u"<td>На счету</td>\n<td>9</td>\n<td>На счету</td>\n<td>8</td>\n</body>", "Balance: 9"},
    // a debt is a negative balance; a debt of 0 may still be filled
    {u"<TD>Задолженность вашего лицевого счета равна 7,25 у.е.</TD>\n</body>", "Balance: -7.25"},
    {u"<p>задолженность вашего лицевого счета равна 0</p>\n<td>На счету</td>\n<td>4</td>\n</body>", "Balance: 4"},
    {u"<p>Итого: Задолженность вашего лицевого счета равна 3 у.е.</p>\n</body>", "Balance: 0"},
    // turn-off: the date label wins, the sentence fills a zero
    {u"<td>Предположительная дата отключения:</td>\n<td>15 дн.</td>\n</body>", "TurnOff: 15"},
    {u"<td>Предположительная дата отключения:</td>\n<td>27.03.2009</td>\n</body>", "TurnOff: 0"},
    {u"<p>Отключение ожидается менее, чем через 9 дн.</p>\n</body>", "TurnOff: 9"},
    {u"<td>предположительная дата отключения</td>\n<td>3</td>\n<p>Отключение ожидается менее, чем через 9 "
     u"дн.</p>\n</body>",
     "TurnOff: 3"},
    {u"<p>Отключение ожидается менее, чем через 9 дн.</p>\n<td>предположительная дата "
     u"отключения</td>\n<td>—</td>\n</body>",
     "TurnOff: 0"},
    // recommended payment: the sentence always writes, the short form fills a zero
    {u"<TD>Сумма рекомендуемой предоплаты составляет 15.00 у.е.</TD>\n</body>", "Recomend: 15"},
    {u"<p>Рекомендуемый платеж (рек.опл: 12.50 у.е.)</p>\n</body>", "Recomend: 12.5"},
    {u"<p>предоплаты составляет 3</p>\n<p>рек.опл: 4</p>\n</body>", "Recomend: 3"},
    {u"<p>рек.опл: 4</p>\n<p>предоплаты составляет 3</p>\n</body>", "Recomend: 3"},
    {u"<p>рек.опл: 4</p>\n<p>предоплаты составляет нет</p>\n</body>", "Recomend: 0"},
    {u"<p>рек.опл:15</p>\n</body>", "Recomend: 5"},  // the cut drops nine characters when it misses
    // the tariff's period: the last sentence wins
    {u"<p>истекает менее чем через 12 дн.</p>\n<p>истекает менее чем через 3 дн.</p>\n</body>", "JeansExpired: 3"},
    {u"<p>истекает менее чем через 12 дн.</p>\n<p>истекает менее чем через скоро</p>\n</body>", "JeansExpired: 0"},
    // SMS: Latin letters win whichever comes first; Cyrillic capitals cut by length
    {u"<td>sms составляет 10</td>\n<td>смс составляет 20</td>\n</body>", "SMS: 10"},
    {u"<td>смс составляет 20</td>\n<td>sms составляет 10</td>\n</body>", "SMS: 10"},
    {u"<td>Остаток SMS составляет 35 шт.</td>\n</body>", "SMS: 35"},
    {u"<td>СМС составляет 15 шт.</td>\n</body>", "SMS: 15"},
    {u"<td>Остаток СМС составляет 15 шт.</td>\n</body>", "SMS: 0"},
    // minutes: local always writes, the others fill a zero; times give hours 0 and 1
    {u"<td>бесплатных разговоров составляет 120 мин.</td>\n</body>", "Minutes: 120"},
    {u"<td>бесплатных разговоров составляет 5</td>\n<td>локальная связь составляет 0</td>\n</body>", "Minutes: 0"},
    {u"<td>локальная связь составляет 7</td>\n<td>бесплатных разговоров составляет 5</td>\n</body>", "Minutes: 7"},
    {u"<td>Остаток: локальная связь составляет :45:00</td>\n</body>", "Minutes: 45"},
    {u"<TD>Остаток разговоров типа составляет 00:45:10</TD>\n<TD></TD>", "Minutes: 45"},
    {u"<TD>Остаток разговоров типа составляет 01:20:00</TD>\n<TD></TD>", "Minutes: 80"},
    {u"<TD>Остаток разговоров типа составляет 01:00:30</TD>\n<TD></TD>", "Minutes: 0"},
    {u"<TD>Остаток разговоров типа составляет 02:10:00</TD>\n<TD></TD>", "Minutes: 0"},
    {u"<TD>Остаток разговоров типа составляет 01:2147483647:00</TD>\n<TD></TD>", "Minutes: -2147483589"},
    // conditions see what earlier rules of the same line wrote
    {u"<td>sms составляет нет, смс составляет 4</td>\n</body>", "SMS: 4"},
    {u"<td>Баланс вашего лицевого счета равен 5 у.е. На счету</td>\n<td>7</td>\n</body>", "Balance: 5"},
    {u"<td>Актуальный баланс; задолженность вашего лицевого счета равна 2</td>\n<td>нет</td>\n</body>", "Balance: -2"},
    {u"<td>Актуальный баланс; вашего лицевого счета равен 3</td>\n<td>4</td>\n</body>", "Balance: 4"},
};
}  // namespace

TEST(ParseBalansRules, EachCaseGivesItsFigure)
{
    for (const RuleCase &c : kRuleCases) {
        const QString page = QString::fromUtf16(c.page);
        SCOPED_TRACE(page.toStdString());
        const QStringList figures = ReadLines(page);
        EXPECT_TRUE(figures.contains(QString::fromUtf8(c.figure))) << "got " << figures.join(u'|').toStdString();
        EXPECT_FALSE(figures.last().startsWith(QStringLiteral("Error: ")));
    }
    // A debt of 0 is -0.
    EXPECT_TRUE(
        std::signbit(Parse(QStringLiteral("<p>задолженность вашего лицевого счета равна 0</p>\n</body>")).Balance));
}

TEST(ParseBalansRules, ResetsTheRecordButKeepsLoadedPages)
{
    TIssa r;
    r.PhoneID = 4;
    r.Alias = r.LicSchet = r.UserName = r.PhoneNumber = r.ErrorMsg = QStringLiteral("old");
    r.Balance = r.Average = r.Recomend = r.ObPlat = r.USDRate = r.BalDelta = 3;
    r.TurnOff = r.SMS = r.Minutes = r.JeansExpired = 3;
    r.QueryDateTime = 45000;
    r.Success = true;
    r.State = dsError;
    r.LoadedPages = {QStringLiteral("p1"), QStringLiteral("p2")};
    ParseBalans(u"<td>Актуальный баланс:</td>\n<td>5</td>", r);
    TIssa fresh = Parse(QStringLiteral("<td>Актуальный баланс:</td>\n<td>5</td>"));
    fresh.LoadedPages = r.LoadedPages;
    EXPECT_EQ(FigureLines(r), FigureLines(fresh));
    EXPECT_EQ(r.Balance, 5.0f);
    EXPECT_TRUE(r.PhoneID == 0 && r.Alias.isEmpty() && r.ErrorMsg.isEmpty() && r.QueryDateTime == 0.0);
    EXPECT_EQ(r.BalDelta, 0.0f);
    EXPECT_FALSE(r.Success);
    EXPECT_EQ(r.State, dsNone);
    EXPECT_EQ(r.LoadedPages.size(), 2);
}

// A label whose value lies past the last line fails with the index, keeping
// what was read before and reading nothing after; a final line break adds no
// line; with the account number already read, the label is skipped.
TEST(ParseBalansRules, ALabelNearTheEndFailsWithTheIndex)
{
    const struct {
        const char16_t *page;
        int index;  // 0: no failure
        const char *figure;
    } cases[] = {
        {u"<td>Актуальный баланс:</td>\n<td>5</td>\n<td>Лицевой счет: </td>\n<td></td>\n</body>", 5, "Balance: 5"},
        {u"<td>Пользователь:</td>\n<td>Федоров Павел</td>\n<br>Пользователь:\n<br><img src=/img/account.gif>\n<td>999</"
         u"td>",
         5, "LicSchet:|UserName:"},
        {u"<td>Пользователь:</td>\n<td></td>\n<td></td>\n", 3, "UserName:"},
        {u"<td>Пользователь:</td>\n<td></td>\n<td></td>\n\n", 0, "UserName:"},
        {u"<img src=/img/account.gif>\n<td>77</td>\n<td>Лицевой счет: </td>\n<td></td>\n</body>", 0, "LicSchet: 77"},
    };
    for (const auto &c : cases) {
        const QString page = QString::fromUtf16(c.page);
        SCOPED_TRACE(page.toStdString());
        const QStringList lines = ReadLines(page);
        for (const QString &figure : QString::fromUtf8(c.figure).split(u'|'))
            EXPECT_TRUE(lines.contains(figure)) << lines.join(u'|').toStdString();
        if (c.index)
            EXPECT_EQ(
                lines.last(),
                QStringLiteral("Error: BalanceParser2.ParseBalans -- > List index out of bounds (%1)").arg(c.index));
        else
            EXPECT_FALSE(lines.last().startsWith(QStringLiteral("Error: "))) << lines.last().toStdString();
    }
}
