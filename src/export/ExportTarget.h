#pragma once
// Where an export may write. Every export (the windows and saldomat-cli) asks
// here before it writes, and the writers ask again before they put a finished
// file in place: an export never replaces anything but a plain file, never
// writes through a link into another folder, and never touches the program's
// own files.

#include <QString>

enum class ExportTargetState {
    New,  // no file of that name yet: may be written
    Existing,  // a plain file that may be replaced (after the user agreed)
    Refused,  // must not be written; reason says why
};

struct ExportTargetCheck {
    ExportTargetState state = ExportTargetState::Refused;
    QString reason;  // for Refused: one sentence naming the file
    bool ownFile = false;  // refused as one of the program's own files
};

ExportTargetCheck CheckExportTarget(const QString &file);

// Throws SaldomatError with the reason when CheckExportTarget refuses file.
void RequireExportTarget(const QString &file);
