// The history under hostile conditions. A row that cannot be stored is never
// lost silently: Record says so, the log has the reason and the warning comes
// once per run.
#include "Common.h"
#include "Failure.h"
#include "HistoryDb.h"
#include "HistoryTestUtil.h"
#include "StoreMDB.h"
#include "TestHome.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <csignal>
#include <cstdio>
#include <gtest/gtest.h>
#include <sys/mount.h>

namespace {
// A small tmpfs of its own (only root may mount one).
struct TinyMount {
    TinyMount(const QString &dir, const char *options) : path(QFile::encodeName(dir))
    {
        QDir().mkpath(dir);
        ok = ::mount("tmpfs", path.constData(), "tmpfs", 0, options) == 0;
    }
    ~TinyMount()
    {
        if (ok)
            ::umount2(path.constData(), MNT_DETACH);
    }
    QByteArray path;
    bool ok = false;
};

TIssa figures(const QString &phone)
{
    TIssa issa;
    issa.PhoneNumber = phone;
    issa.Balance = 18.5f;
    issa.Success = true;
    return issa;
}

// The store with its warnings counted, as the program shows them.
struct WatchedStore {
    explicit WatchedStore(const QString &file = {}) : store(file)
    {
        store.setWarning([this](const QString &text) { warnings << text; });
    }
    // Records P until a row is refused (at most `tries` rows): then one warning
    // that matches reason, and the figures read stay. The rows stored.
    int recordUntilRefused(const QString &reason, int tries = 1)
    {
        TIssa issa = figures("P");
        issa.UserName = QString(40, 'x');
        int stored = 0;
        while (stored < tries && store.Record(issa))
            issa.SMS = ++stored;
        EXPECT_LT(stored, tries) << "no row was refused";
        EXPECT_EQ(warnings.size(), 1);
        EXPECT_TRUE(warnings.value(0).contains(QRegularExpression(reason))) << warnings.value(0).toStdString();
        EXPECT_TRUE(issa.Success && issa.Balance == 18.5f);
        return stored;
    }
    TmdbStore store;
    QStringList warnings;
};

// A process that has printed `ready`: history_test_child, or sqlite3 running
// the statements of its input, ending when the test closes the input.
struct Child : QProcess {
    Child(const QString &program, const QStringList &args, const QByteArray &ready, const QByteArray &input = {})
    {
        start(program, args);
        write(input);
        started = waitForStarted(10000);
        while (started && !out.contains(ready) && (started = waitForReadyRead(20000)))
            out += readAllStandardOutput();
        EXPECT_TRUE(started) << readAllStandardError().toStdString();
    }
    ~Child() override { finish(); }
    int finish()
    {
        closeWriteChannel();
        return waitForFinished(15000) ? exitCode() : (kill(), -1);
    }
    QByteArray out;
    bool started = false;
};

}  // namespace

TEST(HistoryRobustness, KilledDuringABurstLosesNoReturnedInsert)
{
    TestHome home;
    const QString db = HistoryDbFileName();
    CreateHistoryDatabase();
    for (int round = 0; round < 3; ++round) {
        Child child(BinaryPath("history_test_child"), {db}, "saved " + QByteArray::number(40 + 23 * round) + "\n");
        ASSERT_TRUE(child.started);
        ::kill(static_cast<pid_t>(child.processId()), SIGKILL);
        ASSERT_TRUE(child.waitForFinished(10000));
        EXPECT_EQ(child.exitStatus(), QProcess::CrashExit);
        // Only complete lines count: a line cut by the kill was never acknowledged.
        child.out += child.readAllStandardOutput();
        const QList<QByteArray> lines = child.out.left(child.out.lastIndexOf('\n')).split('\n');
        const int last = lines.size();
        ASSERT_EQ(lines.last(), "saved " + QByteArray::number(last));
        EXPECT_EQ(Sql(db, "PRAGMA integrity_check"), QStringList{"ok"});
        EXPECT_TRUE(CheckHistoryAvailable(db));
        // Every acknowledged row is there; at most the one in flight besides.
        const QStringList stored = Sql(db, "SELECT SMS FROM Phones ORDER BY NN");
        ASSERT_TRUE(stored.size() == last || stored.size() == last + 1) << stored.size();
        for (int i = 0; i < last; ++i)
            ASSERT_EQ(stored[i].toInt(), i + 1);
        Sql(db, "DELETE FROM Phones");
    }
}

