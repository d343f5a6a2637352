// saldomat-cli's configuration commands, run as real processes.

#include "ConfigHome.h"
#include "ConfigWatcher.h"
#include "EventLoopWait.h"
#include "IniFile.h"
#include "Passw.h"
#include "PhonesXml.h"

#include "CliRun.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSet>
#include <memory>

namespace {
QStringList W(const char *utf8)
{
    return CliWords(utf8);
}

class CliTest : public ::testing::Test {
protected:
    ConfigHome home;
    TProgramState &state = home.state;

    // ConfigHome has set SALDOMAT_HOME and XDG_CONFIG_HOME for the child too.
    CliRun cli(const QStringList &args, const QByteArray &input = {}) { return RunCli(args, input); }
    CliRun cli(const char *words) { return cli(W(words)); }
    TSetupModel phones()
    {
        TSetupModel m;
        LoadPhonesInfoFromXml(m, InitPaths().PhonesXmlFileName, MaxPhones);
        m.ReleasePhonesLock();  // only a look: the tool may write next
        return m;
    }
    // Every file of the program directory with its bytes.
    QMap<QString, QByteArray> snapshot()
    {
        QMap<QString, QByteArray> files;
        for (const QString &f : home.files())
            files.insert(f, ReadFileBytes(home.file(f)));
        return files;
    }
    // Each command must fail with a message and leave every file as it was.
    void expectRefused(const std::vector<const char *> &commands)
    {
        const auto before = snapshot();
        for (const char *words : commands) {
            const CliRun r = cli(words);
            EXPECT_NE(r.status, 0) << words;
            EXPECT_FALSE(r.err.trimmed().isEmpty()) << words;
            EXPECT_EQ(snapshot(), before) << words;
        }
    }
};
}  // namespace

TEST_F(CliTest, PhonesSetListAndRemove)
{
    CliRun r = cli(
        "phones|set|1|--number|9161234567|--password|271828182845904|--alias|Мамин телефон|--monitor|yes|--tray|yes");
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    r = cli("phones|set|2|--number|+7 (903) 000-11-22|--region|мск");
    ASSERT_EQ(r.status, 0) << r.err.toStdString();

    TSetupModel m = phones();
    EXPECT_EQ(m.Line(1).Password, QStringLiteral("271828182845904"));
    EXPECT_EQ(m.Line(1).Alias, U("Мамин телефон"));
    EXPECT_TRUE(m.Line(1).Monitor);
    EXPECT_EQ(m.TraySlot(), 1);
    EXPECT_EQ(m.Line(2).Region, U("МСК"));
    EXPECT_FALSE(m.Line(2).Monitor);

    r = cli("phones|list");
    ASSERT_EQ(r.status, 0);
    EXPECT_TRUE(r.out.contains(U("1\t9161234567\tМамин телефон\tМСК\tyes\tyes\n"))) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains(U("2\t9030001122\t\tМСК\tno\tno\n"))) << r.out.toStdString();
    EXPECT_FALSE(r.out.contains(QStringLiteral("271828182845904")));
    EXPECT_FALSE(r.out.contains(QStringLiteral("Password"), Qt::CaseInsensitive));

    // Changing one field keeps the others.
    ASSERT_EQ(cli("phones|set|1|--monitor|no").status, 0);
    m = phones();
    EXPECT_FALSE(m.Line(1).Monitor);
    EXPECT_EQ(m.Line(1).Password, QStringLiteral("271828182845904"));

    // A phone is named by its slot, its number as typed anywhere, or its alias.
    ASSERT_EQ(cli("phones|set|8 903 000 11 22|--alias|Дача").status, 0);
    EXPECT_EQ(phones().Line(2).Alias, U("Дача"));
    ASSERT_EQ(cli("phones|set|дача|--monitor|no").status, 0);
    EXPECT_EQ(cli("phones|set|9990001122|--alias|x").status, 2);

    // Removing the first row closes the gap, and says so.
    r = cli("phones|remove|Мамин телефон");
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.lines(),
              (QStringList{U("removed 9161234567 from slot 1"), U("9030001122 moved from slot 2 to slot 1")}));
    m = phones();
    EXPECT_EQ(m.Line(1).Number, QStringLiteral("9030001122"));
    EXPECT_TRUE(m.Line(2).Number.isEmpty());
}

