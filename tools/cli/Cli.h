#pragma once
// The command table of saldomat-cli. Each command file registers itself with a
// static CliCommand object:
//
//   static CliCommand parse{"parse", "parse FILE...", "print the figures of saved pages", runParse};
//
// A command gets the words after its name and returns the exit status.

#include <QString>
#include <QStringList>
#include <QTextStream>
#include <functional>

struct CliCommand {
    using Run = int (*)(const QStringList &args);
    CliCommand(const char *name, const char *usage, const char *summary, Run run);
    const char *name;
    const char *usage;
    const char *summary;
    Run run;
};

QTextStream &cliOut();
QTextStream &cliErr();
// Prints "saldomat-cli: message" on stderr and returns the usage-error status 2.
int cliFail(const QString &message);
// Starts asynchronous work (keyring jobs) and runs the application's event
// loop until the work calls the function it was given.
void cliRunUntilDone(const std::function<void(std::function<void()> done)> &start);
