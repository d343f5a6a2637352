#pragma once
// The settings file "Saldomat.ini": the general settings of the
// model, the proxy logon, the program path record, and the start-up of the
// configuration shared by the tray program and saldomat-cli.

#include "Setup.h"

#include <QList>
#include <QPair>
#include <QString>
#include <cstdint>

class TIniFile;
struct TProgramState;

// Reads the settings file into the model's general settings, repairing
// unreadable thresholds ("2.5", "2") and refresh indexes (2); the auto-start
// tick comes from GetAutoStart(); a stored "show the minimal balance" switches
// the rows' tray buttons off.
void LoadIniFile(const TIniFile &iniFile, TSetupModel &model);
// Writes the general settings in one atomic rewrite (keys in their fixed
// order), sets the auto-start entry from the tick when it differs from the
// entry, keeps Debug/SaveLogFiles.
// A failure leaves the file as it was.
void SaveIniFile(TIniFile &iniFile, const TSetupModel &model);
// What the program writes at exit: only the general settings that differ
// between the model and the model as it was loaded (keys another program
// changed meanwhile stay), the auto-start entry only when its tick differs.
// Nothing changed: the file and the entry are not touched.
void SaveChangedSettings(TIniFile &iniFile, const TSetupModel &model, const TSetupModel &loaded);
// The keyring tick alone, as the settings file holds it (no other key read).
bool KeyringWanted(const TIniFile &iniFile);

// The request timer's interval for the selected refresh time (5 hours when the
// index is outside the list).
std::int64_t RequestIntervalMs(const TSetupModel &model);
int RefreshHours(const TSetupModel &model);

// Records where the program is installed: QSettings "Zelkor"/"Saldomat", value
// "ProgramPath", quoted when the path contains a blank.
void SaveProgramPathToRegistry(const QString &programPath = QString());

// Section "Connection": the proxy logon.
QString GetProxyUserName(const TProgramState &state);
// Empty when there is no user name or no stored password; a stored password
// that cannot be decoded throws.
QString GetProxyPassword(const TProgramState &state);
// The stored password whether or not there is a user name (the proxy dialog
// shows it); empty when none is stored, throws when it cannot be decoded.
// Kept in the keyring: the model's KeyringProxyPassword.
QString StoredProxyPassword(const TProgramState &state);
// The proxy dialog's "OK": both trimmed, the password stored masked (empty
// when empty), written at once. inKeyring: the password has been written to
// the system keyring; the file keeps an empty ProxyPassword and
// ProxyKeyring=1, and the model's KeyringProxyPassword takes it.
void SetProxyCredentials(TProgramState &state, const QString &userName, const QString &password,
                         bool inKeyring = false);
// One of the two alone, the same way.
void SetProxyUserName(TProgramState &state, const QString &userName);
void SetProxyPassword(TProgramState &state, const QString &password, bool inKeyring = false);
// Whether the settings file marks the proxy password as kept in the keyring.
bool ProxyPasswordInKeyring(const TProgramState &state);

// Whether a general setting with this section and key exists (letter case
// ignored), and its stored text in a model.
bool IsGeneralSettingKey(const QString &section, const QString &key);
// Every general setting as (section, key), in the order of the file.
QList<QPair<QString, QString>> GeneralSettingKeys();
QString GeneralSettingText(const TSetupModel &model, const QString &section, const QString &key);
// Sets a general setting from text as the dialog's control would take it;
// returns an error message (nothing changed) when the text does not fit the
// key: booleans "1"/"0"/"yes"/"no"/"true"/"false", cbRefreshTime an index
// 0..7, edBalanceLessThen a number, edTurnOffLessThen an integer.
QString SetGeneralSettingText(TSetupModel &model, const QString &section, const QString &key, const QString &value);
