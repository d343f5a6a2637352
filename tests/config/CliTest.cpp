// saldomat-cli's configuration commands, run as real processes in the test's homes.

#include "CliRun.h"
#include "ConfigHome.h"
#include "ConfigWatcher.h"
#include "EventLoopWait.h"
#include "PhonesXml.h"
#include "SettingsFile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>

namespace {
class CliTest : public ConfigTest {
protected:
    QString phonesXml = InitPaths().PhonesXmlFileName;

    static CliRun cli(const char *words) { return RunCli(CliWords(words)); }
    static CliRun ok(const char *words)  // the command must succeed
    {
        CliRun r = cli(words);
        EXPECT_EQ(r.status, 0) << words << ": " << r.err.toStdString();
        return r;
    }
    TSetupModel phones()
    {
        TSetupModel m;
        LoadPhonesInfoFromXml(m, phonesXml, MaxPhones);
        m.ReleasePhonesLock();  // only a look: the tool may write next
        return m;
    }
    // Each command ("" for none at all) must fail with a message, print
    // nothing and leave every file as it was.
    void expectRefused(const QStringList &commands)
    {
        auto snapshot = [&] {
            QMap<QString, QByteArray> bytes;
            for (const QString &f : files())
                bytes.insert(f, ReadFileBytes(file(f)));
            return bytes;
        };
        const auto before = snapshot();
        for (const QString &words : commands) {
            const CliRun r = RunCli(words.isEmpty() ? QStringList() : words.split(u'|'));
            EXPECT_TRUE(r.status != 0 && !r.err.trimmed().isEmpty() && r.out.isEmpty()) << words.toStdString();
            EXPECT_EQ(snapshot(), before) << words.toStdString();
        }
    }
};
}  // namespace

TEST_F(CliTest, PhonesSetListAndRemove)
{
    ok("phones|set|1|--number|9161234567|--password|271828182845904|--alias|Мамин телефон|--monitor|yes|--tray|yes");
    ok("phones|set|2|--number|+7 (903) 000-11-22|--region|мск");
    TSetupModel m = phones();
    EXPECT_EQ(m.Line(1).Password, "271828182845904");
    EXPECT_TRUE(m.Line(1).Monitor && !m.Line(2).Monitor && m.TraySlot() == 1 && m.Line(2).Region == "МСК");
    // Listed without the password, in JSON as well.
    const QString text = ok("phones|list").out;
    EXPECT_TRUE(text.contains("1\t9161234567\tМамин телефон\tМСК\tyes\tyes\n"));
    const CliRun json = ok("phones|list|--format|json");
    EXPECT_FALSE(json.out.contains("2718") || text.contains("2718"));
    const QJsonArray list = QJsonDocument::fromJson(json.outBytes).array();
    EXPECT_EQ(list.at(1)["number"].toString(), "9030001122");
    EXPECT_EQ(list.at(0)["monitor"], QJsonValue(true));
    // Changing one field keeps the others; a phone is named by its slot, its
    // number as typed anywhere, or its alias.
    ok("phones|set|1|--monitor|no");
    EXPECT_TRUE(!phones().Line(1).Monitor && phones().Line(1).Password == "271828182845904");
    ok("phones|set|8 903 000 11 22|--alias|Дача");
    EXPECT_EQ(phones().Line(2).Alias, "Дача");
    ok("phones|set|дача|--monitor|no");
    EXPECT_EQ(cli("phones|set|9990001122|--alias|x").status, 2);
    // Removing the first row closes the gap, and says so.
    EXPECT_EQ(ok("phones|remove|Мамин телефон").lines(),
              (QStringList{"removed 9161234567 from slot 1", "9030001122 moved from slot 2 to slot 1"}));
    m = phones();
    EXPECT_TRUE(m.Line(1).Number == "9030001122" && m.Line(2).Number.isEmpty());
}

TEST_F(CliTest, BadInputChangesNothing)
{
    ok("phones|set|1|--number|9161110000|--password|1");
    EXPECT_EQ(ok("--version").out, QStringLiteral("saldomat-cli %1\n").arg(QString::fromLatin1(ProgramVersion)));
    QStringList refused{QString()};
    for (const QString &line :
         QString::fromUtf8(ReadFileBytes(TestDataPath("config/refused-commands.txt"))).split('\n'))
        if (!line.isEmpty() && !line.startsWith('#'))
            refused << line;
    ASSERT_GT(refused.size(), 10) << "the refused commands were not read";
    expectRefused(refused);
    // A phone list that cannot be read is never saved over (the refusal goes to the error log).
    const QByteArray bad = "<Phones><Phone Number=\"1\" Password=\"XYZ\"/></Phones>";
    WriteFileBytes(phonesXml, bad);
    EXPECT_TRUE(cli("phones|set|2|--number|9160000002").err.contains("Passw.DecodePass"));
    EXPECT_EQ(ReadFileBytes(phonesXml), bad);
    WriteFileBytes(phonesXml, "<Phones><Phone");  // not a phone list at all: listed as empty
    EXPECT_EQ(cli("phones|list").status, 0);
    expectRefused({"phones|set|1|--number|9160000001", "phones|remove|1"});
}

