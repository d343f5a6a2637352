// Request runs of 100 phones against the local emulator, with no pause between
// phones, each figure next to a baseline measured in the same run:
//
//   engine     the tray program's request engine (TfrmWB::RequestInformation)
//              in this process, with the history, as the tray program runs it
//   cli        "saldomat-cli query --pause-ms 0" on the same program folder
//   floor      the same HTTP requests made with a plain QNetworkAccessManager,
//              plus one SQLite insert and commit per phone through SQLite's C API,
//              on a file of the same table and index, in the product's journal
//              mode and sync level (write-ahead log, synchronous=FULL, 5 s busy
//              time-out): one fdatasync per committed row; the file is opened
//              for the run and closed at its end, as a run of the program does
//   floor, history kept open
//              the same, with the file kept open from one run to the next, so
//              that the write-ahead log is reused instead of made anew every run
//   tray       the tray program itself, started once: peak memory of its
//              100-phone run and its memory when idle afterwards
//
//   run_bench [ROUNDS]        (default 5; the least of the rounds is printed,
//                              the steadiest figure on a busy machine)
//
// The four runs take turns in a rotating order, and the least of the rounds is
// compared: whatever one leaves behind (the CLI's exit folds its write-ahead
// log into the history file) falls on each of the others alike.
//
// The emulator serves uncompressed pages (--compression off), and its own
// serving time is subtracted from every wall time, so that only the client's
// work is compared. Targets: engine within 1.1x of the CLI, engine within 1.3x
// of the floor.
#include "Common.h"
#include "EmulatorProcess.h"
#include "Encoding.h"
#include "Failure.h"
#include "HistoryDb.h"
#include "IssaUrl.h"
#include "PhoneTable.h"
#include "PhonesXml.h"
#include "ProgramInit.h"
#include "ProgramState.h"
#include "SettingsFile.h"
#include "Setup.h"
#include "StoreMDB.h"
#include "TestHome.h"
#include "WBForm.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkCookieJar>
#include <QNetworkReply>
#include <QProcess>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <sqlite3.h>
#include <sys/resource.h>

namespace {
double cpuMs()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e3 + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e3;
}

double childrenCpuMs()
{
    rusage u{};
    getrusage(RUSAGE_CHILDREN, &u);
    return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e3 + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e3;
}

