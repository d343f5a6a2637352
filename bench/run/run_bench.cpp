// A request run of 100 phones against the local emulator with no pause between
// phones: the engine's own time per phone and the run's peak memory.
//
//   run_bench [RUNS]
//
// RUN_BENCH_NO_HISTORY=1 leaves the history out, to separate the engine from
// the durable writes of the history file.
#include "Common.h"
#include "EmulatorProcess.h"
#include "EventLoopWait.h"
#include "Encoding.h"
#include "HistoryDb.h"
#include "IniFile.h"
#include "PhoneTable.h"
#include "ProgramInit.h"
#include "SettingsFile.h"
#include "Setup.h"
#include "StoreMDB.h"
#include "TestHome.h"
#include "WBForm.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <sys/resource.h>

namespace {
double cpuMs()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e3 + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e3;
}

double peakMb()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss / 1024.0;
}
}  // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? atoi(argv[1]) : 5;
    TestHome home;
    // The history first, as on a first start, so that Init() finds it.
    CreateHistoryDatabase();
    Init();
    if (!HistoryAvailable) {
        fprintf(stderr, "the history cannot be used: %s\n", qPrintable(FromCp1251(ReadFileBytes(ErrFileName))));
        return 1;
    }

    QList<EmulatorPhone> phones;
    for (int i = 1; i <= MaxPhones; ++i) {
        EmulatorPhone p;
        p.number = QStringLiteral("916%1").arg(i, 7, 10, QLatin1Char('0'));
        p.password = QString::number(1000 + i);
        p.licSchet = QStringLiteral("41%1").arg(i, 8, 10, QLatin1Char('0'));
        p.userName = QStringLiteral("Абонент %1").arg(i);
        p.balance = i * 1.25;
        p.sms = i;
        p.minutes = i % 150;
        p.layout = i % 2 ? QStringLiteral("labels") : QStringLiteral("sentences");
        phones << p;
    }
    EmulatorProcess emu;
    if (!emu.start(phones)) {
        fprintf(stderr, "emulator: %s\n", qPrintable(emu.errorString()));
        return 1;
    }
    ServersIni.WriteString(QStringLiteral("Bench"), QStringLiteral("ShortName"), QStringLiteral("BN"));
    ServersIni.WriteString(QStringLiteral("Bench"), QStringLiteral("LoginURL"), emu.loginUrl());
    for (int i = 1; i <= MaxPhones; ++i) {
        TSetupPhoneLine line;
        line.Monitor = true;
        line.Number = phones[i - 1].number;
        line.Password = phones[i - 1].password;
        line.Region = QStringLiteral("BN");
        SetupModel().SetLine(i, line);
    }

    TmdbStore store;
    TfrmWB engine;
    if (!qEnvironmentVariableIsSet("RUN_BENCH_NO_HISTORY"))
        engine.SetStore(&store);
    engine.SetPauseMs(0);

    std::vector<double> wallPer, ownPer, cpuPer;
    for (int r = 0; r < runs; ++r) {
        emu.stats();  // warm connection to the counters
        const long serveBefore = emu.stats().value(QStringLiteral("serve-us"));
        const double cpuBefore = cpuMs();
        QElapsedTimer clock;
        clock.start();
        bool finished = false;
        const auto done = QObject::connect(&engine, &TfrmWB::runFinished, [&] { finished = true; });
        engine.RequestInformation(0);
        WaitUntil([&] { return finished; }, 600000);
        QObject::disconnect(done);
        const double wall = clock.nsecsElapsed() / 1e6;
        const double cpu = cpuMs() - cpuBefore;
        const double serve = (emu.stats().value(QStringLiteral("serve-us")) - serveBefore) / 1e3;
        int ok = 0;
        for (int i = 1; i <= MaxPhones; ++i)
            ok += IssaArray[i].Success;
        if (ok != MaxPhones) {
            fprintf(stderr, "only %d of %d phones succeeded\n", ok, MaxPhones);
            return 1;
        }
        wallPer.push_back(wall / MaxPhones);
        ownPer.push_back((wall - serve) / MaxPhones);
        cpuPer.push_back(cpu / MaxPhones);
    }
    auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    printf("100 phones, pause 0, %d runs (median per phone)\n", runs);
    printf("  wall time per phone            %7.2f ms\n", median(wallPer));
    printf("  wall minus emulator serving    %7.2f ms\n", median(ownPer));
    printf("  engine CPU time per phone      %7.2f ms\n", median(cpuPer));
    printf("  peak memory of the run         %7.1f MB\n", peakMb());
    return 0;
}
