// The tray program started as real processes: one copy per user, commands
// forwarded to the running copy, stale sockets taken over.
#include "Common.h"
#include "EmulatorFixture.h"
#include "EmulatorProcess.h"
#include "Encoding.h"
#include "NoSecondRun.h"
#include "PhoneTable.h"
#include "PhonesXml.h"
#include "ProgramState.h"
#include "SettingsFile.h"
#include "Setup.h"
#include "TestHome.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QProcess>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>
#include <memory>

#include <csignal>
#include <sys/stat.h>

namespace {
class SingleInstance : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Each test gets its own socket folder, so tests can run side by side.
        oldTmp_ = qgetenv("TMPDIR");
        oldRuntime_ = qgetenv("XDG_RUNTIME_DIR");
        qputenv("TMPDIR", home_.dir().toLocal8Bit());
        qputenv("XDG_RUNTIME_DIR", runtime_.path().toLocal8Bit());
    }
    void TearDown() override
    {
        for (auto &p : procs_) {
            if (p->state() != QProcess::NotRunning) {
                p->kill();
                p->waitForFinished(3000);
            }
        }
        qputenv("TMPDIR", oldTmp_);
        qputenv("XDG_RUNTIME_DIR", oldRuntime_);
    }

    QProcess *start(const QStringList &args = {},
                    QProcess::ProcessChannelMode channels = QProcess::ForwardedErrorChannel)
    {
        auto p = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("SALDOMAT_HOME"), home_.dir());
        env.insert(QStringLiteral("TMPDIR"), home_.dir());
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime_.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home_.file(QStringLiteral("xdg")));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        p->setProcessEnvironment(env);
        p->setProcessChannelMode(channels);
        p->start(BinaryPath(QStringLiteral("saldomat")), args);
        EXPECT_TRUE(p->waitForStarted(5000));
        procs_.push_back(std::move(p));
        return procs_.back().get();
    }

    // True once a copy answers on the program's socket.
    bool listening()
    {
        QLocalSocket s;
        s.connectToServer(NoSecondRun::ServerName(MainCaption()));
        return s.waitForConnected(200);
    }

    QProcess *startRunning()
    {
        QProcess *p = start();
        QElapsedTimer t;
        t.start();
        while (!listening() && t.elapsed() < 10000 && p->state() == QProcess::Running)
            QThread::msleep(20);
        EXPECT_TRUE(listening()) << "the first copy never started listening";
        return p;
    }

    static bool finishes(QProcess *p, int ms = 10000)
    {
        return p->waitForFinished(ms) || p->state() == QProcess::NotRunning;
    }

    // The lock file that marks the running copy, beside its socket.
    static QString lockName()
    {
        return NoSecondRun::ServerName(MainCaption()) + QLatin1Char('-') + QSysInfo::machineHostName()
            + QStringLiteral(".lock");
    }

    static unsigned modeOf(const QString &path)
    {
        struct stat st { };
        return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 07777 : 0;
    }

    TestHome home_;
    QTemporaryDir runtime_;  // 0700, as a session's runtime folder is
    QByteArray oldTmp_;
    QByteArray oldRuntime_;
    std::vector<std::unique_ptr<QProcess>> procs_;
};
}  // namespace

TEST(CommandWords, RecognisedWithDashOrSlashInAnyCaseInTableOrder)
{
    EXPECT_EQ(CommandWords({QStringLiteral("/close")}), QStringList{QStringLiteral("Close")});
    EXPECT_EQ(CommandWords({QStringLiteral("-CLOSE")}), QStringList{QStringLiteral("Close")});
    EXPECT_EQ(CommandWords({QStringLiteral("-queryonlybad"), QStringLiteral("/QueryNow"), QStringLiteral("-close")}),
              (QStringList{QStringLiteral("Close"), QStringLiteral("QueryNow"), QStringLiteral("QueryOnlyBad")}));
    EXPECT_TRUE(
        CommandWords({QStringLiteral("close"), QStringLiteral("--close"), QStringLiteral("-closex")}).isEmpty());
}

