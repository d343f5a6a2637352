#include "DesktopNotices.h"

#include "Common.h"
#include "MarkWatch.h"
#include "Notifier.h"
#include "ProgramState.h"
#include "StatusDisplay.h"

const char NoTrayNoticeText[]
    = "На рабочем столе нет области уведомлений, и значку Saldomat негде показаться: баланс телефонов показан в "
      "окне \"Информация о балансе телефонов\". Чтобы значок появился, включите область уведомлений: в GNOME это "
      "расширение AppIndicator (пакет gnome-shell-extension-appindicator).";

QStringList SendRunNotices(const TProgramState &state, TMarkWatch &watch, Notifier &notifier)
{
    const QString title = QLatin1String(ProgramName);
    const QList<int> marked = watch.NewlyMarked();
    const QList<int> failed = watch.NewlyFailed();
    QStringList alerts;
    if (state.Setup.General.cbNotify)
        for (int slot : marked)
            alerts << MarkNoticeText(state, slot);
    notifier.Notify(title, alerts, Notifier::Urgency::Critical);

    // Optional notices, off unless switched on by hand.
    const QString section = QStringLiteral("Notices");
    if (state.IniFile.ReadBool(section, QStringLiteral("PhoneFailed"), false)) {
        QStringList texts;
        for (int slot : failed)
            texts << FailedNoticeText(state, slot);
        notifier.Notify(title, texts);
    }
    if (state.IniFile.ReadBool(section, QStringLiteral("RunFinished"), false))
        notifier.Notify(title, {RunFinishedNoticeText(state)});
    return alerts;
}

void TellNoTray(Notifier &notifier, TStatusDisplay &display)
{
    notifier.Notify(QLatin1String(ProgramName), {QString::fromUtf8(NoTrayNoticeText)});
    if (!display.PhonesInfoVisible())
        display.ShowPhonesInfo();
}
