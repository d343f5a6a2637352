#pragma once
// The one place where text meets the single-byte code page of the program's files.

#include <QByteArray>
#include <QString>

// Characters the code page lacks become '?'.
QByteArray ToCp1251(const QString &text);
QString FromCp1251(const QByteArray &bytes);
// Decodes bytes by a charset name (HTTP header, meta tag, XML declaration);
// an unknown or empty name falls back to windows-1251.
QString DecodeByCharset(const QByteArray &bytes, const QByteArray &charset);
