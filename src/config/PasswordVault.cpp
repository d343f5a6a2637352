#include "PasswordVault.h"

#include "Common.h"
#include "Failure.h"
#include "PhonesXml.h"
#include "ProgramState.h"
#include "Readers.h"
#include "SettingsFile.h"

#include <QMap>
#include <memory>
#include <qt6keychain/keychain.h>

namespace {
QString keyOf(const TSetupPhoneLine &line)
{
    return TrimControls(line.Number);
}

// Marked, never read, nothing new entered: the entry stays as it is.
bool keptAsIs(const TSetupPhoneLine &line)
{
    return line.InKeyring && line.KeyringUnread && line.Password.isEmpty();
}

void logLine(const QString &text)
{
    try {
        AppendStringToFile(text, ErrorLogFileName());
    } catch (const std::exception &e) {
        MainException(e);
    }
}

// The numbers the file on disk keeps in the keyring now.
QSet<QString> markedInFile(const QString &fileName)
{
    QSet<QString> keys;
    TSetupModel old;
    QStringList problems;
    try {
        LoadPhonesInfoFromXml(old, fileName, IssaSlots, &problems);
    } catch (const std::exception &e) {
        MainException(e);
    }
    old.ReleasePhonesLock();
    for (int slot = 1; slot <= IssaSlots; ++slot)
        if (old.Line(slot).InKeyring && !keyOf(old.Line(slot)).isEmpty())
            keys.insert(keyOf(old.Line(slot)));
    return keys;
}
}  // namespace

QString KeyringReadProblem(const QString &number, const QString &reason)
{
    return QStringLiteral("Пароль телефона %1 не прочитан из связки ключей системы (%2): до нового ввода пароля "
                          "в настройке программы телефон запрашивается с пустым паролем")
        .arg(number, reason);
}

TPasswordVault::TPasswordVault(TProgramState &state, QObject *parent) : QObject(parent), state_(state) { }

TPasswordVault::~TPasswordVault() = default;

void TPasswordVault::then(std::function<void()> step)
{
    steps_.push_back(std::move(step));
    next();
}

void TPasswordVault::next()
{
    if (running_ || steps_.empty())
        return;
    running_ = true;
    std::function<void()> step = std::move(steps_.front());
    steps_.pop_front();
    try {
        step();
    } catch (const std::exception &e) {
        MainException(THIS_ROUTINE, e);
        stepDone();
    }
}

void TPasswordVault::stepDone()
{
    running_ = false;
    next();
}

void TPasswordVault::job(Kind kind, const QString &key, const QString &text, JobDone done)
{
    const QString service = QLatin1String(Service);
    QKeychain::Job *j = nullptr;
    if (kind == Kind::Read) {
        j = new QKeychain::ReadPasswordJob(service, this);
    } else if (kind == Kind::Write) {
        auto *w = new QKeychain::WritePasswordJob(service, this);
        w->setTextData(text);
        j = w;
    } else {
        j = new QKeychain::DeletePasswordJob(service, this);
    }
    j->setAutoDelete(true);
    j->setInsecureFallback(false);
    j->setKey(key);
    connect(j, &QKeychain::Job::finished, this, [this, done = std::move(done)](QKeychain::Job *finished) {
        const auto *read = qobject_cast<QKeychain::ReadPasswordJob *>(finished);
        const QString data = read && finished->error() == QKeychain::NoError ? read->textData() : QString();
        runHandler(ROUTINE("JobFinished"), [&] { done(finished->error(), finished->errorString(), data); });
        stepDone();
    });
    j->start();
}

void TPasswordVault::probeStep()
{
    if (answers_) {
        stepDone();
        return;
    }
    // Without a session bus there is no Secret Service; asking would only
    // start one by X11 auto-launch.
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) {
        answers_ = false;
        stepDone();
        return;
    }
    job(Kind::Read, QLatin1String(ProxyKey), QString(), [this](int error, const QString &, const QString &) {
        answers_ = error == QKeychain::NoError || error == QKeychain::EntryNotFound;
    });
}

void TPasswordVault::Probe(std::function<void(bool)> done)
{
    then([this] { probeStep(); });
    then([this, done = std::move(done)] {
        runHandler(ROUTINE("Probe"), [&] { done(answers_.value_or(false)); });
        stepDone();
    });
}

