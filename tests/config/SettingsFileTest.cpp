#include "SettingsFile.h"

#include "AutoStart.h"
#include "ConfigHome.h"
#include "IniFile.h"
#include "Passw.h"

#include <QSettings>

namespace {
class SettingsFileTest : public ::testing::Test {
protected:
    ConfigHome home;
    TProgramState &state = home.state;
    QString path = InitPaths().IniFileName;

    TSetupModel loaded()
    {
        TSetupModel m;
        LoadIniFile(state.IniFile, m);
        return m;
    }
    QString saveError(const TSetupModel &m)
    {
        try {
            SaveIniFile(state.IniFile, m);
        } catch (const SaldomatError &e) {
            return e.message();
        }
        return QString();
    }
};

const char kDefaultFile[]
    = "[Hint "
      "Window]\r\ncbNN=1\r\ncbLicSchet=0\r\ncbAlias=1\r\ncbUserName=0\r\ncbPhoneNum=1\r\ncbObPlat=0\r\ncbAverage=0\r\n"
      "cbTurnOff=1\r\ncbRecomend=1\r\ncbSMS=0\r\ncbMin=0\r\ncbJeansBalExpired=0\r\ncbBalDelta=0\r\ncbLastQueryTime="
      "1\r\n"
      "\r\n[Mark]\r\ncbMarkIfBalance=1\r\ncbMarkIfTurnOff=1\r\ncbNotify=1\r\nedBalanceLessThen=2."
      "5\r\nedTurnOffLessThen=2\r\n"
      "\r\n[Connection]\r\ncbRefreshTime=2\r\ncbExecAfterRun=0\r\ncbAutoReRquest=1\r\n"
      "\r\n[Phones]\r\nrbTrayShowMinimal=0\r\ncbKeyring=1\r\n"
      "\r\n[Debug]\r\nSaveLogFiles=0\r\n";
}  // namespace

TEST_F(SettingsFileTest, NoFileGivesTheDefaultsAndTheirExactFile)
{
    const TSetupModel m = loaded();
    EXPECT_EQ(m.General, TGeneralSettings{});
    EXPECT_EQ(RequestIntervalMs(m), 5LL * 3600000);
    EXPECT_TRUE(m.TrayNotShow());
    EXPECT_FALSE(QFile::exists(path));

    SaveIniFile(state.IniFile, m);
    EXPECT_EQ(ReadFileBytes(path), QByteArray(kDefaultFile));
    EXPECT_FALSE(QFile::exists(AutoStartEntryPath()));
}

TEST_F(SettingsFileTest, EveryValueRoundTrips)
{
    TSetupModel m;
    TGeneralSettings &g = m.General;
    g.cbNN = false;
    g.cbLicSchet = g.cbUserName = g.cbObPlat = g.cbAverage = g.cbSMS = g.cbMin = g.cbJeansBalExpired = g.cbBalDelta
        = true;
    g.cbAlias = g.cbPhoneNum = g.cbTurnOff = g.cbRecomend = g.cbLastQueryTime = false;
    g.cbMarkIfBalance = g.cbMarkIfTurnOff = false;
    g.edBalanceLessThen = QStringLiteral("10.75");
    g.edTurnOffLessThen = QStringLiteral("5");
    g.cbRefreshTime = 6;
    g.cbExecAfterRun = true;
    g.cbAutoReRquest = false;
    g.cbKeyring = false;
    m.SetTrayShowMinimal(true);
    SaveIniFile(state.IniFile, m);
    const TSetupModel r = loaded();
    EXPECT_EQ(r.General, g);
    EXPECT_TRUE(r.TrayShowMinimal());
    EXPECT_EQ(RequestIntervalMs(r), 12LL * 3600000);
}

