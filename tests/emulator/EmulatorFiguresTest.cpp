// The emulator's account pages read by the program's own document serialiser and
// page parser give back exactly the figures of the phones file, in both layouts
// and for the edge values (debt, minutes in each printed form, zeros).

#include "EmulatorTestUtil.h"

#include "BalanceParser2.h"
#include "HtmlDocument.h"
#include "PhoneTable.h"

#include <QUrl>
#include <gtest/gtest.h>

#include <cmath>

namespace {

void ExpectFigures(const TIssa &got, const EmulatorPhone &p, const QString &printedNumber,
                   const std::string &where)
{
    // An empty account number cell makes the parser take the line after next,
    // as it does with the real site's spacer cells; only a real number is compared.
    if (!p.licSchet.isEmpty()) {
        EXPECT_EQ(got.LicSchet, p.licSchet) << where;
    }
    EXPECT_EQ(got.UserName, p.userName) << where;
    EXPECT_EQ(got.PhoneNumber, printedNumber) << where;
    EXPECT_FLOAT_EQ(got.Balance, float(p.balance)) << where;
    EXPECT_FLOAT_EQ(got.ObPlat, float(p.obPlat)) << where;
    EXPECT_FLOAT_EQ(got.Average, float(p.average)) << where;
    EXPECT_EQ(got.TurnOff, p.turnOff) << where;
    EXPECT_FLOAT_EQ(got.Recomend, float(p.recomend)) << where;
    EXPECT_EQ(got.SMS, p.sms) << where;
    EXPECT_EQ(got.Minutes, p.minutes) << where;
    EXPECT_EQ(got.JeansExpired, p.jeansExpired) << where;
    EXPECT_FLOAT_EQ(got.USDRate, float(p.usdRate)) << where;
}

TEST(EmulatorFigures, ParserReadsBackEveryFigureInBothLayouts)
{
    QList<EmulatorPhone> phones;
    int n = 0;
    auto add = [&](const QString &layout, double balance, int minutes) {
        EmulatorPhone p = FullPhone(QStringLiteral("91600000%1").arg(++n, 2, 10, QLatin1Char('0')),
                                    QStringLiteral("ok"), layout);
        p.balance = balance;
        p.minutes = minutes;
        p.userName = QStringLiteral("ООО \"Рога & копыта\" <филиал>");
        phones << p;
    };
    for (const QString &layout : {QStringLiteral("labels"), QStringLiteral("sentences")}) {
        add(layout, 12.34, 80);
        add(layout, -7.25, 45);
        add(layout, 0, 0);
        add(layout, 1234.5, 60);
        add(layout, 3, 150);
        add(layout, -0.5, 119);
    }
    EmulatorPhone bare;
    bare.number = QStringLiteral("9169999999");
    bare.password = QStringLiteral("p");
    bare.layout = QStringLiteral("sentences");
    phones << bare;
    EmulatorPhone utf8 = FullPhone(QStringLiteral("9168888888"));
    utf8.charset = QStringLiteral("utf-8");
    phones << utf8;

    EmulatorProcess emu;
    ASSERT_TRUE(emu.start(phones)) << emu.errorString().toStdString();
    auto client = ClientFor(emu);
    for (const EmulatorPhone &p : phones) {
        auto res = PostLogin(*client, p.number, p.password);
        ASSERT_TRUE(res);
        const QByteArray bytes = QByteArray::fromStdString(res->body);
        const QByteArray type = QByteArray::fromStdString(res->get_header_value("Content-Type"));
        auto doc = HtmlDocument::Parse(bytes, QUrl(emu.loginUrl()), CharsetFromContentType(type));
        // Read in the charset the phone's pages are written in.
        ASSERT_TRUE(doc && doc->Charset() == (p.charset.isEmpty() ? QByteArray("windows-1251") : p.charset.toLatin1()))
            << p.number.toStdString() << " " << type.toStdString();
        const QString printed = QStringLiteral("+7 (%1) %2-%3-%4")
                                    .arg(p.number.mid(0, 3), p.number.mid(3, 3), p.number.mid(6, 2),
                                         p.number.mid(8, 2));
        const std::string where = p.number.toStdString() + " " + p.layout.toStdString();
        TIssa serialised;
        ParseBalans(doc->BodyOuterHtml(), serialised);
        ExpectFigures(serialised, p, printed, where + " (serialised)");
        // The page source itself is written one cell per line as well.
        TIssa raw;
        ParseBalans(PageText(*res), raw);
        ExpectFigures(raw, p, printed, where + " (source)");
    }
}

TEST(EmulatorFigures, AServerErrorPageReachesTheBrowserInLatin1)
{
    EmulatorProcess emu;
    ASSERT_TRUE(emu.start({FullPhone(QStringLiteral("9160000001"), QStringLiteral("server-error"))}))
        << emu.errorString().toStdString();
    auto client = ClientFor(emu);
    auto res = PostLogin(*client, QStringLiteral("9160000001"), QStringLiteral("secret"));
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 500);
    ASSERT_EQ(res->get_header_value_count("Content-Type"), 1u);
    const QByteArray type = QByteArray::fromStdString(res->get_header_value("Content-Type"));
    auto doc = HtmlDocument::Parse(QByteArray::fromStdString(res->body), QUrl(emu.loginUrl()),
                                   CharsetFromContentType(type));
    EXPECT_EQ(doc->Charset(), QByteArray("iso-8859-1"));
    EXPECT_TRUE(doc->BodyOuterHtml().contains(QStringLiteral("Internal Server Error")));
}

} // namespace
