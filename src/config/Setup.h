#pragma once
// The settings model: what the setup dialog shows and edits. 100 phone rows and
// the general settings. The program state's model (TProgramState::Setup) is the
// live configuration that every part of the program asks; the setup dialog
// edits a copy and assigns it back on "Сохранить".

#include "ConfigLock.h"
#include "IssaUrl.h"
#include "PhoneTable.h"

#include <QString>
#include <array>
#include <cstdint>

// A row's own marking thresholds.
struct TPhoneExSettings {
    bool Individual = false;
    float BalanceLessThen = 0;
    std::int32_t TurnOffLessThen = 0;
    bool operator==(const TPhoneExSettings &) const = default;
};

// One phone row. TrayShow belongs to the tray radio group: change it through
// TSetupModel::SetTrayShow so that at most one row (or the minimum) is shown.
struct TSetupPhoneLine {
    bool Monitor = false;
    bool TrayShow = false;
    QString Number;
    QString Password;  // plain text
    QString Alias;
    QString Region = QString::fromUtf8(DefaultIssaShortName);  // short name of the region
    TPhoneExSettings ExSettings;
    // The password is kept in the system keyring, not in "phones.xml"
    // (Keyring="True" beside an empty Password).
    bool InKeyring = false;
    // Marked so, but its entry has not been read (yet, or it could not be):
    // the empty password is not the real one, and a save leaves the entry
    // and the mark as they are unless a new password was entered.
    bool KeyringUnread = false;
    bool operator==(const TSetupPhoneLine &) const = default;
};

// The refresh-time list of the setup dialog, in hours; the stored value is the index.
inline constexpr int RefreshTimeHours[] = {3, 4, 5, 6, 7, 8, 12, 24};
inline constexpr int RefreshTimeCount = 8;
inline constexpr int DefaultRefreshTimeIndex = 2;  // 5 hours
inline constexpr char DefaultBalanceLessThen[] = "2.5";
inline constexpr char DefaultTurnOffLessThen[] = "2";

// The general settings, named after the controls that show them.
struct TGeneralSettings {
    // "Hint Window": the columns of the hint window and the phones grid.
    bool cbNN = true;
    bool cbLicSchet = false;
    bool cbAlias = true;
    bool cbUserName = false;
    bool cbPhoneNum = true;
    bool cbObPlat = false;
    bool cbAverage = false;
    bool cbTurnOff = true;
    bool cbRecomend = true;
    bool cbSMS = false;
    bool cbMin = false;
    bool cbJeansBalExpired = false;
    bool cbBalDelta = false;
    bool cbLastQueryTime = true;
    // "Mark"
    bool cbMarkIfBalance = true;
    bool cbMarkIfTurnOff = true;
    bool cbNotify = true;  // a desktop notice when a phone becomes marked
    QString edBalanceLessThen = QString::fromLatin1(DefaultBalanceLessThen);
    QString edTurnOffLessThen = QString::fromLatin1(DefaultTurnOffLessThen);
    // "Connection"
    int cbRefreshTime = DefaultRefreshTimeIndex;
    bool cbAutoStart = false;  // mirrors the auto-start entry, not stored in the file
    bool cbExecAfterRun = false;
    bool cbAutoReRquest = true;
    // "Phones": passwords in the system keyring when one answers.
    bool cbKeyring = true;
    bool operator==(const TGeneralSettings &) const = default;
};

class TSetupModel {
public:
    TSetupModel();

    // Rows 1..IssaSlots (rows above MaxPhones stay empty); any other slot throws.
    TSetupPhoneLine &Line(int slot);
    const TSetupPhoneLine &Line(int slot) const;
    // Replaces a row; its TrayShow goes through the tray radio group.
    void SetLine(int slot, const TSetupPhoneLine &line);
    // Empties a row (number, password, alias, ticks; region back to the
    // built-in one); its own thresholds stay.
    void ClearPhoneInfo(int slot);

    TGeneralSettings General;

    // The tray radio group: the rows' tray buttons, "show the minimal balance"
    // and "do not show a balance". Switching one on switches the others off.
    void SetTrayShow(int slot, bool on);
    void SetTrayShowMinimal(bool on);
    void SetTrayNotShow(bool on);
    bool TrayShowMinimal() const { return trayMinimal_; }
    bool TrayNotShow() const;
    int TraySlot() const;  // the row shown in the tray, 0 when none

    int MonitorPhonesCount() const;
    // The first monitored row whose number (password) is empty after trimming
    // blanks: the checks of "Сохранить". 0 when there is none.
    int FirstMonitoredWithoutNumber() const;
    int FirstMonitoredWithoutPassword() const;

    // The common thresholds as numbers (2.5 and 2 when the texts are not numbers).
    float CommonBalanceLessThen() const;
    std::int32_t CommonTurnOffLessThen() const;

    bool operator==(const TSetupModel &) const = default;

    // The proxy password read from the system keyring, used while the
    // settings file marks it as kept there (ProxyKeyring=1).
    QString KeyringProxyPassword;

    // The lock of "phones.xml", taken by LoadPhonesInfoFromXml and given back
    // by SavePhonesInfoToXml (or ReleasePhonesLock, or the model's end): a
    // load, change and save of the phone list is one writer's at a time. A
    // copy of the model holds nothing.
    void ReleasePhonesLock() const { phonesLock_.Release(); }
    TFileLockHold &PhonesLock() const { return phonesLock_; }

private:
    mutable TFileLockHold phonesLock_;
    std::array<TSetupPhoneLine, IssaSlots + 1> lines_;
    bool trayMinimal_ = false;
};

// Characters the number and password fields accept: "+", "-", "0".."9".
bool IsPhoneFieldText(const QString &text);

// Messages of the "Сохранить" checks.
inline constexpr char MsgNumberMissing[] = "Не заполнен номер телефона";
inline constexpr char MsgPasswordMissing[] = "Не заполнен пароль";

struct TProgramState;

// Queries over the state's model and phone table, by slot (1..MaxPhones).
int MonitorPhonesCount(const TProgramState &state);
bool MonitorPhoneEnabled(const TProgramState &state, int slot);
bool ShowTrayChecked(const TProgramState &state, int slot);
// The balance threshold of the slot: the row's own (when Individual) or the common one.
float BalanceThreshold(const TProgramState &state, int slot);
// Balance at or below the slot's BalanceThreshold.
bool NeedMarkBalance(const TProgramState &state, int slot);
// TurnOff not 0 and at or below the row's own or the common threshold.
bool NeedMarkTurnOff(const TProgramState &state, int slot);
QString UserPhone(const TProgramState &state, int slot);
QString Password(const TProgramState &state, int slot);
QString Alias(const TProgramState &state, int slot);
// The row's regional server entry.
TIssaUrlInfo GetIssaUrlByPhoneID(const TProgramState &state, int slot);
