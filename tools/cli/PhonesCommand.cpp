// saldomat-cli phones: the phone rows of "phones.xml", changed through the same
// model code as the setup dialog.

#include "Cli.h"
#include "CliOutput.h"
#include "CliPhone.h"
#include "Common.h"
#include "IssaUrl.h"
#include "Passw.h"
#include "PasswordVault.h"
#include "PhoneNumber.h"
#include "PhonesXml.h"
#include "ProgramState.h"
#include "Readers.h"
#include "SettingsFile.h"
#include "Setup.h"

#include <QFile>

namespace {
QString yesNo(bool value)
{
    return value ? QStringLiteral("yes") : QStringLiteral("no");
}

// Loads the rows. A file with a bad element fails the load; one that is not a
// phone list at all loads as empty: writing commands refuse both, so that a
// file the user may still repair is never saved over.
bool loadModel(TProgramState &state, bool forWriting)
{
    TSetupModel &model = state.Setup;
    const QString &phonesXml = state.Paths.PhonesXmlFileName;
    const TPhonesXmlState loaded = LoadPhonesInfoFromXml(model, phonesXml, MaxPhones);
    if (forWriting && loaded == TPhonesXmlState::Malformed) {
        cliErr() << "saldomat-cli: \"" << phonesXml << "\" is not a readable phone list; repair or remove it first\n";
        return false;
    }
    // The rows are saved again whole: the passwords kept in the keyring too.
    if (forWriting) {
        TPasswordVault vault(state);
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
int checkAndSave(TProgramState &state)
{
    const TSetupModel &model = state.Setup;
    if (const int slot = model.FirstMonitoredWithoutNumber())
        return cliFail(QStringLiteral("%1 (slot %2)").arg(QString::fromUtf8(MsgNumberMissing)).arg(slot));
    if (const int slot = model.FirstMonitoredWithoutPassword())
        return cliFail(QStringLiteral("%1 (slot %2)").arg(QString::fromUtf8(MsgPasswordMissing)).arg(slot));
    // As the setup dialog saves: into the keyring when the settings say so
    // and one answers, else masked.
    const bool useKeyring = KeyringWanted(state.IniFile);
    TPasswordVault vault(state);
    QString error;
    cliRunUntilDone([&](std::function<void()> done) {
        vault.SavePhones(model, state.Paths.PhonesXmlFileName, MaxPhones, useKeyring,
                         [&error, done](const TSetupModel &, const QString &e) { error = e, done(); });
    });
    if (!error.isEmpty()) {
        cliErr() << "saldomat-cli: " << error << "\n";
        return 1;
    }
    return 0;
}

int runList(const QStringList &arguments)
{
    OutputFormat format = OutputFormat::Table;
    if (const QString error = ListCommandFormat(arguments, "phones list", format); !error.isEmpty())
        return cliFail(error);
    TProgramState state(InitPaths());
    const TSetupModel &model = state.Setup;
    loadModel(state, false);
    OutputRows rows;
    rows.columns = {QStringLiteral("slot"),   QStringLiteral("number"),  QStringLiteral("alias"),
                    QStringLiteral("region"), QStringLiteral("monitor"), QStringLiteral("tray")};
    for (int slot = 1; slot <= MaxPhones; ++slot) {
        const TSetupPhoneLine &line = model.Line(slot);
        if (!TrimControls(line.Number).isEmpty())
            rows.rows.append({slot, line.Number, line.Alias, line.Region, line.Monitor, line.TrayShow});
    }
    PrintRows(rows, format, [&] {
        QString text = QStringLiteral("slot\tnumber\talias\tregion\tmonitor\ttray\n");
        for (const QVector<QVariant> &r : rows.rows)
            text += QStringLiteral("%1\t%2\t%3\t%4\t%5\t%6\n")
                        .arg(r[0].toInt())
                        .arg(r[1].toString(), r[2].toString(), r[3].toString(), yesNo(r[4].toBool()),
                             yesNo(r[5].toBool()));
        return text;
    });
    return 0;
}

int runSet(const QStringList &args)
{
    if (args.isEmpty())
        return cliFail(
            QStringLiteral("usage: phones set PHONE [--number N] [--password-stdin] [--alias A] [--region R] "
                           "[--monitor yes|no] [--tray yes|no]"));

    std::optional<QString> number, password, alias, region;
    std::optional<bool> monitor, tray;
    for (int i = 1; i < args.size(); i += 2) {
        const QString &option = args.at(i);
        if (option == QLatin1String("--password-stdin")) {
            QString error;
            password = ReadSecretLine(&error);
            if (!error.isEmpty())
                return cliFail(error);
            --i;
            continue;
        }
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
            const std::optional<bool> b = TextToBool(value);
            if (!b)
                return cliFail(QStringLiteral("%1 takes yes or no, not \"%2\"").arg(option, value));
            (option == QLatin1String("--monitor") ? monitor : tray) = b;
        } else {
            return cliFail(QStringLiteral("unknown option \"%1\"").arg(option));
        }
    }
    if (number) {
        if (TrimControls(*number).isEmpty())
            return cliFail(QStringLiteral("the number must not be empty (use \"phones remove\" to empty a slot)"));
        const std::optional<QString> digits = NormalizePhoneNumber(*number);
        if (!digits)
            return cliFail(PhoneNumberProblem(*number));
        number = *digits;
    }
    if (password) {
        if (password->size() > PasswMaxLength)
            return cliFail(QStringLiteral("the password is longer than %1 characters").arg(PasswMaxLength));
        if (!IsPhoneFieldText(*password))
            return cliFail(QStringLiteral("the password may hold only digits, \"+\" and \"-\""));
    }
    if (alias && (alias->contains(QLatin1Char('\n')) || alias->contains(QLatin1Char('\r'))))
        return cliFail(QStringLiteral("the alias must be one line"));

    TProgramState state(InitPaths());
    TSetupModel &model = state.Setup;
    if (!loadModel(state, true))
        return CliFileError;
    QString notFound;
    const int slot = FindPhone(model, args.first(), true, &notFound);
    if (!slot)
        return cliFail(notFound);
    if (region) {
        const TIssaUrlInfo info = GetIssaUrlByShortName(state.ServersIni, *region);
        if (info.LoginURL.isEmpty())
            return cliFail(QStringLiteral("unknown region \"%1\" (see \"regions list\")").arg(*region));
        region = info.ShortName.compare(DefaultIssaUrl().ShortName, Qt::CaseInsensitive) == 0
            ? DefaultIssaUrl().ShortName
            : state.ServersIni.ReadString(info.LongName, QStringLiteral("ShortName"), *region);
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
        LoadIniFile(state.IniFile, model);
        model.SetTrayShow(slot, true);
    }
    if (const int status = checkAndSave(state))
        return status;
    if (trayChanged)
        SaveIniFile(state.IniFile, model);
    const int landed = slotAfterSave(model, slot);
    if (landed != slot)
        cliOut() << "saved; empty slots before it are closed up, so the phone is now in slot " << landed << "\n";
    return 0;
}

int runRemove(const QStringList &args)
{
    if (args.size() != 1)
        return cliFail(QStringLiteral("usage: phones remove PHONE"));
    TProgramState state(InitPaths());
    TSetupModel &model = state.Setup;
    if (!loadModel(state, true))
        return CliFileError;
    QString notFound;
    const int slot = FindPhone(model, args.first(), false, &notFound);
    if (!slot)
        return cliFail(notFound);
    const TSetupModel before = model;
    model.ClearPhoneInfo(slot);
    model.Line(slot).ExSettings = TPhoneExSettings{};
    if (const int status = checkAndSave(state))
        return status;
    // The phone list keeps no gaps: every later phone moves up one slot.
    cliOut() << "removed " << before.Line(slot).Number << " from slot " << slot << "\n";
    for (int s = slot + 1; s <= MaxPhones; ++s) {
        const int landed = slotAfterSave(model, s);
        if (!TrimControls(before.Line(s).Number).isEmpty() && landed != s)
            cliOut() << before.Line(s).Number << " moved from slot " << s << " to slot " << landed << "\n";
    }
    return 0;
}

int runPhones(const QStringList &args)
{
    if (args.isEmpty())
        return cliFail(QStringLiteral("usage: phones list | phones set PHONE [options] | phones remove PHONE"));
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
                         "phones list [--format table|json|csv] | phones set PHONE [--number N] [--password-stdin] "
                         "[--alias A] [--region R] [--monitor yes|no] [--tray yes|no] | phones remove PHONE",
                         "show or change the watched phones (phones.xml)",
                         "PHONE is a slot (1..100; an empty one for a new phone), a number or an alias.\n"
                         "--number N        the number; +7, 8, blanks, brackets and dashes are taken off: "
                         "\"+7 (916) 123-45-67\" is stored as 9161234567; anything but ten digits is refused\n"
                         "--password-stdin  read the ISSA password from the first line of standard input\n"
                         "--password P      the same from the command line (discouraged: visible to other users "
                         "in the process list and kept in the shell history)\n"
                         "--region R        the short name of a region (see regions list)\n"
                         "remove: the phone list keeps no gaps, so every later phone moves up one slot; "
                         "the command prints each move.",
                         &runPhones};
}  // namespace
