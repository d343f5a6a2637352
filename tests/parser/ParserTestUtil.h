#pragma once
// Helpers of the parser tests: pages from lines, reading with the failure kept.

#include "BalanceParser2.h"

#include <QString>
#include <QStringList>
#include <initializer_list>

// Lines joined with LF.
QString Page(std::initializer_list<const char16_t *> lines);

// ParseBalans on a fresh record; the failure's text, if any, in *failure.
TIssa Parse(const QString &page, QString *failure = nullptr);

// The corpus page NAME.ENCODING.html as bytes, and its manifest as lines.
QByteArray CorpusBytes(const QString &name, const QString &encoding);
QStringList CorpusExpected(const QString &name);
// Names of the pages that have a manifest, sorted.
QStringList CorpusNames();
