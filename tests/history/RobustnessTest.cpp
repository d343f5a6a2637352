// The history under hostile conditions: a process killed in the middle of a
// burst of inserts, a file locked by another process, a read-only file, a file
// that is not a database and a full disk.
#include "Common.h"
#include "Failure.h"
#include "HistoryDb.h"
#include "HistoryTestUtil.h"
#include "StoreMDB.h"
#include "TestHome.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <gtest/gtest.h>

#ifdef Q_OS_UNIX
#include <csignal>
#include <unistd.h>
#endif
#ifdef Q_OS_LINUX
#include <sys/mount.h>
#endif

namespace {
constexpr double kToday = 45000.0;

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
    bool ok() const { return ok_; }
    bool remountReadOnly()
    {
#ifdef Q_OS_LINUX
        return ok_ && ::mount("tmpfs", QFile::encodeName(dir_).constData(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr) == 0;
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
    issa.BalDelta = 7.0f;  // from an earlier computation: must survive a failure
    issa.SMS = 9;
    issa.Success = true;
    return issa;
}

void expectFiguresKept(const TIssa &issa)
{
    EXPECT_FLOAT_EQ(issa.Balance, 18.5f);
    EXPECT_FLOAT_EQ(issa.BalDelta, 7.0f);
    EXPECT_EQ(issa.SMS, 9);
    EXPECT_TRUE(issa.Success);
}

// What the request engine does after a successful query; failures go to the log.
void recordLogged(TmdbStore &store, TIssa &issa)
{
    try {
        store.CalcBalanceDelta(issa);
        store.SaveIssaToMdb(issa);
    } catch (const std::exception &e) {
        MainException(e);
    }
}

// The record is taken as the request engine holds it (not const): a failed
// save must leave it as it was.
QString saveFailure(TmdbStore &store, TIssa &issa)
{
    try {
        store.SaveIssaToMdb(issa);
    } catch (const SaldomatError &e) {
        MainException(e);
        return e.message();
    }
    return QString();
}

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
        QProcess child;
        child.start(BinaryPath(QStringLiteral("history_test_child")), {QStringLiteral("burst"), db});
        ASSERT_TRUE(child.waitForStarted(10000));
        QByteArray out;
        const int target = 40 + 23 * round;
        while (savedNumbers(out).size() < target) {
            ASSERT_TRUE(child.waitForReadyRead(20000)) << "the child stopped storing: " << child.readAllStandardError().toStdString();
            out += child.readAllStandardOutput();
        }
        ::kill(static_cast<pid_t>(child.processId()), SIGKILL);
        ASSERT_TRUE(child.waitForFinished(10000));
        out += child.readAllStandardOutput();
        EXPECT_EQ(child.exitStatus(), QProcess::CrashExit);

        const QList<int> saved = savedNumbers(out);
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

TEST(HistoryRobustness, FileLockedByAnotherProcess)
{
    TestHome home;
    const QString db = HistoryDbFileName();
    CreateHistoryDatabase();
    InsertRaw(db, {QStringLiteral("P"), NowOle() - 1, 20.0});
    QProcess locker;
    locker.start(BinaryPath(QStringLiteral("history_test_child")), {QStringLiteral("lock"), db});
    ASSERT_TRUE(locker.waitForStarted(10000));
    QByteArray out;
    while (!out.contains("locked\n")) {
        ASSERT_TRUE(locker.waitForReadyRead(20000)) << locker.readAllStandardError().toStdString();
        out += locker.readAllStandardOutput();
    }

    TmdbStore store;
    TIssa issa = figures(QStringLiteral("P"));
    recordLogged(store, issa);
    expectFiguresKept(issa);
    EXPECT_TRUE(LogText().contains(QStringLiteral("TmdbStore.CalcBalanceDelta -- > database is locked"))) << LogText().toStdString();
    const QString failure = saveFailure(store, issa);
    EXPECT_TRUE(failure.startsWith(QStringLiteral("TmdbStore.SaveIssaToMdb -- > database is locked"))) << failure.toStdString();
    EXPECT_TRUE(LogText().contains(failure));

    locker.closeWriteChannel();
    ASSERT_TRUE(locker.waitForFinished(10000));
    EXPECT_EQ(locker.exitCode(), 0);
    // The same store carries on once the lock is gone.
    store.CalcBalanceDelta(issa);
    EXPECT_FLOAT_EQ(issa.BalDelta, -1.5f);
    EXPECT_TRUE(store.SaveIssaToMdb(issa));
    EXPECT_EQ(CountRows(db), 2);
}

TEST(HistoryRobustness, ReadOnlyFile)
{
    TestHome home;
    const QString dir = home.file(QStringLiteral("ro"));
    TinyMount mount(dir, "size=1m");
#ifdef Q_OS_UNIX
    if (!mount.ok() && ::geteuid() == 0)
        GTEST_SKIP() << "running as root without the right to mount: no file can be made read-only";
#endif
    const QString db = dir + QStringLiteral("/Saldomat.db");
    CreateHistoryDatabase(db);
    InsertRaw(db, {QStringLiteral("P"), NowOle() - 1, 20.0});
    if (mount.ok())
        ASSERT_TRUE(mount.remountReadOnly());
    else
        ASSERT_TRUE(QFile::setPermissions(db, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));

    TmdbStore store(db);
    TIssa issa = figures(QStringLiteral("P"));
    TIssa copy = issa;
    store.CalcBalanceDelta(copy);  // reading still works
    EXPECT_FLOAT_EQ(copy.BalDelta, -1.5f);
    const QString failure = saveFailure(store, issa);
    EXPECT_TRUE(failure.startsWith(QStringLiteral("TmdbStore.SaveIssaToMdb -- > "))) << failure.toStdString();
    EXPECT_TRUE(failure.contains(QStringLiteral("readonly"))) << failure.toStdString();
    EXPECT_TRUE(LogText().contains(failure));
    expectFiguresKept(issa);
    EXPECT_EQ(CountRows(db), 1);
}

TEST(HistoryRobustness, FileThatIsNotADatabase)
{
    TestHome home;
    const QString db = HistoryDbFileName();
    const QByteArray junk = QByteArray("PK\x03\x04 not a history at all ").repeated(500);
    WriteFileBytes(db, junk);
    TmdbStore store;
    TIssa issa = figures(QStringLiteral("P"));
    recordLogged(store, issa);
    expectFiguresKept(issa);
    EXPECT_TRUE(LogText().contains(QStringLiteral("TmdbStore.CalcBalanceDelta -- > file is not a database")))
        << LogText().toStdString();
    const QString failure = saveFailure(store, issa);
    EXPECT_TRUE(failure.startsWith(QStringLiteral("TmdbStore.SaveIssaToMdb -- > file is not a database"))) << failure.toStdString();
    try {
        store.LoadHistoryInformation({{1, QStringLiteral("P"), QStringLiteral("a")}}, 3);
        ADD_FAILURE() << "loading from junk succeeded";
    } catch (const SaldomatError &e) {
        EXPECT_TRUE(e.message().startsWith(QStringLiteral("TmdbStore.LoadHistoryInformation -- > "))) << e.what();
    }
    EXPECT_EQ(ReadFileBytes(db), junk);
}

TEST(HistoryRobustness, FullDisk)
{
    TestHome home;
    const QString dir = home.file(QStringLiteral("full"));
    TinyMount mount(dir, "size=64k");
    const QString db = dir + QStringLiteral("/Saldomat.db");
    CreateHistoryDatabase(db);
    TmdbStore store(db);
    if (!mount.ok()) {
        // No tmpfs of our own: a page limit makes the file "full" instead.
        QSqlDatabase conn = QSqlDatabase::database(store.connectionName(), false);
        ASSERT_TRUE(QSqlQuery(conn).exec(QStringLiteral("PRAGMA max_page_count = 8")));
    }
    TIssa issa = figures(QStringLiteral("P"));
    issa.UserName = QString(40, QLatin1Char('x'));
    QString failure;
    int stored = 0;
    for (; stored < 20000 && failure.isEmpty(); ++stored) {
        issa.SMS = stored + 1;
        // As the request engine does: the delta first, then the row.
        store.CalcBalanceDelta(issa);
        failure = saveFailure(store, issa);
    }
    --stored;  // the last round failed
    ASSERT_FALSE(failure.isEmpty()) << "the disk never filled up";
    EXPECT_TRUE(failure.startsWith(QStringLiteral("TmdbStore.SaveIssaToMdb -- > "))) << failure.toStdString();
    EXPECT_TRUE(failure.contains(QStringLiteral("full")) || failure.contains(QStringLiteral("I/O"))) << failure.toStdString();
    EXPECT_TRUE(LogText().contains(failure));
    EXPECT_FLOAT_EQ(issa.Balance, 18.5f);
    EXPECT_TRUE(issa.Success);
    EXPECT_GT(stored, 0);
    EXPECT_EQ(CountRows(db), stored);
    EXPECT_EQ(IntegrityCheck(db), QStringLiteral("ok"));
}