TEST_F(CliTest, PhonesBadInputChangesNothing)
{
    ASSERT_EQ(cli("phones|set|1|--number|9161110000|--password|1").status, 0);
    expectRefused({"phones|set|1|--number|111", "phones|set|1|--number|+8 916 111 00 00", "phones|set|0|--number|1",
                   "phones|set|101|--number|1", "phones|set|1|--region|NOPE",
                   "phones|set|1|--password|1234567890123456", "phones|set|1|--monitor|maybe",
                   "phones|set|1|--colour|red", "phones|set|1|--alias", "phones|set|2|--alias|no number",
                   "phones|remove|5", "phones|frobnicate",
                   // a monitored phone needs its password, as the setup dialog demands
                   "phones|set|2|--number|9162220000|--monitor|yes"});
    EXPECT_TRUE(cli("phones|set|2|--number|9162220000|--monitor|yes").err.contains(U("Не заполнен пароль")));
    EXPECT_TRUE(cli("phones|set|1|--number|111").err.contains(U("десять цифр")));
}

TEST_F(CliTest, PhonesFileThatCannotBeReadIsNotSavedOver)
{
    const QByteArray bad
        = "<Phones><Phone Number=\"1\" Password=\"XYZ\" Alias=\"\" Monitor=\"True\" TrayShow=\"False\" "
          "Region=\"X\" Individual=\"False\" BalanceLessThen=\"1\" TurnOffLessThen=\"1\"/></Phones>";
    WriteFileBytes(InitPaths().PhonesXmlFileName, bad);
    const CliRun r = cli("phones|set|2|--number|9160000002");
    EXPECT_NE(r.status, 0);
    EXPECT_TRUE(r.err.contains(QStringLiteral("Passw.DecodePass"))) << r.err.toStdString();
    EXPECT_EQ(ReadFileBytes(InitPaths().PhonesXmlFileName), bad);

    // Not a phone list at all: listed as empty, but never saved over.
    WriteFileBytes(InitPaths().PhonesXmlFileName, "<Phones><Phone");
    EXPECT_EQ(cli("phones|list").status, 0);
    expectRefused({"phones|set|1|--number|9160000001", "phones|remove|1"});
}

TEST_F(CliTest, Regions)
{
    CliRun r = cli("regions|add|Корвет - Урал|ЕКБ| https://ekb.example/cgi-bin/cgi.exe?function=is_newlog&lang=2 ");
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(state.ServersIni.ReadString(U("Корвет - Урал"), QStringLiteral("LoginURL"), QString()),
              QStringLiteral("https://ekb.example/cgi-bin/cgi.exe?function=is_login"));
    r = cli("regions|list");
    ASSERT_EQ(r.status, 0);
    EXPECT_TRUE(r.out.contains(U("Корвет - Москва\tМСК\thttps://issa.korvet-mobile.example/")));
    EXPECT_TRUE(r.out.contains(U("Корвет - Урал\tЕКБ\thttps://ekb.example/cgi-bin/cgi.exe?function=is_login\n")));
    EXPECT_LT(r.out.indexOf(U("Москва")), r.out.indexOf(U("Урал")));

    // A row may now use the region by its short name in any letter case.
    ASSERT_EQ(cli("phones|set|1|--number|9160000001|--region|екб").status, 0);
    EXPECT_EQ(phones().Line(1).Region, U("ЕКБ"));

    expectRefused({"regions|add|Своя|мск|https://x.example/", "regions|add|Длинная|ABCDE|https://x.example/",
                   "regions|add|[x]|AB|https://x.example/", "regions|add|Two", "regions|remove|x"});
    EXPECT_TRUE(
        cli("regions|add|Своя|мск|https://x.example/").err.contains(U("Такое короткое название уже существует")));
}

