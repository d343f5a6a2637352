#include "EmulatorProcess.h"

#include "TestHome.h"

#include <httplib.h>

#include <QDeadlineTimer>
#include <QFile>
#include <QTextStream>

namespace {

QString Number(double value)
{
    return QString::number(value, 'f', 2);
}

} // namespace

QByteArray EmulatorPhonesText(const QList<EmulatorPhone> &phones)
{
    QString text;
    QTextStream out(&text);
    for (const EmulatorPhone &p : phones) {
        out << "[" << p.number << "]\n";
        out << "Password=" << p.password << "\n";
        if (!p.licSchet.isEmpty())
            out << "LicSchet=" << p.licSchet << "\n";
        if (!p.userName.isEmpty())
            out << "UserName=" << p.userName << "\n";
        if (!p.phoneNumber.isEmpty())
            out << "PhoneNumber=" << p.phoneNumber << "\n";
        out << "Balance=" << Number(p.balance) << "\n";
        out << "ObPlat=" << Number(p.obPlat) << "\n";
        out << "Average=" << Number(p.average) << "\n";
        out << "TurnOff=" << p.turnOff << "\n";
        out << "Recomend=" << Number(p.recomend) << "\n";
        out << "SMS=" << p.sms << "\n";
        out << "Minutes=" << p.minutes << "\n";
        out << "JeansExpired=" << p.jeansExpired << "\n";
        out << "USDRate=" << Number(p.usdRate) << "\n";
        out << "Layout=" << p.layout << "\n";
        out << "Behaviour=" << p.behaviour << "\n";
        if (p.delayMs > 0)
            out << "DelayMs=" << p.delayMs << "\n";
        if (p.hangMs > 0)
            out << "HangMs=" << p.hangMs << "\n";
        if (p.oversizeMb > 0)
            out << "OversizeMb=" << p.oversizeMb << "\n";
        if (!p.charset.isEmpty())
            out << "Charset=" << p.charset << "\n";
        if (!p.charsetInHeader)
            out << "CharsetInHeader=no\n";
        out << "\n";
    }
    out.flush();
    return text.toUtf8();
}

bool MakeTestCertificate(const QString &dir, const QString &name, QString *certFile,
                         QString *keyFile, QString *error)
{
    const QString cert = dir + QLatin1Char('/') + name + QStringLiteral(".pem");
    const QString key = dir + QLatin1Char('/') + name + QStringLiteral("-key.pem");
    QProcess openssl;
    openssl.setProcessChannelMode(QProcess::MergedChannels);
    openssl.start(QStringLiteral("openssl"),
                  {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                   QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
                   QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes"),
                   QStringLiteral("-keyout"), key, QStringLiteral("-out"), cert,
                   QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-subj"),
                   QStringLiteral("/CN=127.0.0.1"), QStringLiteral("-addext"),
                   QStringLiteral("subjectAltName=IP:127.0.0.1,DNS:localhost")});
    const bool finished = openssl.waitForFinished(20000);
    if (!finished || openssl.exitStatus() != QProcess::NormalExit || openssl.exitCode() != 0) {
        if (error)
            *error = QStringLiteral("openssl failed: ") + openssl.errorString() + QLatin1Char(' ') +
                     QString::fromLocal8Bit(openssl.readAll());
        if (!finished)
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

bool EmulatorProcess::start(const QList<EmulatorPhone> &phones, const QString &certFile,
                            const QString &keyFile, const QStringList &extraArgs)
{
    if (!dir_.isValid()) {
        error_ = QStringLiteral("no temporary folder");
        return false;
    }
    const QString path = dir_.filePath(QStringLiteral("phones.ini"));
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        f.write(EmulatorPhonesText(phones)) < 0) {
        error_ = QStringLiteral("cannot write ") + path;
        return false;
    }
    f.close();
    return start(path, certFile, keyFile, extraArgs);
}

bool EmulatorProcess::start(const QString &phonesFile, const QString &certFile,
                            const QString &keyFile, const QStringList &extraArgs, int timeoutMs)
{
    stop();
    error_.clear();
    phonesFile_ = phonesFile;
    certFile_ = certFile;
    QStringList args{QStringLiteral("--phones"), phonesFile, QStringLiteral("--port"),
                     QStringLiteral("0")};
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
    int code = -1;
    if (process_->state() != QProcess::NotRunning) {
        process_->terminate();
        if (!process_->waitForFinished(5000)) {
            process_->kill();
            process_->waitForFinished(2000);
        } else if (process_->exitStatus() == QProcess::NormalExit) {
            code = process_->exitCode();
        }
    } else if (process_->exitStatus() == QProcess::NormalExit) {
        code = process_->exitCode();
    }
    process_.reset();
    port_ = 0;
    return code;
}

bool EmulatorProcess::isRunning() const
{
    return process_ && process_->state() == QProcess::Running;
}

QString EmulatorProcess::baseUrl() const
{
    return (certFile_.isEmpty() ? QStringLiteral("http") : QStringLiteral("https")) +
           QStringLiteral("://127.0.0.1:") + QString::number(port_);
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
    const httplib::Result res =
        qstrcmp(method, "POST") == 0 ? client.Post(path) : client.Get(path);
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
    if (phonesFile_.isEmpty() || !f.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        f.write(EmulatorPhonesText(phones)) < 0)
        return false;
    f.close();
    return request("POST", "/__reload", nullptr);
}
