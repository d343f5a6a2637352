// history_test_child burst FILE      stores rows 1, 2, 3, ... for ever, printing
//                                    "saved N" after each insert has returned
// history_test_child lock FILE [MS]  holds an exclusive lock on FILE that keeps
//                                    readers out too, prints "locked" and keeps
//                                    it MS milliseconds, or until stdin closes
// history_test_child read FILE MS    counts the rows inside a read transaction,
//                                    prints "reading" and keeps the transaction
//                                    open MS milliseconds
#include "Failure.h"
#include "HistoryDb.h"
#include "StoreMDB.h"

#include <QCoreApplication>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 3)
        return 2;
    const QString mode = QString::fromLocal8Bit(argv[1]);
    const QString file = QString::fromLocal8Bit(argv[2]);
    const int ms = argc > 3 ? QString::fromLocal8Bit(argv[3]).toInt() : -1;
    try {
        if (mode == QLatin1String("burst")) {
            TmdbStore store(file);
            TIssa issa;
            issa.PhoneNumber = QStringLiteral("9990001122");
            issa.UserName = QStringLiteral("Burst");
            for (int i = 1;; ++i) {
                issa.Balance = static_cast<float>(i);
                issa.SMS = i;
                if (!store.SaveIssaToMdb(issa))
                    return 1;
                std::printf("saved %d\n", i);
                std::fflush(stdout);
            }
        }
        if (mode == QLatin1String("lock")) {
            HistoryConnection conn(file);
            // Without shared memory the lock is taken on the file itself, so
            // that even readers of a write-ahead-logged file must wait.
            ExecFixed(conn.db(), QStringLiteral("PRAGMA locking_mode=EXCLUSIVE"));
            ExecFixed(conn.db(), QStringLiteral("BEGIN EXCLUSIVE"));
            ExecFixed(conn.db(), QStringLiteral("UPDATE Phones SET NN = NN WHERE 0"));
            std::printf("locked\n");
            std::fflush(stdout);
            if (ms >= 0)
                QThread::msleep(static_cast<unsigned long>(ms));
            else
                while (std::fgetc(stdin) != EOF) { }
            ExecFixed(conn.db(), QStringLiteral("ROLLBACK"));
            return 0;
        }
        if (mode == QLatin1String("read") && ms >= 0) {
            HistoryConnection conn(file);
            ExecFixed(conn.db(), QStringLiteral("BEGIN"));
            QSqlQuery q(conn.db());
            if (!q.exec(QStringLiteral("SELECT count(*) FROM Phones")) || !q.next())
                throw SaldomatError(sqlReason(q.lastError()));
            std::printf("reading %lld\n", q.value(0).toLongLong());
            std::fflush(stdout);
            QThread::msleep(static_cast<unsigned long>(ms));
            q.finish();
            ExecFixed(conn.db(), QStringLiteral("COMMIT"));
            return 0;
        }
    } catch (const std::exception &e) {
        std::fprintf(stderr, "%s\n", qPrintable(failureText(e)));
        return 1;
    }
    return 2;
}
