#include "MarkWatch.h"

#include "Failure.h"
#include "Setup.h"

namespace {
bool markedNow(int slot)
{
    return NeedMarkBalance(slot) || NeedMarkTurnOff(slot);
}
}  // namespace

void TMarkWatch::Reset()
{
    guarded("TMarkWatch.Reset", [&] {
        marked_.fill(false);
        // A phone without figures on record (balance 0 by default) is not
        // marked yet: its first low balance is news.
        for (int slot = 1; slot <= MaxPhones; ++slot)
            marked_[slot] = MonitorPhoneEnabled(slot) && IssaArray[slot].QueryDateTime != 0 && markedNow(slot);
    });
}

QList<int> TMarkWatch::NewlyMarked()
{
    return guarded("TMarkWatch.NewlyMarked", [&] {
        QList<int> slots;
        for (int slot = 1; slot <= MaxPhones; ++slot) {
            if (!MonitorPhoneEnabled(slot)) {
                marked_[slot] = false;
                continue;
            }
            if (!IssaArray[slot].Success)
                continue;
            const bool now = markedNow(slot);
            if (now && !marked_[slot])
                slots.append(slot);
            marked_[slot] = now;
        }
        return slots;
    });
}

QString MarkNoticeText(int slot)
{
    const TIssa &issa = IssaArray[slot];
    QString text = QStringLiteral("%1: баланс %2").arg(PhoneAliasEx(slot), QString::number(issa.Balance, 'f', 2));
    if (NeedMarkTurnOff(slot))
        text += QStringLiteral(", отключение через %1 дн.").arg(issa.TurnOff);
    return text;
}
