#include "Saldomat_.h"

#include "About.h"
#include "BrowserWindow.h"
#include "Common.h"
#include "ConvertToExcel.h"
#include "DesktopNotices.h"
#include "Failure.h"
#include "History.h"
#include "HistoryPhone.h"
#include "PhoneTable.h"
#include "PhonesInfo.h"
#include "ProgramInit.h"
#include "ProgramState.h"
#include "ResourceImage.h"
#include "SettingsFile.h"
#include "Setup.h"
#include "SetupForm.h"
#include "StatusDisplay.h"
#include "StoreMDB.h"
#include "WBForm.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QIcon>
#include <QMenu>
#include <QMessageBox>
#include <QSystemTrayIcon>
#include <QUrl>

namespace {
// The maker's home page; the site item opens it with the program and version.
constexpr char kSiteUrl[] = "https://www.zelkor.example/saldomat/";
// Looking for a tray that is not there yet: every 2 s for 2 minutes.
constexpr int kTrayRetryMs = 2000;
constexpr int kTrayAttempts = 60;
}  // namespace

TfrmMain::TfrmMain(const TProgramPaths &paths, QObject *parent)
    : QObject(parent), state_(paths), markWatch_(state_), config_(state_),
      frmWBWindow_(std::make_unique<BrowserWindow>(state_)), frmWB_(std::make_unique<TfrmWB>(state_))
{
    frmWB_->SetDialogHost(frmWBWindow_.get());
    setObjectName(QStringLiteral("frmMain"));
    StartWorkTimer.setSingleShot(true);
    RequestTimer.setTimerType(Qt::PreciseTimer);
    StartWorkTimer.setInterval(10);
    connect(&StartWorkTimer, &QTimer::timeout, this, [this] {
        runHandler(ROUTINE("StartWorkTimerTimer"), [&] {
            StartWorkTimer.stop();
            if (!terminating_)
                StartWork();
        });
    });
    connect(&RequestTimer, &QTimer::timeout, this,
            [this] { runHandler(ROUTINE("RequestTimerTimer"), [&] { QueryNowAction(); }); });
    RepeatTimer.setSingleShot(true);
    RepeatTimer.setInterval(3000);
    connect(&RepeatTimer, &QTimer::timeout, this, [this] { runHandler(ROUTINE("AutoRepeat"), [&] { AutoRepeat(); }); });
    connect(frmWB_.get(), &TfrmWB::runFinished, this,
            [this] { runHandler(ROUTINE("RunFinished"), [&] { RunFinished(); }); });
    buildMenu();
    // Files changed by another program are read again between runs.
    config_.SetBusyQuery([this] { return Busy() || (frmSetup_ && frmSetup_->IsOpen()); });
    connect(&config_, &ConfigWatcher::problemsFound, this,
            [this](const QString &text) { notifier_.ShowProblem(QLatin1String(ProgramName), text); });
    connect(&config_, &ConfigWatcher::reloaded, this,
            [this] { runHandler(ROUTINE("ConfigReloaded"), [&] { ConfigReloaded(); }); });
}

void TfrmMain::ConfigReloaded()
{
    LoadHistoryInformation();
    Display().RefreshAll();
    if (testRefreshMs_ == 0 && RequestTimer.interval() != RequestIntervalMs(state_.Setup))
        SetRequestInterval();
}

TfrmMain::~TfrmMain()
{
    delete menu_;
}

TStatusDisplay &TfrmMain::Display()
{
    if (display_)
        return *display_;
    // The tray digits, the hint and the phones window are made once the icon
    // is in the tray: the icon comes up first, the windows a moment later.
    display_ = std::make_unique<TStatusDisplay>(state_);
    display_->SetTrayMenu(menu_);
    display_->ConnectEngine(frmWB_.get());
    connect(display_.get(), &TStatusDisplay::requestOnlyOne, this,
            [this](int slot) { runHandler(ROUTINE("RequestInformation"), [&] { StartRun(2, slot, 0); }); });
    connect(display_.get(), &TStatusDisplay::historyRequested, this, [this](int slot) {
        runHandler(ROUTINE("historyRequested"), [&] {
            if (HistoryAvailable())
                ::ShowHistoryPhone(state_, slot, HistoryPeriod::LastCount, 50, &display_->PhonesInfo());
        });
    });
    connect(display_.get(), &TStatusDisplay::excelRequested, this, [this](bool redOnly) {
        runHandler(ROUTINE("ppmExcelClick"), [&] { ::SaveInfoToExcel(state_, &display_->PhonesInfo(), redOnly); });
    });
    connect(ppmPhonesInfo, &QAction::triggered, this,
            [this] { runHandler(ROUTINE("ppmPhonesInfoClick"), [&] { display_->ShowPhonesInfo(); }); });
    if (tray_)
        display_->SetTray(tray_);
    return *display_;
}

