#pragma once
// The one place where text meets the single-byte code page of the program's
// files and pages. The code page is converted by table: the program reads and
// writes it all the time, and needs no conversion library for it.

#include <QByteArray>
#include <QString>

// Characters the code page lacks become '?' (one for each character, also for
// a surrogate pair); *lossless tells whether there were none.
QByteArray ToCp1251(const QString &text, bool *lossless = nullptr);
QString FromCp1251(const QByteArray &bytes);

// True for the names the code page goes by ("windows-1251", "cp1251", ...),
// in any case.
bool IsCp1251Name(const QByteArray &charset);
// True when text can be decoded and encoded by this charset name.
bool IsKnownCharset(const QByteArray &charset);
// Decodes bytes by a charset name (HTTP header, meta tag, XML declaration);
// an unknown or empty name falls back to windows-1251.
QString DecodeByCharset(const QByteArray &bytes, const QByteArray &charset);
// Encodes text by a charset name; an unknown name gives UTF-8. Characters the
// charset lacks are replaced; *lossless tells whether there were none.
QByteArray EncodeByCharset(const QString &text, const QByteArray &charset, bool *lossless = nullptr);

// The charset named by the first <meta ... charset=NAME> of a page's first
// kMetaSniffBytes bytes (the http-equiv and the HTML5 form alike), in lower
// case; empty when there is none. The name is not checked.
inline constexpr qsizetype kMetaSniffBytes = 8192;
QByteArray MetaCharset(const QByteArray &bytes);
// The encoding a byte order mark at the start of bytes names ("UTF-8",
// "UTF-16LE", "UTF-16BE"), empty without one; *markLength gets the mark's
// length (0 without one).
QByteArray BomEncoding(const QByteArray &bytes, qsizetype *markLength = nullptr);

// A page as the program keeps it in a file: in the code page when that holds
// every character, otherwise UTF-8 with a byte order mark, so that nothing is
// lost.
QByteArray PageFileBytes(const QString &text);
