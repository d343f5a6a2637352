#include "MarkWatch.h"

#include "Failure.h"
#include "ProgramState.h"

namespace {
bool markedNow(const TProgramState &state, int slot)
{
    return NeedMarkBalance(state, slot) || NeedMarkTurnOff(state, slot);
}
}  // namespace

void TMarkWatch::Reset()
{
    guarded(THIS_ROUTINE, [&] {
        marked_.fill(false);
        // A phone without figures (never queried) is not known as marked:
        // its first low balance is news.
        for (int slot = 1; slot <= MaxPhones; ++slot)
            marked_[slot] = MonitorPhoneEnabled(state_, slot) && state_.IssaArray[slot].QueryDateTime != 0
                && markedNow(state_, slot);
        failed_.fill(false);
    });
}

QList<int> TMarkWatch::NewlyMarked()
{
    return guarded(THIS_ROUTINE, [&] {
        QList<int> slots;
        for (int slot = 1; slot <= MaxPhones; ++slot) {
            if (!MonitorPhoneEnabled(state_, slot)) {
                marked_[slot] = false;
                continue;
            }
            if (!state_.IssaArray[slot].Success)
                continue;
            const bool now = markedNow(state_, slot);
            if (now && !marked_[slot])
                slots.append(slot);
            marked_[slot] = now;
        }
        return slots;
    });
}

QList<int> TMarkWatch::NewlyFailed()
{
    return guarded(THIS_ROUTINE, [&] {
        QList<int> slots;
        for (int slot = 1; slot <= MaxPhones; ++slot) {
            const bool now = MonitorPhoneEnabled(state_, slot) && state_.IssaArray[slot].State == dsError;
            if (now && !failed_[slot])
                slots.append(slot);
            if (now || state_.IssaArray[slot].Success || !MonitorPhoneEnabled(state_, slot))
                failed_[slot] = now;
        }
        return slots;
    });
}

QString MarkNoticeText(const TProgramState &state, int slot)
{
    const TIssa &issa = state.IssaArray[slot];
    QString text = QStringLiteral("%1: баланс %2 (порог %3)")
                       .arg(PhoneAliasEx(issa), QString::number(issa.Balance, 'f', 2),
                            QString::number(BalanceThreshold(state, slot), 'f', 2));
    if (NeedMarkTurnOff(state, slot))
        text += QStringLiteral(", отключение через %1 дн.").arg(issa.TurnOff);
    return text;
}

QString FailedNoticeText(const TProgramState &state, int slot)
{
    const TIssa &issa = state.IssaArray[slot];
    return QStringLiteral("%1: запрос не удался: %2").arg(PhoneAliasEx(issa), issa.ErrorMsg);
}

QString RunFinishedNoticeText(const TProgramState &state)
{
    int monitored = 0;
    int answered = 0;
    for (int slot = 1; slot <= MaxPhones; ++slot) {
        if (!MonitorPhoneEnabled(state, slot))
            continue;
        ++monitored;
        if (state.IssaArray[slot].Success)
            ++answered;
    }
    return QStringLiteral("Запрос баланса завершён: ответили %1 из %2 телефонов").arg(answered).arg(monitored);
}
