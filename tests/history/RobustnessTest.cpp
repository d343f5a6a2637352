// The history under hostile conditions: a process killed in the middle of a
// burst of inserts, a file replaced or deleted during a run, other processes
// reading or locking it, a read-only file or folder, a file that is not a
// database and a full disk. A row that cannot be stored is never lost silently:
// Record says so, the log has the reason and the warning comes once per run.
#include "Common.h"
#include "Failure.h"
#include "HistoryDb.h"
#include "HistoryTestUtil.h"
#include "StoreMDB.h"
#include "TestHome.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <cstdio>
#include <gtest/gtest.h>

#ifdef Q_OS_UNIX
#include <csignal>
#include <unistd.h>
#endif
#ifdef Q_OS_LINUX
#include <sys/mount.h>
#endif

namespace {
// A small tmpfs of its own, when the test may mount one.
class TinyMount {
public:
    TinyMount(const QString &dir, const char *options) : dir_(dir)
    {
        QDir().mkpath(dir);
#ifdef Q_OS_LINUX
        ok_ = ::mount("tmpfs", QFile::encodeName(dir).constData(), "tmpfs", 0, options) == 0;
#endif
    }
    ~TinyMount()
    {
#ifdef Q_OS_LINUX
        if (ok_)
            ::umount2(QFile::encodeName(dir_).constData(), MNT_DETACH);
#endif
    }
    bool ok() const
    {
        return ok_;
    }
    bool remountReadOnly()
    {
#ifdef Q_OS_LINUX
        return ok_
            && ::mount("tmpfs", QFile::encodeName(dir_).constData(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr) == 0;
#else
        return false;
#endif
    }

private:
    QString dir_;
    bool ok_ = false;
};

TIssa figures(const QString &phone)
{
    TIssa issa;
    issa.PhoneID = 1;
    issa.PhoneNumber = phone;
    issa.UserName = QStringLiteral("Абонент");
    issa.Balance = 18.5f;
    issa.SMS = 9;
    issa.Success = true;
    return issa;
}

// The store with its warnings counted, as the program shows them.
struct WatchedStore {
    explicit WatchedStore(const QString &file = QString()) : store(file)
    {
        store.setWarning([this](const QString &text) { warnings << text; });
    }
    TmdbStore store;
    QStringList warnings;
};

// history_test_child started with args, once it has printed `ready`.
class Child {
public:
    Child(const QStringList &args, const QByteArray &ready)
    {
        process.start(BinaryPath(QStringLiteral("history_test_child")), args);
        started = process.waitForStarted(10000);
        while (started && !out.contains(ready)) {
            if (!process.waitForReadyRead(20000)) {
                started = false;
                ADD_FAILURE() << "the child did not get ready: " << process.readAllStandardError().toStdString();
            }
            out += process.readAllStandardOutput();
        }
    }
    ~Child()
    {
        process.closeWriteChannel();
        if (!process.waitForFinished(15000))
            process.kill();
    }
    int finish()
    {
        process.closeWriteChannel();
        return process.waitForFinished(15000) ? process.exitCode() : -1;
    }
    QProcess process;
    QByteArray out;
    bool started = false;
};

QList<int> savedNumbers(const QByteArray &out)
{
    QList<int> numbers;
    // Only complete lines count: a line cut by the kill was never acknowledged.
    const QList<QByteArray> lines = out.left(out.lastIndexOf('\n') + 1).split('\n');
    for (const QByteArray &line : lines)
        if (line.startsWith("saved "))
            numbers << line.mid(6).toInt();
    return numbers;
}

// A second, independent history file with one row of phone "other".
QString otherHistory(const TestHome &home)
{
    const QString file = home.file(QStringLiteral("other.db"));
    CreateHistoryDatabase(file);
    InsertRaw(file, {QStringLiteral("other"), NowOle() - 3, 1.0});
    return file;
}
}  // namespace

TEST(HistoryRobustness, KilledDuringABurstLosesNoReturnedInsert)
{
#ifndef Q_OS_UNIX
    GTEST_SKIP() << "needs SIGKILL";
#else
    TestHome home;
    const QString db = HistoryDbFileName();
    CreateHistoryDatabase();
    for (int round = 0; round < 3; ++round) {
        Child child({QStringLiteral("burst"), db}, "saved " + QByteArray::number(40 + 23 * round) + "\n");
        ASSERT_TRUE(child.started);
        ::kill(static_cast<pid_t>(child.process.processId()), SIGKILL);
        ASSERT_TRUE(child.process.waitForFinished(10000));
        child.out += child.process.readAllStandardOutput();
        EXPECT_EQ(child.process.exitStatus(), QProcess::CrashExit);

        const QList<int> saved = savedNumbers(child.out);
        const int last = saved.last();
        ASSERT_EQ(saved.size(), last);  // 1..last, each reported once
        EXPECT_EQ(IntegrityCheck(db), QStringLiteral("ok"));
        EXPECT_TRUE(CheckHistoryAvailable(db));
        // Every acknowledged row is there; at most the one in flight besides.
        const QStringList stored = Column(db, QStringLiteral("SELECT SMS FROM Phones ORDER BY NN"));
        ASSERT_GE(stored.size(), last);
        ASSERT_LE(stored.size(), last + 1);
        for (int i = 0; i < last; ++i)
            ASSERT_EQ(stored[i].toInt(), i + 1);
        ExecOn(db, QStringLiteral("DELETE FROM Phones"));
    }
#endif
}

TEST(HistoryRobustness, AFileReplacedOrDeletedDuringARunIsNoticed)
{
    TestHome home;
    const QString db = HistoryDbFileName();
    CreateHistoryDatabase();
    InsertRaw(db, {QStringLiteral("P"), NowOle() - 1, 20.0});
    WatchedStore w;
    w.store.BeginRun();
    TIssa issa = figures(QStringLiteral("P"));
    ASSERT_TRUE(w.store.Record(issa));
    EXPECT_FLOAT_EQ(issa.BalDelta, -1.5f);

    // Another program (a restore, a sync tool) puts a different file in its place.
    ASSERT_EQ(std::rename(QFile::encodeName(otherHistory(home)).constData(), QFile::encodeName(db).constData()), 0);
    issa = figures(QStringLiteral("P"));
    EXPECT_TRUE(w.store.Record(issa)) << LogText().toStdString();
    EXPECT_FLOAT_EQ(issa.BalDelta, 0.0f);  // the new file has no earlier row of P
    EXPECT_EQ(Column(db, QStringLiteral("SELECT PhoneNumber FROM Phones ORDER BY NN")),
              QStringList({QStringLiteral("other"), QStringLiteral("P")}));

    // Deleted: made again as on a first start, with a line in the log.
    ASSERT_TRUE(QFile::remove(db));
    issa = figures(QStringLiteral("P"));
    EXPECT_TRUE(w.store.Record(issa));
    EXPECT_EQ(CountRows(db), 1);
    EXPECT_EQ(TableColumnNames(db, QStringLiteral("Phones")).size(), 15);
    EXPECT_EQ(LogText().count(QStringLiteral("создан заново")), 1) << LogText().toStdString();
    EXPECT_TRUE(w.warnings.isEmpty()) << w.warnings.join(QLatin1Char('\n')).toStdString();
    // The same when the file goes between runs.
    ASSERT_TRUE(QFile::remove(db));
    EXPECT_TRUE(w.store.BeginRun());
    EXPECT_TRUE(w.store.Available());
    EXPECT_TRUE(w.store.Record(issa));
    EXPECT_EQ(CountRows(db), 1);
    EXPECT_EQ(LogText().count(QStringLiteral("создан заново")), 2);
}

TEST(HistoryRobustness, AReaderHoldingTheFileDoesNotLoseTheInsert)
{
    TestHome home;
    const QString db = HistoryDbFileName();
    CreateHistoryDatabase();
    InsertRaw(db, {QStringLiteral("P"), NowOle() - 1, 20.0});
    // Another process counts the rows and keeps its read transaction for 2 s.
    Child reader({QStringLiteral("read"), db, QStringLiteral("2000")}, "reading 1\n");
    ASSERT_TRUE(reader.started);
    WatchedStore w;
    TIssa issa = figures(QStringLiteral("P"));
    QElapsedTimer clock;
    clock.start();
    EXPECT_TRUE(w.store.Record(issa)) << LogText().toStdString();
    EXPECT_LT(clock.elapsed(), 1500) << "the insert waited for the reader";
    EXPECT_EQ(reader.finish(), 0) << reader.process.readAllStandardError().toStdString();
    EXPECT_EQ(CountRows(db), 2);
    EXPECT_TRUE(w.warnings.isEmpty());
}

TEST(HistoryRobustness, ALockAtStartUpDoesNotTurnTheHistoryOffForTheSession)
{
    TestHome home;
    const QString db = HistoryDbFileName();
    CreateHistoryDatabase();
    {
        // Locked for 4 s while the program starts: the check waits for it.
        Child locker({QStringLiteral("lock"), db, QStringLiteral("4000")}, "locked\n");
        ASSERT_TRUE(locker.started);
        EXPECT_TRUE(CheckHistoryAvailable(db)) << LogText().toStdString();
        EXPECT_EQ(locker.finish(), 0);
    }
    {
        // Locked for longer than any wait: off at start, on again at the next run.
        Child locker({QStringLiteral("lock"), db}, "locked\n");
        ASSERT_TRUE(locker.started);
        EXPECT_FALSE(CheckHistoryAvailable(db));
        EXPECT_TRUE(LogText().contains(QStringLiteral("database is locked"))) << LogText().toStdString();
        // Each wait below lasts the whole busy time-out.
        WatchedStore w;
        TIssa issa = figures(QStringLiteral("P"));
        EXPECT_FALSE(w.store.Record(issa));
        ASSERT_EQ(w.warnings.size(), 1);
        EXPECT_TRUE(w.warnings[0].contains(QStringLiteral("database is locked"))) << w.warnings[0].toStdString();
        EXPECT_TRUE(LogText().contains(QStringLiteral("StoreMDB.CalcBalanceDelta -- > database is locked")))
            << LogText().toStdString();
        EXPECT_FLOAT_EQ(issa.Balance, 18.5f);  // the figures read stay
        EXPECT_EQ(locker.finish(), 0);

        EXPECT_TRUE(w.store.BeginRun());
        EXPECT_TRUE(w.store.Available());
        EXPECT_TRUE(w.store.Record(issa));
        EXPECT_EQ(CountRows(db), 1);
        EXPECT_EQ(w.warnings.size(), 1);
    }
}

TEST(HistoryRobustness, ReadOnlyFileAndFolder)
{
    TestHome home;
    for (const bool wholeFolder : {false, true}) {
        const QString dir = home.file(wholeFolder ? QStringLiteral("rofolder") : QStringLiteral("rofile"));
        TinyMount mount(dir, "size=1m");
        const QString db = dir + QStringLiteral("/Saldomat.db");
        CreateHistoryDatabase(db);
        InsertRaw(db, {QStringLiteral("P"), NowOle() - 1, 20.0});
        const QByteArray before = ReadFileBytes(db);
        if (wholeFolder) {
            if (!mount.ok())
                GTEST_SKIP() << "no tmpfs of our own can be mounted: no folder can be made read-only";
            ASSERT_TRUE(mount.remountReadOnly());
        } else {
            // Root writes through the permission bits: the file is made immutable as well.
            ASSERT_TRUE(QFile::setPermissions(db, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
            QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), db});
            if (QFile(db).open(QIODevice::Append))
                GTEST_SKIP() << "the file stays writable for this user";
        }
        WatchedStore w(db);
        w.store.BeginRun();
        TIssa issa = figures(QStringLiteral("P"));
        EXPECT_FALSE(w.store.Record(issa)) << (wholeFolder ? "folder" : "file");
        ASSERT_EQ(w.warnings.size(), 1);
        EXPECT_TRUE(w.warnings[0].contains(QStringLiteral("readonly"))
                    || w.warnings[0].contains(QStringLiteral("unable to open")))
            << w.warnings[0].toStdString();
        EXPECT_FLOAT_EQ(issa.Balance, 18.5f);
        EXPECT_TRUE(issa.Success);
        if (!wholeFolder)
            QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), db});
        EXPECT_EQ(ReadFileBytes(db), before);
    }
}

