#include "Setup.h"

#include "Failure.h"
#include "ProgramState.h"
#include "Readers.h"

namespace {
void checkSlot(int slot)
{
    if (slot < 1 || slot > IssaSlots)
        throw SaldomatError(QStringLiteral("Неверный номер телефона в списке: %1").arg(slot));
}
}  // namespace

bool IsPhoneFieldText(const QString &text)
{
    for (QChar c : text)
        if (!(c == QLatin1Char('+') || c == QLatin1Char('-') || (c >= QLatin1Char('0') && c <= QLatin1Char('9'))))
            return false;
    return true;
}

TSetupModel::TSetupModel() = default;

TSetupPhoneLine &TSetupModel::Line(int slot)
{
    checkSlot(slot);
    return lines_[slot];
}

const TSetupPhoneLine &TSetupModel::Line(int slot) const
{
    checkSlot(slot);
    return lines_[slot];
}

void TSetupModel::SetLine(int slot, const TSetupPhoneLine &line)
{
    checkSlot(slot);
    const bool tray = line.TrayShow;
    lines_[slot] = line;
    lines_[slot].TrayShow = false;
    SetTrayShow(slot, tray);
}

void TSetupModel::ClearPhoneInfo(int slot)
{
    TSetupPhoneLine &line = Line(slot);
    const TPhoneExSettings ex = line.ExSettings;
    line = TSetupPhoneLine{};
    line.ExSettings = ex;
}

void TSetupModel::SetTrayShow(int slot, bool on)
{
    checkSlot(slot);
    if (on) {
        for (TSetupPhoneLine &l : lines_)
            l.TrayShow = false;
        trayMinimal_ = false;
    }
    lines_[slot].TrayShow = on;
}

void TSetupModel::SetTrayShowMinimal(bool on)
{
    if (on)
        for (TSetupPhoneLine &l : lines_)
            l.TrayShow = false;
    trayMinimal_ = on;
}

void TSetupModel::SetTrayNotShow(bool on)
{
    if (!on)
        return;  // a radio button is switched off only by another one
    for (TSetupPhoneLine &l : lines_)
        l.TrayShow = false;
    trayMinimal_ = false;
}

bool TSetupModel::TrayNotShow() const
{
    return !trayMinimal_ && TraySlot() == 0;
}

int TSetupModel::TraySlot() const
{
    for (int slot = 1; slot <= IssaSlots; ++slot)
        if (lines_[slot].TrayShow)
            return slot;
    return 0;
}

int TSetupModel::MonitorPhonesCount() const
{
    int count = 0;
    for (int slot = 1; slot <= MaxPhones; ++slot)
        if (lines_[slot].Monitor)
            ++count;
    return count;
}

int TSetupModel::FirstMonitoredWithoutNumber() const
{
    for (int slot = 1; slot <= MaxPhones; ++slot)
        if (lines_[slot].Monitor && TrimControls(lines_[slot].Number).isEmpty())
            return slot;
    return 0;
}

int TSetupModel::FirstMonitoredWithoutPassword() const
{
    for (int slot = 1; slot <= MaxPhones; ++slot)
        if (lines_[slot].Monitor && TrimControls(lines_[slot].Password).isEmpty())
            return slot;
    return 0;
}

float TSetupModel::CommonBalanceLessThen() const
{
    return TextToFloat32(General.edBalanceLessThen).value_or(2.5f);
}

std::int32_t TSetupModel::CommonTurnOffLessThen() const
{
    return TextToInt(General.edTurnOffLessThen).value_or(2);
}

int MonitorPhonesCount(const TProgramState &state)
{
    return guarded(THIS_ROUTINE, [&] { return state.Setup.MonitorPhonesCount(); });
}

bool MonitorPhoneEnabled(const TProgramState &state, int slot)
{
    return guarded(THIS_ROUTINE, [&] { return state.Setup.Line(slot).Monitor; });
}

bool ShowTrayChecked(const TProgramState &state, int slot)
{
    return guarded(THIS_ROUTINE, [&] { return state.Setup.Line(slot).TrayShow; });
}

float BalanceThreshold(const TProgramState &state, int slot)
{
    const TSetupPhoneLine &line = state.Setup.Line(slot);
    return line.ExSettings.Individual ? line.ExSettings.BalanceLessThen : state.Setup.CommonBalanceLessThen();
}

bool NeedMarkBalance(const TProgramState &state, int slot)
{
    return guarded(THIS_ROUTINE, [&] {
        // The threshold first: reading it refuses a slot out of range before
        // the phone table is indexed with it.
        const float threshold = BalanceThreshold(state, slot);
        return state.IssaArray[slot].Balance <= threshold;
    });
}

bool NeedMarkTurnOff(const TProgramState &state, int slot)
{
    return guarded(THIS_ROUTINE, [&] {
        const TSetupPhoneLine &line = state.Setup.Line(slot);
        const std::int32_t turnOff = state.IssaArray[slot].TurnOff;
        if (turnOff == 0)
            return false;
        const std::int32_t threshold
            = line.ExSettings.Individual ? line.ExSettings.TurnOffLessThen : state.Setup.CommonTurnOffLessThen();
        return turnOff <= threshold;
    });
}

QString UserPhone(const TProgramState &state, int slot)
{
    return guarded(THIS_ROUTINE, [&] { return state.Setup.Line(slot).Number; });
}

QString Password(const TProgramState &state, int slot)
{
    return guarded(THIS_ROUTINE, [&] { return state.Setup.Line(slot).Password; });
}

QString Alias(const TProgramState &state, int slot)
{
    return guarded(THIS_ROUTINE, [&] { return state.Setup.Line(slot).Alias; });
}

TIssaUrlInfo GetIssaUrlByPhoneID(const TProgramState &state, int slot)
{
    return guarded(THIS_ROUTINE,
                   [&] { return GetIssaUrlByShortName(state.ServersIni, state.Setup.Line(slot).Region); });
}
