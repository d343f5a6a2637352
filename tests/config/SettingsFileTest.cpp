#include "SettingsFile.h"

#include "AutoStart.h"
#include "ConfigHome.h"
#include "IniFile.h"

#include <QSettings>

namespace {
class SettingsFileTest : public ConfigTest {
protected:
    TIniFile &ini = state.IniFile;
    QString path = InitPaths().IniFileName;

    TSetupModel loaded()
    {
        TSetupModel m;
        LoadIniFile(ini, m);
        return m;
    }
};
}  // namespace

TEST_F(SettingsFileTest, DefaultsTheirExactFileAndEveryValueRoundTrips)
{
    TSetupModel m = loaded();
    EXPECT_EQ(m.General, TGeneralSettings{});
    EXPECT_EQ(RequestIntervalMs(m), 5LL * 3600000);
    EXPECT_TRUE(m.TrayNotShow());
    EXPECT_FALSE(QFile::exists(path));
    SaveIniFile(ini, m);
    EXPECT_EQ(ReadFileBytes(path),
              QByteArray("[Hint Window]\r\ncbNN=1\r\ncbLicSchet=0\r\ncbAlias=1\r\ncbUserName=0\r\ncbPhoneNum=1\r\n"
                         "cbObPlat=0\r\ncbAverage=0\r\ncbTurnOff=1\r\ncbRecomend=1\r\ncbSMS=0\r\ncbMin=0\r\n"
                         "cbJeansBalExpired=0\r\ncbBalDelta=0\r\ncbLastQueryTime=1\r\n\r\n[Mark]\r\n"
                         "cbMarkIfBalance=1\r\ncbMarkIfTurnOff=1\r\ncbNotify=1\r\nedBalanceLessThen=2.5\r\n"
                         "edTurnOffLessThen=2\r\n\r\n[Connection]\r\ncbRefreshTime=2\r\ncbExecAfterRun=0\r\n"
                         "cbAutoReRquest=1\r\n\r\n[Phones]\r\nrbTrayShowMinimal=0\r\ncbKeyring=1\r\n\r\n"
                         "[Debug]\r\nSaveLogFiles=0\r\n"));
    EXPECT_FALSE(QFile::exists(AutoStartEntryPath()));

    TGeneralSettings &g = m.General;
    g.cbLicSchet = g.cbUserName = g.cbObPlat = g.cbAverage = g.cbSMS = g.cbMin = g.cbJeansBalExpired = g.cbBalDelta
        = g.cbExecAfterRun = true;
    g.cbNN = g.cbAlias = g.cbPhoneNum = g.cbTurnOff = g.cbRecomend = g.cbLastQueryTime = g.cbMarkIfBalance
        = g.cbMarkIfTurnOff = g.cbAutoReRquest = g.cbKeyring = false;
    g.edBalanceLessThen = QStringLiteral("10.75");
    g.edTurnOffLessThen = QStringLiteral("5");
    g.cbRefreshTime = 6;
    m.SetTrayShowMinimal(true);
    SaveIniFile(ini, m);
    const TSetupModel r = loaded();
    EXPECT_EQ(r.General, g);
    EXPECT_TRUE(r.TrayShowMinimal());
    EXPECT_EQ(RequestIntervalMs(r), 12LL * 3600000);
}

TEST_F(SettingsFileTest, UnreadableValuesAreRepaired)
{
    const struct {
        const char *balance, *days, *refresh, *wantBalance, *wantDays;
        qint64 wantHours;
    } rows[] = {
        {"abc", "3.5", "7", "2.5", "2", 24},   {"1,5", "-230973", "8", "2.5", "2", 5},
        {"-230973", "x", "-1", "2.5", "2", 5}, {"-230973.0", "", "0x1", "2.5", "2", 4},
        {"3.75", "0", "0", "3.75", "0", 3},    {"", "7", "abc", "2.5", "7", 5},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.balance);
        WriteFileBytes(path,
                       QByteArray("[Mark]\nedBalanceLessThen=") + row.balance + "\nedTurnOffLessThen=" + row.days
                           + "\n[Connection]\ncbRefreshTime=" + row.refresh + "\n");
        const TSetupModel m = loaded();
        EXPECT_EQ(m.General.edBalanceLessThen, QLatin1String(row.wantBalance));
        EXPECT_EQ(m.General.edTurnOffLessThen, QLatin1String(row.wantDays));
        EXPECT_EQ(RequestIntervalMs(m), row.wantHours * 3600000);
    }
}

