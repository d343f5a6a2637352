// history_test_child burst FILE   stores rows 1, 2, 3, ... for ever, printing
//                                 "saved N" after each insert has returned
// history_test_child lock FILE    holds an exclusive lock on FILE, prints
//                                 "locked" and keeps it until stdin closes
#include "Failure.h"
#include "HistoryDb.h"
#include "StoreMDB.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 3)
        return 2;
    const QString mode = QString::fromLocal8Bit(argv[1]);
    const QString file = QString::fromLocal8Bit(argv[2]);
    try {
        if (mode == QLatin1String("burst")) {
            TmdbStore store(file);
            TIssa issa;
            issa.PhoneNumber = QStringLiteral("9990001122");
            issa.UserName = QStringLiteral("Burst");
            for (int i = 1;; ++i) {
                issa.Balance = static_cast<float>(i);
                issa.SMS = i;
                store.SaveIssaToMdb(issa);
                std::printf("saved %d\n", i);
                std::fflush(stdout);
            }
        }
        if (mode == QLatin1String("lock")) {
            HistoryConnection conn(file);
            ExecFixed(conn.db(), QStringLiteral("BEGIN EXCLUSIVE"));
            std::printf("locked\n");
            std::fflush(stdout);
            while (std::fgetc(stdin) != EOF) {
            }
            ExecFixed(conn.db(), QStringLiteral("ROLLBACK"));
            return 0;
        }
    } catch (const std::exception &e) {
        std::fprintf(stderr, "%s\n", qPrintable(failureText(e)));
        return 1;
    }
    return 2;
}
