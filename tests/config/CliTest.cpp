// saldomat-cli's configuration commands, run as real processes.

#include "ConfigHome.h"
#include "ConfigWatcher.h"
#include "EventLoopWait.h"
#include "IniFile.h"
#include "Passw.h"
#include "PhonesXml.h"

#include <QFile>
#include <QProcess>
#include <QSet>
#include <memory>

namespace {
struct CliRun {
    int status = -1;
    QString out;
    QString err;
};

// Command words separated by "|": W("phones|set|1|--alias|Мамин телефон").
QStringList W(const char *utf8)
{
    return QString::fromUtf8(utf8).split(QLatin1Char('|'));
}

class CliTest : public ::testing::Test {
protected:
    ConfigHome home;

    CliRun cli(const QStringList &args)
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("SALDOMAT_HOME"), home.dir());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.xdg());
        p.setProcessEnvironment(env);
        p.start(BinaryPath(QStringLiteral("saldomat-cli")), args);
        CliRun r;
        if (!p.waitForFinished(30000)) {
            ADD_FAILURE() << "saldomat-cli did not finish";
            p.kill();
            p.waitForFinished();
            return r;
        }
        r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        r.out = QString::fromUtf8(p.readAllStandardOutput());
        r.err = QString::fromUtf8(p.readAllStandardError());
        return r;
    }
    CliRun cli(const char *words) { return cli(W(words)); }
    TSetupModel phones()
    {
        TSetupModel m;
        LoadPhonesInfoFromXml(m, PhonesXmlFileName, MaxPhones);
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
    CliRun r = cli("phones|set|1|--number|9161234567|--password|271828182845904|--alias|Мамин телефон|--monitor|yes|--tray|yes");
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    r = cli("phones|set|2|--number|+7-903-000|--region|мск");
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
    EXPECT_TRUE(r.out.contains(U("2\t+7-903-000\t\tМСК\tno\tno\n"))) << r.out.toStdString();
    EXPECT_FALSE(r.out.contains(QStringLiteral("271828182845904")));
    EXPECT_FALSE(r.out.contains(QStringLiteral("Password"), Qt::CaseInsensitive));

    // Changing one field keeps the others.
    ASSERT_EQ(cli("phones|set|1|--monitor|no").status, 0);
    m = phones();
    EXPECT_FALSE(m.Line(1).Monitor);
    EXPECT_EQ(m.Line(1).Password, QStringLiteral("271828182845904"));

    // Removing the first row closes the gap.
    ASSERT_EQ(cli("phones|remove|1").status, 0);
    m = phones();
    EXPECT_EQ(m.Line(1).Number, QStringLiteral("+7-903-000"));
    EXPECT_TRUE(m.Line(2).Number.isEmpty());
}

TEST_F(CliTest, PhonesBadInputChangesNothing)
{
    ASSERT_EQ(cli("phones|set|1|--number|111|--password|1").status, 0);
    expectRefused({"phones|set|0|--number|1", "phones|set|101|--number|1", "phones|set|x|--number|1",
                   "phones|set|1|--region|NOPE", "phones|set|1|--password|1234567890123456", "phones|set|1|--password|abc",
                   "phones|set|1|--number|916 123", "phones|set|1|--monitor|maybe", "phones|set|1|--colour|red",
                   "phones|set|1|--alias", "phones|set|2|--alias|no number", "phones|remove|5", "phones|remove",
                   "phones|frobnicate",
                   // a monitored phone needs its password, as the setup dialog demands
                   "phones|set|2|--number|222|--monitor|yes"});
    EXPECT_TRUE(cli("phones|set|2|--number|222|--monitor|yes").err.contains(U("Не заполнен пароль")));
}

TEST_F(CliTest, PhonesFileThatCannotBeReadIsNotSavedOver)
{
    const QByteArray bad = "<Phones><Phone Number=\"1\" Password=\"XYZ\" Alias=\"\" Monitor=\"True\" TrayShow=\"False\" "
                           "Region=\"X\" Individual=\"False\" BalanceLessThen=\"1\" TurnOffLessThen=\"1\"/></Phones>";
    WriteFileBytes(PhonesXmlFileName, bad);
    const CliRun r = cli("phones|set|2|--number|2");
    EXPECT_NE(r.status, 0);
    EXPECT_TRUE(r.err.contains(QStringLiteral("Passw.DecodePass"))) << r.err.toStdString();
    EXPECT_EQ(ReadFileBytes(PhonesXmlFileName), bad);

    // Not a phone list at all: listed as empty, but never saved over.
    WriteFileBytes(PhonesXmlFileName, "<Phones><Phone");
    EXPECT_EQ(cli("phones|list").status, 0);
    expectRefused({"phones|set|1|--number|1", "phones|remove|1"});
}

