#pragma once
// Runs saldomat-cli as a real process for a test, in the environment of the
// test (SALDOMAT_HOME from TestHome).

#include <QProcess>
#include <QStringList>
#include <QVector>
#include <memory>

struct CliRun {
    int status = -1;  // -1: it crashed or did not finish
    QByteArray outBytes;
    QString out, err;
    QStringList lines() const { return out.split(QLatin1Char('\n'), Qt::SkipEmptyParts); }
};

// Command words separated by "|": CliWords("phones|set|1|--alias|Мамин телефон").
QStringList CliWords(const char *utf8);
// saldomat-cli started with these words, not waited for.
std::unique_ptr<QProcess> StartCli(const QStringList &args);
CliRun RunCli(const QStringList &args);
// CSV text read back by Python's csv module: the rows as lists of fields
// (none, and a test failure, when it cannot be read).
QVector<QStringList> ParseCsvWithPython(const QByteArray &csv);
