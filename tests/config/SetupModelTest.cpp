// The phone rows, their thresholds and the regions of servers.ini.

#include "ConfigHome.h"
#include "IssaUrl.h"
#include "Setup.h"

namespace {
class SetupModelTest : public ConfigTest {
protected:
    TSetupModel &m = state.Setup;
    TIniFile &ini = state.ServersIni;
    QString region(const char *shortName)  // the fields the log-in uses
    {
        const TIssaUrlInfo i = GetIssaUrlByShortName(ini, shortName);
        return QStringList({i.LongName, i.ShortName, i.LoginURL, i.LoginStr, i.LoginName, i.PasswName}).join('|');
    }
};
}  // namespace

// The tray radio group itself is the setup dialog's test.
TEST_F(SetupModelTest, RowQueriesTrayAndClearing)
{
    TSetupPhoneLine a;
    a.Number = "9161234567";
    a.Password = "пароль";
    a.Alias = "Дача";
    a.ExSettings = {true, 1.5f, 4};
    m.SetLine(5, a);
    a.Monitor = a.TrayShow = true;
    m.SetTrayShowMinimal(true);
    m.SetLine(4, a);  // with its tray button on, it takes the group
    EXPECT_TRUE(m.TraySlot() == 4 && ShowTrayChecked(state, 4) && !m.TrayShowMinimal());
    EXPECT_TRUE(MonitorPhonesCount(state) == 1 && !MonitorPhoneEnabled(state, 5));
    EXPECT_EQ(QStringList({UserPhone(state, 4), Password(state, 4), Alias(state, 4)}),
              QStringList({a.Number, a.Password, a.Alias}));
    EXPECT_TRUE(UserPhone(state, IssaSlots).isEmpty());  // the spare rows exist and stay empty
    EXPECT_TRUE(FailureOf([&] { UserPhone(state, 0); }).startsWith("Setup.UserPhone -- > "));
    EXPECT_FALSE(FailureOf([&] { MonitorPhoneEnabled(state, IssaSlots + 1); }).isEmpty());
    m.SetTrayNotShow(true);
    EXPECT_TRUE(m.TrayNotShow() && m.TraySlot() == 0);
    m.Line(4).Region = "ЮГ";  // clearing a row keeps its own thresholds alone
    m.ClearPhoneInfo(4);
    TSetupPhoneLine cleared;
    cleared.ExSettings = a.ExSettings;
    EXPECT_TRUE(m.Line(4) == cleared);
}

// Every row carries its own thresholds (-10 and 9 days); they count only while the row says so.
TEST_F(SetupModelTest, MarkingUsesTheRowsOrTheCommonThresholds)
{
    // balance|common balance|days|common days|own thresholds|balance marked, days marked
    for (const char *row : {"2.5|2.5|0|100|0|10",  // equal marks; 0 days is unknown
                            "2.6|2.5|2|2|0|01",  // above does not; equal days mark
                            "2.6|2.6|3|3.5|0|10",  // 32-bit floats; days not an integer: 2
                            "2.5|abc|-1|3.5|0|11",  // not a number: 2.5; below zero days
                            "2.5|2.5|10|100|1|00"}) {  // the row's own
        const QStringList f = QString(row).split('|');
        state.IssaArray[1].Balance = f[0].toFloat();
        state.IssaArray[1].TurnOff = f[2].toInt();
        m.General.edBalanceLessThen = f[1];
        m.General.edTurnOffLessThen = f[3];
        m.Line(1).ExSettings = {f[4] == "1", -10.f, 9};
        EXPECT_EQ(QString::number(NeedMarkBalance(state, 1)) + QString::number(NeedMarkTurnOff(state, 1)), f[5]) << row;
    }
}

