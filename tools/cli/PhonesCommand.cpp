// saldomat-cli phones: the phone rows of "phones.xml", changed through the same
// model code as the setup dialog.

#include "Cli.h"
#include "Common.h"
#include "IniFile.h"
#include "IssaUrl.h"
#include "Passw.h"
#include "PasswordVault.h"
#include "PhonesXml.h"
#include "SettingsFile.h"
#include "Setup.h"

#include <QFile>

namespace {
QString yesNo(bool value)
{
    return value ? QStringLiteral("yes") : QStringLiteral("no");
}

// 1..MaxPhones, or 0 after printing the reason.
int parseSlot(const QString &text)
{
    bool ok = false;
    const int slot = text.toInt(&ok);
    return ok && slot >= 1 && slot <= MaxPhones ? slot : 0;
}

std::optional<bool> parseYesNo(const QString &text)
{
    if (text == QLatin1String("yes"))
        return true;
    if (text == QLatin1String("no"))
        return false;
    return std::nullopt;
}

// Loads the rows. A file with a bad element fails the load; one that is not a
// phone list at all loads as empty: writing commands refuse both, so that a
// file the user may still repair is never saved over.
bool loadModel(TSetupModel &model, bool forWriting)
{
    InitConfig();
    const TPhonesXmlState state = LoadPhonesInfoFromXml(model, PhonesXmlFileName, MaxPhones);
    if (forWriting && state == TPhonesXmlState::Malformed) {
        cliErr() << "saldomat-cli: \"" << PhonesXmlFileName
                 << "\" is not a readable phone list; repair or remove it first\n";
        return false;
    }
    // The rows are saved again whole: the passwords kept in the keyring too.
    if (forWriting) {
        TPasswordVault vault;
        cliRunUntilDone([&](std::function<void()> done) { vault.Load(model, done); });
    }
    return true;
}

// Where a row with a number lands after saving (rows without one are dropped).
int slotAfterSave(const TSetupModel &model, int slot)
{
    int position = 0;
    for (int s = 1; s <= slot; ++s)
        if (!TrimControls(model.Line(s).Number).isEmpty())
            ++position;
    return position;
}

// The checks of "Сохранить", then the save.
int checkAndSave(const TSetupModel &model)
{
    if (const int slot = model.FirstMonitoredWithoutNumber())
        return cliFail(QStringLiteral("%1 (slot %2)").arg(QString::fromUtf8(MsgNumberMissing)).arg(slot));
    if (const int slot = model.FirstMonitoredWithoutPassword())
        return cliFail(QStringLiteral("%1 (slot %2)").arg(QString::fromUtf8(MsgPasswordMissing)).arg(slot));
    // As the setup dialog saves: into the keyring when the settings say so
    // and one answers, else masked.
    TSetupModel settings;
    LoadIniFile(settings);
    TPasswordVault vault;
    QString error;
    cliRunUntilDone([&](std::function<void()> done) {
        vault.SavePhones(model, PhonesXmlFileName, MaxPhones, settings.General.cbKeyring,
                         [&error, done](const TSetupModel &, const QString &e) { error = e, done(); });
    });
    if (!error.isEmpty()) {
        cliErr() << "saldomat-cli: " << error << "\n";
        return 1;
    }
    return 0;
}

int runList(const QStringList &args)
{
    if (!args.isEmpty())
        return cliFail(QStringLiteral("phones list takes no arguments"));
    TSetupModel model;
    loadModel(model, false);
    cliOut() << "slot\tnumber\talias\tregion\tmonitor\ttray\n";
    for (int slot = 1; slot <= MaxPhones; ++slot) {
        const TSetupPhoneLine &line = model.Line(slot);
        if (TrimControls(line.Number).isEmpty())
            continue;
        cliOut() << slot << '\t' << line.Number << '\t' << line.Alias << '\t' << line.Region << '\t' << yesNo(line.Monitor)
                 << '\t' << yesNo(line.TrayShow) << '\n';
    }
    return 0;
}

int runSet(const QStringList &args)
{
    if (args.isEmpty())
        return cliFail(QStringLiteral("usage: phones set SLOT [--number N] [--password P] [--alias A] [--region R] "
                                      "[--monitor yes|no] [--tray yes|no]"));
    const int slot = parseSlot(args.first());
    if (!slot)
        return cliFail(QStringLiteral("slot must be a number from 1 to %1, not \"%2\"").arg(MaxPhones).arg(args.first()));

    std::optional<QString> number, password, alias, region;
    std::optional<bool> monitor, tray;
    for (int i = 1; i < args.size(); i += 2) {
        const QString &option = args.at(i);
        if (i + 1 >= args.size())
            return cliFail(QStringLiteral("%1 needs a value").arg(option));
        const QString &value = args.at(i + 1);
        if (option == QLatin1String("--number")) {
            number = value;
        } else if (option == QLatin1String("--password")) {
            password = value;
        } else if (option == QLatin1String("--alias")) {
            alias = value;
        } else if (option == QLatin1String("--region")) {
            region = value;
        } else if (option == QLatin1String("--monitor") || option == QLatin1String("--tray")) {
            const std::optional<bool> b = parseYesNo(value);
            if (!b)
                return cliFail(QStringLiteral("%1 takes yes or no, not \"%2\"").arg(option, value));
            (option == QLatin1String("--monitor") ? monitor : tray) = b;
        } else {
            return cliFail(QStringLiteral("unknown option \"%1\"").arg(option));
        }
    }
    if (number && (TrimControls(*number).isEmpty() || !IsPhoneFieldText(*number)))
        return cliFail(QStringLiteral("the number may hold only digits, \"+\" and \"-\" and must not be empty "
                                      "(use \"phones remove\" to empty a slot)"));
    if (password) {
        if (password->size() > PasswMaxLength)
            return cliFail(QStringLiteral("the password is longer than %1 characters").arg(PasswMaxLength));
        if (!IsPhoneFieldText(*password))
            return cliFail(QStringLiteral("the password may hold only digits, \"+\" and \"-\""));
    }
    if (alias && (alias->contains(QLatin1Char('\n')) || alias->contains(QLatin1Char('\r'))))
        return cliFail(QStringLiteral("the alias must be one line"));

    TSetupModel model;
    if (!loadModel(model, true))
        return 1;
    if (region) {
        const TIssaUrlInfo info = GetIssaUrlByShortName(*region);
        if (info.LoginURL.isEmpty())
            return cliFail(QStringLiteral("unknown region \"%1\" (see \"regions list\")").arg(*region));
        region = info.ShortName.compare(DefaultIssaUrl().ShortName, Qt::CaseInsensitive) == 0
                     ? DefaultIssaUrl().ShortName
                     : ServersIni.ReadString(info.LongName, QStringLiteral("ShortName"), *region);
    }

    TSetupPhoneLine line = model.Line(slot);
    if (!number && TrimControls(line.Number).isEmpty())
        return cliFail(QStringLiteral("slot %1 is empty: give its --number").arg(slot));
    if (number)
        line.Number = *number;
    if (password)
        line.Password = *password;
    if (alias)
        line.Alias = *alias;
    if (region)
        line.Region = *region;
    if (monitor)
        line.Monitor = *monitor;
    model.SetLine(slot, line);
    if (tray)
        model.SetTrayShow(slot, *tray);

    // The tray choice spans both files: a row shown in the tray switches the
    // stored "show the minimal balance" off.
    const bool trayChanged = tray && *tray;
    if (trayChanged) {
        LoadIniFile(model);
        model.SetTrayShow(slot, true);
    }
    if (const int status = checkAndSave(model))
        return status;
    if (trayChanged)
        SaveIniFile(model);
    const int landed = slotAfterSave(model, slot);
    if (landed != slot)
        cliOut() << "saved; empty slots before it are closed up, so the phone is now in slot " << landed << "\n";
    return 0;
}

int runRemove(const QStringList &args)
{
    if (args.size() != 1)
        return cliFail(QStringLiteral("usage: phones remove SLOT"));
    const int slot = parseSlot(args.first());
    if (!slot)
        return cliFail(QStringLiteral("slot must be a number from 1 to %1, not \"%2\"").arg(MaxPhones).arg(args.first()));
    TSetupModel model;
    if (!loadModel(model, true))
        return 1;
    if (TrimControls(model.Line(slot).Number).isEmpty())
        return cliFail(QStringLiteral("slot %1 is empty").arg(slot));
    model.ClearPhoneInfo(slot);
    model.Line(slot).ExSettings = TPhoneExSettings{};
    return checkAndSave(model);
}

int runPhones(const QStringList &args)
{
    if (args.isEmpty())
        return cliFail(QStringLiteral("usage: phones list | phones set SLOT [options] | phones remove SLOT"));
    const QString sub = args.first();
    const QStringList rest = args.mid(1);
    if (sub == QLatin1String("list"))
        return runList(rest);
    if (sub == QLatin1String("set"))
        return runSet(rest);
    if (sub == QLatin1String("remove"))
        return runRemove(rest);
    return cliFail(QStringLiteral("unknown phones command \"%1\"").arg(sub));
}

CliCommand phonesCommand{"phones",
                         "phones list | phones set SLOT [--number N] [--password P] [--alias A] [--region R] "
                         "[--monitor yes|no] [--tray yes|no] | phones remove SLOT",
                         "show or change the watched phones (phones.xml)", &runPhones};
}  // namespace
