// history_test_child FILE: stores rows 1, 2, ... into the history FILE for
// ever, printing "saved N" once the insert of row N has returned.
#include "StoreMDB.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    TmdbStore store(QString::fromLocal8Bit(argv[1]));
    TIssa issa;
    issa.PhoneNumber = "9990001122";
    for (int i = 1;; ++i) {
        issa.Balance = float(i);
        issa.SMS = i;
        if (!store.SaveIssaToMdb(issa))
            return 1;
        std::printf("saved %d\n", i);
        std::fflush(stdout);
    }
}
