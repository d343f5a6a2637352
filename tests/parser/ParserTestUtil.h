#pragma once
// Helpers of the parser tests: reading with the failure kept, and the page
// corpus (tests/data/pages: NAME.ENCODING.html with the manifest NAME.expected).

#include "BalanceParser2.h"
#include "Failure.h"
#include "SavedPage.h"
#include "TestHome.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <gtest/gtest.h>

// ParseBalans on a fresh record; the failure's text, if any, in *failure.
inline TIssa Parse(const QString &page, QString *failure = nullptr)
{
    TIssa r;
    try {
        ParseBalans(page, r);
    } catch (const std::exception &e) {
        if (!failure)
            throw;
        *failure = failureText(e);
    }
    return r;
}

// What a manifest holds: the figure lines, and "Error: ..." on a failure.
inline QStringList ReadLines(const QString &html)
{
    QString failure;
    QStringList lines = FigureLines(Parse(html, &failure));
    if (!failure.isEmpty())
        lines << QStringLiteral("Error: ") + failure;
    return lines;
}

inline QByteArray CorpusBytes(const QString &name, const char *encoding = "utf8")
{
    return ReadFileBytes(TestDataPath(QStringLiteral("pages/%1.%2.html").arg(name, QLatin1String(encoding))));
}

inline QStringList CorpusExpected(const QString &name)
{
    return QString::fromUtf8(ReadFileBytes(TestDataPath(QStringLiteral("pages/%1.expected").arg(name))))
        .split(u'\n', Qt::SkipEmptyParts);
}

// Names of the pages that have a manifest, sorted.
inline QStringList CorpusNames()
{
    QStringList names = QDir(TestDataPath(QStringLiteral("pages"))).entryList({QStringLiteral("*.expected")});
    for (QString &name : names)
        name.chop(int(qstrlen(".expected")));
    return names;
}

// The cases of tests/data/parser/FILE: one a line, a JSON array of texts;
// lines starting with "#" are comments.
inline QList<QStringList> DataCases(const char *file)
{
    QList<QStringList> cases;
    const QByteArray text = ReadFileBytes(TestDataPath(QStringLiteral("parser/") + QLatin1String(file)));
    for (const QByteArray &line : text.split('\n')) {
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        QJsonParseError error;
        cases << QStringList();
        for (const QJsonValue &field : QJsonDocument::fromJson(line, &error).array())
            cases.last() << field.toString();
        EXPECT_EQ(error.error, QJsonParseError::NoError) << line.toStdString();
    }
    EXPECT_GT(cases.size(), 10) << file;
    return cases;
}