// The look-ups behind the region dialogs (whose own tests add, edit and remove).
TEST_F(SetupModelTest, RegionsResolveWithTheDefaultsForMissingKeys)
{
    const QString serversPath = file("servers.ini");
    WriteFileBytes(serversPath,
                   Cp("[Корвет - Урал]\nShortName=екб\nLoginURL=https://ekb.example/is\n\n"
                      "[Корвет - Юг]\nShortName=ЮГ\nLoginURL=https://south.example/is\nLoginStr=a=<%PhoneNumber%>\n"
                      "LoginName=num\nPasswName=pw\n\n[Second Урал]\nShortName=ЕКБ\nLoginURL=https://other.example/\n"
                      "[Без адреса]\nShortName=БА\n"));
    // The first in file order; the missing keys as the built-in region has them.
    EXPECT_EQ(region("ЕКБ"),
              "Корвет - Урал|ЕКБ|https://ekb.example/is|"
              "Lang=2&mobnum=<%PhoneNumber%>&Password=<%Password%>|mobnum|password");
    EXPECT_EQ(region("юг"), "Корвет - Юг|юг|https://south.example/is|a=<%PhoneNumber%>|num|pw");
    EXPECT_TRUE(region("НЕТ").startsWith("|НЕТ||"));
    // The built-in region in any letter case, with its empty template.
    EXPECT_TRUE(region("мСк").startsWith(
        "Корвет - Москва|МСК|https://issa.korvet-mobile.example/cgi-bin/cgi.exe?function=is_newlog||"));
    // A section without an address leaves its short name free; the built-in's name is taken.
    EXPECT_TRUE(CheckIssaUrlEntry(ini, "n", "u", "БА").isEmpty());
    EXPECT_FALSE(CheckIssaUrlEntry(ini, "корвет - москва", "u", "AB").isEmpty());
    // Adding over a section keeps its hand-written keys; the plain-login tick
    // is a key there only while ticked.
    const QString south = "Корвет - Юг";
    AddIssaUrl(ini, south, "ЮГ", "http://south.example/", true);
    EXPECT_TRUE(GetIssaUrlByShortName(ini, "юг").AllowPlainHttp && region("юг").contains("|a=<%PhoneNumber%>|"));
    EditIssaUrl(ini, south, south, "ЮГ", "http://south.example/", false);
    EXPECT_FALSE(FromCp1251(ReadFileBytes(serversPath)).contains("AllowPlainHttp"));
    // Rows resolve by their region; a row keeps its short name when the region goes.
    m.Line(2).Region = "юг";
    EXPECT_EQ(GetIssaUrlByPhoneID(state, 1).LongName, "Корвет - Москва");
    EXPECT_EQ(GetIssaUrlByPhoneID(state, 2).LoginURL, "http://south.example/");
    RemoveIssaUrl(ini, "корвет - юг");
    EXPECT_TRUE(GetIssaUrlByPhoneID(state, 2).LoginURL.isEmpty() && m.Line(2).Region == "юг");
    // A section named like the built-in short name: lookups take the built-in,
    // the region chooser the section.
    WriteFileBytes(serversPath, Cp("[Своя Москва]\nShortName=МСК\nLoginURL=https://own.example/\n"));
    EXPECT_EQ(GetIssaUrlByShortName(ini, "мск").LongName, "Корвет - Москва");
    EXPECT_EQ(IssaLongNameForShortName(ini, "мск") + '|' + IssaLongNameForShortName(ini, "ХЗ"),
              "Своя Москва|Корвет - Москва");
    EXPECT_EQ(IssaLongNames(ini), (QStringList{"Корвет - Москва", "Своя Москва"}));
    for (const auto &[in, out] : {std::pair{"  https://a.example/cgi.exe?function=is_newlog&x=1 \t",
                                            "https://a.example/cgi.exe?function=is_login"},
                                  {"https://a.example/?FUNCTION=IS_NEWLOG", "https://a.example/?FUNCTION=IS_NEWLOG"},
                                  {"x?function=is_newlogfunction=is_newlog", "x?function=is_login"},
                                  {" \r\n", ""}})
        EXPECT_EQ(CorrectLoginUrl(in), out) << in;
}
