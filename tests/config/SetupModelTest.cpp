// The phone rows, their thresholds and the regions of servers.ini.

#include "ConfigHome.h"
#include "Encoding.h"
#include "IniFile.h"
#include "IssaUrl.h"
#include "Readers.h"
#include "Setup.h"

namespace {
class SetupModelTest : public ConfigTest {
protected:
    TSetupModel &m = state.Setup;
    TIniFile &ini = state.ServersIni;
    QString serversPath = home.file(QStringLiteral("servers.ini"));
};
const QString kDefaultLoginStr = QStringLiteral("Lang=2&mobnum=<%PhoneNumber%>&Password=<%Password%>");
}  // namespace

// The tray radio group itself is the setup dialog's test.
TEST_F(SetupModelTest, RowQueriesTrayAndClearing)
{
    TSetupPhoneLine a;
    a.Number = QStringLiteral("9161234567");
    a.Password = U("пароль");
    a.Alias = U("Дача");
    a.ExSettings = {true, 1.5f, 4};
    m.SetLine(5, a);
    a.Monitor = a.TrayShow = true;
    m.SetTrayShowMinimal(true);
    m.SetLine(4, a);  // with its tray button on, it takes the group
    EXPECT_EQ(m.TraySlot(), 4);
    EXPECT_TRUE(ShowTrayChecked(state, 4) && !m.TrayShowMinimal());
    EXPECT_EQ(MonitorPhonesCount(state), 1);
    EXPECT_FALSE(MonitorPhoneEnabled(state, 5));
    EXPECT_EQ(QStringList({UserPhone(state, 4), Password(state, 4), Alias(state, 4)}),
              QStringList({a.Number, a.Password, a.Alias}));
    EXPECT_TRUE(UserPhone(state, IssaSlots).isEmpty());  // the spare rows exist and stay empty
    EXPECT_TRUE(FailureOf([&] { UserPhone(state, 0); }).startsWith(QStringLiteral("Setup.UserPhone -- > ")));
    EXPECT_FALSE(FailureOf([&] { MonitorPhoneEnabled(state, IssaSlots + 1); }).isEmpty());

    m.SetTrayNotShow(true);
    EXPECT_TRUE(m.TrayNotShow() && m.TraySlot() == 0);
    // Clearing a row keeps its own thresholds.
    m.Line(4).Region = U("ЮГ");
    m.ClearPhoneInfo(4);
    EXPECT_TRUE(m.Line(4).Number.isEmpty());
    EXPECT_FALSE(m.Line(4).Monitor || m.Line(4).TrayShow);
    EXPECT_EQ(m.Line(4).Region, U("МСК"));
    EXPECT_EQ(m.Line(4).ExSettings, (TPhoneExSettings{true, 1.5f, 4}));
}

// Every row carries its own thresholds (-10 and 9 days); they count only
// while the row says so.
TEST_F(SetupModelTest, MarkingUsesTheRowsOrTheCommonThresholds)
{
    const struct {
        const char *name;
        float balance;
        const char *common;
        int days;
        const char *commonDays;
        bool own, markBalance, markDays;
    } rows[] = {
        {"equal marks; 0 days is unknown", 2.5f, "2.5", 0, "100", false, true, false},
        {"above does not; equal days mark", 2.6f, "2.5", 2, "2", false, false, true},
        {"32-bit floats; days not an integer: 2", 2.6f, "2.6", 3, "3.5", false, true, false},
        {"not a number: 2.5; below zero days", 2.5f, "abc", -1, "3.5", false, true, true},
        {"the row's own", 2.5f, "2.5", 10, "100", true, false, false},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        state.IssaArray[1].Balance = row.balance;
        state.IssaArray[1].TurnOff = row.days;
        m.General.edBalanceLessThen = QLatin1String(row.common);
        m.General.edTurnOffLessThen = QLatin1String(row.commonDays);
        m.Line(1).ExSettings = {row.own, -10.f, 9};
        EXPECT_EQ(NeedMarkBalance(state, 1), row.markBalance);
        EXPECT_EQ(NeedMarkTurnOff(state, 1), row.markDays);
    }
}

