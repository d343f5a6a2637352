// The tray program started as real processes: one copy per user, commands
// forwarded to the running copy, stale sockets taken over.
#include "Common.h"
#include "EmulatorFixture.h"
#include "Encoding.h"
#include "EventLoopWait.h"
#include "NoSecondRun.h"
#include "PhonesXml.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QSysInfo>
#include <csignal>
#include <sys/stat.h>

namespace {
class SingleInstance : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Each test gets its own socket folder, so tests can run side by side.
        qputenv("TMPDIR", home_.dir().toLocal8Bit());
        qputenv("XDG_RUNTIME_DIR", runtime_.path().toLocal8Bit());
    }
    void TearDown() override
    {
        for (auto &p : procs_)
            p->kill(), p->waitForFinished(3000);
        qputenv("TMPDIR", oldTmp_);
        qputenv("XDG_RUNTIME_DIR", oldRuntime_);
    }
    QProcess *start(const QStringList &args = {}, QProcess::ProcessChannelMode mode = QProcess::ForwardedErrorChannel)
    {
        auto &p = procs_.emplace_back(std::make_unique<QProcess>());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", home_.file("xdg"));
        env.insert("QT_QPA_PLATFORM", "offscreen");
        p->setProcessEnvironment(env);
        p->setProcessChannelMode(mode);
        p->start(BinaryPath("saldomat"), args);
        EXPECT_TRUE(p->waitForStarted(5000));
        return p.get();
    }
    static QString name() { return NoSecondRun::ServerName(MainCaption()); }
    static bool listening()
    {
        QLocalSocket s;
        s.connectToServer(name());
        return s.waitForConnected(200);
    }
    QProcess *startRunning()
    {
        QProcess *p = start();
        EXPECT_TRUE(WaitUntil([&] { return listening() || p->state() != QProcess::Running; }) && listening())
            << "the first copy never started listening";
        return p;
    }
    static bool finishes(QProcess *p, int ms = 10000)
    {
        return WaitUntil([&] { return p->waitForFinished(10) || p->state() == QProcess::NotRunning; }, ms);
    }
    // Asks the running copy to close; both end.
    void close(QProcess *running, const char *word = "-close")
    {
        QProcess *closer = start({QLatin1String(word)});
        ASSERT_TRUE(finishes(closer) && finishes(running)) << word;  // the sender waited for the answer
        EXPECT_EQ(closer->exitCode() + running->exitCode(), 0) << word;
        EXPECT_FALSE(listening()) << word;
    }
    QString log() const { return FromCp1251(ReadFileBytes(home_.file("Saldomat.err"))); }

    TestHome home_;
    QTemporaryDir runtime_;  // 0700, as a session's runtime folder is
    QByteArray oldTmp_ = qgetenv("TMPDIR"), oldRuntime_ = qgetenv("XDG_RUNTIME_DIR");
    std::vector<std::unique_ptr<QProcess>> procs_;
};
}  // namespace

// One copy per user, whatever is in its way: files left where a copy used to
// meet the next one (a lock naming a live process, a socket that never
// answers) neither block nor hang the start; another program of the same user
// cannot take the channel away or blow the running copy up (a megabyte without
// a line end, a silent connection and a flood of connections are turned away);
// a second copy gives way; the socket of a killed copy does not block the next
// start; of two copies started together exactly one keeps running.
TEST_F(SingleInstance, OneCopyGivesWayToTheOtherWhateverIsInTheWay)
{
    const QByteArray key = (MainCaption() + QLatin1Char('\n') + qEnvironmentVariable("USER")).toUtf8();
    const QString old = home_.dir() + "saldomat-"
        + QString::fromLatin1(QCryptographicHash::hash(key, QCryptographicHash::Sha1).toHex().left(16));
    WriteFileBytes(old + ".lock", "1\nsystemd\n" + QSysInfo::machineHostName().toUtf8() + "\n");
    QLocalServer planted;
    ASSERT_TRUE(planted.listen(old));
    QProcess *first = startRunning();
    for (const QByteArray &said : {QByteArray(1 << 20, 'x'), QByteArray()}) {
        QLocalSocket s;
        s.connectToServer(name());
        ASSERT_TRUE(s.waitForConnected(2000));
        s.write(said);
        s.waitForBytesWritten(500);
        EXPECT_TRUE(WaitUntil([&] { return s.state() == QLocalSocket::UnconnectedState; }, 3000))
            << "a connection that sent " << said.size() << " bytes was kept";
    }
    std::vector<std::unique_ptr<QLocalSocket>> flood;
    for (int i = 0; i < 1100; ++i) {
        flood.push_back(std::make_unique<QLocalSocket>());
        flood.back()->connectToServer(name());
        if (!flood.back()->waitForConnected(200))
            break;
    }
    QProcess *second = start();
    ASSERT_TRUE(finishes(second));
    EXPECT_TRUE(second->exitCode() == 0 && first->state() == QProcess::Running);
    flood.clear();
    ::kill(static_cast<pid_t>(first->processId()), SIGKILL);
    ASSERT_TRUE(finishes(first));
    for (const char *word : {"/close", "-CLOSE", "-close"}) {
        QProcess *a = start(), *b = start();
        const auto running = [&] {
            a->waitForFinished(0), b->waitForFinished(0);
            return (a->state() == QProcess::Running) + (b->state() == QProcess::Running);
        };
        WaitUntil([&] { return running() < 2; });  // one of them has given way
        Pump(300);
        ASSERT_EQ(running(), 1) << word;
        close(a->state() == QProcess::Running ? a : b, word);
    }
}

