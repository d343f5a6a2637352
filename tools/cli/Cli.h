#pragma once
// The command table of saldomat-cli. Each command file registers itself with a
// static CliCommand object:
//
//   static CliCommand parse{"parse", "parse FILE...", "print the figures of saved pages",
//                           "Options and details, one per line...", runParse};
//
// A command gets the words after its name and returns the exit status. The
// usage, summary and details make up "--help", "help COMMAND" and the manual page.

#include <QString>
#include <QStringList>
#include <QTextStream>
#include <functional>

struct CliCommand {
    using Run = int (*)(const QStringList &args);
    CliCommand(const char *name, const char *usage, const char *summary, const char *details, Run run);
    const char *name;
    const char *usage;
    const char *summary;
    const char *details;
    Run run;
};

// The exit statuses.
enum CliStatus {
    CliOk = 0,  // done; every phone answered
    CliSomeFailed = 1,  // some phone failed, or nothing was found
    CliUsage = 2,  // the command line was wrong
    CliFileError = 3,  // a configuration or file problem
};

QTextStream &cliOut();
QTextStream &cliErr();
// Prints "saldomat-cli: message" on stderr and returns the usage-error status 2.
int cliFail(const QString &message);
// The same for a configuration or file problem: status 3.
int cliFileFail(const QString &message);

// One line read from standard input (a password given by --password-stdin),
// without its line end. Empty with an error message in *error when stdin is
// empty.
QString ReadSecretLine(QString *error);
// Starts asynchronous work (keyring jobs) and runs the application's event
// loop until the work calls the function it was given.
void cliRunUntilDone(const std::function<void(std::function<void()> done)> &start);