void TfrmMain::buildMenu()
{
    menu_ = new QMenu;
    auto item = [this](const char *name, const QString &caption) {
        QAction *a = menu_->addAction(caption);
        a->setObjectName(QLatin1String(name));
        return a;
    };
    ppmAbout = item("ppmAbout", QStringLiteral("О программе"));
    menu_->addSeparator();
    ppmSite = item("ppmSite", QStringLiteral("Помощь и обновления"));
    ppmSetup = item("ppmSetup", QStringLiteral("Настроить программу"));
    menu_->addSeparator();
    ppmHistory = item("ppmHistory", QStringLiteral("История баланса"));
    ppmPhonesInfo = item("ppmPhonesInfo", QStringLiteral("Баланс телефонов"));
    menu_->addSeparator();
    ppmQueryBad = item("ppmQueryBad", QStringLiteral("Повторить \"неудачные\" попытки"));
    ppmQueryBad->setEnabled(false);
    ppmStopRequest = item("ppmStopRequest", QStringLiteral("Остановить запрос"));
    ppmStopRequest->setVisible(false);
    ppmQueryNow = item("ppmQueryNow", QStringLiteral("Запросить информацию сейчас"));
    menu_->addSeparator();
    ppmExit = item("ppmExit", QStringLiteral("Выйти"));
    menu_->setDefaultAction(ppmPhonesInfo);
    ppmHistory->setVisible(false);

    connect(ppmSetup, &QAction::triggered, this,
            [this] { runHandler(ROUTINE("ppmSetupClick"), [&] { SetupAction(); }); });
    connect(ppmAbout, &QAction::triggered, this,
            [this] { runHandler(ROUTINE("ppmAboutClick"), [&] { AboutAction(); }); });
    connect(ppmHistory, &QAction::triggered, this,
            [this] { runHandler(ROUTINE("ppmHistoryClick"), [&] { HistoryAction(); }); });
    connect(ppmSite, &QAction::triggered, this, [this] { runHandler(ROUTINE("ppmSiteClick"), [&] { GoToSite(); }); });
    connect(ppmQueryNow, &QAction::triggered, this,
            [this] { runHandler(ROUTINE("ppmQueryNowClick"), [&] { QueryNowAction(); }); });
    connect(ppmQueryBad, &QAction::triggered, this,
            [this] { runHandler(ROUTINE("ppmQueryBadClick"), [&] { QueryBadAction(); }); });
    connect(ppmStopRequest, &QAction::triggered, this, [this] {
        runHandler(ROUTINE("ppmStopRequestClick"), [&] {
            Display().HideTrayHint();
            StopRequest();
        });
    });
    connect(ppmExit, &QAction::triggered, this, [this] { runHandler(ROUTINE("ppmExitClick"), [&] { ExitApp(); }); });
}

void TfrmMain::FormCreate()
{
    guarded(THIS_ROUTINE, [&] {
        TruncateFile(state_.Paths.ErrFileName);
        QString failureBox;
        try {
            mdbStore_ = OpenHistoryStore(state_.Paths, &failureBox);
        } catch (...) {
            // The history table could not be brought up to date: the program
            // cannot record results and ends, after saying why.
            IconFromTray();
            if (!failureBox.isEmpty())
                QMessageBox::critical(nullptr, QLatin1String(ProgramName), failureBox);
            Terminate();
            throw;
        }
        if (mdbStore_)
            // Not modal: the run goes on while the window is open.
            mdbStore_->setWarning(
                [this](const QString &text) { notifier_.ShowProblem(QLatin1String(ProgramName), text); });
        frmWB_->SetStore(mdbStore_.get());
        ppmHistory->setVisible(HistoryAvailable());
        IconToTray();
        StartWorkTimer.start();
    });
}