// Command words come with a dash or slash in any case, in table order. A
// command without a running copy, or to a copy that goes away before it
// answers: the asker says so and fails, and writes nothing.
TEST_F(SingleInstance, CommandWordsAndAnAskerWithoutAnAnswer)
{
    EXPECT_EQ(CommandWords({"/close", "-CLOSE"}), QStringList{"Close"});
    EXPECT_EQ(CommandWords({"-queryonlybad", "/QueryNow", "-close"}),
              (QStringList{"Close", "QueryNow", "QueryOnlyBad"}));
    EXPECT_TRUE(CommandWords({"close", "--close", "-closex"}).isEmpty());
    QProcess *p = start({"/QueryNow"}, QProcess::SeparateChannels);
    ASSERT_TRUE(finishes(p, 5000));
    EXPECT_EQ(p->exitCode(), 1);
    const QStringList said = QString::fromUtf8(p->readAllStandardError()).split(u'\n', Qt::SkipEmptyParts);
    EXPECT_TRUE(said.value(said.size() - 1).startsWith("saldomat: no running copy of Saldomat to send QueryNow"));
    EXPECT_FALSE(listening());
    EXPECT_FALSE(QFile::exists(home_.file("Saldomat.ini")) || QFile::exists(home_.file("phones.xml")));

    QLockFile running(name() + QLatin1Char('-') + QSysInfo::machineHostName() + ".lock");
    ASSERT_TRUE(running.tryLock(0));
    QLocalServer dying;
    QLocalServer::removeServer(name());
    ASSERT_TRUE(dying.listen(name()));
    int asked = 0;
    QObject::connect(&dying, &QLocalServer::newConnection, [&] {
        while (QLocalSocket *s = dying.nextPendingConnection())
            ++asked, s->abort();
    });
    QProcess *asker = start({"/QueryNow"});
    ASSERT_TRUE(finishes(asker));
    EXPECT_TRUE(asker->exitCode() == 1 && asked > 0) << "the asker did not ask the copy it found: " << asked;
}