TEST_F(CliTest, SettingsGetAndSet)
{
    EXPECT_EQ(cli("settings|get|Mark|edBalanceLessThen").out, QStringLiteral("2.5\n"));
    ASSERT_EQ(cli("settings|set|Mark|edBalanceLessThen|4.25").status, 0);
    EXPECT_EQ(cli("settings|get|mark|EDBALANCELESSTHEN").out, QStringLiteral("4.25\n"));
    // A settings save writes the whole set of keys, as the dialog does.
    EXPECT_TRUE(state.IniFile.ValueExists(QStringLiteral("Hint Window"), QStringLiteral("cbNN")));

    ASSERT_EQ(cli("settings|set|Debug|SaveLogFiles|1").status, 0);
    ASSERT_EQ(cli("settings|set|Connection|cbRefreshTime|7").status, 0);
    EXPECT_TRUE(
        state.IniFile.ReadBool(QStringLiteral("Debug"), QStringLiteral("SaveLogFiles"), false));  // kept by the save
    TSetupModel m;
    LoadIniFile(state.IniFile, m);
    EXPECT_EQ(RequestIntervalMs(m), 86400000);
    // Shown as the dialog shows it, with the stored index beside it.
    EXPECT_EQ(cli("settings|get|Connection|cbRefreshTime").out, QStringLiteral("24 hours (stored: 7)\n"));

    // Either of the two may come first.
    ASSERT_EQ(cli("settings|set|Connection|ProxyPassword|секрет").status, 0);
    ASSERT_EQ(cli("settings|set|Connection|ProxyUserName| proxyuser ").status, 0);
    EXPECT_EQ(GetProxyUserName(state), QStringLiteral("proxyuser"));
    EXPECT_EQ(GetProxyPassword(state), U("секрет"));
    EXPECT_FALSE(ReadFileBytes(InitPaths().IniFileName).contains(Cp("секрет")));  // stored masked
    ASSERT_EQ(cli("settings|set|History Form|Left|-20").status, 0);
    EXPECT_EQ(state.IniFile.ReadInteger(QStringLiteral("History Form"), QStringLiteral("Left"), NoValue), -20);
    // A phone's tray button switches the stored minimum off.
    ASSERT_EQ(cli("settings|set|Phones|rbTrayShowMinimal|1").status, 0);
    ASSERT_EQ(cli("phones|set|1|--number|9160000001|--tray|yes").status, 0);
    EXPECT_FALSE(state.IniFile.ReadBool(QStringLiteral("Phones"), QStringLiteral("rbTrayShowMinimal"), true));

    expectRefused({"settings|set|Mark|edBalanceLessThen|1,5", "settings|set|Mark|edTurnOffLessThen|3.5",
                   "settings|set|Connection|cbRefreshTime|8", "settings|set|Hint Window|cbNN|maybe",
                   "settings|set|Debug|SaveLogFiles|2x", "settings|set|History Form|Left|left",
                   "settings|set|Mark|cbNN|1", "settings|set|Mark", "settings|get|Nowhere|key",
                   "settings|get|Connection|ProxyPassword"});
}

TEST_F(CliTest, HelpVersionAndUsageErrors)
{
    const CliRun help = cli("--help");
    ASSERT_EQ(help.status, 0);
    EXPECT_TRUE(help.err.isEmpty());
    EXPECT_TRUE(help.out.contains(QStringLiteral("exit status")));

    const CliRun version = cli("--version");
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, QStringLiteral("saldomat-cli %1\n").arg(QString::fromLatin1(ProgramVersion)));

    const CliRun exportHelp = cli("help|export");
    ASSERT_EQ(exportHelp.status, 0);
    EXPECT_TRUE(exportHelp.out.startsWith(QStringLiteral("usage: saldomat-cli export")));
    EXPECT_EQ(cli("export|--help").out, exportHelp.out);

    const CliRun man = cli("--man");
    EXPECT_TRUE(man.out.startsWith(QStringLiteral(".TH SALDOMAT-CLI 1")));
    EXPECT_TRUE(man.out.contains(QStringLiteral(".SH EXIT STATUS")));

    // Usage errors: 2, a message on stderr, nothing on stdout.
    for (const char *words : {"", "frobnicate", "help|frobnicate", "phones|list|--format|yaml", "query|--phone|0"}) {
        const CliRun r = cli(QString::fromUtf8(words).isEmpty() ? QStringList{} : W(words));
        EXPECT_EQ(r.status, 2) << words;
        EXPECT_FALSE(r.err.isEmpty()) << words;
        EXPECT_TRUE(r.out.isEmpty()) << words;
    }
}

