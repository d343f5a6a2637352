#pragma once
// One notification of the desktop's notification service
// (org.freedesktop.Notifications on the session bus), as the tray program and
// the command-line tool both send it.

#include <QDBusMessage>
#include <QString>

// The Notify call for one text: a notification of its own (replaces_id 0),
// with the program's name and icon, urgent when critical.
QDBusMessage DesktopNoticeCall(const QString &title, const QString &text, bool critical);
// Whether the service is there to answer on the session bus.
bool DesktopNoticeServiceRunning();
