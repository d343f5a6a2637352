#include "CliRun.h"

#include "TestHome.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <gtest/gtest.h>

QStringList CliWords(const char *utf8)
{
    return QString::fromUtf8(utf8).split(QLatin1Char('|'));
}

std::unique_ptr<QProcess> StartCli(const QStringList &args)
{
    auto p = std::make_unique<QProcess>();
    p->start(BinaryPath(QStringLiteral("saldomat-cli")), args);
    return p;
}

CliRun RunCli(const QStringList &args)
{
    const std::unique_ptr<QProcess> p = StartCli(args);
    p->closeWriteChannel();
    CliRun r;
    if (!p->waitForFinished(60000)) {
        ADD_FAILURE() << "saldomat-cli did not finish: " << args.join(QLatin1Char(' ')).toStdString();
        return r;  // the process is killed when it goes
    }
    r.status = p->exitStatus() == QProcess::NormalExit ? p->exitCode() : -1;
    r.outBytes = p->readAllStandardOutput();
    r.out = QString::fromUtf8(r.outBytes);
    r.err = QString::fromUtf8(p->readAllStandardError());
    return r;
}

QVector<QStringList> ParseCsvWithPython(const QByteArray &csv)
{
    QProcess py;
    py.start(QStringLiteral("python3"),
             {QStringLiteral("-c"),
              QStringLiteral("import csv, io, json, sys; print(json.dumps(list("
                             "csv.reader(io.TextIOWrapper(sys.stdin.buffer, 'utf-8', newline='')))))")});
    py.write(csv);
    py.closeWriteChannel();
    QVector<QStringList> rows;
    if (!py.waitForFinished(30000) || py.exitCode() != 0)
        ADD_FAILURE() << "python3's csv module could not read the text: " << py.readAllStandardError().toStdString();
    else
        for (const QJsonValue &row : QJsonDocument::fromJson(py.readAllStandardOutput()).array())
            rows << row.toVariant().toStringList();
    return rows;
}
