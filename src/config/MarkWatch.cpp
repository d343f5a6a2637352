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
    guarded(THIS_ROUTINE, [&] {
        marked_.fill(false);
        // A phone without figures (never queried) is not known as marked:
        // its first low balance is news.
        for (int slot = 1; slot <= MaxPhones; ++slot)
            marked_[slot] = MonitorPhoneEnabled(slot) && IssaArray[slot].QueryDateTime != 0 && markedNow(slot);
        failed_.fill(false);
    });
}

QList<int> TMarkWatch::NewlyMarked()
{
    return guarded(THIS_ROUTINE, [&] {
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

QList<int> TMarkWatch::NewlyFailed()
{
    return guarded(THIS_ROUTINE, [&] {
        QList<int> slots;
        for (int slot = 1; slot <= MaxPhones; ++slot) {
            const bool now = MonitorPhoneEnabled(slot) && IssaArray[slot].State == dsError;
            if (now && !failed_[slot])
                slots.append(slot);
            if (now || IssaArray[slot].Success || !MonitorPhoneEnabled(slot))
                failed_[slot] = now;
        }
        return slots;
    });
}

QString MarkNoticeText(int slot)
{
    const TIssa &issa = IssaArray[slot];
    QString text = QStringLiteral("%1: баланс %2 (порог %3)")
                       .arg(PhoneAliasEx(slot), QString::number(issa.Balance, 'f', 2),
                            QString::number(BalanceThreshold(slot), 'f', 2));
    if (NeedMarkTurnOff(slot))
        text += QStringLiteral(", отключение через %1 дн.").arg(issa.TurnOff);
    return text;
}

QString FailedNoticeText(int slot)
{
    return QStringLiteral("%1: запрос не удался: %2").arg(PhoneAliasEx(slot), IssaArray[slot].ErrorMsg);
}

QString RunFinishedNoticeText()
{
    int monitored = 0;
    int answered = 0;
    for (int slot = 1; slot <= MaxPhones; ++slot) {
        if (!MonitorPhoneEnabled(slot))
            continue;
        ++monitored;
        if (IssaArray[slot].Success)
            ++answered;
    }
    return QStringLiteral("Запрос баланса завершён: ответили %1 из %2 телефонов").arg(answered).arg(monitored);
}
