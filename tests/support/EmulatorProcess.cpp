#include "EmulatorProcess.h"

#include <httplib.h>

#include <QDeadlineTimer>
#include <QFile>

namespace {
bool WritePhones(const QString &path, const QList<EmulatorPhone> &phones)
{
    const auto money = [](double value) { return QString::number(value, 'f', 2); };
    const auto whole = [](int value) { return QString::number(value); };
    QString text;
    for (const EmulatorPhone &p : phones) {
        text += QStringLiteral(
                    "[%1]\nBalance=%2\nObPlat=%3\nAverage=%4\nRecomend=%5\nUSDRate=%6\nLayout=%7\nBehaviour=%8\n"
                    "TurnOff=%9\nSMS=%10\nMinutes=%11\nJeansExpired=%12\nDelayMs=%13\nHangMs=%14\n")
                    .arg(p.number, money(p.balance), money(p.obPlat), money(p.average), money(p.recomend),
                         money(p.usdRate), p.layout, p.behaviour, whole(p.turnOff), whole(p.sms), whole(p.minutes),
                         whole(p.jeansExpired), whole(p.delayMs), whole(p.hangMs));
        for (const auto &[key, value] :
             {std::pair{"Password", p.password}, {"LicSchet", p.licSchet}, {"UserName", p.userName}})
            if (!value.isEmpty())  // else the file's default
                text += QLatin1String(key) + u'=' + value + u'\n';
    }
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(text.toUtf8()) > 0;
}
}  // namespace

bool MakeTestCertificate(const QString &dir, const QString &name, QString *certFile, QString *keyFile, QString *error)
{
    *certFile = dir + u'/' + name + QStringLiteral(".pem");
    *keyFile = dir + u'/' + name + QStringLiteral("-key.pem");
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
        *error = QStringLiteral("openssl failed: ") + openssl.errorString() + u' '
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
    QByteArray out;  // "port N" once it listens
    const QDeadlineTimer deadline(10000);
    while (!out.contains('\n') && process_->waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime()))))
        out += process_->readAllStandardOutput();
    if (out.startsWith("port "))
        port_ = out.mid(5, out.indexOf('\n') - 5).trimmed().toInt();
    if (port_ > 0)
        return true;
    process_->waitForFinished(1000);
    error_ = QStringLiteral("issa-emulator reported no port: ") + process_->errorString() + u' ' + log();
    stop();
    return false;
}

int EmulatorProcess::stop()
{
    if (!process_)
        return -1;
    process_->terminate();
    if (!process_->waitForFinished(5000))
        process_->kill(), process_->waitForFinished(2000);
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
    if (res && res->status == 200 && body)
        *body = QByteArray::fromStdString(res->body);
    return res && res->status == 200;
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
