#pragma once
// Case tables of the tests (the parser's and the browser's documents).

#include "TestHome.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QVariant>
#include <gtest/gtest.h>

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