void TfrmMain::IconToTray()
{
    guarded(THIS_ROUTINE, [&] {
        if (!QSystemTrayIcon::isSystemTrayAvailable()) {
            // A desktop session may still be starting its tray: look again for
            // a while before running on without an icon.
            // Tests shorten the wait through the "Debug" section.
            const int waitS
                = state_.IniFile.ReadInteger(QStringLiteral("Debug"), QStringLiteral("TestTrayWaitSeconds"), -1);
            if (trayAttempts_++ < (waitS >= 0 ? waitS * 1000 / kTrayRetryMs : kTrayAttempts)) {
                QTimer::singleShot(kTrayRetryMs, this, [this] {
                    runHandler(ROUTINE("IconToTray"), [&] {
                        if (!tray_ && !terminating_)
                            IconToTray();
                    });
                });
            } else {
                AppendStringToFile(QStringLiteral("Область уведомлений недоступна: программа работает без значка"),
                                   state_.Paths.ErrFileName);
                TellNoTray(notifier_, Display());
            }
            return;
        }
        tray_ = new QSystemTrayIcon(ResourceIcon(QStringLiteral(":/z_TrayIcon.xpm")), this);
        tray_->setContextMenu(menu_);
        tray_->setToolTip(QString());
        tray_->show();
        notifier_.SetTray(tray_);
        if (display_)
            display_->SetTray(tray_);
        // Start-up measurements watch for this line.
        if (qEnvironmentVariableIsSet("SALDOMAT_STARTUP_PROBE"))
            QTimer::singleShot(0, this, [] { fputs("tray-icon-shown\n", stderr), fflush(stderr); });
    });
}

void TfrmMain::IconFromTray()
{
    guarded(THIS_ROUTINE, [&] {
        if (tray_) {
            if (display_)
                display_->SetTray(nullptr);
            tray_->hide();
            delete tray_;
            tray_ = nullptr;
        }
    });
}

bool TfrmMain::ExitApp()
{
    // The program ends whatever fails on the way out: each step runs, a failed
    // one is logged, and the exit code (and the answer to a copy that sent
    // "Close") says that not everything was saved.
    bool ok = true;
    auto step = [&ok](auto &&body) {
        try {
            guarded(ROUTINE("ExitApp"), body);
        } catch (const std::exception &e) {
            MainException(e);
            ok = false;
        }
    };
    step([&] { Display().HideTrayHint(); });
    step([&] { StopRequest(); });
    step([&] { config_.SaveChanged(); });
    step([&] { SaveProgramPathToRegistry(); });
    step([&] { IconFromTray(); });
    Terminate(ok ? 0 : 1);
    return ok;
}

void TfrmMain::Terminate(int exitCode)
{
    terminating_ = true;
    QCoreApplication::exit(exitCode);
}

void TfrmMain::StartWork()
{
    guarded(THIS_ROUTINE, [&] {
        Display();
        config_.Load();
        ApplyTestTimings();
        LoadHistoryInformation();
        Display().RefreshAll();
        SetRequestInterval();
        // The start-up run waits for the passwords kept in the system keyring.
        connect(
            &config_, &ConfigWatcher::passwordsLoaded, this,
            [this] {
                runHandler(ROUTINE("StartWork"), [&] {
                    if (state_.Setup.General.cbExecAfterRun && !terminating_)
                        QueryNowAction();
                });
            },
            Qt::SingleShotConnection);
    });
}

void TfrmMain::LoadHistoryInformation()
{
    guarded(THIS_ROUTINE, [&] {
        if (!mdbStore_)
            return;
        LoadHistoryIntoTable(state_, mdbStore_.get());
        markWatch_.Reset();
        SetEnabledForAllMenus(true);
    });
}

void TfrmMain::ApplyTestTimings()
{
    // Long runs of the program in tests compress its schedule through keys of
    // the "Debug" section; a user's settings file has none of them.
    const QString debug = QStringLiteral("Debug");
    testRefreshMs_ = 1000 * state_.IniFile.ReadInteger(debug, QStringLiteral("TestRefreshSeconds"), 0);
    const int pauseMs = state_.IniFile.ReadInteger(debug, QStringLiteral("TestPauseMs"), -1);
    const int timeOutS = state_.IniFile.ReadInteger(debug, QStringLiteral("TestTimeOutSeconds"), 0);
    if (pauseMs >= 0)
        frmWB_->SetPauseMs(pauseMs);
    if (timeOutS > 0)
        frmWB_->SetTimeOutMs(timeOutS * 1000);
}