// A save keeps what other parts store in the file; at exit the program writes
// only what its own run changed: keys another program wrote meanwhile, and an
// auto-start entry the user removed, stay.
TEST_F(SettingsFileTest, SavesKeepOtherKeysAndExitWritesOnlyTheKeysThisRunChanged)
{
    WriteFileBytes(path,
                   Cp("; written by hand\n[Debug]\nSaveLogFiles=1\n\n[History Form]\nLeft=10\n\n"
                      "[Connection]\nProxyUserName=иван\n"));
    TSetupModel start = loaded();
    start.General.cbAutoStart = true;
    SaveIniFile(ini, start);
    SaveIniFile(ini, loaded());
    EXPECT_TRUE(ReadFileBytes(path).startsWith("; written by hand\r\n[Debug]\r\nSaveLogFiles=1\r\n"));
    EXPECT_EQ(ReadFileBytes(path).count("SaveLogFiles"), 1);
    EXPECT_EQ(GetProxyUserName(state), U("иван"));
    const TSetupModel atStart = loaded();
    ASSERT_TRUE(atStart.General.cbAutoStart);

    // Meanwhile saldomat-cli changes keys, the user removes the auto-start entry.
    ini.WriteBool(QStringLiteral("Hint Window"), QStringLiteral("cbSMS"), true);
    ini.WriteBool(QStringLiteral("Phones"), QStringLiteral("rbTrayShowMinimal"), true);
    ini.WriteString(QStringLiteral("Mark"), QStringLiteral("edBalanceLessThen"), QStringLiteral("7"));
    ASSERT_TRUE(QFile::remove(AutoStartEntryPath()));
    const QByteArray before = ReadFileBytes(path);
    SaveChangedSettings(ini, atStart, atStart);  // nothing changed in the run
    EXPECT_EQ(ReadFileBytes(path), before);
    EXPECT_FALSE(QFile::exists(AutoStartEntryPath()));

    TSetupModel now = atStart;  // one key changed in the run: that key alone
    now.General.cbNN = false;
    SaveChangedSettings(ini, now, atStart);
    const TSetupModel after = loaded();
    EXPECT_FALSE(after.General.cbNN);
    EXPECT_TRUE(after.General.cbSMS && after.TrayShowMinimal());
    EXPECT_EQ(after.General.edBalanceLessThen, QStringLiteral("7"));
    EXPECT_FALSE(QFile::exists(AutoStartEntryPath()));

    TSetupModel was = now;  // the tick itself changed in the run: the entry follows it
    was.General.cbAutoStart = false;
    SaveChangedSettings(ini, now, was);
    EXPECT_TRUE(GetAutoStart());
}

TEST_F(SettingsFileTest, AutoStartEntryFollowsTheTick)
{
    const QString entry = AutoStartEntryPath();
    EXPECT_EQ(entry, home.xdg() + QStringLiteral("/autostart/saldomat.desktop"));
    TSetupModel m;
    m.General.cbAutoStart = true;
    SaveIniFile(ini, m);
    EXPECT_TRUE(GetAutoStart() && loaded().General.cbAutoStart);
    EXPECT_FALSE(ini.ValueExists(QStringLiteral("Connection"), QStringLiteral("cbAutoStart")));  // not in the file
    m.General.cbAutoStart = false;
    SaveIniFile(ini, m);
    EXPECT_FALSE(QFile::exists(entry) || loaded().General.cbAutoStart);

    // The path quoted as desktop entries want it.
    for (const auto &[path, exec] :
         {std::pair{"/opt/my apps/saldomat", "\nExec=\"/opt/my apps/saldomat\"\n"},
          {"/opt/saldomat/saldomat", "\nExec=/opt/saldomat/saldomat\n"},
          {"/opt/$HOME \"x\"/100%/saldomat", "\nExec=\"/opt/\\\\$HOME \\\\\"x\\\\\"/100%%/saldomat\"\n"}}) {
        SetAutoStart(true, QString::fromLatin1(path));
        EXPECT_TRUE(ReadFileBytes(entry).startsWith("[Desktop Entry]\n"));
        EXPECT_TRUE(ReadFileBytes(entry).contains(exec)) << ReadFileBytes(entry).toStdString();
    }
    EXPECT_THROW(SetAutoStart(true, QStringLiteral("/opt/a\nb")), SaldomatError);
    EXPECT_TRUE(GetAutoStart());

    // An entry switched off by the desktop, or without a program, does not count.
    for (const char *off : {"Exec=/x/saldomat\nHidden=true\n", "Exec=\n"}) {
        WriteFileBytes(entry, QByteArray("[Desktop Entry]\nType=Application\n") + off);
        EXPECT_FALSE(GetAutoStart()) << off;
    }
    SetAutoStart(false);
    EXPECT_FALSE(QFile::exists(entry));
    EXPECT_NO_THROW(SetAutoStart(false));

    // The program path record, quoted the same way.
    SaveProgramPathToRegistry(QStringLiteral("/opt/my apps/saldomat"));
    QSettings settings(QStringLiteral("Zelkor"), QStringLiteral("Saldomat"));
    EXPECT_EQ(settings.value(QStringLiteral("ProgramPath")).toString(), QStringLiteral("\"/opt/my apps/saldomat\""));
    EXPECT_TRUE(settings.fileName().startsWith(home.xdg())) << settings.fileName().toStdString();
}

TEST_F(SettingsFileTest, FailedSaveLeavesTheSettingsFileAsItWas)
{
    SaveIniFile(ini, loaded());
    const QByteArray before = ReadFileBytes(path);
    // The auto-start folder cannot be created: the save stops half-way.
    WriteFileBytes(home.xdg() + QStringLiteral("/autostart"), "not a folder");
    TSetupModel m;
    m.General.cbNN = false;
    m.General.cbAutoStart = true;
    const QString error = FailureOf([&] { SaveIniFile(ini, m); });
    EXPECT_TRUE(error.startsWith(QStringLiteral("SettingsFile.SaveIniFile -- > AutoStart.SetAutoStart -- > ")))
        << error.toStdString();
    EXPECT_EQ(ReadFileBytes(path), before);

    // A full disk during the rewrite itself.
    m.General.cbAutoStart = false;
    {
        FileSizeLimit limit(100);
        EXPECT_FALSE(FailureOf([&] { SaveIniFile(ini, m); }).isEmpty());
    }
    EXPECT_EQ(ReadFileBytes(path), before);
}
