#include "IssaUrl.h"

#include "ConfigHome.h"
#include "Encoding.h"
#include "IniFile.h"
#include "Setup.h"

namespace {
class IssaUrlTest : public ::testing::Test {
protected:
    ConfigHome home;
    TProgramState &state = home.state;
    QString path = home.file(QStringLiteral("servers.ini"));
};
}  // namespace

TEST_F(IssaUrlTest, SectionsResolveWithTheDefaultsForMissingKeys)
{
    WriteFileBytes(path,
                   Cp("[Корвет - Урал]\nShortName=екб\nLoginURL=https://ekb.example/is\n\n"
                      "[Корвет - Юг]\nShortName=ЮГ\nLoginURL=https://south.example/is\nLoginStr=a=<%PhoneNumber%>\n"
                      "LoginName=num\nPasswName=pw\n\n"
                      "[Second Урал]\nShortName=ЕКБ\nLoginURL=https://other.example/\n"));
    TIssaUrlInfo info = GetIssaUrlByShortName(state.ServersIni, U("ЕКБ"));
    EXPECT_EQ(info.LongName, U("Корвет - Урал"));  // the first in file order
    EXPECT_EQ(info.ShortName, U("ЕКБ"));  // as asked
    EXPECT_EQ(info.LoginURL, QStringLiteral("https://ekb.example/is"));
    EXPECT_EQ(info.LoginStr, QStringLiteral("Lang=2&mobnum=<%PhoneNumber%>&Password=<%Password%>"));
    EXPECT_FALSE(info.AllowPlainHttp);
    EXPECT_EQ(info.LoginName, QStringLiteral("mobnum"));
    EXPECT_EQ(info.PasswName, QStringLiteral("password"));
    info = GetIssaUrlByShortName(state.ServersIni, U("юг"));
    EXPECT_EQ(info.LoginStr, QStringLiteral("a=<%PhoneNumber%>"));
    EXPECT_EQ(info.LoginName, QStringLiteral("num"));
    EXPECT_EQ(info.PasswName, QStringLiteral("pw"));

    info = GetIssaUrlByShortName(state.ServersIni, U("НЕТ"));
    EXPECT_TRUE(info.LongName.isEmpty() && info.LoginURL.isEmpty() && info.LoginStr.isEmpty());
    EXPECT_EQ(info.ShortName, U("НЕТ"));
    // The built-in region in any letter case, with its empty template.
    info = GetIssaUrlByShortName(state.ServersIni, U("мСк"));
    EXPECT_EQ(info.LongName, U("Корвет - Москва"));
    EXPECT_EQ(info.LoginURL, QStringLiteral("https://issa.korvet-mobile.example/cgi-bin/cgi.exe?function=is_newlog"));
    EXPECT_TRUE(info.LoginStr.isEmpty());
    EXPECT_EQ(info.PasswName, QStringLiteral("password"));

    // A section named like the built-in short name: lookups take the built-in,
    // the region chooser the section.
    WriteFileBytes(path, Cp("[Своя Москва]\nShortName=МСК\nLoginURL=https://own.example/\n"));
    EXPECT_EQ(GetIssaUrlByShortName(state.ServersIni, U("мск")).LongName, U("Корвет - Москва"));
    EXPECT_EQ(IssaLongNameForShortName(state.ServersIni, U("мск")), U("Своя Москва"));
    EXPECT_EQ(IssaLongNameForShortName(state.ServersIni, U("ХЗ")), U("Корвет - Москва"));
    EXPECT_EQ(IssaLongNames(state.ServersIni), (QStringList{U("Корвет - Москва"), U("Своя Москва")}));
}

TEST_F(IssaUrlTest, CorrectLoginUrl)
{
    const std::pair<const char *, const char *> cases[]
        = {{"  https://a.example/cgi-bin/cgi.exe?function=is_newlog&x=1&y=2 \t",
            "https://a.example/cgi-bin/cgi.exe?function=is_login"},
           {"https://a.example/?FUNCTION=IS_NEWLOG", "https://a.example/?FUNCTION=IS_NEWLOG"},
           {"x?function=is_newlogfunction=is_newlog", "x?function=is_login"},
           {" \r\n", ""}};
    for (const auto &[in, out] : cases)
        EXPECT_EQ(CorrectLoginUrl(QString::fromLatin1(in)), QString::fromLatin1(out)) << in;
}

