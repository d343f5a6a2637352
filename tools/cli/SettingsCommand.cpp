// saldomat-cli settings: one key of the settings file "Saldomat.ini". The
// general settings go through the settings model (checked as the setup dialog
// checks them, saved as the dialog saves them); the proxy password is stored
// masked; the window placement sections take numbers.

#include "Cli.h"
#include "CliOutput.h"
#include "ProgramState.h"
#include "Readers.h"
#include "SettingsFile.h"
#include "Setup.h"

namespace {
bool same(const QString &a, const char *b)
{
    return a.compare(QLatin1String(b), Qt::CaseInsensitive) == 0;
}

bool isWindowSection(const QString &section)
{
    return same(section, "History Form") || same(section, "PhonesInfo Form") || same(section, "LoadedPages Form");
}

bool isProxyKey(const QString &section, const QString &key)
{
    return same(section, "Connection") && (same(key, "ProxyUserName") || same(key, "ProxyPassword"));
}

bool isDebugKey(const QString &section, const QString &key)
{
    return same(section, "Debug") && same(key, "SaveLogFiles");
}

// A setting as the user sees it (the refresh period in hours) and as stored.
struct SettingValue {
    QVariant value;
    QString unit;
    QString stored;
};

SettingValue generalValue(const TSetupModel &model, const QString &section, const QString &key)
{
    const QString stored = GeneralSettingText(model, section, key);
    if (same(key, "cbRefreshTime"))
        return {RefreshHours(model), QStringLiteral("hours"), stored};
    return {stored, QString(), stored};
}

QString shownText(const SettingValue &v)
{
    QString text = v.value.toString();
    if (!v.unit.isEmpty())
        text += QLatin1Char(' ') + v.unit;
    if (text != v.stored)
        text += QStringLiteral(" (stored: %1)").arg(v.stored);
    return text;
}

int runList(const QStringList &arguments)
{
    OutputFormat format = OutputFormat::Table;
    if (const QString error = ListCommandFormat(arguments, "settings list", format); !error.isEmpty())
        return cliFail(error);
    TProgramState state(InitPaths());
    TSetupModel &model = state.Setup;
    LoadIniFile(state.IniFile, model);
    OutputRows rows;
    rows.columns = {QStringLiteral("section"), QStringLiteral("key"), QStringLiteral("value"), QStringLiteral("unit"),
                    QStringLiteral("stored")};
    auto add = [&](const QString &section, const QString &key, const SettingValue &v) {
        rows.rows.append({section, key, v.value, v.unit.isEmpty() ? QVariant() : QVariant(v.unit), v.stored});
    };
    for (const auto &[section, key] : GeneralSettingKeys())
        add(section, key, generalValue(model, section, key));
    const QString debug = state.IniFile.ReadBool(QStringLiteral("Debug"), QStringLiteral("SaveLogFiles"), false)
        ? QStringLiteral("1")
        : QStringLiteral("0");
    add(QStringLiteral("Debug"), QStringLiteral("SaveLogFiles"), {debug, QString(), debug});
    add(QStringLiteral("Connection"), QStringLiteral("ProxyUserName"),
        {GetProxyUserName(state), QString(), GetProxyUserName(state)});
    PrintRows(rows, format, [&] {
        QString text;
        for (const QVector<QVariant> &r : rows.rows)
            text += QStringLiteral("[%1] %2 = %3\n")
                        .arg(r[0].toString(), r[1].toString(), shownText({r[2], r[3].toString(), r[4].toString()}));
        return text;
    });
    return 0;
}

int runGet(const QStringList &args)
{
    if (args.size() != 2)
        return cliFail(QStringLiteral("usage: settings get SECTION KEY"));
    const QString &section = args.at(0);
    const QString &key = args.at(1);
    TProgramState state(InitPaths());
    if (IsGeneralSettingKey(section, key)) {
        TSetupModel &model = state.Setup;
        LoadIniFile(state.IniFile, model);
        cliOut() << shownText(generalValue(model, section, key)) << '\n';
        return 0;
    }
    if (isDebugKey(section, key)) {
        cliOut() << (state.IniFile.ReadBool(section, key, false) ? 1 : 0) << '\n';
        return 0;
    }
    if (isProxyKey(section, key) && same(key, "ProxyPassword"))
        return cliFail(QStringLiteral("the proxy password is never shown"));
    if (!state.IniFile.ValueExists(section, key)) {
        cliErr() << "saldomat-cli: [" << section << "] " << key << " is not set\n";
        return 1;
    }
    cliOut() << state.IniFile.ReadString(section, key, QString()) << '\n';
    return 0;
}

int runSet(const QStringList &args)
{
    if (args.size() != 3)
        return cliFail(QStringLiteral("usage: settings set SECTION KEY VALUE"));
    const QString &section = args.at(0);
    const QString &key = args.at(1);
    QString value = args.at(2);
    if (value == QLatin1String("--password-stdin")) {
        if (!isProxyKey(section, key) || !same(key, "ProxyPassword"))
            return cliFail(QStringLiteral("--password-stdin is for [Connection] ProxyPassword"));
        QString error;
        value = ReadSecretLine(&error);
        if (!error.isEmpty())
            return cliFail(error);
    }
    TProgramState state(InitPaths());
    if (IsGeneralSettingKey(section, key)) {
        TSetupModel &model = state.Setup;
        LoadIniFile(state.IniFile, model);
        const QString problem = SetGeneralSettingText(model, section, key, value);
        if (!problem.isEmpty())
            return cliFail(problem);
        SaveIniFile(state.IniFile, model);
        return 0;
    }
    if (isDebugKey(section, key)) {
        const std::optional<bool> on = TextToBool(value);
        if (!on)
            return cliFail(QStringLiteral("SaveLogFiles takes 1 or 0, not \"%1\"").arg(value));
        state.IniFile.WriteBool(QStringLiteral("Debug"), QStringLiteral("SaveLogFiles"), *on);
        return 0;
    }
    if (isProxyKey(section, key)) {
        if (value.contains(QLatin1Char('\n')) || value.contains(QLatin1Char('\r')))
            return cliFail(QStringLiteral("%1 must be one line").arg(key));
        if (same(key, "ProxyUserName"))
            SetProxyUserName(state, value);
        else
            SetProxyPassword(state, value);
        return 0;
    }
    if (isWindowSection(section)) {
        if (!TextToFloat(value))
            return cliFail(QStringLiteral("[%1] %2 takes a number, not \"%3\"").arg(section, key, value));
        state.IniFile.WriteString(section, key, value.trimmed());
        return 0;
    }
    return cliFail(QStringLiteral("unknown setting [%1] %2").arg(section, key));
}

int runSettings(const QStringList &args)
{
    if (args.isEmpty())
        return cliFail(
            QStringLiteral("usage: settings list | settings get SECTION KEY | settings set SECTION KEY VALUE"));
    const QString sub = args.first();
    if (sub == QLatin1String("list"))
        return runList(args.mid(1));
    if (sub == QLatin1String("get"))
        return runGet(args.mid(1));
    if (sub == QLatin1String("set"))
        return runSet(args.mid(1));
    return cliFail(QStringLiteral("unknown settings command \"%1\"").arg(sub));
}

CliCommand settingsCommand{"settings",
                           "settings list [--format table|json|csv] | settings get SECTION KEY | "
                           "settings set SECTION KEY VALUE",
                           "show or change the settings file (Saldomat.ini)",
                           "list and get show values as the setup dialog does (the refresh period in hours), with "
                           "the stored value beside it where that differs: \"5 hours (stored: 2)\".\n"
                           "set takes the stored form: [Connection] cbRefreshTime is an index 0..7 of the list "
                           "3, 4, 5, 6, 7, 8, 12, 24 hours.\n"
                           "settings set Connection ProxyPassword --password-stdin reads the proxy password from "
                           "standard input; the proxy password is never printed.",
                           &runSettings};
}  // namespace
