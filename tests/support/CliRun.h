#pragma once
// Runs saldomat-cli as a real process for a test, in the environment of the
// test (SALDOMAT_HOME from TestHome) plus the given variables.

#include <QByteArray>
#include <QMap>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QVector>
#include <memory>

struct CliRun {
    int status = -1;  // -1: it crashed or did not finish
    QByteArray outBytes;
    QString out;
    QString err;
    QStringList lines() const { return out.split(QLatin1Char('\n'), Qt::SkipEmptyParts); }
};

// Command words separated by "|": CliWords("phones|set|1|--alias|Мамин телефон").
QStringList CliWords(const char *utf8);

// saldomat-cli started with these words (not waited for), for tests that
// watch or race the process itself.
std::unique_ptr<QProcess> StartCli(const QStringList &args, const QMap<QString, QString> &env = {});

CliRun RunCli(const QStringList &args, const QByteArray &input = {}, const QMap<QString, QString> &env = {},
              int timeoutMs = 60000);

// CSV text read back by Python's csv module: the rows as lists of fields.
// Records a test failure and returns nothing when it cannot be read.
QVector<QStringList> ParseCsvWithPython(const QByteArray &csv);
