// The tray program started as real processes: one copy per user, commands
// forwarded to the running copy, stale sockets taken over.
#include "Common.h"
#include "Encoding.h"
#include "EmulatorProcess.h"
#include "IniFile.h"
#include "NoSecondRun.h"
#include "PhoneTable.h"
#include "PhonesXml.h"
#include "SettingsFile.h"
#include "Setup.h"
#include "TestHome.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QThread>
#include <gtest/gtest.h>
#include <memory>

#include <csignal>

namespace {
class SingleInstance : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Each test gets its own socket folder, so tests can run side by side.
        oldTmp_ = qgetenv("TMPDIR");
        qputenv("TMPDIR", home_.dir().toLocal8Bit());
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
    }

    QProcess *start(const QStringList &args = {})
    {
        auto p = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("SALDOMAT_HOME"), home_.dir());
        env.insert(QStringLiteral("TMPDIR"), home_.dir());
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home_.dir());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        p->setProcessEnvironment(env);
        p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
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

    static bool finishes(QProcess *p, int ms = 10000) { return p->waitForFinished(ms) || p->state() == QProcess::NotRunning; }

    TestHome home_;
    QByteArray oldTmp_;
    std::vector<std::unique_ptr<QProcess>> procs_;
};
}  // namespace

TEST(CommandWords, RecognisedWithDashOrSlashInAnyCaseInTableOrder)
{
    EXPECT_EQ(CommandWords({QStringLiteral("/close")}), QStringList{QStringLiteral("Close")});
    EXPECT_EQ(CommandWords({QStringLiteral("-CLOSE")}), QStringList{QStringLiteral("Close")});
    EXPECT_EQ(CommandWords({QStringLiteral("-queryonlybad"), QStringLiteral("/QueryNow"), QStringLiteral("-close")}),
              (QStringList{QStringLiteral("Close"), QStringLiteral("QueryNow"), QStringLiteral("QueryOnlyBad")}));
    EXPECT_TRUE(CommandWords({QStringLiteral("close"), QStringLiteral("--close"), QStringLiteral("-closex")}).isEmpty());
}

TEST_F(SingleInstance, SecondCopyWithoutParametersLeavesTheFirstAlone)
{
    QProcess *first = startRunning();
    QProcess *second = start();
    ASSERT_TRUE(finishes(second));
    EXPECT_EQ(second->exitCode(), 0);
    EXPECT_EQ(first->state(), QProcess::Running);
    EXPECT_TRUE(listening());
}

TEST_F(SingleInstance, CloseInEitherSpellingEndsTheRunningCopy)
{
    for (const char *word : {"/close", "-CLOSE"}) {
        QProcess *first = startRunning();
        QProcess *closer = start({QLatin1String(word)});
        ASSERT_TRUE(finishes(closer)) << word;
        // The sender waits for the answer, so the first copy is on its way out.
        ASSERT_TRUE(finishes(first)) << word;
        EXPECT_EQ(first->exitCode(), 0) << word;
        EXPECT_FALSE(listening()) << word;
    }
}

TEST_F(SingleInstance, AParameterWithoutARunningCopyQuitsAtOnce)
{
    QProcess *p = start({QStringLiteral("/QueryNow")});
    ASSERT_TRUE(finishes(p, 5000));
    EXPECT_EQ(p->exitCode(), 0);
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
    InitConfig();
    ServersIni.WriteString(QStringLiteral("Эмулятор"), QStringLiteral("ShortName"), QStringLiteral("ЭМУ"));
    ServersIni.WriteString(QStringLiteral("Эмулятор"), QStringLiteral("LoginURL"), emu.loginUrl());
    TSetupModel model;
    for (int i = 1; i <= 4; ++i) {
        TSetupPhoneLine line;
        line.Monitor = true;
        line.Number = phones[i - 1].number;
        line.Password = phones[i - 1].password;
        line.Region = QStringLiteral("ЭМУ");
        model.SetLine(i, line);
    }
    model.General.cbExecAfterRun = false;  // nothing runs until asked
    model.General.cbAutoReRquest = false;
    SavePhonesInfoToXml(model, PhonesXmlFileName, MaxPhones);
    SaveIniFile(model);
    IniFile.WriteInteger(QStringLiteral("Debug"), QStringLiteral("TestPauseMs"), 0);
    IniFile.WriteInteger(QStringLiteral("Debug"), QStringLiteral("TestRefreshSeconds"), 1);

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

TEST_F(SingleInstance, SocketOfAKilledCopyDoesNotBlockTheNextStart)
{
    QProcess *first = startRunning();
    ::kill(static_cast<pid_t>(first->processId()), SIGKILL);
    ASSERT_TRUE(finishes(first));
    QProcess *next = startRunning();
    EXPECT_EQ(next->state(), QProcess::Running);
    QProcess *closer = start({QStringLiteral("-close")});
    ASSERT_TRUE(finishes(closer));
    EXPECT_TRUE(finishes(next));
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
    EXPECT_TRUE(QFile::exists(home_.file(QStringLiteral("Saldomat.ini")))) << "settings are saved on exit";

    // Settings there, history lost: the history stays unavailable.
    ASSERT_TRUE(QFile::remove(home_.file(QStringLiteral("Saldomat.db"))));
    QProcess *second = startRunning();
    EXPECT_TRUE(logSays(QStringLiteral("Ведение истории баланса невозможно по следующей причине: ")));
    EXPECT_FALSE(QFile::exists(home_.file(QStringLiteral("Saldomat.db"))));
    second->kill();
}