void TPasswordVault::Load(TSetupModel &model, std::function<void()> done)
{
    QSet<QString> keys;
    for (int slot = 1; slot <= IssaSlots; ++slot) {
        const TSetupPhoneLine &line = model.Line(slot);
        if (line.InKeyring && line.KeyringUnread && !keyOf(line).isEmpty())
            keys.insert(keyOf(line));
    }
    const bool proxy = ProxyPasswordInKeyring(state_) && model.KeyringProxyPassword.isEmpty();
    if (keys.isEmpty() && !proxy) {
        done();
        return;
    }
    TSetupModel *m = &model;
    then([this] { probeStep(); });
    for (const QString &key : keys) {
        then([this, m, key] {
            auto fill = [m, key](int error, const QString &message, const QString &text) {
                if (error != QKeychain::NoError) {
                    logLine(KeyringReadProblem(
                        key, error == QKeychain::EntryNotFound ? QStringLiteral("записи нет") : message));
                    return;
                }
                for (int slot = 1; slot <= IssaSlots; ++slot) {
                    TSetupPhoneLine &line = m->Line(slot);
                    if (line.InKeyring && line.KeyringUnread && keyOf(line) == key) {
                        line.Password = text;
                        line.KeyringUnread = false;
                    }
                }
            };
            readStep(key, fill);
        });
    }
    if (proxy) {
        then([this, m] {
            auto fill = [m](int error, const QString &message, const QString &text) {
                if (error == QKeychain::NoError)
                    m->KeyringProxyPassword = text;
                else
                    logLine(QStringLiteral("Пароль прокси-сервера не прочитан из связки ключей системы (%1)")
                                .arg(error == QKeychain::EntryNotFound ? QStringLiteral("записи нет") : message));
            };
            readStep(QLatin1String(ProxyKey), fill);
        });
    }
    then([this, done = std::move(done)] {
        runHandler(ROUTINE("Load"), [&] { done(); });
        stepDone();
    });
}

void TPasswordVault::readStep(const QString &key, const JobDone &fill)
{
    // A keyring that did not answer the probe is not asked entry by entry.
    if (!answers_.value_or(false)) {
        fill(QKeychain::NoBackendAvailable, QStringLiteral("связка ключей системы не отвечает"), QString());
        stepDone();
        return;
    }
    job(Kind::Read, key, QString(), fill);
}

void TPasswordVault::SavePhones(const TSetupModel &model, const QString &fileName, int count, bool useKeyring,
                                std::function<void(const TSetupModel &, const QString &)> done)
{
    struct State {
        TSetupModel saved;
        QSet<QString> written;
        bool failed = false;
    };
    auto state = std::make_shared<State>();
    state->saved = model;
    count = std::clamp(count, 0, IssaSlots);

    // The password of each number; a number on two rows with different
    // passwords cannot share one entry and stays masked.
    QMap<QString, QString> passwords;
    QSet<QString> clashing;
    for (int slot = 1; slot <= count; ++slot) {
        const TSetupPhoneLine &line = model.Line(slot);
        const QString key = keyOf(line);
        if (key.isEmpty() || keptAsIs(line))
            continue;
        if (passwords.contains(key) && passwords.value(key) != line.Password)
            clashing.insert(key);
        passwords.insert(key, line.Password);
    }
    for (const QString &key : clashing)
        passwords.remove(key);

    if (useKeyring && !passwords.isEmpty()) {
        then([this] { probeStep(); });
        for (auto it = passwords.cbegin(); it != passwords.cend(); ++it) {
            then([this, state, key = it.key(), password = it.value()] {
                if (!answers_.value_or(false) || state->failed) {
                    stepDone();
                    return;
                }
                job(Kind::Write, key, password, [state, key](int error, const QString &message, const QString &) {
                    if (error == QKeychain::NoError) {
                        state->written.insert(key);
                        return;
                    }
                    // The keyring refuses: the rest stay masked too.
                    state->failed = true;
                    logLine(QStringLiteral("Связка ключей системы не приняла пароль (%1): пароли сохранены "
                                           "в файле в замаскированном виде")
                                .arg(message));
                });
            });
        }
    }
    then([this, state, fileName, count, done = std::move(done)]() mutable {
        QSet<QString> keep;
        for (int slot = 1; slot <= IssaSlots; ++slot) {
            TSetupPhoneLine &line = state->saved.Line(slot);
            if (keptAsIs(line)) {
                keep.insert(keyOf(line));
                continue;
            }
            line.InKeyring = state->written.contains(keyOf(line));
            line.KeyringUnread = false;
            if (line.InKeyring)
                keep.insert(keyOf(line));
        }
        QString error;
        QSet<QString> obsolete;
        try {
            obsolete = markedInFile(fileName);
            SavePhonesInfoToXml(state->saved, fileName, count);
        } catch (const std::exception &e) {
            error = failureText(e);
            obsolete.clear();  // the old file still refers to them
        }
        obsolete.subtract(keep);
        for (const QString &key : obsolete) {
            then([this, key] {
                job(Kind::Delete, key, QString(), [key](int error, const QString &message, const QString &) {
                    if (error != QKeychain::NoError && error != QKeychain::EntryNotFound)
                        logLine(QStringLiteral("Запись телефона %1 не удалена из связки ключей системы (%2)")
                                    .arg(key, message));
                });
            });
        }
        then([this, state, error, done = std::move(done)] {
            runHandler(ROUTINE("SavePhones"), [&] { done(state->saved, error); });
            stepDone();
        });
        stepDone();
    });
}