void TfrmMain::SetRequestInterval()
{
    guarded(THIS_ROUTINE, [&] {
        RequestTimer.stop();
        const qint64 interval = testRefreshMs_ > 0 ? testRefreshMs_ : RequestIntervalMs(state_.Setup);
        RequestTimer.setInterval(static_cast<int>(qMin<qint64>(interval, INT_MAX)));
        RequestTimer.start();
    });
}

void TfrmMain::SetEnabledForAllMenus(bool enabled)
{
    guarded(THIS_ROUTINE, [&] {
        for (QAction *a : {ppmSetup, ppmQueryNow, ppmAbout, ppmHistory, ppmPhonesInfo})
            a->setEnabled(enabled);
        ppmQueryBad->setEnabled(enabled ? HaseBadPhones() : false);
        ppmHistory->setVisible(HistoryAvailable());  // checked again at every run
        Display().SetHistoryAvailable(HistoryAvailable());
        Display().SetPhonesMenusEnabled(enabled);
    });
}

bool TfrmMain::HaseBadPhones()
{
    return guarded(THIS_ROUTINE, [&] {
        for (int i = 1; i <= MaxPhones; ++i) {
            if (MonitorPhoneEnabled(state_, i) && !state_.IssaArray[i].Success) {
                QApplication::beep();
                return true;
            }
        }
        return false;
    });
}

bool TfrmMain::HistoryAvailable() const
{
    return mdbStore_ && mdbStore_->Available();
}

bool TfrmMain::Busy() const
{
    return frmWB_->IsRunning() || RepeatTimer.isActive();
}

bool TfrmMain::RequestInformation(int mode, int slot, bool automaticRepeat)
{
    return guarded(THIS_ROUTINE, [&] {
        if (frmWB_->IsRunning())
            return false;  // one run at a time: a command during a run is refused
        // The refresh period counts from the end of the run.
        RequestTimer.stop();
        SetEnabledForAllMenus(false);
        ppmQueryNow->setVisible(false);
        ppmStopRequest->setVisible(true);
        Q_EMIT requestRunStarted(mode);
        // A run that does not start gives the menu and the refresh timer back.
        bool started = false;
        try {
            started = frmWB_->RequestInformation(mode, slot, !automaticRepeat);
        } catch (...) {
            repeatsLeft_ = 0;
            RunFinished();
            throw;
        }
        if (!started) {
            repeatsLeft_ = 0;
            RunFinished();
        }
        return started;
    });
}

void TfrmMain::RunFinished()
{
    // The menu comes back also when something below fails.
    struct MenuRestore {
        TfrmMain *self;
        ~MenuRestore()
        {
            try {
                self->SetEnabledForAllMenus(true);
            } catch (const std::exception &e) {
                MainException(e);
            }
            self->ppmQueryNow->setVisible(true);
            self->ppmStopRequest->setVisible(false);
        }
    };
    {
        MenuRestore restore{this};
        if (terminating_)
            return;
        NotifyNewlyMarked();
        if (Display().PhonesInfoVisible()) {
            Display().PhonesInfo().raise();
            Display().PhonesInfo().activateWindow();
        }
        Display().FillTrayHintInfo();
    }
    // The repeats for the failed phones, when the user wants them.
    // The menu has just been given back with the failed-phone check (and its
    // beep): its "query the failed" item says whether any phone failed.
    if (repeatsLeft_ > 0 && state_.Setup.General.cbAutoReRquest && !frmWB_->Stopped() && ppmQueryBad->isEnabled()) {
        --repeatsLeft_;
        RepeatTimer.start();
        return;
    }
    EndAction();
}

void TfrmMain::EndAction()
{
    repeatsLeft_ = 0;
    SetRequestInterval();
    Q_EMIT requestActionFinished();
}

void TfrmMain::NotifyNewlyMarked()
{
    for (const QString &text : SendRunNotices(state_, markWatch_, notifier_))
        Q_EMIT noticeShown(text);
}

