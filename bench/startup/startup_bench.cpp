// Start-up time to the tray icon and idle memory of the tray program, against a
// minimal Qt tray program measured in the same run. Needs a display with a tray
// (Xvfb with trayer); run it through bench/startup/run.sh.
//
//   startup_bench SALDOMAT BASELINE [RUNS]
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {
struct Sample {
    double startMs = 0;
    double rssMb = 0;
};

double rssMb(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/status").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    return 0;
}

// The program directory of each program lives for the whole run: the first,
// unmeasured start makes its files, the measured ones are ordinary starts.
bool measure(const QString &program, const QTemporaryDir &home, Sample &out)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("SALDOMAT_HOME"), home.path());
    env.insert(QStringLiteral("TMPDIR"), home.path());
    env.insert(QStringLiteral("SALDOMAT_STARTUP_PROBE"), QStringLiteral("1"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    QElapsedTimer clock;
    clock.start();
    p.start(program, {});
    QByteArray err;
    while (!err.contains("tray-icon-shown")) {
        if (!p.waitForReadyRead(10000)) {
            fprintf(stderr, "%s: no tray icon within 10 s\n", qPrintable(program));
            p.kill();
            p.waitForFinished();
            return false;
        }
        err += p.readAll();
    }
    out.startMs = clock.nsecsElapsed() / 1e6;
    QThread::msleep(1500);  // idle
    out.rssMb = rssMb(p.processId());
    p.kill();
    p.waitForFinished();
    return true;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}
}  // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 3) {
        fprintf(stderr, "usage: startup_bench SALDOMAT BASELINE [RUNS]\n");
        return 2;
    }
    const int runs = argc > 3 ? atoi(argv[3]) : 7;
    const QString programs[2] = {QString::fromLocal8Bit(argv[1]), QString::fromLocal8Bit(argv[2])};
    std::vector<double> start[2], rss[2];
    QTemporaryDir homes[2];
    for (int k = 0; k < 2; ++k) {
        Sample warmUp;
        if (!measure(programs[k], homes[k], warmUp))
            return 1;
    }
    for (int i = 0; i < runs; ++i) {
        for (int k = 0; k < 2; ++k) {  // interleaved, so drift hits both alike
            Sample s;
            if (!measure(programs[k], homes[k], s))
                return 1;
            start[k].push_back(s.startMs);
            rss[k].push_back(s.rssMb);
        }
    }
    const double s0 = median(start[0]), s1 = median(start[1]), r0 = median(rss[0]), r1 = median(rss[1]);
    printf("%-10s %14s %14s\n", "", "start-up (ms)", "idle RSS (MB)");
    printf("%-10s %14.1f %14.1f\n", "saldomat", s0, r0);
    printf("%-10s %14.1f %14.1f\n", "baseline", s1, r1);
    printf("%-10s %14.2f %14.2f\n", "ratio", s0 / s1, r0 / r1);
    return 0;
}