// Replaced during a run, or deleted during a run and between runs: noticed. A
// reader does not hold up an insert; a lock at start-up is waited for, and one
// held for longer turns the history off only until the next run.
TEST(HistoryRobustness, OtherProcessesReplacingDeletingReadingOrLockingTheFile)
{
    TestHome home;
    const QString db = HistoryDbFileName();
    CreateHistoryDatabase();
    InsertRaw(db, {"P", NowOle() - 1, 20.0});
    {
        WatchedStore w;
        w.store.BeginRun();
        TIssa issa = figures("P");
        ASSERT_TRUE(w.store.Record(issa));
        EXPECT_FLOAT_EQ(issa.BalDelta, -1.5f);
        // Another program (a restore, a sync tool) puts a different file in its place.
        const QString other = home.file("other.db");
        CreateHistoryDatabase(other);
        InsertRaw(other, {"other", NowOle() - 3, 1.0});
        ASSERT_EQ(std::rename(QFile::encodeName(other).constData(), QFile::encodeName(db).constData()), 0);
        issa = figures("P");
        EXPECT_TRUE(w.store.Record(issa)) << LogText().toStdString();
        EXPECT_FLOAT_EQ(issa.BalDelta, 0.0f);  // the new file has no earlier row of P
        EXPECT_EQ(Sql(db, "SELECT PhoneNumber FROM Phones ORDER BY NN"), QStringList({"other", "P"}));
        // Deleted: made again as on a first start, with a line in the log.
        for (int time = 1; time <= 2; ++time) {
            ASSERT_TRUE(QFile::remove(db));
            EXPECT_TRUE(time == 1 || (w.store.BeginRun() && w.store.Available()));
            EXPECT_TRUE(w.store.Record(issa));
            EXPECT_EQ(CountRows(db), 1);
            EXPECT_EQ(Sql(db, "SELECT name FROM pragma_table_info('Phones')").size(), 15);
            EXPECT_EQ(LogText().count("создан заново"), time) << LogText().toStdString();
        }
        Child reader("sqlite3", {db}, "reading 1\n", "BEGIN; SELECT 'reading ' || count(*) FROM Phones;\n");
        QElapsedTimer clock;
        clock.start();
        EXPECT_TRUE(w.store.Record(issa)) << LogText().toStdString();
        EXPECT_LT(clock.elapsed(), 1500) << "the insert waited for the reader";
        EXPECT_EQ(reader.finish(), 0) << reader.readAllStandardError().toStdString();
        EXPECT_EQ(CountRows(db), 2);
        EXPECT_TRUE(w.warnings.isEmpty()) << w.warnings.join('\n').toStdString();
    }
    // An exclusive lock that keeps readers of a write-ahead-logged file out
    // too: without shared memory it is taken on the file itself.
    const QByteArray lock = "PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE; UPDATE Phones SET NN = NN WHERE 0; "
                            "SELECT 'locked';\n";
    {
        // Held for 4 s while the program starts: the check waits for it.
        Child locker("sqlite3", {db}, "locked\n", lock + ".shell sleep 4\n.quit\n");
        EXPECT_TRUE(CheckHistoryAvailable(db)) << LogText().toStdString();
        EXPECT_EQ(locker.finish(), 0);
    }
    Child locker("sqlite3", {db}, "locked\n", lock);  // held until the test ends it
    EXPECT_FALSE(CheckHistoryAvailable(db));
    EXPECT_TRUE(LogText().contains("database is locked")) << LogText().toStdString();
    WatchedStore w;
    EXPECT_EQ(w.recordUntilRefused("database is locked"), 0);  // after the whole busy time-out
    EXPECT_TRUE(LogText().contains("StoreMDB.CalcBalanceDelta -- > database is locked")) << LogText().toStdString();
    EXPECT_EQ(locker.finish(), 0);
    EXPECT_TRUE(w.store.BeginRun() && w.store.Available());
    TIssa issa = figures("P");
    EXPECT_TRUE(w.store.Record(issa));
    EXPECT_EQ(CountRows(db), 3);
    EXPECT_EQ(w.warnings.size(), 1);
}

