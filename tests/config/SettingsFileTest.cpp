#include "SettingsFile.h"

#include "AutoStart.h"
#include "ConfigHome.h"

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

TEST_F(SettingsFileTest, DefaultsRoundTripsAndUnreadableValuesAreRepaired)
{
    TSetupModel m = loaded();  // no file: the defaults, and nothing written
    EXPECT_FALSE(QFile::exists(path));
    SaveIniFile(ini, m);
    EXPECT_EQ(ReadFileBytes(path), ReadFileBytes(TestDataPath("config/Saldomat-defaults.ini")));
    EXPECT_FALSE(QFile::exists(AutoStartEntryPath()));
    TGeneralSettings &g = m.General;  // a key of each group, and the texts
    g.cbLicSchet = g.cbExecAfterRun = true;
    g.cbMarkIfTurnOff = g.cbKeyring = false;
    g.edBalanceLessThen = "10.75";
    g.edTurnOffLessThen = "5";
    g.cbRefreshTime = 6;
    m.SetTrayShowMinimal(true);
    SaveIniFile(ini, m);
    EXPECT_TRUE(loaded().General == g && loaded().TrayShowMinimal());
    // Values that are not numbers, or out of range, read as the defaults:
    // balance|days|refresh index stored, then as read (hours for the index).
    const QString file = "[Mark]\nedBalanceLessThen=%1\nedTurnOffLessThen=%2\n[Connection]\ncbRefreshTime=%3";
    for (const char *row : {"abc|3.5|7|2.5 2 24", "1,5|-230973|8|2.5 2 5", "-230973|x|-1|2.5 2 5",
                            "-230973.0||0x1|2.5 2 4", "3.75|0|0|3.75 0 3", "|7|abc|2.5 7 5", "inf|7|2|2.5 7 5"}) {
        const QStringList f = QString(row).split('|');
        WriteFileBytes(path, file.arg(f[0], f[1], f[2]).toLatin1());
        const TSetupModel b = loaded();
        const QString read = QString("%1 %2 ").arg(b.General.edBalanceLessThen, b.General.edTurnOffLessThen);
        EXPECT_EQ(read + QString::number(RequestIntervalMs(b) / 3600000), f[3]) << row;
    }
}

// A save keeps what other parts store in the file; at exit the program writes only what
// its run changed: keys another program wrote and an auto-start entry the user removed stay.
TEST_F(SettingsFileTest, SavesKeepOtherKeysAndExitWritesOnlyTheKeysThisRunChanged)
{
    WriteFileBytes(path,
                   Cp("; written by hand\n[Debug]\nSaveLogFiles=1\n\n[History Form]\nLeft=10\n\n"
                      "[Connection]\nProxyUserName=иван\n"));
    TSetupModel start = loaded();
    start.General.cbAutoStart = true;
    SaveIniFile(ini, start);
    SaveIniFile(ini, loaded());
    const QByteArray saved = ReadFileBytes(path);
    EXPECT_TRUE(saved.startsWith("; written by hand\r\n[Debug]\r\nSaveLogFiles=1\r\n")
                && saved.count("SaveLogFiles") == 1 && saved.contains("Left=10") && GetProxyUserName(state) == "иван");
    const TSetupModel atStart = loaded();
    ASSERT_TRUE(atStart.General.cbAutoStart);
    // Meanwhile saldomat-cli changes keys, the user removes the auto-start entry.
    ini.WriteBool("Hint Window", "cbSMS", true);
    ini.WriteBool("Phones", "rbTrayShowMinimal", true);
    ini.WriteString("Mark", "edBalanceLessThen", "7");
    ASSERT_TRUE(QFile::remove(AutoStartEntryPath()));
    const QByteArray before = ReadFileBytes(path);
    SaveChangedSettings(ini, atStart, atStart);  // nothing changed in the run
    EXPECT_EQ(ReadFileBytes(path), before);
    TSetupModel now = atStart;  // one key changed in the run: that key alone
    now.General.cbNN = false;
    SaveChangedSettings(ini, now, atStart);
    const TSetupModel after = loaded();
    EXPECT_TRUE(!after.General.cbNN && after.General.cbSMS && after.TrayShowMinimal()
                && after.General.edBalanceLessThen == "7");
    EXPECT_FALSE(QFile::exists(AutoStartEntryPath()));
    TSetupModel was = now;  // the tick itself changed in the run: the entry follows it
    was.General.cbAutoStart = false;
    SaveChangedSettings(ini, now, was);
    EXPECT_TRUE(GetAutoStart());
}

