#pragma once
// Starting the tray program at logon. Linux: the XDG autostart entry
// $XDG_CONFIG_HOME/autostart/saldomat.desktop (~/.config when unset), whose
// Exec line holds the program's path. Windows: the value "Saldomat" of
// HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Run.

#include <QString>

// True when the entry exists and names a program (its content is not compared
// with this program's path).
bool GetAutoStart();
// Writes the entry for programPath (the tray program when empty), or removes it.
void SetAutoStart(bool enable, const QString &programPath = QString());

// The tray program "saldomat": this executable when it is the tray program,
// else the one beside it (the command-line tool lives in the same folder).
QString TrayProgramPath();
// The path in double quotes when it contains a blank, else unchanged.
QString QuotedProgramPath(const QString &path);
// Where the Linux entry lives.
QString AutoStartEntryPath();