TEST_F(SettingsFileTest, UnreadableValuesAreRepaired)
{
    struct Case {
        const char *balance;
        const char *days;
        const char *refresh;
        const char *wantBalance;
        const char *wantDays;
        qint64 wantHours;
    };
    const Case cases[] = {
        {"abc", "3.5", "7", "2.5", "2", 24},   {"1,5", "-230973", "8", "2.5", "2", 5},
        {"-230973", "x", "-1", "2.5", "2", 5}, {"-230973.0", "", "0x1", "2.5", "2", 4},
        {"3.75", "0", "0", "3.75", "0", 3},    {"", "7", "abc", "2.5", "7", 5},
    };
    for (const Case &c : cases) {
        WriteFileBytes(
            path,
            QStringLiteral("[Mark]\nedBalanceLessThen=%1\nedTurnOffLessThen=%2\n[Connection]\ncbRefreshTime=%3\n")
                .arg(QLatin1String(c.balance), QLatin1String(c.days), QLatin1String(c.refresh))
                .toLatin1());
        const TSetupModel m = loaded();
        EXPECT_EQ(m.General.edBalanceLessThen, QLatin1String(c.wantBalance)) << c.balance;
        EXPECT_EQ(m.General.edTurnOffLessThen, QLatin1String(c.wantDays)) << c.days;
        EXPECT_EQ(RequestIntervalMs(m), c.wantHours * 3600000) << c.refresh;
    }
    // The repaired texts are written at the next save.
    SaveIniFile(state.IniFile, loaded());
    EXPECT_EQ(state.IniFile.ReadString(QStringLiteral("Mark"), QStringLiteral("edBalanceLessThen"), QString()),
              QStringLiteral("2.5"));
    EXPECT_EQ(state.IniFile.ReadInteger(QStringLiteral("Connection"), QStringLiteral("cbRefreshTime"), -1), 2);
}

TEST_F(SettingsFileTest, SavingKeepsWhatOtherPartsStoreInTheFile)
{
    WriteFileBytes(path,
                   Cp("; written by hand\n[Debug]\nSaveLogFiles=1\n\n[History Form]\nLeft=10\nedLastDays=2\n\n"
                      "[Connection]\nProxyUserName=иван\n"));
    SaveIniFile(state.IniFile, loaded());
    SaveIniFile(state.IniFile, loaded());
    EXPECT_TRUE(state.IniFile.ReadBool(QStringLiteral("Debug"), QStringLiteral("SaveLogFiles"), false));
    EXPECT_EQ(state.IniFile.ReadInteger(QStringLiteral("History Form"), QStringLiteral("Left"), NoValue), 10);
    EXPECT_EQ(GetProxyUserName(state), U("иван"));
    const QByteArray bytes = ReadFileBytes(path);
    EXPECT_TRUE(bytes.startsWith("; written by hand\r\n[Debug]\r\nSaveLogFiles=1\r\n"));
    EXPECT_EQ(bytes.count("SaveLogFiles"), 1);
}

