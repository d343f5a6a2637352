#include "CliHelp.h"

#include "Common.h"

#include <algorithm>

namespace {
constexpr char kDescription[]
    = "saldomat-cli does what the tray program Saldomat does, without a display: it queries the balances of the "
      "watched phones, keeps and shows their history, exports workbooks and edits the phone list and the settings. "
      "It uses the same files as the tray program, in the program directory: $SALDOMAT_HOME when set, else the "
      "program's own folder when it can be written, else ~/.local/share/saldomat/.";

constexpr char kFormats[]
    = "--format table|json|csv (query, history show, phones list, regions list, settings list): table is for "
      "people; json is one array of objects, numbers as numbers, null where there is no value; csv has a header "
      "row and is UTF-8. Passwords are never printed.";

constexpr char kPasswords[]
    = "Passwords: give them with --password-stdin (one line on standard input). A password given as an argument "
      "works too, but other users can see it in the process list and it stays in the shell history.";

const std::pair<int, const char *> kStatuses[] = {
    {CliOk, "done; every queried phone answered"},
    {CliSomeFailed, "some phone failed (or nothing was found to show or export)"},
    {CliUsage, "the command line is wrong"},
    {CliFileError, "a configuration or file problem (unreadable file, refused export target, history error)"},
};

std::vector<const CliCommand *> sorted(std::vector<const CliCommand *> commands)
{
    std::sort(commands.begin(), commands.end(), [](auto *a, auto *b) { return qstrcmp(a->name, b->name) < 0; });
    return commands;
}

QString manEscape(QString text)
{
    text.replace(QLatin1Char('\\'), QStringLiteral("\\e"));
    text.replace(QLatin1Char('-'), QStringLiteral("\\-"));
    QStringList lines = text.split(QLatin1Char('\n'));
    for (QString &line : lines)
        if (line.startsWith(QLatin1Char('.')) || line.startsWith(QLatin1Char('\'')))
            line.prepend(QStringLiteral("\\&"));
    return lines.join(QLatin1Char('\n'));
}
}  // namespace

QString CliUsageLine()
{
    return QStringLiteral("usage: saldomat-cli COMMAND [ARGS]   (saldomat-cli --help lists the commands)\n");
}

QString CliHelpText(const std::vector<const CliCommand *> &commands)
{
    QString text = QStringLiteral("usage: saldomat-cli COMMAND [ARGS]\n"
                                  "       saldomat-cli help COMMAND | COMMAND --help | --help | --version\n\n");
    text += QString::fromUtf8(kDescription) + QStringLiteral("\n\ncommands:\n");
    for (const CliCommand *c : sorted(commands))
        text += QStringLiteral("  %1\n      %2\n").arg(QString::fromUtf8(c->usage), QString::fromUtf8(c->summary));
    text += QStringLiteral("\n") + QString::fromUtf8(kFormats) + QStringLiteral("\n\n") + QString::fromUtf8(kPasswords);
    text += QStringLiteral("\n\nexit status:\n");
    for (const auto &[status, meaning] : kStatuses)
        text += QStringLiteral("  %1  %2\n").arg(status).arg(QString::fromUtf8(meaning));
    return text;
}

QString CliCommandHelp(const CliCommand &c)
{
    QString text = QStringLiteral("usage: saldomat-cli %1\n\n%2\n")
                       .arg(QString::fromUtf8(c.usage), QString::fromUtf8(c.summary));
    if (c.details && *c.details)
        text += QStringLiteral("\n") + QString::fromUtf8(c.details) + QStringLiteral("\n");
    text += QStringLiteral("\nexit status: ");
    QStringList parts;
    for (const auto &[status, meaning] : kStatuses)
        parts << QStringLiteral("%1 %2").arg(status).arg(QString::fromUtf8(meaning));
    return text + parts.join(QStringLiteral("; ")) + QStringLiteral("\n");
}

QString CliManPage(const std::vector<const CliCommand *> &commands)
{
    QString man = QStringLiteral(".TH SALDOMAT-CLI 1 \"\" \"Saldomat %1\" \"User Commands\"\n")
                      .arg(QString::fromLatin1(ProgramVersion));
    man += QStringLiteral(".SH NAME\nsaldomat\\-cli \\- query and keep phone balances without a display\n");
    man += QStringLiteral(".SH SYNOPSIS\n.B saldomat\\-cli\n.I COMMAND\n[\\fIARGS\\fR]\n");
    man += QStringLiteral(".SH DESCRIPTION\n") + manEscape(QString::fromUtf8(kDescription)) + QStringLiteral("\n");
    man += QStringLiteral(".SH COMMANDS\n");
    for (const CliCommand *c : sorted(commands)) {
        man += QStringLiteral(".TP\n.B ") + manEscape(QString::fromUtf8(c->usage)) + QStringLiteral("\n")
            + manEscape(QString::fromUtf8(c->summary)) + QStringLiteral("\n");
        if (c->details && *c->details)
            man += QStringLiteral(".br\n")
                + manEscape(QString::fromUtf8(c->details)).replace(QLatin1Char('\n'), QStringLiteral("\n.br\n"))
                + QStringLiteral("\n");
    }
    man += QStringLiteral(".SH OUTPUT\n") + manEscape(QString::fromUtf8(kFormats)) + QStringLiteral("\n");
    man += QStringLiteral(".SH PASSWORDS\n") + manEscape(QString::fromUtf8(kPasswords)) + QStringLiteral("\n");
    man += QStringLiteral(".SH EXIT STATUS\n");
    for (const auto &[status, meaning] : kStatuses)
        man += QStringLiteral(".TP\n.B %1\n%2\n").arg(status).arg(manEscape(QString::fromUtf8(meaning)));
    man += QStringLiteral(".SH SEE ALSO\n.BR saldomat (1),\n.BR systemctl (1)\n");
    return man;
}