TEST_F(CliTest, TrayRowSwitchesTheStoredMinimumOff)
{
    ASSERT_EQ(cli("settings|set|Phones|rbTrayShowMinimal|1").status, 0);
    ASSERT_EQ(cli("phones|set|1|--number|1|--tray|yes").status, 0);
    EXPECT_FALSE(IniFile.ReadBool(QStringLiteral("Phones"), QStringLiteral("rbTrayShowMinimal"), true));
    TSetupModel m = phones();
    LoadIniFile(m);
    EXPECT_EQ(m.TraySlot(), 1);
}

TEST_F(CliTest, Regions)
{
    CliRun r = cli("regions|add|Корвет - Урал|ЕКБ| https://ekb.example/cgi-bin/cgi.exe?function=is_newlog&lang=2 ");
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(ServersIni.ReadString(U("Корвет - Урал"), QStringLiteral("LoginURL"), QString()),
              QStringLiteral("https://ekb.example/cgi-bin/cgi.exe?function=is_login"));
    r = cli("regions|list");
    ASSERT_EQ(r.status, 0);
    EXPECT_TRUE(r.out.contains(U("Корвет - Москва\tМСК\thttps://issa.korvet-mobile.example/")));
    EXPECT_TRUE(r.out.contains(U("Корвет - Урал\tЕКБ\thttps://ekb.example/cgi-bin/cgi.exe?function=is_login\n")));
    EXPECT_LT(r.out.indexOf(U("Москва")), r.out.indexOf(U("Урал")));

    // A row may now use the region by its short name in any letter case.
    ASSERT_EQ(cli("phones|set|1|--number|1|--region|екб").status, 0);
    EXPECT_EQ(phones().Line(1).Region, U("ЕКБ"));

    expectRefused({"regions|add|Своя|мск|https://x.example/", "regions|add|Другая|ЕКБ|https://x.example/",
                   "regions|add|Длинная|ABCDE|https://x.example/", "regions|add| |AB|https://x.example/",
                   "regions|add|[x]|AB|https://x.example/", "regions|add|Two", "regions|remove|x"});
    EXPECT_TRUE(cli("regions|add|Своя|мск|https://x.example/").err.contains(U("Такое короткое название уже существует")));
}

TEST_F(CliTest, SettingsGetAndSet)
{
    EXPECT_EQ(cli("settings|get|Mark|edBalanceLessThen").out, QStringLiteral("2.5\n"));
    ASSERT_EQ(cli("settings|set|Mark|edBalanceLessThen|4.25").status, 0);
    EXPECT_EQ(cli("settings|get|mark|EDBALANCELESSTHEN").out, QStringLiteral("4.25\n"));
    // A settings save writes the whole set of keys, as the dialog does.
    EXPECT_TRUE(IniFile.ValueExists(QStringLiteral("Hint Window"), QStringLiteral("cbNN")));

    ASSERT_EQ(cli("settings|set|Debug|SaveLogFiles|1").status, 0);
    ASSERT_EQ(cli("settings|set|Connection|cbRefreshTime|7").status, 0);
    EXPECT_TRUE(IniFile.ReadBool(QStringLiteral("Debug"), QStringLiteral("SaveLogFiles"), false));  // kept by the save
    TSetupModel m;
    LoadIniFile(m);
    EXPECT_EQ(RequestIntervalMs(m), 86400000);

    // Either of the two may come first.
    ASSERT_EQ(cli("settings|set|Connection|ProxyPassword|секрет").status, 0);
    ASSERT_EQ(cli("settings|set|Connection|ProxyUserName| proxyuser ").status, 0);
    EXPECT_EQ(GetProxyUserName(), QStringLiteral("proxyuser"));
    EXPECT_EQ(GetProxyPassword(), U("секрет"));
    EXPECT_FALSE(ReadFileBytes(IniFileName).contains(Cp("секрет")));  // stored masked
    ASSERT_EQ(cli("settings|set|History Form|Left|-20").status, 0);
    EXPECT_EQ(IniFile.ReadInteger(QStringLiteral("History Form"), QStringLiteral("Left"), NoValue), -20);

    expectRefused({"settings|set|Mark|edBalanceLessThen|1,5", "settings|set|Mark|edTurnOffLessThen|3.5",
                   "settings|set|Connection|cbRefreshTime|8", "settings|set|Hint Window|cbNN|maybe",
                   "settings|set|Debug|SaveLogFiles|2x", "settings|set|History Form|Left|left",
                   "settings|set|Nowhere|key|1", "settings|set|Mark", "settings|get|Nowhere|key", "settings|get"});
}

