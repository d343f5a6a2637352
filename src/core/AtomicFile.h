#pragma once
// Every file the program rewrites goes through here: the bytes are written to a
// temporary file in the same folder and renamed over the old one, so a crash or
// a full disk never leaves a half-written file behind.

#include <QByteArray>
#include <QString>

// Throws SaldomatError (with the file name and the reason) when the write fails;
// the old file is then untouched.
void WriteFileAtomically(const QString &path, const QByteArray &bytes);