// The listings in JSON (read by QJsonDocument) and CSV (read by Python's csv
// module); no password in any of them.
TEST_F(CliTest, ListingsReadBackInEveryFormat)
{
    ASSERT_EQ(cli("phones|set|1|--number|9161234567|--password|271828|--alias|Дом, \"дача\"|--monitor|yes").status, 0);
    ASSERT_EQ(cli("phones|set|2|--number|9167654321").status, 0);
    ASSERT_EQ(cli("settings|set|Connection|ProxyUserName|proxyuser").status, 0);
    ASSERT_EQ(cli("settings|set|Connection|ProxyPassword|271828").status, 0);

    const CliRun json = cli("phones|list|--format|json");
    ASSERT_EQ(json.status, 0) << json.err.toStdString();
    EXPECT_FALSE(json.out.contains(QStringLiteral("271828")));
    QJsonParseError error;
    const QJsonArray list = QJsonDocument::fromJson(json.outBytes, &error).array();
    ASSERT_EQ(error.error, QJsonParseError::NoError);
    ASSERT_EQ(list.size(), 2);
    EXPECT_EQ(list[0].toObject().value(QStringLiteral("slot")), QJsonValue(1));
    EXPECT_EQ(list[0].toObject().value(QStringLiteral("alias")).toString(), U("Дом, \"дача\""));
    EXPECT_EQ(list[0].toObject().value(QStringLiteral("monitor")), QJsonValue(true));
    EXPECT_EQ(list[1].toObject().value(QStringLiteral("number")).toString(), QStringLiteral("9167654321"));

    const QVector<QStringList> csv = ParseCsvWithPython(cli("phones|list|--format|csv").outBytes);
    ASSERT_EQ(csv.size(), 3);
    EXPECT_EQ(csv[0], (QStringList{"slot", "number", "alias", "region", "monitor", "tray"}));
    EXPECT_EQ(csv[1], (QStringList{"1", "9161234567", U("Дом, \"дача\""), U("МСК"), "true", "false"}));

    const QJsonArray regions = QJsonDocument::fromJson(cli("regions|list|--format|json").outBytes).array();
    ASSERT_FALSE(regions.isEmpty());
    EXPECT_EQ(regions[0].toObject().value(QStringLiteral("short")).toString(), U("МСК"));

    const CliRun settings = cli("settings|list|--format|json");
    EXPECT_FALSE(settings.out.contains(QStringLiteral("271828")));
    EXPECT_FALSE(settings.out.contains(QStringLiteral("ProxyPassword")));
    QJsonObject refresh;
    for (const QJsonValue &v : QJsonDocument::fromJson(settings.outBytes).array())
        if (v.toObject().value(QStringLiteral("key")).toString() == QLatin1String("cbRefreshTime"))
            refresh = v.toObject();
    EXPECT_EQ(refresh.value(QStringLiteral("value")), QJsonValue(5));
    EXPECT_EQ(refresh.value(QStringLiteral("unit")).toString(), QStringLiteral("hours"));
    EXPECT_EQ(refresh.value(QStringLiteral("stored")).toString(), QStringLiteral("2"));
    EXPECT_TRUE(
        cli("settings|list").out.contains(QStringLiteral("[Connection] cbRefreshTime = 5 hours (stored: 2)\n")));
    // Every key that get and set take is listed.
    EXPECT_TRUE(cli("settings|list").out.contains(QStringLiteral("[Phones] cbKeyring = ")));
}

// A password given on standard input never shows in the process's command
// line, which every user of the machine can read.
TEST_F(CliTest, PasswordFromStandardInputIsNeverOnTheCommandLine)
{
    const QByteArray secret = "31415926";
    auto runWithSecret = [&](const QStringList &args) {
        const std::unique_ptr<QProcess> started = StartCli(args);
        QProcess &p = *started;
        EXPECT_TRUE(p.waitForStarted(10000));
        // Not yet given the line: its command line is all there is to see. It
        // is read once the new program's words are in place (just after the
        // start, /proc may still show the parent's).
        QByteArray seen;
        WaitUntil(
            [&] {
                QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(p.processId()));
                seen = cmdline.open(QIODevice::ReadOnly) ? cmdline.readAll() : QByteArray();
                return seen.contains("--password-stdin");
            },
            5000);
        EXPECT_TRUE(seen.contains("--password-stdin")) << seen.toStdString();
        EXPECT_FALSE(seen.contains(secret));
        p.write(secret + "\n");
        p.closeWriteChannel();
        EXPECT_TRUE(p.waitForFinished(30000));
        EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    };
    runWithSecret({"phones", "set", "1", "--number", "9161234567", "--password-stdin", "--monitor", "yes"});
    EXPECT_EQ(phones().Line(1).Password, QString::fromLatin1(secret));
    EXPECT_TRUE(phones().Line(1).Monitor);
    EXPECT_FALSE(ReadFileBytes(InitPaths().PhonesXmlFileName).contains(secret));  // stored masked

    ASSERT_EQ(cli("settings|set|Connection|ProxyUserName|proxyuser").status, 0);
    runWithSecret({"settings", "set", "Connection", "ProxyPassword", "--password-stdin"});
    EXPECT_EQ(GetProxyPassword(state), QString::fromLatin1(secret));

    // Nothing on standard input: refused, nothing changed.
    expectRefused({"phones|set|1|--password-stdin"});
}

