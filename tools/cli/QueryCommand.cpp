// saldomat-cli query: a request run without a tray, on the same engine and the
// same files as the tray program.
#include "Cli.h"

#include "Common.h"
#include "PasswordVault.h"
#include "PhoneTable.h"
#include "ProgramInit.h"
#include "Setup.h"
#include "StoreMDB.h"
#include "WBForm.h"

namespace {
QString stateText(const TIssa &issa)
{
    if (issa.State == dsError)
        return QStringLiteral("error");
    if (issa.State == dsRequest)
        return QStringLiteral("request");
    return issa.Success ? QStringLiteral("ok") : QStringLiteral("-");
}

int runQuery(const QStringList &args)
{
    int mode = 0, slot = 0, pauseMs = 3000, timeOutS = 180;
    QString caFile;
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        auto value = [&](int &out) {
            bool ok = false;
            out = i + 1 < args.size() ? args[++i].toInt(&ok) : 0;
            return ok && out >= 0;
        };
        if (a == QLatin1String("--only-bad")) {
            mode = 1;
        } else if (a == QLatin1String("--phone")) {
            if (!value(slot) || slot < 1 || slot > MaxPhones)
                return cliFail(QStringLiteral("--phone takes a slot from 1 to %1").arg(MaxPhones));
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

    Init();
    LoadSettings();
    TPasswordVault vault;
    cliRunUntilDone([&](std::function<void()> done) { vault.Load(SetupModel(), done); });
    std::unique_ptr<TmdbStore> store = OpenHistoryStore();
    LoadHistoryIntoTable(store.get());

    TfrmWB engine;
    engine.SetStore(store.get());
    engine.SetPauseMs(pauseMs);
    engine.SetTimeOutMs(timeOutS * 1000);
    if (!caFile.isEmpty())
        engine.SetCaCertificates(caFile);
    QObject::connect(&engine, &TfrmWB::progressMessage, [](const QString &text) {
        cliErr() << text.trimmed() << "\n";
        cliErr().flush();
    });
    engine.RequestInformation(mode, slot);

    bool failed = false;
    cliOut() << QStringLiteral("%1  %2  %3  %4  %5\n")
                    .arg(QStringLiteral("slot"), 4)
                    .arg(QStringLiteral("name"), -24)
                    .arg(QStringLiteral("balance"), 10)
                    .arg(QStringLiteral("state"), -7)
                    .arg(QStringLiteral("error"));
    for (int i = 1; i <= MaxPhones; ++i) {
        if (!MonitorPhoneEnabled(i) || (mode == 2 && i != slot))
            continue;
        const TIssa &issa = IssaArray[i];
        if (!issa.Success)
            failed = true;
        QString name = PhoneAliasEx(i);
        if (name.isEmpty())
            name = UserPhone(i);
        cliOut() << QStringLiteral("%1  %2  %3  %4  %5\n")
                        .arg(i, 4)
                        .arg(name, -24)
                        .arg(QString::number(issa.Balance, 'f', 2), 10)
                        .arg(stateText(issa), -7)
                        .arg(issa.ErrorMsg);
    }
    return failed ? 1 : 0;
}

CliCommand command{"query", "query [--only-bad] [--phone N] [--pause-ms N] [--timeout-s N] [--ca-file PEM]",
                   "query the monitored phones now and print a table of the results", &runQuery};
}  // namespace