// A "VmRSS"/"VmHWM" line of /proc/PID/status, in MB (0 when unreadable).
double procStatusMb(qint64 pid, const char *key)
{
    QFile f(QStringLiteral("/proc/%1/status").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(qstrlen(key) + 1).trimmed().split(' ').first().toDouble() / 1024.0;
    return 0;
}

double least(const std::vector<double> &v)
{
    return v.empty() ? 0 : *std::min_element(v.begin(), v.end());
}

struct Sample {
    std::vector<double> wall, own, cpu;
    long requests = 0;
    void add(double wallMs, double serveMs, double cpuMsUsed, long requestCount)
    {
        wall.push_back(wallMs / MaxPhones);
        own.push_back((wallMs - serveMs) / MaxPhones);
        cpu.push_back(cpuMsUsed / MaxPhones);
        requests = requestCount;
    }
};

// Runs body and records its wall time, the emulator's serving time and the
// emulator's request count meanwhile.
template <typename Body> void measure(EmulatorProcess &emu, Sample &sample, bool childCpu, Body body)
{
    const QMap<QString, long> before = emu.stats();
    const double cpuBefore = childCpu ? childrenCpuMs() : cpuMs();
    QElapsedTimer clock;
    clock.start();
    body();
    const double wall = clock.nsecsElapsed() / 1e6;
    const double cpu = (childCpu ? childrenCpuMs() : cpuMs()) - cpuBefore;
    const QMap<QString, long> after = emu.stats();
    sample.add(wall, (after.value(QStringLiteral("serve-us")) - before.value(QStringLiteral("serve-us"))) / 1e3, cpu,
               after.value(QStringLiteral("requests")) - before.value(QStringLiteral("requests")));
}

// The plain client: per phone the login POST the engine sends (fresh cookies,
// fresh connection), the whole answer read, then one row inserted and committed.
class Floor {
public:
    // keepOpen: the history stays open from one run to the next, so that its
    // write-ahead log is reused instead of made anew (the cheapest way);
    // otherwise it is opened for each run and closed at its end, as a run of
    // the program does (the close folds the log into the file and removes it).
    Floor(const TProgramState &state, const QString &dbFile, bool keepOpen)
        : state_(state), file_(QFile::encodeName(dbFile)), keepOpen_(keepOpen)
    {
        CreateHistoryDatabase(dbFile);
    }
    ~Floor() { close(); }

    // False when an answer was not the account page or a row was not stored.
    bool run()
    {
        bool ok = open();
        for (int slot = 1; ok && slot <= MaxPhones; ++slot) {
            const TIssaUrlInfo url = GetIssaUrlByPhoneID(state_, slot);
            QString body = url.LoginStr;
            body.replace(QStringLiteral("<%PhoneNumber%>"), UserPhone(state_, slot), Qt::CaseInsensitive);
            body.replace(QStringLiteral("<%Password%>"), Password(state_, slot), Qt::CaseInsensitive);
            // A new session on a new connection for every phone, as the engine's browser.
            nam_.setCookieJar(new QNetworkCookieJar(&nam_));
            nam_.clearConnectionCache();
            QNetworkRequest request{QUrl(url.LoginURL)};
            request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/x-www-form-urlencoded"));
            QNetworkReply *reply = nam_.post(request, ToCp1251(body));
            QEventLoop loop;
            QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
            loop.exec();
            const QByteArray page = reply->readAll();
            ok = ok && reply->error() == QNetworkReply::NoError && page.size() > 1000;
            reply->deleteLater();

            const QByteArray number = UserPhone(state_, slot).toUtf8();
            sqlite3_bind_text(insert_, 1, number.constData(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(insert_, 2, "L", -1, SQLITE_STATIC);
            sqlite3_bind_text(insert_, 3, "U", -1, SQLITE_STATIC);
            sqlite3_bind_double(insert_, 4, NowOle());
            sqlite3_bind_double(insert_, 5, slot * 1.25);
            sqlite3_bind_int(insert_, 6, slot);
            ok = ok && sqlite3_step(insert_) == SQLITE_DONE;
            sqlite3_reset(insert_);
        }
        return (keepOpen_ || close()) && ok;
    }

private:
    bool open()
    {
        if (db_)
            return true;
        return sqlite3_open_v2(file_.constData(), &db_, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK
            && sqlite3_busy_timeout(db_, 5000) == SQLITE_OK
            && sqlite3_exec(db_, "PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL", nullptr, nullptr, nullptr)
            == SQLITE_OK
            && sqlite3_prepare_v2(db_,
                                  "INSERT INTO Phones (PhoneNumber, LicSchet, UserName, QueryDateTime, Balance, SMS) "
                                  "VALUES (?, ?, ?, ?, ?, ?)",
                                  -1, &insert_, nullptr)
            == SQLITE_OK;
    }
    bool close()
    {
        sqlite3_finalize(insert_);
        insert_ = nullptr;
        const bool closed = sqlite3_close(db_) == SQLITE_OK;
        db_ = nullptr;
        return closed;
    }

    const TProgramState &state_;
    QByteArray file_;
    bool keepOpen_;
    sqlite3 *db_ = nullptr;
    sqlite3_stmt *insert_ = nullptr;
    QNetworkAccessManager nam_;
};

int allSucceeded(const TProgramState &state)
{
    int ok = 0;
    for (int i = 1; i <= MaxPhones; ++i)
        ok += state.IssaArray[i].Success && !state.IssaArray[i].NotSaved;
    return ok;
}
}  // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 5;
    TestHome home;
    TProgramState state(InitPaths());
    // The history first, as on a first start, so that Init() finds it.
    CreateHistoryDatabase();
    Init(state.Paths);
    if (!CheckHistoryAvailable()) {
        fprintf(stderr, "the history cannot be used: %s\n", qPrintable(FromCp1251(ReadFileBytes(ErrorLogFileName()))));
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
    if (!emu.start(phones, {}, {}, {QStringLiteral("--compression"), QStringLiteral("off")})) {
        fprintf(stderr, "emulator: %s\n", qPrintable(emu.errorString()));
        return 1;
    }
    // The program folder as the tray program and the CLI read it.
    state.ServersIni.WriteString(QStringLiteral("Bench"), QStringLiteral("ShortName"), QStringLiteral("BN"));
    state.ServersIni.WriteString(QStringLiteral("Bench"), QStringLiteral("LoginURL"), emu.loginUrl());
    for (int i = 1; i <= MaxPhones; ++i) {
        TSetupPhoneLine line;
        line.Monitor = true;
        line.Number = phones[i - 1].number;
        line.Password = phones[i - 1].password;
        line.Region = QStringLiteral("BN");
        state.Setup.SetLine(i, line);
    }
    state.Setup.General.cbExecAfterRun = true;
    state.Setup.General.cbAutoReRquest = false;
    SavePhonesInfoToXml(state.Setup, state.Paths.PhonesXmlFileName, MaxPhones);
    SaveIniFile(state.IniFile, state.Setup);
    state.IniFile.WriteString(QStringLiteral("Debug"), QStringLiteral("TestPauseMs"), QStringLiteral("0"));

    // The engine as the tray program runs it: its own limits, no pause.
    TmdbStore store;
    TfrmWB engine(state);
    engine.SetStore(&store);
    engine.SetPauseMs(0);
    Floor floor(state, home.file(QStringLiteral("floor.db")), false);
    Floor openFloor(state, home.file(QStringLiteral("floor-open.db")), true);

    Sample engineRun, cliRun, floorRun, openFloorRun;
    // The four take turns in a rotating order, so that none always runs
    // right after another (the history file's state, the machine's caches).
    auto engineStep = [&] {
        measure(emu, engineRun, false, [&] {
            // The event loop as the tray program and the CLI run it: it sleeps
            // until something arrives (a polling wait would spin meanwhile and
            // bill its own turns to the engine).
            QEventLoop loop;
            const auto done
                = QObject::connect(&engine, &TfrmWB::runFinished, &loop, &QEventLoop::quit, Qt::QueuedConnection);
            if (engine.RequestInformation(0))
                loop.exec();
            QObject::disconnect(done);
        });
        if (allSucceeded(state) != MaxPhones) {
            fprintf(stderr, "engine: only %d of %d phones succeeded and were stored\n", allSucceeded(state), MaxPhones);
            return false;
        }
        return true;
    };
    auto cliStep = [&] {
        int cliStatus = -1;
        QByteArray cliErr;
        measure(emu, cliRun, true, [&] {
            QProcess cli;
            cli.start(BinaryPath(QStringLiteral("saldomat-cli")),
                      {QStringLiteral("query"), QStringLiteral("--pause-ms"), QStringLiteral("0")});
            if (cli.waitForFinished(600000))
                cliStatus = cli.exitCode();
            cliErr = cli.readAllStandardError().right(300);
        });
        if (cliStatus != 0) {
            fprintf(stderr, "saldomat-cli query failed (%d): %s\n", cliStatus, cliErr.constData());
            return false;
        }
        return true;
    };
    auto floorStep = [&] {
        bool floorOk = false;
        measure(emu, floorRun, false, [&] { floorOk = floor.run(); });
        if (!floorOk) {
            fprintf(stderr, "floor: an answer was not the account page or a row was not stored\n");
            return false;
        }
        return true;
    };
    auto openFloorStep = [&] {
        bool floorOk = false;
        measure(emu, openFloorRun, false, [&] { floorOk = openFloor.run(); });
        if (!floorOk)
            fprintf(stderr, "floor (history kept open): an answer was not the account page or a row was not stored\n");
        return floorOk;
    };
    const std::function<bool()> steps[] = {engineStep, cliStep, floorStep, openFloorStep};
    for (int r = 0; r < rounds; ++r)
        for (int k = 0; k < 4; ++k)
            if (!steps[(r + k) % 4]())
                return 1;
    const double enginePeakMb = static_cast<double>([] {
                                    rusage u{};
                                    getrusage(RUSAGE_SELF, &u);
                                    return u.ru_maxrss;
                                }())
        / 1024.0;

    // The tray program itself: one run right after start, then idle.
    emu.resetStats();
    QProcess tray;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    // Its single-instance socket and lock live in the temporary folder: one of
    // its own, so that no other copy of the program on the machine answers.
    env.insert(QStringLiteral("TMPDIR"), home.dir());
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.dir());
    tray.setProcessEnvironment(env);
    tray.start(BinaryPath(QStringLiteral("saldomat")), {});
    double trayPeak = 0, trayIdle = 0, trayRunMs = 0;
    if (tray.waitForStarted(10000)) {
        QElapsedTimer clock;
        clock.start();
        const QString last = phones.last().number;
        while (emu.accountCount(last) < 1 && clock.elapsed() < 600000 && tray.state() == QProcess::Running)
            QThread::msleep(20);
        trayRunMs = clock.elapsed();
        QThread::msleep(3000);  // the run's end, then idle
        trayPeak = procStatusMb(tray.processId(), "VmHWM:");
        trayIdle = procStatusMb(tray.processId(), "VmRSS:");
        tray.terminate();
        if (!tray.waitForFinished(10000))
            tray.kill();
    }

    const double engineOwn = least(engineRun.own), cliOwn = least(cliRun.own), floorOwn = least(floorRun.own);
    printf("100 phones, pause 0, uncompressed pages, %d rounds (least per phone; emulator serving subtracted)\n",
           rounds);
    printf("  %-44s %8s %8s %8s %9s\n", "", "wall ms", "own ms", "CPU ms", "requests");
    auto row = [](const char *name, const Sample &s) {
        printf("  %-44s %8.2f %8.2f %8.2f %9.2f\n", name, least(s.wall), least(s.own), least(s.cpu),
               s.requests / double(MaxPhones));
    };
    row("engine (TfrmWB::RequestInformation)", engineRun);
    row("saldomat-cli query --pause-ms 0 (process)", cliRun);
    row("floor (QNetworkAccessManager + sqlite3)", floorRun);
    row("floor, history kept open between runs", openFloorRun);
    printf("  engine / CLI                    %6.2fx   (target <= 1.10)\n", engineOwn / cliOwn);
    printf("  engine / floor                  %6.2fx   (target <= 1.30)\n", engineOwn / floorOwn);
    printf("  CLI / floor                     %6.2fx\n", cliOwn / floorOwn);
    printf("  CPU: engine / floor             %6.2fx   CLI / floor %.2fx (the CLI's with its start)\n",
           least(engineRun.cpu) / least(floorRun.cpu), least(cliRun.cpu) / least(floorRun.cpu));
    printf("  engine / floor, history kept open %4.2fx   CLI / same floor %.2fx\n", engineOwn / least(openFloorRun.own),
           cliOwn / least(openFloorRun.own));
    printf("  peak memory of this process     %6.1f MB (engine runs, CLI runs and floor)\n", enginePeakMb);
    printf("  tray program: 100-phone run     %6.0f ms after start\n", trayRunMs);
    printf("  tray program: peak memory       %6.1f MB\n", trayPeak);
    printf("  tray program: idle after run    %6.1f MB\n", trayIdle);
    return 0;
}