// At exit the program writes only what its own run changed: keys another
// program wrote meanwhile, and an auto-start entry the user removed, stay.
TEST_F(SettingsFileTest, ExitWritesOnlyTheKeysThisRunChanged)
{
    TSetupModel start;
    start.General.cbAutoStart = true;
    SaveIniFile(state.IniFile, start);
    const TSetupModel loadedAtStart = loaded();
    ASSERT_TRUE(loadedAtStart.General.cbAutoStart);

    // Meanwhile: saldomat-cli switches columns and the minimum, the user
    // removes the auto-start entry.
    state.IniFile.WriteBool(QStringLiteral("Hint Window"), QStringLiteral("cbSMS"), true);
    state.IniFile.WriteBool(QStringLiteral("Phones"), QStringLiteral("rbTrayShowMinimal"), true);
    state.IniFile.WriteString(QStringLiteral("Mark"), QStringLiteral("edBalanceLessThen"), QStringLiteral("7"));
    ASSERT_TRUE(QFile::remove(AutoStartEntryPath()));
    const QByteArray before = ReadFileBytes(path);

    // Nothing changed in the run: nothing written, the entry not re-created.
    SaveChangedSettings(state.IniFile, loadedAtStart, loadedAtStart);
    EXPECT_EQ(ReadFileBytes(path), before);
    EXPECT_FALSE(QFile::exists(AutoStartEntryPath()));

    // One key changed in the run: that key alone.
    TSetupModel now = loadedAtStart;
    now.General.cbNN = false;
    SaveChangedSettings(state.IniFile, now, loadedAtStart);
    const TSetupModel after = loaded();
    EXPECT_FALSE(after.General.cbNN);
    EXPECT_TRUE(after.General.cbSMS);
    EXPECT_TRUE(after.TrayShowMinimal());
    EXPECT_EQ(after.General.edBalanceLessThen, QStringLiteral("7"));
    EXPECT_FALSE(QFile::exists(AutoStartEntryPath()));

    // The tick itself changed in the run: the entry follows it.
    TSetupModel was = now;
    was.General.cbAutoStart = false;
    now.General.cbAutoStart = true;
    SaveChangedSettings(state.IniFile, now, was);
    EXPECT_TRUE(GetAutoStart());
}

TEST_F(SettingsFileTest, AutoStartEntryFollowsTheTick)
{
    EXPECT_EQ(AutoStartEntryPath(), home.xdg() + QStringLiteral("/autostart/saldomat.desktop"));
    TSetupModel m;
    m.General.cbAutoStart = true;
    SaveIniFile(state.IniFile, m);
    EXPECT_TRUE(GetAutoStart());
    EXPECT_TRUE(loaded().General.cbAutoStart);
    EXPECT_FALSE(
        state.IniFile.ValueExists(QStringLiteral("Connection"), QStringLiteral("cbAutoStart")));  // not in the file
    m.General.cbAutoStart = false;
    SaveIniFile(state.IniFile, m);
    EXPECT_FALSE(QFile::exists(AutoStartEntryPath()));
    EXPECT_FALSE(loaded().General.cbAutoStart);

    // The path quoted as desktop entries want it.
    const QString entry = AutoStartEntryPath();
    SetAutoStart(true, QStringLiteral("/opt/my apps/saldomat"));
    EXPECT_TRUE(ReadFileBytes(entry).contains("\nExec=\"/opt/my apps/saldomat\"\n"));
    EXPECT_TRUE(ReadFileBytes(entry).startsWith("[Desktop Entry]\n"));
    SetAutoStart(true, QStringLiteral("/opt/saldomat/saldomat"));
    EXPECT_TRUE(ReadFileBytes(entry).contains("\nExec=/opt/saldomat/saldomat\n"));
    SetAutoStart(true, QStringLiteral("/opt/$HOME \"x\"/100%/saldomat"));
    EXPECT_TRUE(ReadFileBytes(entry).contains("\nExec=\"/opt/\\\\$HOME \\\\\"x\\\\\"/100%%/saldomat\"\n"))
        << ReadFileBytes(entry).toStdString();
    EXPECT_THROW(SetAutoStart(true, QStringLiteral("/opt/a\nb")), SaldomatError);
    EXPECT_TRUE(GetAutoStart());

    // An entry switched off by the desktop, or without a program, does not count.
    WriteFileBytes(entry, "[Desktop Entry]\nType=Application\nExec=/x/saldomat\nHidden=true\n");
    EXPECT_FALSE(GetAutoStart());
    WriteFileBytes(entry, "[Desktop Entry]\nType=Application\nExec=\n");
    EXPECT_FALSE(GetAutoStart());
    SetAutoStart(false);
    EXPECT_FALSE(QFile::exists(entry));
    EXPECT_NO_THROW(SetAutoStart(false));
}

