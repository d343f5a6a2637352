#pragma once
// issa-emulator as a real process on a free port of 127.0.0.1 for a test,
// stopped when the object goes away.

#include "TestHome.h"

#include <QList>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>

#include <memory>

// One phone of the emulator's phones file; empty texts use the file's defaults.
struct EmulatorPhone {
    QString number, password, licSchet, userName;
    double balance = 0, obPlat = 0, average = 0, recomend = 0, usdRate = 0;
    int turnOff = 0, sms = 0, minutes = 0, jeansExpired = 0;
    QString layout = QStringLiteral("labels");  // or "sentences"
    QString behaviour = QStringLiteral("ok");  // a behaviour the emulator's README lists
    int delayMs = 0, hangMs = 60000;  // hangMs: the bound of a hang
};

// A self-signed certificate for 127.0.0.1 and localhost made with openssl:
// dir/<name>.pem and dir/<name>-key.pem.
bool MakeTestCertificate(const QString &dir, const QString &name, QString *certFile, QString *keyFile,
                         QString *error = nullptr);

class EmulatorProcess {
public:
    ~EmulatorProcess() { stop(); }

    // Writes the phones file and starts the emulator on it (HTTPS with a
    // certificate, more arguments); false (see errorString) when it reported no port.
    bool start(const QList<EmulatorPhone> &phones, const QString &certFile = {}, const QString &keyFile = {},
               const QStringList &extraArgs = {});
    // SIGTERM, then a kill after 5 s. The exit code; -1 when killed or not running.
    int stop();
    // Rewrites the phones file and makes the emulator read it again.
    bool setPhones(const QList<EmulatorPhone> &phones);

    int port() const { return port_; }
    QString errorString() const { return error_; }
    QString baseUrl() const { return QString("http%1://127.0.0.1:%2").arg(certFile_.isEmpty() ? "" : "s").arg(port_); }
    QString loginUrl() const { return baseUrl() + QStringLiteral("/cgi-bin/cgi.exe?function=is_login"); }
    QString formUrl() const { return baseUrl() + QStringLiteral("/cgi-bin/cgi.exe?function=is_newlog"); }
    // What the emulator wrote on stderr so far (a line per request).
    QString log() const { return QString::fromUtf8(ReadFileBytes(dir_.filePath(QStringLiteral("emulator.log")))); }

    // The counters of GET /__stats ("requests", "form-pages", "redirects",
    // "serve-us", "login <number>", "account <number>"); empty on failure.
    QMap<QString, long> stats() const;
    long loginCount(const QString &number) const { return stats().value(QStringLiteral("login ") + number); }
    long accountCount(const QString &number) const { return stats().value(QStringLiteral("account ") + number); }
    bool resetStats() const { return request("POST", "/__reset", nullptr); }  // all counters to zero

private:
    bool request(const char *method, const char *path, QByteArray *body) const;

    std::unique_ptr<QProcess> process_;
    QTemporaryDir dir_;
    QString certFile_, error_;
    int port_ = 0;
};
