// saldomat-cli query: a request run without a tray, on the same engine and the
// same files as the tray program.
#include "Cli.h"
#include "CliPhone.h"
#include "QueryOutput.h"

#include "Common.h"
#include "MarkWatch.h"
#include "PasswordVault.h"
#include "PhoneTable.h"
#include "ProgramInit.h"
#include "ProgramState.h"
#include "Setup.h"
#include "StoreMDB.h"
#include "WBForm.h"

#include <QCoreApplication>

namespace {
int runQuery(const QStringList &arguments)
{
    int mode = 0, slot = 0, pauseMs = 3000, timeOutS = 180;
    QString caFile;
    bool notify = false;
    QString phone;
    OutputFormat format = OutputFormat::Table;
    QStringList args = arguments;
    if (const QString error = TakeOutputFormat(args, format); !error.isEmpty())
        return cliFail(error);
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        auto value = [&](int &out) {
            bool ok = false;
            out = i + 1 < args.size() ? args[++i].toInt(&ok) : 0;
            return ok && out >= 0;
        };
        if (a == QLatin1String("--notify")) {
            notify = true;
        } else if (a == QLatin1String("--only-bad")) {
            mode = 1;
        } else if (a == QLatin1String("--phone")) {
            if (i + 1 >= args.size())
                return cliFail(QStringLiteral("--phone takes a slot, a number or an alias"));
            phone = args[++i];
            mode = 2;
        } else if (a == QLatin1String("--pause-ms")) {
            if (!value(pauseMs))
                return cliFail(QStringLiteral("--pause-ms takes a number of milliseconds"));
        } else if (a == QLatin1String("--timeout-s")) {
            if (!value(timeOutS) || timeOutS < 1)
                return cliFail(QStringLiteral("--timeout-s takes a number of seconds"));
        } else if (a == QLatin1String("--ca-file") && i + 1 < args.size()) {
            caFile = args[++i];
        } else {
            return cliFail(QStringLiteral("unknown argument \"%1\"").arg(a));
        }
    }

    TProgramState state(InitPaths());
    const TProgramPaths &paths = state.Paths;
    Init(paths);
    LoadSettings(state);
    TPasswordVault vault(state);
    cliRunUntilDone([&](std::function<void()> done) { vault.Load(state.Setup, done); });
    if (mode == 2) {
        QString notFound;
        slot = FindPhone(state.Setup, phone, false, &notFound);
        if (!slot)
            return cliFail(notFound);
    }
    std::unique_ptr<TmdbStore> store = OpenHistoryStore(paths);
    LoadHistoryIntoTable(state, store.get());

    if (store)
        store->setWarning([](const QString &text) {
            cliErr() << text << "\n";
            cliErr().flush();
        });
    TfrmWB engine(state);
    engine.SetStore(store.get());
    engine.SetPauseMs(pauseMs);
    engine.SetTimeOutMs(timeOutS * 1000);
    if (!caFile.isEmpty())
        engine.SetCaCertificates(caFile);
    QObject::connect(&engine, &TfrmWB::progressMessage, [](const QString &text) {
        cliErr() << text.trimmed() << "\n";
        cliErr().flush();
    });
    TMarkWatch marks(state);
    marks.Reset();
    // The run goes on in the application's event loop until it reports its end.
    QObject::connect(&engine, &TfrmWB::runFinished, QCoreApplication::instance(), &QCoreApplication::quit,
                     Qt::QueuedConnection);
    if (engine.RequestInformation(mode, slot))
        QCoreApplication::exec();

    bool failed = false;
    QList<int> slots;
    for (int i = 1; i <= MaxPhones; ++i) {
        if (!MonitorPhoneEnabled(state, i) || (mode == 2 && i != slot))
            continue;
        slots << i;
        // A result without its history row is a failure of the run as well.
        failed = failed || !state.IssaArray[i].Success || state.IssaArray[i].NotSaved;
    }
    PrintRows(QueryResultRows(state, slots), format, [&] { return QueryResultTable(state, slots); });
    if (notify) {
        const QList<int> marked = marks.NewlyMarked();
        if (!marked.isEmpty() && !SendMarkNotices(state, marked))
            cliErr() << "saldomat-cli: no notification service on the session bus\n";
    }
    return failed ? CliSomeFailed : CliOk;
}

CliCommand command{"query",
                   "query [--only-bad] [--phone PHONE] [--format table|json|csv] [--notify] [--pause-ms N] "
                   "[--timeout-s N] [--ca-file PEM]",
                   "query the monitored phones now, store the results in the history and print them",
                   "--only-bad       only the phones whose last query failed\n"
                   "--phone PHONE    only this phone: a slot, a number or an alias\n"
                   "--format F       table (default), json or csv; json: one object per phone with slot, number, "
                   "alias, state (ok, error, timeout, not-queried), error, the twelve figures, their time and "
                   "whether they are stale (left from an earlier query); null figures when there are none\n"
                   "--notify         send a desktop notice for each phone that has newly fallen to its "
                   "threshold, when a notification service runs on the session bus\n"
                   "--pause-ms N     pause between phones (3000)\n"
                   "--timeout-s N    time-out per phone (180)\n"
                   "--ca-file PEM    trust these certificates as well\n"
                   "A failed phone shows \"—\" and its state, never a balance. Exit status 1 when a phone failed.",
                   &runQuery};
}  // namespace