// A second copy without parameters gives way; "close" in either spelling ends
// the running copy; the socket of a killed copy does not block the next start.
TEST_F(SingleInstance, SecondCopyGivesWayCloseEndsAndAKilledCopyIsTakenOver)
{
    QProcess *first = startRunning();
    QProcess *second = start();
    ASSERT_TRUE(finishes(second));
    EXPECT_EQ(second->exitCode(), 0);
    EXPECT_EQ(first->state(), QProcess::Running);
    ::kill(static_cast<pid_t>(first->processId()), SIGKILL);
    ASSERT_TRUE(finishes(first));
    for (const char *word : {"/close", "-CLOSE"}) {
        QProcess *next = startRunning();
        QProcess *closer = start({QLatin1String(word)});
        ASSERT_TRUE(finishes(closer)) << word;
        // The sender waits for the answer, so the running copy is on its way out.
        ASSERT_TRUE(finishes(next)) << word;
        EXPECT_EQ(next->exitCode(), 0) << word;
        EXPECT_FALSE(listening()) << word;
    }
}

TEST_F(SingleInstance, AParameterWithoutARunningCopyQuitsAtOnce)
{
    QProcess *p = start({QStringLiteral("/QueryNow")}, QProcess::SeparateChannels);
    ASSERT_TRUE(finishes(p, 5000));
    EXPECT_EQ(p->exitCode(), 1);
    const QStringList said = QString::fromUtf8(p->readAllStandardError()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_FALSE(said.isEmpty());
    EXPECT_TRUE(said.last().startsWith(QStringLiteral("saldomat: no running copy of Saldomat to send QueryNow")))
        << said.last().toStdString();
    EXPECT_FALSE(listening());
    EXPECT_FALSE(QFile::exists(home_.file(QStringLiteral("Saldomat.ini"))));
    EXPECT_FALSE(QFile::exists(home_.file(QStringLiteral("phones.xml"))));
}

// A command of a later copy starts a run in the running copy, and runs never
// nest: the refresh timer, whose period is shorter than a run here, waits for
// the end of the run. Logins come one phone after the other, each phone once
// a run.
TEST_F(SingleInstance, QueryNowIsForwardedAndRunsNeverNest)
{
    QList<EmulatorPhone> phones;
    for (int i = 1; i <= 4; ++i) {
        EmulatorPhone phone;
        phone.number = QStringLiteral("916000000%1").arg(i);
        phone.password = QStringLiteral("111");
        phone.delayMs = 400;
        phones << phone;
    }
    EmulatorProcess emu;
    ASSERT_TRUE(emu.start(phones)) << emu.errorString().toStdString();
    TProgramState state(InitPaths());
    TSetupModel &model = state.Setup;
    PutEmulatorPhones(emu, phones, state);
    model.General.cbExecAfterRun = false;  // nothing runs until asked
    model.General.cbAutoReRquest = false;
    SavePhonesInfoToXml(model, InitPaths().PhonesXmlFileName, MaxPhones);
    SaveIniFile(state.IniFile, model);
    state.IniFile.WriteInteger(QStringLiteral("Debug"), QStringLiteral("TestPauseMs"), 0);
    state.IniFile.WriteInteger(QStringLiteral("Debug"), QStringLiteral("TestRefreshSeconds"), 1);

    QProcess *first = startRunning();
    QThread::msleep(300);
    EXPECT_EQ(emu.loginCount(phones[0].number), 0);
    QProcess *asker = start({QStringLiteral("-querynow")});
    ASSERT_TRUE(finishes(asker, 30000));
    EXPECT_EQ(asker->exitCode(), 0);
    auto counts = [&] {
        QList<int> c;
        for (const EmulatorPhone &p : phones)
            c << emu.loginCount(p.number);
        return c;
    };
    QElapsedTimer t;
    t.start();
    while (counts().constLast() < 3 && t.elapsed() < 30000)
        QThread::msleep(100);
    const QList<int> c = counts();
    EXPECT_GE(c.last(), 3) << "three runs, the user's and two of the timer";
    for (int i = 0; i + 1 < c.size(); ++i)
        EXPECT_GE(c[i], c[i + 1]) << "logins per phone: " << c[0] << " " << c[1] << " " << c[2] << " " << c[3];
    EXPECT_LE(c.first() - c.last(), 1) << "logins per phone: " << c[0] << " " << c[1] << " " << c[2] << " " << c[3];
    EXPECT_EQ(first->state(), QProcess::Running);
}

// A running copy that goes away before it answers: the asker says so in its
// exit code.
TEST_F(SingleInstance, AnAskerLeftWithoutAnswerFails)
{
    QLockFile running(lockName());
    ASSERT_TRUE(running.tryLock(0));
    QLocalServer dying;
    QLocalServer::removeServer(NoSecondRun::ServerName(MainCaption()));
    ASSERT_TRUE(dying.listen(NoSecondRun::ServerName(MainCaption())));
    QObject::connect(&dying, &QLocalServer::newConnection, [&] {
        while (QLocalSocket *s = dying.nextPendingConnection())
            s->abort();
    });
    QProcess *asker = start({QStringLiteral("/QueryNow")});
    QElapsedTimer t;
    t.start();
    while (asker->state() != QProcess::NotRunning && t.elapsed() < 10000) {
        QCoreApplication::processEvents();
        asker->waitForFinished(20);
    }
    ASSERT_EQ(asker->state(), QProcess::NotRunning);
    EXPECT_EQ(asker->exitCode(), 1);
}

TEST_F(SingleInstance, TwoCopiesStartedTogetherEndWithExactlyOneRunning)
{
    for (int round = 0; round < 3; ++round) {
        QProcess *a = start();
        QProcess *b = start();
        QElapsedTimer t;
        t.start();
        // Wait until one of them has given way.
        while (a->state() == QProcess::Running && b->state() == QProcess::Running && t.elapsed() < 10000)
            QThread::msleep(20), a->waitForFinished(0), b->waitForFinished(0);
        QThread::msleep(300);
        a->waitForFinished(0);
        b->waitForFinished(0);
        const int running = (a->state() == QProcess::Running) + (b->state() == QProcess::Running);
        ASSERT_EQ(running, 1) << "round " << round;
        QProcess *closer = start({QStringLiteral("-close")});
        ASSERT_TRUE(finishes(closer));
        ASSERT_TRUE(finishes(a->state() == QProcess::Running ? a : b));
    }
}

TEST_F(SingleInstance, FirstStartCreatesTheHistoryAndALaterOneDoesNot)
{
    const QString log = home_.file(QStringLiteral("Saldomat.err"));
    // The copy listens first and then starts its work: wait for the log line.
    auto logSays = [&](const QString &text) {
        QElapsedTimer t;
        t.start();
        while (!FromCp1251(ReadFileBytes(log)).contains(text) && t.elapsed() < 5000)
            QThread::msleep(20);
        return FromCp1251(ReadFileBytes(log)).contains(text);
    };
    QProcess *first = startRunning();
    EXPECT_TRUE(logSays(QStringLiteral("Первый запуск")));
    EXPECT_TRUE(QFile::exists(home_.file(QStringLiteral("Saldomat.db"))));
    QProcess *closer = start({QStringLiteral("/close")});
    ASSERT_TRUE(finishes(closer));
    ASSERT_TRUE(finishes(first));
    EXPECT_FALSE(QFile::exists(home_.file(QStringLiteral("Saldomat.ini"))))
        << "nothing changed, nothing written at exit";

    // Every file the program made is its user's alone.
    for (const char *name : {"Saldomat.db", "Saldomat.err"})
        EXPECT_EQ(modeOf(home_.file(QLatin1String(name))), 0600u) << name;

    // Settings there, history lost: the history stays unavailable. A phone
    // list brought over readable by all is closed at start, and the log says so.
    WriteFileBytes(home_.file(QStringLiteral("Saldomat.ini")), "[Connection]\r\ncbAutoReRquest=0\r\n");
    // Private already (whatever the umask), so that the log names the phone list alone.
    QFile::setPermissions(home_.file(QStringLiteral("Saldomat.ini")), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    ASSERT_TRUE(QFile::remove(home_.file(QStringLiteral("Saldomat.db"))));
    const QString phones = home_.file(QStringLiteral("phones.xml"));
    WriteFileBytes(phones, "<?xml version=\"1.0\"?>\r\n<Phones/>\r\n");
    QFile::setPermissions(
        phones, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther);
    QProcess *second = startRunning();
    EXPECT_TRUE(logSays(QStringLiteral("Ведение истории баланса невозможно по следующей причине: ")));
    // Both files brought over open (the settings and the phone list) are named.
    EXPECT_TRUE(logSays(QStringLiteral("Закрыт доступ других пользователей к файлам: ")));
    EXPECT_TRUE(logSays(phones));
    EXPECT_EQ(modeOf(phones), 0600u);
    EXPECT_EQ(modeOf(home_.file(QStringLiteral("Saldomat.ini"))), 0600u);
    EXPECT_FALSE(QFile::exists(home_.file(QStringLiteral("Saldomat.db"))));
    second->kill();
}

// One damaged phone in phones.xml costs only that phone: the others are
// queried by the refresh timer, the problem is logged with the element's
// number, and at exit neither the settings file nor the auto-start entry is
// touched.
TEST_F(SingleInstance, ADamagedPhoneListLosesOnlyItsBadPhoneAndNoSettings)
{
    QList<EmulatorPhone> phones;
    for (const char *number : {"9160000001", "9160000002", "9160000003"}) {
        EmulatorPhone p;
        p.number = QLatin1String(number);
        p.password = QStringLiteral("111");
        phones << p;
    }
    EmulatorProcess emu;
    ASSERT_TRUE(emu.start(phones)) << emu.errorString().toStdString();
    TProgramState state(InitPaths());
    TSetupModel &model = state.Setup;
    PutEmulatorPhones(emu, phones, state);
    SavePhonesInfoToXml(model, InitPaths().PhonesXmlFileName, MaxPhones);
    // The second phone's password cannot be decoded.
    QByteArray xml = ReadFileBytes(InitPaths().PhonesXmlFileName);
    const qsizetype second = xml.indexOf("Password=\"", xml.indexOf("9160000002"));
    xml.replace(second, 65, "Password=\"XYZ\"");  // 54 hexadecimal digits in quotes
    WriteFileBytes(InitPaths().PhonesXmlFileName, xml);
    // Settings the defaults would overwrite; no query at start, the refresh
    // timer's first run after 2 s.
    WriteFileBytes(InitPaths().IniFileName,
                   "; by hand\r\n[Hint Window]\r\ncbNN=0\r\n[Connection]\r\ncbAutoReRquest=0\r\n"
                   "[Debug]\r\nTestPauseMs=0\r\nTestRefreshSeconds=2\r\n");
    const QString entry = home_.file(QStringLiteral("xdg/autostart/saldomat.desktop"));
    QDir().mkpath(QFileInfo(entry).absolutePath());
    WriteFileBytes(entry, "[Desktop Entry]\nType=Application\nExec=/opt/x/saldomat --mine\n");
    const QByteArray ini = ReadFileBytes(InitPaths().IniFileName);
    const QByteArray autostart = ReadFileBytes(entry);

    QProcess *first = startRunning();
    QElapsedTimer t;
    t.start();
    while ((emu.loginCount(phones[0].number) < 1 || emu.loginCount(phones[2].number) < 1) && t.elapsed() < 20000)
        QThread::msleep(50);
    EXPECT_GE(emu.loginCount(phones[0].number), 1);
    EXPECT_GE(emu.loginCount(phones[2].number), 1) << "the phone after the bad one is queried";
    EXPECT_EQ(emu.loginCount(phones[1].number), 0);
    QProcess *closer = start({QStringLiteral("/close")});
    ASSERT_TRUE(finishes(closer));
    ASSERT_TRUE(finishes(first));
    EXPECT_EQ(ReadFileBytes(InitPaths().IniFileName), ini);
    EXPECT_EQ(ReadFileBytes(entry), autostart);
    const QString log = FromCp1251(ReadFileBytes(ErrorLogFileName()));
    EXPECT_TRUE(log.contains(PhoneElementProblem(InitPaths().PhonesXmlFileName, 2, QString()))) << log.toStdString();
}

// Another program of the same user cannot take the channel away or blow the
// running copy up: a megabyte without a line end and a silent connection are
// cut off, a flood of connections is turned away, and a second copy started
// meanwhile still gives way.
TEST_F(SingleInstance, FloodsSilenceAndOversizedCommandsAreCutOff)
{
    QProcess *first = startRunning();
    const QString name = NoSecondRun::ServerName(MainCaption());
    auto hungUp = [](QLocalSocket &s, int ms) {
        QElapsedTimer t;
        t.start();
        while (s.state() != QLocalSocket::UnconnectedState && t.elapsed() < ms)
            s.waitForReadyRead(20);
        return s.state() == QLocalSocket::UnconnectedState;
    };

    QLocalSocket big;
    big.connectToServer(name);
    ASSERT_TRUE(big.waitForConnected(2000));
    big.write(QByteArray(1 << 20, 'x'));
    big.waitForBytesWritten(500);
    EXPECT_TRUE(hungUp(big, 3000)) << "a command of a megabyte was taken in";

    QLocalSocket silent;
    silent.connectToServer(name);
    ASSERT_TRUE(silent.waitForConnected(2000));
    EXPECT_TRUE(hungUp(silent, 3000)) << "a silent connection was kept";

    std::vector<std::unique_ptr<QLocalSocket>> flood;
    for (int i = 0; i < 1100; ++i) {
        auto s = std::make_unique<QLocalSocket>();
        s->connectToServer(name);
        if (!s->waitForConnected(200))
            break;
        flood.push_back(std::move(s));
    }
    QProcess *second = start();
    ASSERT_TRUE(finishes(second));
    EXPECT_EQ(second->exitCode(), 0);
    EXPECT_EQ(first->state(), QProcess::Running);
    flood.clear();

    QProcess *closer = start({QStringLiteral("-close")});
    ASSERT_TRUE(finishes(closer));
    EXPECT_EQ(closer->exitCode(), 0);
    EXPECT_TRUE(finishes(first));
}

// Files left where a copy of the program used to meet the next one (the
// shared temporary folder: a lock naming a live process, a socket that never
// answers) neither block nor hang the start.
TEST_F(SingleInstance, FilesPlantedInTheSharedTemporaryFolderDoNotBlockTheStart)
{
    const QByteArray key = (MainCaption() + QLatin1Char('\n') + qEnvironmentVariable("USER")).toUtf8();
    const QString old = home_.dir() + QStringLiteral("saldomat-")
        + QString::fromLatin1(QCryptographicHash::hash(key, QCryptographicHash::Sha1).toHex().left(16));
    WriteFileBytes(old + QStringLiteral(".lock"), "1\nsystemd\n" + QSysInfo::machineHostName().toUtf8() + "\n");
    QLocalServer planted;
    ASSERT_TRUE(planted.listen(old));
    QProcess *first = startRunning();
    EXPECT_EQ(first->state(), QProcess::Running);
    QProcess *closer = start({QStringLiteral("-close")});
    ASSERT_TRUE(finishes(closer));
    EXPECT_TRUE(finishes(first));
}

// Something that cannot be saved at exit (here the program's path in the
// user's settings folder; the settings file is written only when changed):
// the program still ends, the log says why, and the copy that asked it to
// close reports the failure.
TEST_F(SingleInstance, CloseEndsTheProgramEvenWhenTheSettingsCannotBeSaved)
{
    QProcess *first = startRunning();
    // A folder in the settings file's place: no rename can replace it.
    ASSERT_TRUE(QDir().mkpath(home_.file(QStringLiteral("xdg/Zelkor/Saldomat.conf"))));
    QProcess *closer = start({QStringLiteral("-close")});
    ASSERT_TRUE(finishes(closer));
    EXPECT_NE(closer->exitCode(), 0);
    ASSERT_TRUE(finishes(first)) << "the program kept running";
    EXPECT_NE(first->exitCode(), 0);
    EXPECT_TRUE(FromCp1251(ReadFileBytes(home_.file(QStringLiteral("Saldomat.err"))))
                    .contains(QStringLiteral("Saldomat_.ExitApp -- > SettingsFile.SaveProgramPathToRegistry -- > ")));
    EXPECT_FALSE(listening());
}