// A file that is not a history, a read-only file or folder, a full disk: the
// row is refused, the file unharmed, the warning comes once per run.
TEST(HistoryRobustness, RowsThatCannotBeStoredAreRefusedWithOneWarningPerRun)
{
    TestHome home;
    const QByteArray junk = QByteArray("PK\x03\x04 not a history at all ").repeated(500);
    const std::pair<QString, QString> cases[] = {{"damaged", "file is not a database"},
                                                 {"empty", "no such table: Phones"},
                                                 {"full", "full|I/O"},
                                                 {"folder", "readonly|unable to open"},
                                                 {"file", "readonly|unable to open"}};
    for (const auto &[kind, reason] : cases) {
        SCOPED_TRACE(kind.toStdString());
        EXPECT_EQ(QSqlDatabase::connectionNames().join(' ').toStdString(), "") << "a failed open left it open";
        const bool full = kind == "full", damaged = kind == "damaged" || kind == "empty";
        const QString dir = home.file(kind);
        TinyMount mount(dir, full ? "size=160k" : "size=1m");
        if (!mount.ok && !damaged)
            GTEST_SKIP() << "no tmpfs of our own can be mounted";
        const QString db = dir + "/Saldomat.db";
        QFile::remove(ErrorLogFileName());  // each case's own reasons
        if (damaged) {
            WriteFileBytes(db, kind == "empty" ? QByteArray() : junk);
        } else {
            CreateHistoryDatabase(db);
            InsertRaw(db, {"P", NowOle() - 1, 20.0});
        }
        const QByteArray before = ReadFileBytes(db);
        if (kind == "folder") {
            ASSERT_EQ(::mount("tmpfs", mount.path.constData(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr), 0);
        } else if (kind == "file") {
            // Root writes through the permission bits: the file is made immutable as well.
            ASSERT_TRUE(QFile::setPermissions(db, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
            QProcess::execute("chattr", {"+i", db});
            if (QFile(db).open(QIODevice::Append))
                GTEST_SKIP() << "the file stays writable for this user";
        }
        WatchedStore w(db);
        w.store.BeginRun();
        const int stored = w.recordUntilRefused(reason, full ? 20000 : 1);
        EXPECT_TRUE(LogText().contains(QRegularExpression("StoreMDB.(SaveIssaToMdb|CalcBalanceDelta) -- > ")))
            << LogText().toStdString();
        if (full) {
            EXPECT_GT(stored, 0);
            EXPECT_EQ(CountRows(db), stored + 1);
            EXPECT_EQ(Sql(db, "PRAGMA integrity_check"), QStringList{"ok"});
            continue;
        }
        TIssa other = figures("Q");
        EXPECT_FALSE(w.store.Record(other));
        EXPECT_EQ(w.warnings.size(), 1) << "one warning per run, not per phone";
        w.store.BeginRun();
        EXPECT_FALSE(w.store.Record(other));
        EXPECT_EQ(w.warnings.size(), 2);
        if (damaged) {
            EXPECT_FALSE(w.store.Available());
            EXPECT_TRUE(LogText().contains("Ведение истории баланса невозможно по следующей причине: " + reason))
                << LogText().toStdString();
            EXPECT_THROW(w.store.LoadHistoryInformation({{1, "P", "a"}}, 3), SaldomatError);
        }
        if (kind == "file")
            QProcess::execute("chattr", {"-i", db});
        EXPECT_EQ(ReadFileBytes(db), before);
    }
}
