#pragma once
// Pages kept on disk: a page saved by the loaded-pages viewer or by the debug
// switch ("<!-- URL -->", an empty line, then the body's HTML), or a whole page
// as a server sends it. Reading one gives the text that the program hands to
// ParseBalans; FigureLines prints what ParseBalans read, one "Field: value" line
// per figure ("Field:" alone for an empty text), the form of "saldomat-cli parse"
// and of the page corpus manifests.

#include "PhoneTable.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// Decodes page bytes: a byte order mark, else the charset of a <meta> tag near
// the top, else UTF-8 when the bytes are valid UTF-8, else windows-1251.
// encoding, when given, receives the name of the encoding used.
QString DecodePageBytes(const QByteArray &bytes, QByteArray *encoding = nullptr);

struct SavedPage {
    QString url;  // from the leading "<!-- URL -->" line; empty without one
    QString html;  // what ParseBalans gets: from "<body" to "</body>" when the page has a body tag
    QByteArray encoding;  // as DecodePageBytes chose it
};
SavedPage ReadSavedPage(const QByteArray &bytes);

// The figures in the order LicSchet, UserName, PhoneNumber, Balance, ObPlat,
// Average, TurnOff, Recomend, SMS, Minutes, JeansExpired, USDRate. Numbers are
// written with "." and as few digits as give back the same 32-bit value.
QStringList FigureLines(const TIssa &issa);