void TfrmMain::AutoRepeat()
{
    if (terminating_)
        return;
    if (frmWB_->Stopped() || !ppmQueryBad->isEnabled() || !RequestInformation(1, 0, /*automaticRepeat=*/true)) {
        EndAction();
    }
}

void TfrmMain::StartRun(int mode, int slot, int repeats)
{
    if (frmWB_->IsRunning())
        return;
    RepeatTimer.stop();  // a new run replaces the repeats still due
    repeatsLeft_ = repeats;
    RequestInformation(mode, slot);
}

void TfrmMain::QueryNowAction()
{
    Display().HideTrayHint();
    StartRun(0, 0, 2);
}

void TfrmMain::QueryBadAction()
{
    Display().HideTrayHint();
    StartRun(1, 0, 2);
}

void TfrmMain::StopRequest()
{
    const bool repeatDue = RepeatTimer.isActive();
    RepeatTimer.stop();
    repeatsLeft_ = 0;
    frmWB_->StopRequest();  // a run going on ends here, through RunFinished
    if (repeatDue)
        EndAction();
}

namespace {
// The tray hint is forbidden (and hidden) while a window such as the setup is open.
struct HintForbidden {
    explicit HintForbidden(TStatusDisplay &d) : display(d)
    {
        display.SetHintAllowed(false);
        display.HideTrayHint();
    }
    ~HintForbidden() { display.SetHintAllowed(true); }
    TStatusDisplay &display;
};
}  // namespace

template <class Body> void TfrmMain::WithMenusDisabled(Body &&body)
{
    SetEnabledForAllMenus(false);
    try {
        body();
    } catch (...) {
        SetEnabledForAllMenus(true);
        throw;
    }
    SetEnabledForAllMenus(true);
}

void TfrmMain::SetupAction()
{
    TSetupResult result;
    HintForbidden noHint(Display());
    WithMenusDisabled([&] {
        StopRequest();
        result = guarded(ROUTINE("Setup"), [&] {
            if (!frmSetup_)  // made at its first use: a quicker, smaller start
                frmSetup_ = std::make_unique<TfrmSetup>(state_);
            // While the dialog is open a run passes over every phone.
            frmWB_->SetSetupDialogOpen(true);
            struct SetupClosed {
                TfrmWB &engine;
                ~SetupClosed() { engine.SetSetupDialogOpen(false); }
            } closed{*frmWB_};
            const TSetupResult r = RunSetupDialog(*frmSetup_);
            config_.TakeSnapshot();
            if (r.Confirmed) {
                SetRequestInterval();  // the refresh period starts again
                LoadHistoryInformation();
                Display().RefreshAll();
            }
            return r;
        });
    });
    if (result.RequestNow)
        QueryNowAction();
}

void TfrmMain::AboutAction()
{
    Display().HideTrayHint();
    WithMenusDisabled([&] {
        ShowAboutBox(QLatin1String(kSiteUrl), [this] { runHandler(ROUTINE("GoToSite"), [&] { GoToSite(); }); });
    });
}

void TfrmMain::HistoryAction()
{
    guarded(THIS_ROUTINE, [&] {
        HintForbidden noHint(Display());
        if (!HistoryAvailable())
            return;
        WithMenusDisabled([&] {
            StopRequest();
            ::ShowHistory(state_, nullptr);
        });
    });
}

void TfrmMain::GoToSite()
{
    Display().HideTrayHint();
    guarded(THIS_ROUTINE, [&] {
        QDesktopServices::openUrl(
            QUrl(QLatin1String(kSiteUrl) + QStringLiteral("?Saldomat-_v_") + QLatin1String(ProgramVersion)));
    });
}

bool TfrmMain::QueryNowAllowed() const
{
    return ppmQueryNow->isEnabled() && ppmQueryNow->isVisible();
}

bool TfrmMain::QueryBadAllowed() const
{
    return ppmQueryBad->isEnabled();
}

bool TfrmMain::HandleCommand(const QString &command)
{
    if (command == QLatin1String("Close")) {
        return ExitApp();
    } else if (command == QLatin1String("QueryNow")) {
        if (QueryNowAllowed())
            guarded(THIS_ROUTINE, [&] { QueryNowAction(); });
    } else if (command == QLatin1String("QueryOnlyBad")) {
        if (QueryBadAllowed())
            guarded(THIS_ROUTINE, [&] { QueryBadAction(); });
    }
    return true;
}
