#pragma once
// The configuration files of the tray program over its whole run: loads
// "phones.xml" element by element and the settings file on its own, so that a
// bad phone costs only its own row; writes at exit only what this run
// changed; and notices when another program (saldomat-cli, an editor)
// replaces or edits "Saldomat.ini", "servers.ini" or "phones.xml", reloading
// them between request runs.

#include "AtomicFile.h"
#include "Common.h"
#include "PasswordVault.h"
#include "Setup.h"

#include <QFileSystemWatcher>
#include <QObject>
#include <QSet>
#include <QTimer>
#include <array>
#include <functional>

struct TProgramState;

class ConfigWatcher : public QObject {
    Q_OBJECT
public:
    // Loads into and saves from the state's model and files.
    explicit ConfigWatcher(TProgramState &state, QObject *parent = nullptr);
    ~ConfigWatcher() override;

    // Whether a request run is active now: a change seen during a run is
    // loaded after it.
    void SetBusyQuery(std::function<bool()> busy) { busy_ = std::move(busy); }

    // Loads the phone rows and the general settings into the state's model, takes
    // them as the loaded state and starts watching the program directory;
    // the passwords kept in the system keyring follow (passwordsLoaded).
    // Never throws: failures go to the error log, problems a user must see to
    // problemsFound.
    void Load();
    // The state's model as it is now is what the files hold (the setup dialog has
    // just saved or reloaded them).
    void TakeSnapshot();
    // At exit: writes the general settings this run changed, nothing else.
    void SaveChanged();

    // How long a change must rest before it is read (the writer may replace
    // several files one after another), and how often a change seen during a
    // run is looked at again.
    static constexpr int kSettleMs = 300;
    static constexpr int kBusyRetryMs = 1000;

Q_SIGNALS:
    // Problems of the files that the user has not been told of in this run,
    // one text, lines separated by "\n".
    void problemsFound(const QString &text);
    // The files were reloaded after another program changed them (and the
    // keyring's passwords with them).
    void reloaded();
    // After Load(): the passwords kept in the system keyring are in the
    // model (or the log says why not). Always queued.
    void passwordsLoaded();

private:
    using Stamps = std::array<FileStamp, 3>;
    Stamps stampsNow() const;
    void loadFiles();
    void watch();
    void changed();
    void settled();

    std::function<bool()> busy_;
    TProgramState &state_;
    TSetupModel loaded_;
    Stamps stamps_{};
    QSet<QString> told_;
    QFileSystemWatcher watcher_;
    QTimer settle_;
    TPasswordVault vault_;
};
