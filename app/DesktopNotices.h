#pragma once
// What the tray program tells the user on the desktop after a run and when
// there is no tray to live in.

#include <QStringList>

class Notifier;
class TMarkWatch;
struct TProgramState;
class TStatusDisplay;

// After a run: one alert per phone that has newly become marked (when the
// alerts are on), and, when the user switched them on in the section
// "Notices" of the settings file, one per newly failed phone ("PhoneFailed")
// and one for the finished run ("RunFinished"). Returns the alert texts.
QStringList SendRunNotices(const TProgramState &state, TMarkWatch &watch, Notifier &notifier);

// No tray came up: says so once and shows the phones window instead.
void TellNoTray(Notifier &notifier, TStatusDisplay &display);
// The text of that notice.
extern const char NoTrayNoticeText[];