TEST_F(CliTest, RegionsAndSettings)
{
    ok("regions|add|Корвет - Урал|ЕКБ| https://ekb.example/cgi-bin/cgi.exe?function=is_newlog&lang=2 ");
    const QString regions = ok("regions|list").out;  // the address corrected, after the built-in
    EXPECT_GT(regions.indexOf("Корвет - Урал\tЕКБ\thttps://ekb.example/cgi-bin/cgi.exe?function=is_login\n"),
              regions.indexOf("Москва"));
    ok("phones|set|1|--number|9160000001|--region|екб");  // by its short name in any letter case
    EXPECT_EQ(phones().Line(1).Region, "ЕКБ");
    EXPECT_EQ(cli("settings|get|Mark|edBalanceLessThen").out, "2.5\n");
    ok("settings|set|Mark|edBalanceLessThen|4.25");
    EXPECT_EQ(cli("settings|get|mark|EDBALANCELESSTHEN").out, "4.25\n");
    // A settings save writes the whole set of keys, as the dialog does.
    EXPECT_TRUE(state.IniFile.ValueExists("Hint Window", "cbNN"));
    ok("settings|set|Connection|cbRefreshTime|7");
    EXPECT_EQ(cli("settings|get|Connection|cbRefreshTime").out, "24 hours (stored: 7)\n");
    // Either of the two may come first; the password is stored masked.
    ok("settings|set|Connection|ProxyPassword|секрет");
    EXPECT_TRUE(GetProxyPassword(state).isEmpty());  // no user name: no password
    ok("settings|set|Connection|ProxyUserName| proxyuser ");
    const QString settings = ok("settings|list|--format|json").out + ok("settings|list").out;
    EXPECT_FALSE(settings.contains("секрет") || settings.contains("Password"));
    EXPECT_EQ(GetProxyUserName(state) + GetProxyPassword(state), "proxyuserсекрет");
    EXPECT_FALSE(ReadFileBytes(InitPaths().IniFileName).contains(Cp("секрет")));
    // A phone's tray button switches the stored minimum off.
    ok("settings|set|Phones|rbTrayShowMinimal|1");
    ok("phones|set|1|--tray|yes");
    EXPECT_FALSE(state.IniFile.ReadBool("Phones", "rbTrayShowMinimal", true));
}

// The tray program reloads what the cli wrote once it settled between runs, and writes none of it back at exit.
TEST_F(CliTest, ChangesOfARunningTrayProgramsFilesAreLoadedBetweenRuns)
{
    ok("phones|set|1|--number|9161110001|--password|1|--monitor|yes");
    ok("settings|set|Phones|rbTrayShowMinimal|1");
    ConfigWatcher watcher(state);
    bool running = true;
    watcher.SetBusyQuery([&] { return running; });
    int reloads = 0;
    QObject::connect(&watcher, &ConfigWatcher::reloaded, [&] { ++reloads; });
    watcher.Load();
    EXPECT_TRUE(state.Setup.Line(1).Number == "9161110001" && state.Setup.TrayShowMinimal());
    ok("phones|set|2|--number|9161110002|--password|2|--monitor|yes");
    ok("settings|set|Phones|rbTrayShowMinimal|0");
    ok("settings|set|Hint Window|cbNN|0");
    Pump(ConfigWatcher::kSettleMs + 500);
    EXPECT_TRUE(reloads == 0 && state.Setup.Line(2).Number.isEmpty()) << "not in the middle of a run";
    running = false;
    ASSERT_TRUE(WaitUntil([&] { return reloads == 1; }, 5000));
    EXPECT_TRUE(state.Setup.Line(2).Number == "9161110002" && !state.Setup.TrayShowMinimal()
                && !state.Setup.General.cbNN);
    // Exit after another change the watcher has not seen yet.
    ok("settings|set|Hint Window|cbSMS|1");
    const QByteArray before = ReadFileBytes(InitPaths().IniFileName);
    watcher.SaveChanged();
    EXPECT_EQ(ReadFileBytes(InitPaths().IniFileName), before);
}

// Writers started at once load, change and save the list one at a time: no phone is lost.
TEST_F(CliTest, FortyWritersAtOnceKeepEveryPhone)
{
    ok("phones|set|1|--number|9000000000");
    std::vector<std::unique_ptr<QProcess>> writers;
    QSet<QString> expected{"9000000000"}, kept;
    for (int k = 1; k <= 40; ++k) {
        const QString number = QStringLiteral("90000000%1").arg(k, 2, 10, QLatin1Char('0'));
        expected.insert(number);  // a slot past the end: the phone joins the end of the list
        writers.push_back(StartCli({"phones", "set", QString::number(41 + k), "--number", number}));
    }
    for (auto &p : writers) {
        ASSERT_TRUE(p->waitForFinished(120000));
        EXPECT_EQ(p->exitCode(), 0) << p->readAllStandardError().toStdString();
    }
    const TSetupModel m = phones();
    for (int slot = 1; slot <= MaxPhones; ++slot)
        if (!m.Line(slot).Number.isEmpty())
            kept.insert(m.Line(slot).Number);
    EXPECT_EQ(kept, expected);
    EXPECT_FALSE(QFile::exists(phonesXml + ".lock"));
}
