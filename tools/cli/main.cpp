#include "Cli.h"

#include "Common.h"
#include "Failure.h"

#include <QCoreApplication>
#include <algorithm>
#include <vector>

namespace {
std::vector<const CliCommand *> &commands()
{
    static std::vector<const CliCommand *> table;
    return table;
}

void printUsage()
{
    cliErr() << "usage: saldomat-cli COMMAND [ARGS]\n\ncommands:\n";
    auto sorted = commands();
    std::sort(sorted.begin(), sorted.end(), [](auto *a, auto *b) { return qstrcmp(a->usage, b->usage) < 0; });
    for (const CliCommand *c : sorted)
        cliErr() << "  " << c->usage << "\n      " << c->summary << "\n";
    cliErr() << "\nThe program directory is $SALDOMAT_HOME, as for the tray program.\n";
    cliErr().flush();
}
}  // namespace

CliCommand::CliCommand(const char *n, const char *u, const char *s, Run r) : name(n), usage(u), summary(s), run(r)
{
    commands().push_back(this);
}

QTextStream &cliOut()
{
    static QTextStream out(stdout);
    return out;
}

QTextStream &cliErr()
{
    static QTextStream err(stderr);
    return err;
}

int cliFail(const QString &message)
{
    cliErr() << "saldomat-cli: " << message << "\n";
    cliErr().flush();
    return 2;
}

void cliRunUntilDone(const std::function<void(std::function<void()> done)> &start)
{
    bool finished = false;
    start([&finished] {
        finished = true;
        QCoreApplication::quit();
    });
    if (!finished)
        QCoreApplication::exec();
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Saldomat"));
    QStringList args = app.arguments().mid(1);
    if (args.isEmpty() || args.first() == QLatin1String("--help") || args.first() == QLatin1String("-h")) {
        printUsage();
        return args.isEmpty() ? 2 : 0;
    }
    const QString name = args.takeFirst();
    for (const CliCommand *c : commands()) {
        if (name == QLatin1String(c->name)) {
            InitPaths();
            int status = 1;
            try {
                status = c->run(args);
            } catch (const std::exception &e) {
                MainException(e);
                cliErr() << "saldomat-cli: " << failureText(e) << "\n";
                status = 1;
            }
            cliOut().flush();
            cliErr().flush();
            return status;
        }
    }
    printUsage();
    return cliFail(QStringLiteral("unknown command \"%1\"").arg(name));
}
