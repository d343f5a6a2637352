#pragma once
// Passwords in the system keyring (the Secret Service through QtKeychain):
// service "Saldomat", one entry per phone number and one, "Proxy", for the
// proxy logon. The files then keep an empty password and a mark (Keyring="True"
// in "phones.xml", ProxyKeyring=1 in "Saldomat.ini").
//
// Keyring jobs are asynchronous: the vault runs its steps one after another,
// each started when the one before has finished, and reports through the
// callbacks it was given. Nothing waits. A move from one place to the other
// writes the new place first and clears the old one only after that, so a
// password is never in neither place.

#include "Setup.h"

#include <QObject>
#include <QSet>
#include <deque>
#include <functional>
#include <optional>

struct TProgramState;

class TPasswordVault : public QObject {
    Q_OBJECT
public:
    static constexpr char Service[] = "Saldomat";
    static constexpr char ProxyKey[] = "Proxy";

    // The proxy password's mark and masked copy are the state's settings file's.
    explicit TPasswordVault(TProgramState &state, QObject *parent = nullptr);
    ~TPasswordVault() override;

    // Whether a keyring answers: known without asking when there is no
    // session bus, else learnt by one read. done(answers).
    void Probe(std::function<void(bool)> done);
    // The answer of the last probe, if there was one.
    std::optional<bool> Answers() const { return answers_; }

    // Reads the entries of the model's rows that are marked but unread, and
    // the proxy password when the settings file marks it. A row whose entry
    // cannot be read keeps its empty password, and the log says which phone
    // and why. done() runs at once when nothing is to be read.
    void Load(TSetupModel &model, std::function<void()> done);

    // Saves rows 1..count to the phone list: with useKeyring (and a keyring
    // that answers) every password goes into the keyring first and the rows
    // whose entry was written are saved marked, the others masked; then the
    // file is written; then entries the file no longer refers to are deleted.
    // A marked row whose entry was never read and whose password is empty
    // keeps its mark and its entry. done(saved model, error text or empty).
    void SavePhones(const TSetupModel &model, const QString &fileName, int count, bool useKeyring,
                    std::function<void(const TSetupModel &saved, const QString &error)> done);

    // The proxy logon: the password into the keyring (useKeyring, a keyring
    // that answers, a password) and then the settings file; or the file
    // masked and then the old entry deleted. done(error text or empty).
    void SaveProxy(const QString &userName, const QString &password, bool useKeyring,
                   std::function<void(const QString &error)> done);

    // Moves the proxy password to where useKeyring says, when it is elsewhere
    // and known. done(error text or empty).
    void MoveProxy(bool useKeyring, std::function<void(const QString &error)> done);

    // After a row reload from the file: marked rows take the password that
    // `before` holds for the same number, when it was read there.
    static void KeepKnownPasswords(TSetupModel &reloaded, const TSetupModel &before);

    bool Idle() const { return !running_ && steps_.empty(); }

private:
    enum class Kind { Read, Write, Delete };
    // Finished job: error code (0 when none), its message, the text read.
    using JobDone = std::function<void(int error, const QString &message, const QString &text)>;
    // A step calls stepDone() exactly once, at once or when its job ends.
    void then(std::function<void()> step);
    void stepDone();
    void next();
    void job(Kind kind, const QString &key, const QString &text, JobDone done);
    // Reads one entry into fill, or fills it with the failure at once.
    void readStep(const QString &key, const JobDone &fill);
    void probeStep();

    std::deque<std::function<void()>> steps_;
    bool running_ = false;
    std::optional<bool> answers_;
    TProgramState &state_;
};

// The log line for a phone whose keyring entry could not be read.
QString KeyringReadProblem(const QString &number, const QString &reason);
