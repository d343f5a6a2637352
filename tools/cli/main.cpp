#include "Cli.h"
#include "CliHelp.h"

#include "Common.h"
#include "Failure.h"

#include <QCoreApplication>
#include <QFile>
#include <cstdio>
#include <vector>

namespace {
std::vector<const CliCommand *> &commands()
{
    static std::vector<const CliCommand *> table;
    return table;
}

const CliCommand *findCommand(const QString &name)
{
    for (const CliCommand *c : commands())
        if (name == QLatin1String(c->name))
            return c;
    return nullptr;
}

bool isHelpWord(const QString &word)
{
    return word == QLatin1String("--help") || word == QLatin1String("-h");
}
}  // namespace

CliCommand::CliCommand(const char *n, const char *u, const char *s, const char *d, Run r)
    : name(n), usage(u), summary(s), details(d), run(r)
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
    return CliUsage;
}

int cliFileFail(const QString &message)
{
    cliErr() << "saldomat-cli: " << message << "\n";
    cliErr().flush();
    return CliFileError;
}

QString ReadSecretLine(QString *error)
{
    QFile in;
    if (!in.open(stdin, QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read standard input");
        return QString();
    }
    QByteArray line = in.readLine(4096);
    if (line.isEmpty()) {
        *error = QStringLiteral("--password-stdin: standard input is empty");
        return QString();
    }
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    return QString::fromUtf8(line);
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
    QCoreApplication::setApplicationVersion(QString::fromLatin1(ProgramVersion));
    QStringList args = app.arguments().mid(1);
    const std::vector<const CliCommand *> &table = commands();

    if (args.isEmpty()) {
        cliErr() << CliHelpText(table);
        return CliUsage;
    }
    const QString name = args.takeFirst();
    if (isHelpWord(name)) {
        cliOut() << CliHelpText(table);
        return CliOk;
    }
    if (name == QLatin1String("--version")) {
        cliOut() << "saldomat-cli " << ProgramVersion << "\n";
        return CliOk;
    }
    if (name == QLatin1String("--man")) {  // the manual page, made at build time
        cliOut() << CliManPage(table);
        return CliOk;
    }
    if (name == QLatin1String("help")) {
        if (args.isEmpty()) {
            cliOut() << CliHelpText(table);
            return CliOk;
        }
        if (const CliCommand *c = findCommand(args.first())) {
            cliOut() << CliCommandHelp(*c);
            return CliOk;
        }
        return cliFail(QStringLiteral("no command \"%1\" (see saldomat-cli --help)").arg(args.first()));
    }
    const CliCommand *c = findCommand(name);
    if (!c) {
        cliErr() << CliUsageLine();
        return cliFail(QStringLiteral("unknown command \"%1\" (see saldomat-cli --help)").arg(name));
    }
    if (args.contains(QStringLiteral("--help")) || (!args.isEmpty() && args.first() == QLatin1String("-h"))) {
        cliOut() << CliCommandHelp(*c);
        return CliOk;
    }
    int status = CliFileError;
    try {
        status = c->run(args);
    } catch (const std::exception &e) {
        MainException(e);
        cliErr() << "saldomat-cli: " << failureText(e) << "\n";
        status = CliFileError;
    }
    cliOut().flush();
    cliErr().flush();
    return status;
}