TEST(HistoryRobustness, DamagedOrEmptyFileIsReportedOncePerRun)
{
    TestHome home;
    const QString db = HistoryDbFileName();
    const QByteArray junk = QByteArray("PK\x03\x04 not a history at all ").repeated(500);
    struct Case {
        QByteArray bytes;
        QString reason;
    };
    for (const Case &c : {Case{junk, QStringLiteral("file is not a database")},
                          Case{QByteArray(), QStringLiteral("no such table: Phones")}}) {
        WriteFileBytes(db, c.bytes);
        WatchedStore w;
        EXPECT_FALSE(w.store.BeginRun());
        EXPECT_FALSE(w.store.Available());
        for (int run = 1; run <= 2; ++run) {
            if (run == 2)
                w.store.BeginRun();
            TIssa one = figures(QStringLiteral("P")), two = figures(QStringLiteral("Q"));
            EXPECT_FALSE(w.store.Record(one));
            EXPECT_FALSE(w.store.Record(two));
            EXPECT_FLOAT_EQ(one.Balance, 18.5f);
            ASSERT_EQ(w.warnings.size(), run) << "one warning per run, not per phone";
            EXPECT_TRUE(w.warnings.last().contains(c.reason)) << w.warnings.last().toStdString();
        }
        EXPECT_TRUE(LogText().contains(QStringLiteral("StoreMDB.SaveIssaToMdb -- > ") + c.reason)
                    || LogText().contains(QStringLiteral("StoreMDB.CalcBalanceDelta -- > ") + c.reason))
            << LogText().toStdString();
        try {
            w.store.LoadHistoryInformation({{1, QStringLiteral("P"), QStringLiteral("a")}}, 3);
            ADD_FAILURE() << "loading from a damaged file succeeded";
        } catch (const SaldomatError &e) {
            EXPECT_TRUE(e.message().startsWith(QStringLiteral("StoreMDB.LoadHistoryInformation -- > "))) << e.what();
        }
        EXPECT_EQ(ReadFileBytes(db), c.bytes);
    }
}

