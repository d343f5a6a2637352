#include "EmulatorProcess.h"

#include "TestHome.h"

#include <httplib.h>

#include <QDeadlineTimer>
#include <QFile>
#include <QTextStream>

QByteArray EmulatorPhonesText(const QList<EmulatorPhone> &phones)
{
    QString text;
    QTextStream out(&text);
    const auto money = [](double value) { return QString::number(value, 'f', 2); };
    // Optional keys are written only when set, so the file's defaults apply.
    const auto optional = [&out](const char *key, const QString &value) {
        if (!value.isEmpty())
            out << key << "=" << value << "\n";
    };
    const auto positive
        = [&](const char *key, int value) { optional(key, value > 0 ? QString::number(value) : QString()); };
    for (const EmulatorPhone &p : phones) {
        out << "[" << p.number << "]\nPassword=" << p.password << "\n";
        optional("LicSchet", p.licSchet);
        optional("UserName", p.userName);
        optional("PhoneNumber", p.phoneNumber);
        out << "Balance=" << money(p.balance) << "\nObPlat=" << money(p.obPlat) << "\nAverage=" << money(p.average)
            << "\nTurnOff=" << p.turnOff << "\nRecomend=" << money(p.recomend) << "\nSMS=" << p.sms
            << "\nMinutes=" << p.minutes << "\nJeansExpired=" << p.jeansExpired << "\nUSDRate=" << money(p.usdRate)
            << "\nLayout=" << p.layout << "\nBehaviour=" << p.behaviour << "\n";
        positive("DelayMs", p.delayMs);
        positive("HangMs", p.hangMs);
        positive("OversizeMb", p.oversizeMb);
        optional("Charset", p.charset);
        optional("CharsetInHeader", p.charsetInHeader ? QString() : QStringLiteral("no"));
        out << "\n";
    }
    out.flush();
    return text.toUtf8();
}

bool MakeTestCertificate(const QString &dir, const QString &name, QString *certFile, QString *keyFile, QString *error)
{
    const QString cert = dir + QLatin1Char('/') + name + QStringLiteral(".pem");
    const QString key = dir + QLatin1Char('/') + name + QStringLiteral("-key.pem");
    QProcess openssl;
    openssl.setProcessChannelMode(QProcess::MergedChannels);
    openssl.start(QStringLiteral("openssl"),
                  QStringLiteral("req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 "
                                 "-subj /CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1,DNS:localhost")
                          .split(u' ')
                      << QStringLiteral("-keyout") << key << QStringLiteral("-out") << cert);
    const bool finished = openssl.waitForFinished(20000);
    if (!finished || openssl.exitStatus() != QProcess::NormalExit || openssl.exitCode() != 0) {
        if (error)
            *error = QStringLiteral("openssl failed: ") + openssl.errorString() + QLatin1Char(' ')
                + QString::fromLocal8Bit(openssl.readAll());
        openssl.kill();
        return false;
    }
    if (certFile)
        *certFile = cert;
    if (keyFile)
        *keyFile = key;
    return true;
}

EmulatorProcess::EmulatorProcess() = default;

EmulatorProcess::~EmulatorProcess()
{
    stop();
}

bool EmulatorProcess::start(const QList<EmulatorPhone> &phones, const QString &certFile, const QString &keyFile,
                            const QStringList &extraArgs)
{
    const QString path = dir_.filePath(QStringLiteral("phones.ini"));
    QFile f(path);
    if (!dir_.isValid() || !f.open(QIODevice::WriteOnly | QIODevice::Truncate)
        || f.write(EmulatorPhonesText(phones)) < 0) {
        error_ = QStringLiteral("cannot write ") + path;
        return false;
    }
    f.close();
    return start(path, certFile, keyFile, extraArgs);
}

bool EmulatorProcess::start(const QString &phonesFile, const QString &certFile, const QString &keyFile,
                            const QStringList &extraArgs, int timeoutMs)
{
    stop();
    error_.clear();
    phonesFile_ = phonesFile;
    certFile_ = certFile;
    QStringList args{QStringLiteral("--phones"), phonesFile, QStringLiteral("--port"), QStringLiteral("0")};
    if (!certFile.isEmpty())
        args << QStringLiteral("--tls-cert") << certFile << QStringLiteral("--tls-key") << keyFile;
    args << extraArgs;
    process_ = std::make_unique<QProcess>();
    // stderr goes to a file: a pipe nobody reads would stall the emulator.
    process_->setStandardErrorFile(dir_.filePath(QStringLiteral("emulator.log")));
    process_->start(BinaryPath(QStringLiteral("issa-emulator")), args);
    if (!process_->waitForStarted(timeoutMs)) {
        error_ = QStringLiteral("issa-emulator did not start: ") + process_->errorString();
        process_.reset();
        return false;
    }
    QByteArray out;
    QDeadlineTimer deadline(timeoutMs);
    while (!out.contains('\n') && !deadline.hasExpired()) {
        if (!process_->waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime()))))
            break;
        out += process_->readAllStandardOutput();
    }
    const QByteArray line = out.left(out.indexOf('\n')).trimmed();
    bool ok = false;
    if (line.startsWith("port "))
        port_ = line.mid(5).toInt(&ok);
    if (!ok || port_ <= 0) {
        process_->waitForFinished(1000);
        error_ = QStringLiteral("issa-emulator reported no port: ") + log();
        stop();
        return false;
    }
    return true;
}

int EmulatorProcess::stop()
{
    if (!process_)
        return -1;
    if (process_->state() != QProcess::NotRunning) {
        process_->terminate();
        if (!process_->waitForFinished(5000)) {
            process_->kill();
            process_->waitForFinished(2000);
        }
    }
    const int code = process_->exitStatus() == QProcess::NormalExit ? process_->exitCode() : -1;
    process_.reset();
    port_ = 0;
    return code;
}

QString EmulatorProcess::baseUrl() const
{
    return (certFile_.isEmpty() ? QStringLiteral("http") : QStringLiteral("https")) + QStringLiteral("://127.0.0.1:")
        + QString::number(port_);
}

QString EmulatorProcess::loginUrl() const
{
    return baseUrl() + QStringLiteral("/cgi-bin/cgi.exe?function=is_login");
}

QString EmulatorProcess::formUrl() const
{
    return baseUrl() + QStringLiteral("/cgi-bin/cgi.exe?function=is_newlog");
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
    if (!request("GET", "/__stats", &body))
        return out;
    for (const QByteArray &line : body.split('\n')) {
        const int space = line.lastIndexOf(' ');
        if (space <= 0)
            continue;
        out.insert(QString::fromLatin1(line.left(space)), line.mid(space + 1).toLong());
    }
    return out;
}

long EmulatorProcess::loginCount(const QString &number) const
{
    return stats().value(QStringLiteral("login ") + number, 0);
}

long EmulatorProcess::accountCount(const QString &number) const
{
    return stats().value(QStringLiteral("account ") + number, 0);
}

bool EmulatorProcess::resetStats() const
{
    return request("POST", "/__reset", nullptr);
}

bool EmulatorProcess::setPhones(const QList<EmulatorPhone> &phones)
{
    QFile f(phonesFile_);
    if (phonesFile_.isEmpty() || !f.open(QIODevice::WriteOnly | QIODevice::Truncate)
        || f.write(EmulatorPhonesText(phones)) < 0)
        return false;
    f.close();
    return request("POST", "/__reload", nullptr);
}
