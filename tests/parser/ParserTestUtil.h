#pragma once
// Helpers of the parser tests: reading with the failure kept, the page corpus
// (tests/data/pages: NAME.ENCODING.html with the manifest NAME.expected) and
// the case tables of tests/data.

#include "BalanceParser2.h"
#include "Failure.h"
#include "SavedPage.h"
#include "TestHome.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
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

// The cases of tests/data/FILE: one a line, a JSON array of texts; lines
// starting with "#" are comments.
inline QList<QStringList> DataCases(const QString &file)
{
    QList<QStringList> cases;
    for (const QByteArray &line : ReadFileBytes(TestDataPath(file)).split('\n')) {
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        QJsonParseError error;
        cases << QVariant(QJsonDocument::fromJson(line, &error).array().toVariantList()).toStringList();
        EXPECT_EQ(error.error, QJsonParseError::NoError) << line.toStdString();
    }
    EXPECT_GT(cases.size(), 4) << file.toStdString();
    return cases;
}