TEST_F(SettingsFileTest, FailedSaveLeavesTheSettingsFileAsItWas)
{
    SaveIniFile(state.IniFile, loaded());
    const QByteArray before = ReadFileBytes(path);
    // The auto-start folder cannot be created: the save stops half-way.
    WriteFileBytes(home.xdg() + QStringLiteral("/autostart"), "not a folder");
    TSetupModel m;
    m.General.cbNN = false;
    m.General.cbAutoStart = true;
    const QString error = saveError(m);
    EXPECT_TRUE(error.startsWith(QStringLiteral("SettingsFile.SaveIniFile -- > AutoStart.SetAutoStart -- > ")))
        << error.toStdString();
    EXPECT_EQ(ReadFileBytes(path), before);

    // A full disk during the rewrite itself.
    m.General.cbAutoStart = false;
    {
        FileSizeLimit limit(100);
        EXPECT_FALSE(saveError(m).isEmpty());
    }
    EXPECT_EQ(ReadFileBytes(path), before);
}

TEST_F(SettingsFileTest, ProxyLogon)
{
    EXPECT_TRUE(GetProxyUserName(state).isEmpty());
    EXPECT_TRUE(GetProxyPassword(state).isEmpty());
    SetProxyCredentials(state, QStringLiteral("  user\t"), U(" пароль-длиной-16 "));
    EXPECT_EQ(GetProxyUserName(state), QStringLiteral("user"));
    EXPECT_EQ(GetProxyPassword(state), U("пароль-длиной-1"));
    const QString stored
        = state.IniFile.ReadString(QStringLiteral("Connection"), QStringLiteral("ProxyPassword"), QString());
    EXPECT_EQ(stored.size(), 54);

    SetProxyCredentials(state, QStringLiteral("user"), QStringLiteral("   "));
    EXPECT_TRUE(state.IniFile.ValueExists(QStringLiteral("Connection"), QStringLiteral("ProxyPassword")));
    EXPECT_TRUE(
        state.IniFile.ReadString(QStringLiteral("Connection"), QStringLiteral("ProxyPassword"), QStringLiteral("x"))
            .isEmpty());
    EXPECT_TRUE(GetProxyPassword(state).isEmpty());

    // No user name: no password, whatever is stored.
    state.IniFile.WriteString(QStringLiteral("Connection"), QStringLiteral("ProxyUserName"), QString());
    state.IniFile.WriteString(QStringLiteral("Connection"), QStringLiteral("ProxyPassword"),
                              EncodePass(QStringLiteral("p")));
    EXPECT_TRUE(GetProxyPassword(state).isEmpty());

    state.IniFile.WriteString(QStringLiteral("Connection"), QStringLiteral("ProxyUserName"), QStringLiteral("u"));
    state.IniFile.WriteString(QStringLiteral("Connection"), QStringLiteral("ProxyPassword"), QStringLiteral("XYZ"));
    try {
        GetProxyPassword(state);
        ADD_FAILURE() << "a bad stored password must fail";
    } catch (const SaldomatError &e) {
        EXPECT_TRUE(
            e.message().startsWith(QStringLiteral("SettingsFile.GetProxyPassword -- > Passw.DecodePass -- > ")));
    }
}

TEST_F(SettingsFileTest, ProgramPathRecordIsQuotedWhenItHoldsABlank)
{
    SaveProgramPathToRegistry(QStringLiteral("/opt/my apps/saldomat"));
    QSettings settings(QStringLiteral("Zelkor"), QStringLiteral("Saldomat"));
    EXPECT_EQ(settings.value(QStringLiteral("ProgramPath")).toString(), QStringLiteral("\"/opt/my apps/saldomat\""));
    EXPECT_TRUE(settings.fileName().startsWith(home.xdg())) << settings.fileName().toStdString();
    SaveProgramPathToRegistry(QStringLiteral("/opt/saldomat"));
    settings.sync();
    EXPECT_EQ(settings.value(QStringLiteral("ProgramPath")).toString(), QStringLiteral("/opt/saldomat"));
}
