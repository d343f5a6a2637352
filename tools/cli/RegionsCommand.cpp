// saldomat-cli regions: the regional ISSA servers of "servers.ini".

#include "Cli.h"
#include "CliOutput.h"
#include "Common.h"
#include "IniFile.h"
#include "IssaUrl.h"
#include "SettingsFile.h"

namespace {
int runList(const QStringList &arguments)
{
    OutputFormat format = OutputFormat::Table;
    if (const QString error = ListCommandFormat(arguments, "regions list", format); !error.isEmpty())
        return cliFail(error);
    TIniFile servers(InitPaths().ServersIniFileName);
    OutputRows rows;
    rows.columns = {QStringLiteral("name"), QStringLiteral("short"), QStringLiteral("url")};
    for (const QString &longName : IssaLongNames(servers)) {
        TIssaUrlInfo info;
        if (IssaUrlByLongName(servers, longName, info))
            rows.rows.append({info.LongName, info.ShortName, info.LoginURL});
    }
    PrintRows(rows, format, [&] {
        QString text = QStringLiteral("name\tshort\turl\n");
        for (const QVector<QVariant> &r : rows.rows)
            text += r[0].toString() + QLatin1Char('\t') + r[1].toString() + QLatin1Char('\t') + r[2].toString()
                + QLatin1Char('\n');
        return text;
    });
    return 0;
}

int runAdd(const QStringList &args)
{
    if (args.size() != 3)
        return cliFail(QStringLiteral("usage: regions add LONGNAME SHORTNAME URL"));
    TIniFile servers(InitPaths().ServersIniFileName);
    const QString &longName = args.at(0);
    const QString &shortName = args.at(1);
    const QString &url = args.at(2);
    const QString problem = CheckIssaUrlEntry(servers, longName, url, shortName);
    if (!problem.isEmpty())
        return cliFail(problem);
    AddIssaUrl(servers, longName, shortName, url);
    cliOut() << longName << '\t' << shortName << '\t' << CorrectLoginUrl(url) << '\n';
    return 0;
}

int runRegions(const QStringList &args)
{
    if (args.isEmpty())
        return cliFail(QStringLiteral("usage: regions list | regions add LONGNAME SHORTNAME URL"));
    const QString sub = args.first();
    if (sub == QLatin1String("list"))
        return runList(args.mid(1));
    if (sub == QLatin1String("add"))
        return runAdd(args.mid(1));
    return cliFail(QStringLiteral("unknown regions command \"%1\"").arg(sub));
}

CliCommand regionsCommand{"regions", "regions list [--format table|json|csv] | regions add LONGNAME SHORTNAME URL",
                          "show or add the regional ISSA servers (servers.ini)",
                          "SHORTNAME is what \"phones set --region\" takes; URL is the login address.", &runRegions};
}  // namespace
