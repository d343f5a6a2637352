// saldomat-cli settings: one key of the settings file "Saldomat.ini". The
// general settings go through the settings model (checked as the setup dialog
// checks them, saved as the dialog saves them); the proxy password is stored
// masked; the window placement sections take numbers.

#include "Cli.h"
#include "IniFile.h"
#include "NumberText.h"
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

int runGet(const QStringList &args)
{
    if (args.size() != 2)
        return cliFail(QStringLiteral("usage: settings get SECTION KEY"));
    const QString &section = args.at(0);
    const QString &key = args.at(1);
    InitConfig();
    if (IsGeneralSettingKey(section, key)) {
        TSetupModel model;
        LoadIniFile(model);
        cliOut() << GeneralSettingText(model, section, key) << '\n';
        return 0;
    }
    if (isDebugKey(section, key)) {
        cliOut() << (IniFile.ReadBool(section, key, false) ? 1 : 0) << '\n';
        return 0;
    }
    if (!IniFile.ValueExists(section, key)) {
        cliErr() << "saldomat-cli: [" << section << "] " << key << " is not set\n";
        return 1;
    }
    cliOut() << IniFile.ReadString(section, key, QString()) << '\n';
    return 0;
}

int runSet(const QStringList &args)
{
    if (args.size() != 3)
        return cliFail(QStringLiteral("usage: settings set SECTION KEY VALUE"));
    const QString &section = args.at(0);
    const QString &key = args.at(1);
    const QString &value = args.at(2);
    InitConfig();
    if (IsGeneralSettingKey(section, key)) {
        TSetupModel model;
        LoadIniFile(model);
        const QString problem = SetGeneralSettingText(model, section, key, value);
        if (!problem.isEmpty())
            return cliFail(problem);
        SaveIniFile(model);
        return 0;
    }
    if (isDebugKey(section, key)) {
        const std::optional<bool> on = TextToBool(value);
        if (!on)
            return cliFail(QStringLiteral("SaveLogFiles takes 1 or 0, not \"%1\"").arg(value));
        IniFile.WriteBool(QStringLiteral("Debug"), QStringLiteral("SaveLogFiles"), *on);
        return 0;
    }
    if (isProxyKey(section, key)) {
        if (value.contains(QLatin1Char('\n')) || value.contains(QLatin1Char('\r')))
            return cliFail(QStringLiteral("%1 must be one line").arg(key));
        if (same(key, "ProxyUserName"))
            SetProxyUserName(value);
        else
            SetProxyPassword(value);
        return 0;
    }
    if (isWindowSection(section)) {
        if (!TextToFloat(value))
            return cliFail(QStringLiteral("[%1] %2 takes a number, not \"%3\"").arg(section, key, value));
        IniFile.WriteString(section, key, value.trimmed());
        return 0;
    }
    return cliFail(QStringLiteral("unknown setting [%1] %2").arg(section, key));
}

int runSettings(const QStringList &args)
{
    if (args.isEmpty())
        return cliFail(QStringLiteral("usage: settings get SECTION KEY | settings set SECTION KEY VALUE"));
    const QString sub = args.first();
    if (sub == QLatin1String("get"))
        return runGet(args.mid(1));
    if (sub == QLatin1String("set"))
        return runSet(args.mid(1));
    return cliFail(QStringLiteral("unknown settings command \"%1\"").arg(sub));
}

CliCommand settingsCommand{"settings", "settings get SECTION KEY | settings set SECTION KEY VALUE",
                           "show or change one key of the settings file (Saldomat.ini)", &runSettings};
}  // namespace
