#pragma once
// Starts issa-emulator as a real process on a free port of 127.0.0.1 for a test,
// and stops it when the object goes away.
//
//   EmulatorPhone good;
//   good.number = "9161234567"; good.password = "secret"; good.balance = 12.34;
//   EmulatorProcess emu;
//   ASSERT_TRUE(emu.start({good})) << emu.errorString();
//   // point a region of servers.ini at emu.loginUrl() ...
//   EXPECT_EQ(emu.loginCount("9161234567"), 1);

#include <QList>
#include <QMap>
#include <QProcess>
#include <QString>
#include <QStringList>
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
    // ok, redirect, auth-error, unavailable, session-expired, server-error,
    // unrecognised, slow, hang, redirect-loop, drop, oversized, meta-refresh,
    // frames, form-only, login-again, chunk-bomb, chunk-flood, gzip-bomb
    QString behaviour = QStringLiteral("ok");
    int delayMs = 0;
    int hangMs = 0;  // 0: the emulator's bound (60 s)
    int oversizeMb = 0;  // 0: 20 MB
    QString charset;  // empty: windows-1251; or "utf-8"
    bool charsetInHeader = true;
};

// The phones file text (UTF-8) for the given phones.
QByteArray EmulatorPhonesText(const QList<EmulatorPhone> &phones);

// Makes a self-signed certificate for 127.0.0.1 and localhost with the openssl
// command: dir/<name>.pem and dir/<name>-key.pem.
bool MakeTestCertificate(const QString &dir, const QString &name, QString *certFile, QString *keyFile,
                         QString *error = nullptr);

class EmulatorProcess {
public:
    EmulatorProcess();
    ~EmulatorProcess();
    EmulatorProcess(const EmulatorProcess &) = delete;
    EmulatorProcess &operator=(const EmulatorProcess &) = delete;

    // Starts the emulator with an existing phones file; HTTPS when certFile and
    // keyFile are given. Returns false (see errorString) when it did not report
    // its port within timeoutMs.
    bool start(const QString &phonesFile, const QString &certFile = {}, const QString &keyFile = {},
               const QStringList &extraArgs = {}, int timeoutMs = 10000);
    // Writes the phones into a file of its own, then starts as above.
    bool start(const QList<EmulatorPhone> &phones, const QString &certFile = {}, const QString &keyFile = {},
               const QStringList &extraArgs = {});
    // SIGTERM, then a kill if it has not ended within 5 s. Returns the exit code
    // (-1 when it had to be killed or was not running).
    int stop();

    int port() const { return port_; }
    QString errorString() const { return error_; }
    QString phonesFile() const { return phonesFile_; }
    // "http://127.0.0.1:N" (or https).
    QString baseUrl() const;
    // The POST login address ".../cgi-bin/cgi.exe?function=is_login".
    QString loginUrl() const;
    // The login form page ".../cgi-bin/cgi.exe?function=is_newlog".
    QString formUrl() const;
    // Everything the emulator wrote on stderr so far (one line per request).
    QString log() const;

    // The counters of GET /__stats: "requests", "form-pages", "redirects",
    // "serve-us" (microseconds the emulator spent answering), "login <number>"
    // (login POSTs that carried a password) and "account <number>" (account
    // pages served). Empty on failure.
    QMap<QString, long> stats() const;
    long loginCount(const QString &number) const;
    long accountCount(const QString &number) const;
    // POST /__reset: all counters to zero.
    bool resetStats() const;
    // Rewrites the phones file and makes the emulator read it again.
    bool setPhones(const QList<EmulatorPhone> &phones);

private:
    bool request(const char *method, const char *path, QByteArray *body) const;

    std::unique_ptr<QProcess> process_;
    QTemporaryDir dir_;
    QString phonesFile_;
    QString certFile_;
    QString error_;
    int port_ = 0;
};