// A command of a later copy starts a run in the running copy, and runs never
// nest: the refresh timer, whose period is shorter than a run here, waits for
// the end of the run. Logins come one phone after the other, each phone once
// a run. One damaged phone in phones.xml costs only that phone: the problem is
// logged with the element's number, and at exit neither the settings file nor
// the auto-start entry is touched.
TEST_F(SingleInstance, QueryNowIsForwardedRunsNeverNestAndABadPhoneCostsOnlyItself)
{
    TProgramState state(InitPaths());
    QList<EmulatorPhone> phones;
    for (int i = 1; i <= 4; ++i) {
        phones << EmulatorPhone();
        phones.last().number = QStringLiteral("916000000%1").arg(i);
        phones.last().password = "111";
        phones.last().delayMs = 400;
    }
    EmulatorProcess emu;
    ASSERT_TRUE(emu.start(phones)) << emu.errorString().toStdString();
    PutEmulatorPhones(emu, phones, state);
    SavePhonesInfoToXml(state.Setup, state.Paths.PhonesXmlFileName, MaxPhones);
    // The second phone's password cannot be decoded: 54 hexadecimal digits in quotes.
    QByteArray xml = ReadFileBytes(state.Paths.PhonesXmlFileName);
    xml.replace(xml.indexOf("Password=\"", xml.indexOf("9160000002")), 65, "Password=\"XYZ\"");
    WriteFileBytes(state.Paths.PhonesXmlFileName, xml);
    // Settings the defaults would overwrite; no query at start.
    const QByteArray ini = "; by hand\r\n[Hint Window]\r\ncbNN=0\r\n[Connection]\r\ncbAutoReRquest=0\r\n"
                           "[Debug]\r\nTestPauseMs=0\r\nTestRefreshSeconds=1\r\n";
    const QByteArray autostart = "[Desktop Entry]\nType=Application\nExec=/opt/x/saldomat --mine\n";
    const QString entry = home_.file("xdg/autostart/saldomat.desktop");
    QDir().mkpath(QFileInfo(entry).absolutePath());
    WriteFileBytes(state.Paths.IniFileName, ini);
    WriteFileBytes(entry, autostart);

    QProcess *first = startRunning();
    Pump(300);
    EXPECT_EQ(emu.loginCount(phones[0].number), 0);
    QProcess *asker = start({"-querynow"});
    ASSERT_TRUE(finishes(asker, 30000));
    EXPECT_EQ(asker->exitCode(), 0);
    QList<int> c;
    WaitUntil(
        [&] {
            c.clear();
            for (const EmulatorPhone &p : phones)
                c << emu.loginCount(p.number);
            return c[3] >= 3;
        },
        30000);
    EXPECT_GE(c[3], 3) << "three runs, the user's and two of the timer";
    EXPECT_TRUE(c[0] >= c[2] && c[2] >= c[3] && c[0] - c[3] <= 1 && c[1] == 0)
        << "logins per phone: " << testing::PrintToString(c);
    EXPECT_EQ(first->state(), QProcess::Running);
    close(first);
    EXPECT_EQ(ReadFileBytes(state.Paths.IniFileName), ini);
    EXPECT_EQ(ReadFileBytes(entry), autostart);
    EXPECT_TRUE(log().contains(PhoneElementProblem(state.Paths.PhonesXmlFileName, 2, QString()))) << qPrintable(log());
}

// A first start writes only what it needs, every file its user's alone; files
// brought over readable by all are closed at the next start; something that
// cannot be saved at exit still lets the program end and fails the closer.
TEST_F(SingleInstance, FirstStartLaterStartAndAnExitThatCannotSave)
{
    const auto logSays = [&](const QString &text) { return WaitUntil([&] { return log().contains(text); }, 5000); };
    const auto modeOf = [](const QString &path) {
        struct stat st { };
        return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 07777 : 0;
    };
    close(startRunning(), "/close");
    EXPECT_TRUE(logSays("Первый запуск"));  // the copy listens first, then starts its work
    EXPECT_FALSE(QFile::exists(home_.file("Saldomat.ini"))) << "nothing changed, nothing written at exit";
    for (const char *name : {"Saldomat.db", "Saldomat.err"})
        EXPECT_EQ(modeOf(home_.file(QLatin1String(name))), 0600u) << name;

    // Settings there, history lost: the history stays unavailable.
    const QString ini = home_.file("Saldomat.ini"), phones = home_.file("phones.xml");
    WriteFileBytes(ini, "[Connection]\r\ncbAutoReRquest=0\r\n");
    WriteFileBytes(phones, "<?xml version=\"1.0\"?>\r\n<Phones/>\r\n");
    for (const QString &file : {ini, phones})
        QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther);
    ASSERT_TRUE(QFile::remove(home_.file("Saldomat.db")));
    QProcess *second = startRunning();
    EXPECT_TRUE(logSays("Ведение истории баланса невозможно по следующей причине: "));
    EXPECT_TRUE(logSays("Закрыт доступ других пользователей к файлам: ") && logSays(phones) && logSays(ini));
    EXPECT_EQ(QList({modeOf(phones), modeOf(ini)}), QList<unsigned>({0600, 0600}));
    EXPECT_FALSE(QFile::exists(home_.file("Saldomat.db")));

    // A folder in the place of the program's path record.
    const QString record = home_.file("xdg/Zelkor/Saldomat.conf");
    ASSERT_TRUE(QFile::remove(record) && QDir().mkpath(record));
    QProcess *closer = start({"-close"});
    ASSERT_TRUE(finishes(closer) && finishes(second)) << "the program kept running";
    EXPECT_TRUE(closer->exitCode() != 0 && second->exitCode() != 0);
    EXPECT_TRUE(log().contains("Saldomat_.ExitApp -- > SettingsFile.SaveProgramPathToRegistry -- > "));
    EXPECT_FALSE(listening());
}
