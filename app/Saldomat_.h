#pragma once
// TfrmMain: the program's controller. It owns the tray icon, the tray menu and
// the timers, decides when request runs happen and opens the other windows.
// It is never shown.

#include "Common.h"
#include "ConfigWatcher.h"
#include "MarkWatch.h"
#include "Notifier.h"
#include "ProgramState.h"

#include <QObject>
#include <QTimer>

#include <memory>

class QAction;
class QMenu;
class QSystemTrayIcon;
class BrowserWindow;
class TStatusDisplay;
class TfrmSetup;
class TfrmWB;
class TmdbStore;

class TfrmMain : public QObject {
    Q_OBJECT
public:
    // paths: the program's files, handed to every part that reads or writes them.
    // Owns the program's state on the files of paths.
    explicit TfrmMain(const TProgramPaths &paths, QObject *parent = nullptr);
    const TProgramPaths &Paths() const { return state_.Paths; }
    TProgramState &State() { return state_; }
    ~TfrmMain() override;

    // The rest of start-up after the single-instance check.
    void FormCreate();
    // Ends the program; false when something (the settings) could not be saved.
    bool ExitApp();
    // Set once the program is asked to end.
    bool Terminating() const { return terminating_; }

    // The refresh timer, for tests: the next periodic run. It stands still
    // during a run and its repeats and counts from their end.
    const QTimer &requestTimer() const { return RequestTimer; }
    // The pause before each automatic repeat of the failed phones (3 s).
    void SetRepeatPauseMs(int ms) { RepeatTimer.setInterval(ms); }
    // True from the start of a run until it and its automatic repeats are over.
    bool Busy() const;
    // The history could be read at its last check (start-up, then every run).
    bool HistoryAvailable() const;

    // Commands of a later copy of the program; false when one failed.
    bool HandleCommand(const QString &command);
    // "QueryNow" runs only while "Запросить информацию сейчас" is enabled and
    // visible (no request running); "QueryOnlyBad" only while its item is enabled.
    bool QueryNowAllowed() const;
    bool QueryBadAllowed() const;

    void SetEnabledForAllMenus(bool enabled);
    bool HaseBadPhones();
    // The end of a query action (its run and repeats): the timer restarts
    // and requestActionFinished is sent.
    void EndAction();

    QMenu *trayMenu() const { return menu_; }
    TfrmWB *engine() const { return frmWB_.get(); }
    Notifier &notifier() { return notifier_; }
    ConfigWatcher &config() { return config_; }
    // Made at its first use (normally when the work starts).
    TStatusDisplay &Display();
    QAction *ppmAbout = nullptr;
    QAction *ppmSite = nullptr;
    QAction *ppmSetup = nullptr;
    QAction *ppmHistory = nullptr;
    QAction *ppmPhonesInfo = nullptr;
    QAction *ppmQueryBad = nullptr;
    QAction *ppmStopRequest = nullptr;
    QAction *ppmQueryNow = nullptr;
    QAction *ppmExit = nullptr;

Q_SIGNALS:
    // A notice for the user (also when there is no tray to show it).
    void noticeShown(const QString &text);
    // A request run was started (mode 0 all phones, 1 failed phones).
    void requestRunStarted(int mode);
    // A run and its automatic repeats are over; the menu is back.
    void requestActionFinished();

private:
    void buildMenu();
    // Asks the event loop to end with the exit code.
    void Terminate(int exitCode = 0);
    void IconToTray();
    void IconFromTray();
    void StartWork();
    // After another program changed the configuration files.
    void ConfigReloaded();
    void SetRequestInterval();
    void ApplyTestTimings();
    // Starts a run unless one is going on (then the command is refused).
    bool RequestInformation(int mode, int slot, bool automaticRepeat = false);
    // A run asked for by the user or the timer (none while one is going on),
    // followed by up to `repeats` automatic repeats for the failed phones.
    void StartRun(int mode, int slot, int repeats);
    void RunFinished();
    void LoadHistoryInformation();
    void QueryNowAction();
    // The repeats for the failed phones after a run, when the user wants them.
    void AutoRepeat();
    void QueryBadAction();
    void GoToSite();
    void SetupAction();
    void AboutAction();
    void HistoryAction();
    // A modal window: the menu is disabled while it is open.
    template <class Body> void WithMenusDisabled(Body &&body);
    void StopRequest();
    // A desktop notice for every phone that has newly become marked.
    void NotifyNewlyMarked();

    TProgramState state_;
    QMenu *menu_ = nullptr;
    QSystemTrayIcon *tray_ = nullptr;
    int trayAttempts_ = 0;
    bool terminating_ = false;
    TMarkWatch markWatch_;
    Notifier notifier_;
    ConfigWatcher config_;
    qint64 testRefreshMs_ = 0;
    QTimer StartWorkTimer;
    QTimer RequestTimer;
    QTimer RepeatTimer;
    int repeatsLeft_ = 0;  // automatic repeats still due after the current run
    std::unique_ptr<TmdbStore> mdbStore_;
    // The browser's window (parent of its dialogs) outlives the engine.
    std::unique_ptr<BrowserWindow> frmWBWindow_;
    std::unique_ptr<TfrmWB> frmWB_;
    std::unique_ptr<TfrmSetup> frmSetup_;
    std::unique_ptr<TStatusDisplay> display_;
};