TEST(HistoryRobustness, FullDisk)
{
    TestHome home;
    const QString dir = home.file(QStringLiteral("full"));
    TinyMount mount(dir, "size=160k");
    if (!mount.ok())
        GTEST_SKIP() << "no tmpfs of our own can be mounted";
    const QString db = dir + QStringLiteral("/Saldomat.db");
    CreateHistoryDatabase(db);
    WatchedStore w(db);
    w.store.BeginRun();
    TIssa issa = figures(QStringLiteral("P"));
    issa.UserName = QString(40, QLatin1Char('x'));
    int stored = 0;
    for (; stored < 20000; ++stored) {
        issa.SMS = stored + 1;
        if (!w.store.Record(issa))
            break;
    }
    ASSERT_LT(stored, 20000) << "the disk never filled up";
    EXPECT_GT(stored, 0);
    ASSERT_EQ(w.warnings.size(), 1);
    EXPECT_TRUE(w.warnings[0].contains(QStringLiteral("full")) || w.warnings[0].contains(QStringLiteral("I/O")))
        << w.warnings[0].toStdString();
    EXPECT_TRUE(LogText().contains(QStringLiteral("StoreMDB.SaveIssaToMdb -- > "))
                || LogText().contains(QStringLiteral("StoreMDB.CalcBalanceDelta -- > ")))
        << LogText().toStdString();
    EXPECT_FLOAT_EQ(issa.Balance, 18.5f);
    EXPECT_TRUE(issa.Success);
    EXPECT_EQ(CountRows(db), stored);
    EXPECT_EQ(IntegrityCheck(db), QStringLiteral("ok"));
}