// The tray program's view of the files while saldomat-cli changes them: it
// reads them again once the change has settled and no run is active, and at
// exit writes back nothing the cli wrote.
TEST_F(CliTest, ChangesOfARunningTrayProgramsFilesAreLoadedBetweenRuns)
{
    ASSERT_EQ(cli("phones|set|1|--number|9161110001|--password|1|--monitor|yes").status, 0);
    ASSERT_EQ(cli("settings|set|Phones|rbTrayShowMinimal|1").status, 0);
    ConfigWatcher watcher;
    bool running = true;
    watcher.SetBusyQuery([&] { return running; });
    int reloads = 0;
    QObject::connect(&watcher, &ConfigWatcher::reloaded, [&] { ++reloads; });
    watcher.Load();
    EXPECT_EQ(SetupModel().Line(1).Number, QStringLiteral("9161110001"));
    EXPECT_TRUE(SetupModel().TrayShowMinimal());

    ASSERT_EQ(cli("phones|set|2|--number|9161110002|--password|2|--monitor|yes").status, 0);
    ASSERT_EQ(cli("settings|set|Phones|rbTrayShowMinimal|0").status, 0);
    ASSERT_EQ(cli("settings|set|Hint Window|cbNN|0").status, 0);
    Pump(ConfigWatcher::kSettleMs + 500);
    EXPECT_EQ(reloads, 0) << "not in the middle of a run";
    EXPECT_TRUE(SetupModel().Line(2).Number.isEmpty());

    running = false;
    ASSERT_TRUE(WaitUntil([&] { return reloads == 1; }, 5000));
    EXPECT_EQ(SetupModel().Line(2).Number, QStringLiteral("9161110002"));
    EXPECT_FALSE(SetupModel().TrayShowMinimal());
    EXPECT_FALSE(SetupModel().General.cbNN);

    // Exit after another change the watcher has not seen yet.
    ASSERT_EQ(cli("settings|set|Hint Window|cbSMS|1").status, 0);
    const QByteArray before = ReadFileBytes(IniFileName);
    watcher.SaveChanged();
    EXPECT_EQ(ReadFileBytes(IniFileName), before);
}

// Writers started at the same moment each load, change and save the phone
// list: one at a time, so no one's phone is lost under another's save.
TEST_F(CliTest, FortyWritersAtOnceKeepEveryPhone)
{
    ASSERT_EQ(cli("phones|set|1|--number|9000000000").status, 0);
    constexpr int kWriters = 40;
    std::vector<std::unique_ptr<QProcess>> writers;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("SALDOMAT_HOME"), home.dir());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.xdg());
    QSet<QString> expected{QStringLiteral("9000000000")};
    for (int k = 1; k <= kWriters; ++k) {
        // A slot past the end: the phone joins the end of the list.
        const QString number = QStringLiteral("90000000%1").arg(k, 2, 10, QLatin1Char('0'));
        expected.insert(number);
        auto p = std::make_unique<QProcess>();
        p->setProcessEnvironment(env);
        p->start(BinaryPath(QStringLiteral("saldomat-cli")),
                 {QStringLiteral("phones"), QStringLiteral("set"), QString::number(kWriters + 1 + k), QStringLiteral("--number"),
                  number, QStringLiteral("--alias"), QStringLiteral("writer %1").arg(k)});
        writers.push_back(std::move(p));
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
    EXPECT_FALSE(QFile::exists(PhonesXmlFileName + QStringLiteral(".lock")));
}