TEST_F(IssaUrlTest, AddDialogCheck)
{
    WriteFileBytes(path, Cp("[Урал]\nShortName=ЕКБ\nLoginURL=https://ekb.example/\n\n[Без адреса]\nShortName=БА\n"));
    const QString all = U("Все поля должны быть заполнены !");
    const QString taken = U("Такое короткое название уже существует. Выберите другое.");
    EXPECT_EQ(CheckIssaUrlEntry(state.ServersIni, QStringLiteral("  "), QStringLiteral("u"), QStringLiteral("s")), all);
    EXPECT_EQ(CheckIssaUrlEntry(state.ServersIni, QStringLiteral("n"), QStringLiteral(" "), QStringLiteral("s")), all);
    EXPECT_EQ(CheckIssaUrlEntry(state.ServersIni, QStringLiteral("n"), QStringLiteral("u"), QString()), all);
    EXPECT_EQ(CheckIssaUrlEntry(state.ServersIni, QStringLiteral("n"), QStringLiteral("u"), U("мск")), taken);
    EXPECT_EQ(CheckIssaUrlEntry(state.ServersIni, QStringLiteral("n"), QStringLiteral("u"), U("екб")), taken);
    EXPECT_EQ(CheckIssaUrlEntry(state.ServersIni, QStringLiteral("n"), QStringLiteral("u"), U("БА")),
              QString());  // no address: free
    EXPECT_EQ(CheckIssaUrlEntry(state.ServersIni, U("Урал"), QStringLiteral("u"), U("ЕКБ"), U("Урал")),
              QString());  // editing itself
    EXPECT_FALSE(CheckIssaUrlEntry(state.ServersIni, QStringLiteral("n"), QStringLiteral("u"), QStringLiteral("ABCDE"))
                     .isEmpty());
    EXPECT_FALSE(CheckIssaUrlEntry(state.ServersIni, QStringLiteral("a]b"), QStringLiteral("u"), QStringLiteral("AB"))
                     .isEmpty());
    EXPECT_FALSE(
        CheckIssaUrlEntry(state.ServersIni, U("корвет - москва"), QStringLiteral("u"), QStringLiteral("AB")).isEmpty());
}

TEST_F(IssaUrlTest, AddEditRenameAndRemove)
{
    AddIssaUrl(state.ServersIni, U("Питер"), U("СПБ"),
               QStringLiteral(" https://spb.example/cgi.exe?function=is_newlog&q=1 "));
    EXPECT_EQ(ReadFileBytes(path),
              Cp("[Питер]\r\nLoginURL=https://spb.example/cgi.exe?function=is_login\r\nShortName=СПБ\r\n"));
    state.ServersIni.WriteString(U("Питер"), QStringLiteral("LoginStr"), QStringLiteral("x=<%Password%>"));

    // Adding over an existing section overwrites the two keys only.
    AddIssaUrl(state.ServersIni, U("Питер"), U("СПТ"), QStringLiteral("https://spb2.example/"));
    EXPECT_EQ(GetIssaUrlByShortName(state.ServersIni, U("СПТ")).LoginStr, QStringLiteral("x=<%Password%>"));

    // Editing without a rename keeps the hand-written key.
    EditIssaUrl(state.ServersIni, U("Питер"), U("Питер"), U("СПТ"), QStringLiteral("https://spb2.example/"));
    EXPECT_EQ(GetIssaUrlByShortName(state.ServersIni, U("СПТ")).LoginStr, QStringLiteral("x=<%Password%>"));

    // A rename drops it and moves the entry.
    EditIssaUrl(state.ServersIni, U("Питер"), U("Санкт-Петербург"), U("СПБ"), QStringLiteral("https://spb3.example/"));
    EXPECT_EQ(state.ServersIni.ReadSections(), QStringList{U("Санкт-Петербург")});
    const TIssaUrlInfo info = GetIssaUrlByShortName(state.ServersIni, U("спб"));
    EXPECT_EQ(info.LongName, U("Санкт-Петербург"));
    EXPECT_EQ(info.LoginURL, QStringLiteral("https://spb3.example/"));
    EXPECT_EQ(info.LoginStr, QStringLiteral("Lang=2&mobnum=<%PhoneNumber%>&Password=<%Password%>"));
    EXPECT_FALSE(info.AllowPlainHttp);

    // The plain-login tick is an extra key, there only while ticked.
    EditIssaUrl(state.ServersIni, U("Санкт-Петербург"), U("Санкт-Петербург"), U("СПБ"),
                QStringLiteral("http://spb3.example/"), true);
    EXPECT_TRUE(GetIssaUrlByShortName(state.ServersIni, U("СПБ")).AllowPlainHttp);
    EXPECT_TRUE(FromCp1251(ReadFileBytes(path)).contains(QStringLiteral("AllowPlainHttp=")));
    EditIssaUrl(state.ServersIni, U("Санкт-Петербург"), U("Санкт-Петербург"), U("СПБ"),
                QStringLiteral("http://spb3.example/"), false);
    EXPECT_FALSE(GetIssaUrlByShortName(state.ServersIni, U("СПБ")).AllowPlainHttp);
    EXPECT_FALSE(FromCp1251(ReadFileBytes(path)).contains(QStringLiteral("AllowPlainHttp")));

    RemoveIssaUrl(state.ServersIni, U("санкт-петербург"));
    EXPECT_TRUE(state.ServersIni.ReadSections().isEmpty());
    EXPECT_TRUE(GetIssaUrlByShortName(state.ServersIni, U("СПБ")).LoginURL.isEmpty());
    EXPECT_EQ(IssaLongNameForShortName(state.ServersIni, U("СПБ")),
              U("Корвет - Москва"));  // the chooser falls back to the default

    // Rows resolve by their region; a row keeps its short name when the region goes.
    AddIssaUrl(state.ServersIni, U("Юг"), U("ЮГ"), QStringLiteral("https://south.example/"));
    state.Setup.Line(2).Region = U("юг");
    EXPECT_EQ(GetIssaUrlByPhoneID(state, 1).LongName, U("Корвет - Москва"));
    EXPECT_EQ(GetIssaUrlByPhoneID(state, 2).LoginURL, QStringLiteral("https://south.example/"));
    RemoveIssaUrl(state.ServersIni, U("Юг"));
    EXPECT_TRUE(GetIssaUrlByPhoneID(state, 2).LoginURL.isEmpty());
    EXPECT_EQ(state.Setup.Line(2).Region, U("юг"));
}
