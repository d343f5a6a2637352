#include "CliRun.h"

#include "TestHome.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <gtest/gtest.h>

QStringList CliWords(const char *utf8)
{
    return QString::fromUtf8(utf8).split(QLatin1Char('|'));
}

std::unique_ptr<QProcess> StartCli(const QStringList &args, const QMap<QString, QString> &env)
{
    auto p = std::make_unique<QProcess>();
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    for (auto it = env.begin(); it != env.end(); ++it)
        e.insert(it.key(), it.value());
    p->setProcessEnvironment(e);
    p->start(BinaryPath(QStringLiteral("saldomat-cli")), args);
    return p;
}

CliRun RunCli(const QStringList &args, const QByteArray &input, const QMap<QString, QString> &env, int timeoutMs)
{
    const std::unique_ptr<QProcess> started = StartCli(args, env);
    QProcess &p = *started;
    CliRun r;
    if (!p.waitForStarted(10000)) {
        ADD_FAILURE() << "saldomat-cli did not start";
        return r;
    }
    if (!input.isEmpty())
        p.write(input);
    p.closeWriteChannel();
    if (!p.waitForFinished(timeoutMs)) {
        ADD_FAILURE() << "saldomat-cli did not finish: " << args.join(QLatin1Char(' ')).toStdString();
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.outBytes = p.readAllStandardOutput();
    r.out = QString::fromUtf8(r.outBytes);
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

QVector<QStringList> ParseCsvWithPython(const QByteArray &csv)
{
    QProcess py;
    py.start(QStringLiteral("python3"),
             {QStringLiteral("-c"),
              QStringLiteral("import csv, io, json, sys\n"
                             "text = io.TextIOWrapper(sys.stdin.buffer, encoding='utf-8', newline='')\n"
                             "print(json.dumps(list(csv.reader(text))))")});
    py.write(csv);
    py.closeWriteChannel();
    QVector<QStringList> rows;
    if (!py.waitForFinished(30000) || py.exitCode() != 0) {
        ADD_FAILURE() << "python3's csv module could not read the text: " << py.readAllStandardError().toStdString();
        return rows;
    }
    for (const QJsonValue &row : QJsonDocument::fromJson(py.readAllStandardOutput()).array()) {
        QStringList fields;
        for (const QJsonValue &f : row.toArray())
            fields << f.toString();
        rows << fields;
    }
    return rows;
}