// The tray program's view of the files while saldomat-cli changes them: it
// reads them again once the change has settled and no run is active, and at
// exit writes back nothing the cli wrote.
TEST_F(CliTest, ChangesOfARunningTrayProgramsFilesAreLoadedBetweenRuns)
{
    ASSERT_EQ(cli("phones|set|1|--number|9161110001|--password|1|--monitor|yes").status, 0);
    ASSERT_EQ(cli("settings|set|Phones|rbTrayShowMinimal|1").status, 0);
    ConfigWatcher watcher(state);
    bool running = true;
    watcher.SetBusyQuery([&] { return running; });
    int reloads = 0;
    QObject::connect(&watcher, &ConfigWatcher::reloaded, [&] { ++reloads; });
    watcher.Load();
    EXPECT_EQ(state.Setup.Line(1).Number, QStringLiteral("9161110001"));
    EXPECT_TRUE(state.Setup.TrayShowMinimal());

    ASSERT_EQ(cli("phones|set|2|--number|9161110002|--password|2|--monitor|yes").status, 0);
    ASSERT_EQ(cli("settings|set|Phones|rbTrayShowMinimal|0").status, 0);
    ASSERT_EQ(cli("settings|set|Hint Window|cbNN|0").status, 0);
    Pump(ConfigWatcher::kSettleMs + 500);
    EXPECT_EQ(reloads, 0) << "not in the middle of a run";
    EXPECT_TRUE(state.Setup.Line(2).Number.isEmpty());

    running = false;
    ASSERT_TRUE(WaitUntil([&] { return reloads == 1; }, 5000));
    EXPECT_EQ(state.Setup.Line(2).Number, QStringLiteral("9161110002"));
    EXPECT_FALSE(state.Setup.TrayShowMinimal());
    EXPECT_FALSE(state.Setup.General.cbNN);

    // Exit after another change the watcher has not seen yet.
    ASSERT_EQ(cli("settings|set|Hint Window|cbSMS|1").status, 0);
    const QByteArray before = ReadFileBytes(InitPaths().IniFileName);
    watcher.SaveChanged();
    EXPECT_EQ(ReadFileBytes(InitPaths().IniFileName), before);
}

// Writers started at the same moment each load, change and save the phone
// list: one at a time, so no one's phone is lost under another's save.
TEST_F(CliTest, FortyWritersAtOnceKeepEveryPhone)
{
    ASSERT_EQ(cli("phones|set|1|--number|9000000000").status, 0);
    constexpr int kWriters = 40;
    std::vector<std::unique_ptr<QProcess>> writers;
    QSet<QString> expected{QStringLiteral("9000000000")};
    for (int k = 1; k <= kWriters; ++k) {
        // A slot past the end: the phone joins the end of the list.
        const QString number = QStringLiteral("90000000%1").arg(k, 2, 10, QLatin1Char('0'));
        expected.insert(number);
        writers.push_back(StartCli({QStringLiteral("phones"), QStringLiteral("set"), QString::number(kWriters + 1 + k),
                                    QStringLiteral("--number"), number, QStringLiteral("--alias"),
                                    QStringLiteral("writer %1").arg(k)}));
    }
    for (auto &p : writers) {
        ASSERT_TRUE(p->waitForFinished(120000));
        EXPECT_EQ(p->exitCode(), 0) << p->readAllStandardError().toStdString();
    }
    const TSetupModel m = phones();
    QSet<QString> kept;
    for (int slot = 1; slot <= MaxPhones; ++slot)
        if (!m.Line(slot).Number.isEmpty())
            kept.insert(m.Line(slot).Number);
    EXPECT_EQ(kept.size(), kWriters + 1);
    EXPECT_TRUE(kept == expected);
    EXPECT_FALSE(QFile::exists(InitPaths().PhonesXmlFileName + QStringLiteral(".lock")));
}