void TPasswordVault::SaveProxy(const QString &userName, const QString &password, bool useKeyring,
                               std::function<void(const QString &)> done)
{
    const QString pass = TrimControls(password);
    auto written = std::make_shared<bool>(false);
    if (useKeyring && !pass.isEmpty()) {
        then([this] { probeStep(); });
        then([this, pass, written] {
            if (!answers_.value_or(false)) {
                stepDone();
                return;
            }
            job(Kind::Write, QLatin1String(ProxyKey), pass,
                [written](int error, const QString &message, const QString &) {
                    *written = error == QKeychain::NoError;
                    if (!*written)
                        logLine(
                            QStringLiteral("Связка ключей системы не приняла пароль прокси-сервера (%1): он сохранён "
                                           "в файле настроек в замаскированном виде")
                                .arg(message));
                });
        });
    }
    then([this, userName, pass, written, done = std::move(done)]() mutable {
        QString error;
        bool dropEntry = false;
        try {
            dropEntry = ProxyPasswordInKeyring(state_) && !*written;
            SetProxyCredentials(state_, userName, pass, *written);
        } catch (const std::exception &e) {
            error = failureText(e);
            dropEntry = false;
        }
        if (dropEntry)
            then([this] {
                job(Kind::Delete, QLatin1String(ProxyKey), QString(), [](int, const QString &, const QString &) {});
            });
        then([this, error, done = std::move(done)] {
            runHandler(ROUTINE("SaveProxy"), [&] { done(error); });
            stepDone();
        });
        stepDone();
    });
}

void TPasswordVault::MoveProxy(bool useKeyring, std::function<void(const QString &)> done)
{
    QString password;
    try {
        password = StoredProxyPassword(state_);
    } catch (const std::exception &e) {
        done(failureText(e));
        return;
    }
    const bool inKeyring = ProxyPasswordInKeyring(state_);
    // Nothing stored, already there, or kept in the keyring but never read.
    if (password.isEmpty() || inKeyring == useKeyring) {
        done(QString());
        return;
    }
    SaveProxy(GetProxyUserName(state_), password, useKeyring, std::move(done));
}

void TPasswordVault::KeepKnownPasswords(TSetupModel &reloaded, const TSetupModel &before)
{
    for (int slot = 1; slot <= IssaSlots; ++slot) {
        TSetupPhoneLine &line = reloaded.Line(slot);
        if (!line.InKeyring || !line.KeyringUnread)
            continue;
        for (int other = 1; other <= IssaSlots; ++other) {
            const TSetupPhoneLine &known = before.Line(other);
            if (known.InKeyring && !known.KeyringUnread && keyOf(known) == keyOf(line)) {
                line.Password = known.Password;
                line.KeyringUnread = false;
                break;
            }
        }
    }
    reloaded.KeyringProxyPassword = before.KeyringProxyPassword;
}