// The entry follows the tick and holds the path quoted as desktop entries want it.
TEST_F(SettingsFileTest, AutoStartEntryFollowsTheTick)
{
    const QString entry = AutoStartEntryPath();
    EXPECT_EQ(entry, xdg() + "/autostart/saldomat.desktop");
    TSetupModel m;
    m.General.cbAutoStart = true;
    SaveIniFile(ini, m);
    EXPECT_TRUE(GetAutoStart() && loaded().General.cbAutoStart);
    EXPECT_FALSE(ini.ValueExists("Connection", "cbAutoStart"));  // not in the file
    m.General.cbAutoStart = false;
    SaveIniFile(ini, m);
    EXPECT_FALSE(QFile::exists(entry) || loaded().General.cbAutoStart);
    // The path quoted as desktop entries want it.
    for (const auto &[path, exec] :
         {std::pair{"/opt/my apps/saldomat", "\nExec=\"/opt/my apps/saldomat\"\n"},
          {"/opt/saldomat/saldomat", "\nExec=/opt/saldomat/saldomat\n"},
          {"/opt/$HOME \"x\"/100%/saldomat", "\nExec=\"/opt/\\\\$HOME \\\\\"x\\\\\"/100%%/saldomat\"\n"}}) {
        SetAutoStart(true, QString::fromLatin1(path));
        const QByteArray bytes = ReadFileBytes(entry);
        EXPECT_TRUE(bytes.startsWith("[Desktop Entry]\n") && bytes.contains(exec)) << bytes.toStdString();
    }
    EXPECT_THROW(SetAutoStart(true, "/opt/a\nb"), SaldomatError);
    EXPECT_TRUE(GetAutoStart());
    // An entry switched off by the desktop, or without a program, does not count.
    for (const char *off : {"Exec=/x/saldomat\nHidden=true\n", "Exec=\n"}) {
        WriteFileBytes(entry, QByteArray("[Desktop Entry]\nType=Application\n") + off);
        EXPECT_FALSE(GetAutoStart()) << off;
    }
    SetAutoStart(false);
    EXPECT_FALSE(QFile::exists(entry));
    EXPECT_NO_THROW(SetAutoStart(false));
    // The folder cannot be made: the save stops half-way, the settings file stays.
    QDir(xdg() + "/autostart").removeRecursively();
    WriteFileBytes(xdg() + "/autostart", "not a folder");
    const QByteArray before = ReadFileBytes(path);
    m.General.cbNN = false;
    m.General.cbAutoStart = true;
    const QString error = FailureOf([&] { SaveIniFile(ini, m); });
    EXPECT_TRUE(error.startsWith("SettingsFile.SaveIniFile -- > AutoStart.SetAutoStart -- > ")) << error.toStdString();
    EXPECT_EQ(ReadFileBytes(path), before);
    // The program path record, quoted the same way.
    SaveProgramPathToRegistry("/opt/my apps/saldomat");
    QSettings settings("Zelkor", "Saldomat");
    EXPECT_EQ(settings.value("ProgramPath").toString(), "\"/opt/my apps/saldomat\"");
    EXPECT_TRUE(settings.fileName().startsWith(xdg())) << settings.fileName().toStdString();
}
