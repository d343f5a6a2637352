#pragma once
// issa-emulator as a real process on a free port of 127.0.0.1 for a test,
// stopped when the object goes away.
//
//   EmulatorProcess emu;
//   ASSERT_TRUE(emu.start({phone})) << emu.errorString().toStdString();
//   // point a region of servers.ini at emu.loginUrl() ...
//   EXPECT_EQ(emu.loginCount(phone.number), 1);

#include <QList>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>

#include <memory>

// One phone of the emulator's phones file; empty texts and zero numbers use the
// file's defaults.
struct EmulatorPhone {
    QString number, password, licSchet, userName;
    QString phoneNumber;  // as the page prints it; empty: from the number
    double balance = 0, obPlat = 0, average = 0;
    int turnOff = 0;
    double recomend = 0;
    int sms = 0, minutes = 0, jeansExpired = 0;
    double usdRate = 0;
    QString layout = QStringLiteral("labels");  // or "sentences"
    QString behaviour = QStringLiteral("ok");  // a behaviour the emulator's README lists
    int delayMs = 0;
    int hangMs = 0;  // 0: the emulator's bound (60 s)
    int oversizeMb = 0;  // 0: 20 MB
    QString charset;  // empty: windows-1251; or "utf-8"
    bool charsetInHeader = true;
};

// A self-signed certificate for 127.0.0.1 and localhost made with openssl:
// dir/<name>.pem and dir/<name>-key.pem.
bool MakeTestCertificate(const QString &dir, const QString &name, QString *certFile, QString *keyFile,
                         QString *error = nullptr);

class EmulatorProcess {
public:
    ~EmulatorProcess() { stop(); }

    // Writes the phones file and starts the emulator on it (HTTPS with a
    // certificate); false (see errorString) when it reported no port.
    bool start(const QList<EmulatorPhone> &phones, const QString &certFile = {}, const QString &keyFile = {},
               const QStringList &extraArgs = {});
    // SIGTERM, then a kill after 5 s. The exit code; -1 when killed or not running.
    int stop();
    // Rewrites the phones file and makes the emulator read it again.
    bool setPhones(const QList<EmulatorPhone> &phones);

    int port() const { return port_; }
    QString errorString() const { return error_; }
    QString baseUrl() const;  // "http://127.0.0.1:N" (or https)
    QString loginUrl() const { return baseUrl() + QStringLiteral("/cgi-bin/cgi.exe?function=is_login"); }
    QString formUrl() const { return baseUrl() + QStringLiteral("/cgi-bin/cgi.exe?function=is_newlog"); }
    // What the emulator wrote on stderr so far (a line per request).
    QString log() const;

    // The counters of GET /__stats: "requests", "form-pages", "redirects",
    // "serve-us" (microseconds spent answering), "login <number>" (login POSTs
    // with a password) and "account <number>" (account pages). Empty on failure.
    QMap<QString, long> stats() const;
    long loginCount(const QString &number) const { return stats().value(QStringLiteral("login ") + number); }
    long accountCount(const QString &number) const { return stats().value(QStringLiteral("account ") + number); }
    // POST /__reset: all counters to zero.
    bool resetStats() const { return request("POST", "/__reset", nullptr); }

private:
    bool request(const char *method, const char *path, QByteArray *body) const;

    std::unique_ptr<QProcess> process_;
    QTemporaryDir dir_;
    QString certFile_, error_;
    int port_ = 0;
};