// Adding, editing and removing through the dialogs are the region dialogs'
// tests; here the look-ups behind them.
TEST_F(SetupModelTest, RegionsResolveWithTheDefaultsForMissingKeys)
{
    WriteFileBytes(serversPath,
                   Cp("[Корвет - Урал]\nShortName=екб\nLoginURL=https://ekb.example/is\n\n"
                      "[Корвет - Юг]\nShortName=ЮГ\nLoginURL=https://south.example/is\nLoginStr=a=<%PhoneNumber%>\n"
                      "LoginName=num\nPasswName=pw\n\n[Second Урал]\nShortName=ЕКБ\nLoginURL=https://other.example/\n"
                      "[Без адреса]\nShortName=БА\n"));
    TIssaUrlInfo info = GetIssaUrlByShortName(ini, U("ЕКБ"));
    EXPECT_EQ(
        QStringList({info.LongName, info.ShortName, info.LoginURL, info.LoginStr, info.LoginName, info.PasswName}),
        QStringList({U("Корвет - Урал"), U("ЕКБ"), QStringLiteral("https://ekb.example/is"), kDefaultLoginStr,
                     QStringLiteral("mobnum"), QStringLiteral("password")}));  // the first in file order
    info = GetIssaUrlByShortName(ini, U("юг"));
    EXPECT_EQ(QStringList({info.LoginStr, info.LoginName, info.PasswName}),
              QStringList({QStringLiteral("a=<%PhoneNumber%>"), QStringLiteral("num"), QStringLiteral("pw")}));
    info = GetIssaUrlByShortName(ini, U("НЕТ"));
    EXPECT_TRUE(info.LongName.isEmpty() && info.LoginURL.isEmpty() && info.ShortName == U("НЕТ"));
    // The built-in region in any letter case, with its empty template.
    info = GetIssaUrlByShortName(ini, U("мСк"));
    EXPECT_EQ(info.LoginURL, QStringLiteral("https://issa.korvet-mobile.example/cgi-bin/cgi.exe?function=is_newlog"));
    EXPECT_TRUE(info.LoginStr.isEmpty());
    // A section without an address leaves its short name free; the built-in's name is taken.
    EXPECT_TRUE(CheckIssaUrlEntry(ini, U("n"), U("u"), U("БА")).isEmpty());
    EXPECT_FALSE(CheckIssaUrlEntry(ini, U("корвет - москва"), U("u"), U("AB")).isEmpty());

    // Adding over a section keeps its hand-written keys; the plain-login tick
    // is a key there only while ticked.
    const QString south = U("Корвет - Юг");
    AddIssaUrl(ini, south, U("ЮГ"), QStringLiteral("http://south.example/"), true);
    EXPECT_EQ(GetIssaUrlByShortName(ini, U("юг")).LoginStr, QStringLiteral("a=<%PhoneNumber%>"));
    EXPECT_TRUE(GetIssaUrlByShortName(ini, U("юг")).AllowPlainHttp);
    EditIssaUrl(ini, south, south, U("ЮГ"), QStringLiteral("http://south.example/"), false);
    EXPECT_FALSE(FromCp1251(ReadFileBytes(serversPath)).contains(QStringLiteral("AllowPlainHttp")));

    // Rows resolve by their region; a row keeps its short name when the region goes.
    m.Line(2).Region = U("юг");
    EXPECT_EQ(GetIssaUrlByPhoneID(state, 1).LongName, U("Корвет - Москва"));
    EXPECT_EQ(GetIssaUrlByPhoneID(state, 2).LoginURL, QStringLiteral("http://south.example/"));
    RemoveIssaUrl(ini, U("корвет - юг"));
    EXPECT_TRUE(GetIssaUrlByPhoneID(state, 2).LoginURL.isEmpty());
    EXPECT_EQ(m.Line(2).Region, U("юг"));

    // A section named like the built-in short name: lookups take the built-in,
    // the region chooser the section.
    WriteFileBytes(serversPath, Cp("[Своя Москва]\nShortName=МСК\nLoginURL=https://own.example/\n"));
    EXPECT_EQ(GetIssaUrlByShortName(ini, U("мск")).LongName, U("Корвет - Москва"));
    EXPECT_EQ(IssaLongNameForShortName(ini, U("мск")), U("Своя Москва"));
    EXPECT_EQ(IssaLongNameForShortName(ini, U("ХЗ")), U("Корвет - Москва"));
    EXPECT_EQ(IssaLongNames(ini), (QStringList{U("Корвет - Москва"), U("Своя Москва")}));

    for (const auto &[in, out] : {std::pair{"  https://a.example/cgi.exe?function=is_newlog&x=1 \t",
                                            "https://a.example/cgi.exe?function=is_login"},
                                  {"https://a.example/?FUNCTION=IS_NEWLOG", "https://a.example/?FUNCTION=IS_NEWLOG"},
                                  {"x?function=is_newlogfunction=is_newlog", "x?function=is_login"},
                                  {" \r\n", ""}})
        EXPECT_EQ(CorrectLoginUrl(QString::fromLatin1(in)), QString::fromLatin1(out)) << in;
}
