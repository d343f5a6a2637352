#pragma once
// Helpers of the parser tests: reading with the failure kept, the page corpus
// (tests/data/pages: NAME.ENCODING.html with the manifest NAME.expected).

#include "BalanceParser2.h"
#include "DataCases.h"
#include "Failure.h"
#include "SavedPage.h"
#include "TestHome.h"

#include <QDir>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

inline TIssa Parse(const QString &page)
{
    TIssa r;
    ParseBalans(page, r);
    return r;
}

// What a manifest holds: the figure lines, and "Error: ..." on a failure.
inline QStringList ReadLines(const QString &html)
{
    TIssa r;
    try {
        ParseBalans(html, r);
    } catch (const std::exception &e) {
        return FigureLines(r) << "Error: "_L1 + failureText(e);
    }
    return FigureLines(r);
}

inline QByteArray CorpusBytes(const QString &name, const char *encoding = "utf8")
{
    return ReadFileBytes(TestDataPath(u"pages/%1.%2.html"_s.arg(name, QLatin1String(encoding))));
}

inline QStringList CorpusExpected(const QString &name)
{
    return QString::fromUtf8(ReadFileBytes(TestDataPath(u"pages/%1.expected"_s.arg(name))))
        .split(u'\n', Qt::SkipEmptyParts);
}

// Names of the pages that have a manifest, sorted.
inline QStringList CorpusNames()
{
    return QDir(TestDataPath(u"pages"_s)).entryList({u"*.expected"_s}).replaceInStrings(u".expected"_s, QString());
}
