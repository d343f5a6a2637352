#include "EmulatorProcess.h"

#include "TestHome.h"

#include <httplib.h>

#include <QDeadlineTimer>
#include <QFile>

namespace {

bool WritePhones(const QString &path, const QList<EmulatorPhone> &phones)
{
    const auto money = [](double value) { return QString::number(value, 'f', 2); };
    const auto number = [](int value) { return QString::number(value); };
    const auto positive = [](int value) { return value > 0 ? QString::number(value) : QString(); };
    QByteArray text;
    for (const EmulatorPhone &p : phones) {
        text += QStringLiteral("[%1]\nBalance=%2\nObPlat=%3\nAverage=%4\nTurnOff=%5\nRecomend=%6\nSMS=%7\nMinutes=%8\n"
                               "JeansExpired=%9\nUSDRate=%10\nLayout=%11\nBehaviour=%12\n")
                    .arg(p.number, money(p.balance), money(p.obPlat), money(p.average), number(p.turnOff),
                         money(p.recomend), number(p.sms), number(p.minutes), number(p.jeansExpired), money(p.usdRate),
                         p.layout, p.behaviour)
                    .toUtf8();
        // Keys left empty are not written: the file's defaults apply.
        for (const auto &[key, value] : {std::pair{"Password", p.password},
                                         {"LicSchet", p.licSchet},
                                         {"UserName", p.userName},
                                         {"PhoneNumber", p.phoneNumber},
                                         {"DelayMs", positive(p.delayMs)},
                                         {"HangMs", positive(p.hangMs)},
                                         {"OversizeMb", positive(p.oversizeMb)},
                                         {"Charset", p.charset},
                                         {"CharsetInHeader", QString(p.charsetInHeader ? "" : "no")}})
            if (!value.isEmpty())
                text += key + ("=" + value.toUtf8()) + "\n";
    }
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(text) == text.size();
}

}  // namespace

bool MakeTestCertificate(const QString &dir, const QString &name, QString *certFile, QString *keyFile, QString *error)
{
    *certFile = dir + QLatin1Char('/') + name + QStringLiteral(".pem");
    *keyFile = dir + QLatin1Char('/') + name + QStringLiteral("-key.pem");
    QProcess openssl;
    openssl.setProcessChannelMode(QProcess::MergedChannels);
    openssl.start(QStringLiteral("openssl"),
                  QStringLiteral("req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 "
                                 "-subj /CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1,DNS:localhost")
                          .split(u' ')
                      << QStringLiteral("-keyout") << *keyFile << QStringLiteral("-out") << *certFile);
    if (openssl.waitForFinished(20000) && openssl.exitStatus() == QProcess::NormalExit && openssl.exitCode() == 0)
        return true;
    if (error)
        *error = QStringLiteral("openssl failed: ") + openssl.errorString() + QLatin1Char(' ')
            + QString::fromLocal8Bit(openssl.readAll());
    return false;
}

bool EmulatorProcess::start(const QList<EmulatorPhone> &phones, const QString &certFile, const QString &keyFile,
                            const QStringList &extraArgs)
{
    stop();
    certFile_ = certFile;
    const QString phonesFile = dir_.filePath(QStringLiteral("phones.ini"));
    if (!WritePhones(phonesFile, phones)) {
        error_ = QStringLiteral("cannot write ") + phonesFile;
        return false;
    }
    QStringList args{QStringLiteral("--phones"), phonesFile, QStringLiteral("--port"), QStringLiteral("0")};
    if (!certFile.isEmpty())
        args << QStringLiteral("--tls-cert") << certFile << QStringLiteral("--tls-key") << keyFile;
    process_ = std::make_unique<QProcess>();
    // stderr goes to a file: a pipe nobody reads would stall the emulator.
    process_->setStandardErrorFile(dir_.filePath(QStringLiteral("emulator.log")));
    process_->start(BinaryPath(QStringLiteral("issa-emulator")), args + extraArgs);
    // It writes "port N" once it listens.
    QByteArray out;
    const QDeadlineTimer deadline(10000);
    while (!out.contains('\n') && !deadline.hasExpired()
           && process_->waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime()))))
        out += process_->readAllStandardOutput();
    if (out.startsWith("port "))
        port_ = out.mid(5, out.indexOf('\n') - 5).trimmed().toInt();
    if (port_ > 0)
        return true;
    process_->waitForFinished(1000);
    error_ = QStringLiteral("issa-emulator reported no port: ") + process_->errorString() + QLatin1Char(' ') + log();
    stop();
    return false;
}

int EmulatorProcess::stop()
{
    if (!process_)
        return -1;
    process_->terminate();
    if (!process_->waitForFinished(5000)) {
        process_->kill();
        process_->waitForFinished(2000);
    }
    const int code = process_->exitStatus() == QProcess::NormalExit ? process_->exitCode() : -1;
    process_.reset();
    port_ = 0;
    return code;
}

bool EmulatorProcess::setPhones(const QList<EmulatorPhone> &phones)
{
    return port_ > 0 && WritePhones(dir_.filePath(QStringLiteral("phones.ini")), phones)
        && request("POST", "/__reload", nullptr);
}

QString EmulatorProcess::baseUrl() const
{
    return (certFile_.isEmpty() ? QStringLiteral("http") : QStringLiteral("https")) + QStringLiteral("://127.0.0.1:")
        + QString::number(port_);
}

QString EmulatorProcess::log() const
{
    return QString::fromUtf8(ReadFileBytes(dir_.filePath(QStringLiteral("emulator.log"))));
}

bool EmulatorProcess::request(const char *method, const char *path, QByteArray *body) const
{
    if (port_ <= 0)
        return false;
    httplib::Client client(baseUrl().toStdString());
    client.set_connection_timeout(5);
    client.set_read_timeout(5);
    if (!certFile_.isEmpty())
        client.set_ca_cert_path(certFile_.toStdString().c_str());
    const httplib::Result res = qstrcmp(method, "POST") == 0 ? client.Post(path) : client.Get(path);
    if (!res || res->status != 200)
        return false;
    if (body)
        *body = QByteArray::fromStdString(res->body);
    return true;
}

QMap<QString, long> EmulatorProcess::stats() const
{
    QMap<QString, long> out;
    QByteArray body;
    if (request("GET", "/__stats", &body))
        for (const QByteArray &line : body.split('\n'))
            if (const int space = line.lastIndexOf(' '); space > 0)
                out.insert(QString::fromLatin1(line.left(space)), line.mid(space + 1).toLong());
    return out;
}
