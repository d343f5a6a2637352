#include "StatusDisplay.h"

#include "Failure.h"

TStatusDisplay::TStatusDisplay(TProgramState &state, QSystemTrayIcon *tray, QObject *parent)
    : QObject(parent), state_(state), trayIcon_(std::make_unique<TTrayIcon>(state)),
      hint_(std::make_unique<TTrayHint>()), hintControl_(std::make_unique<THintControl>(state, hint_.get(), nullptr))
{
    hintControl_->SetPhonesWindowVisible([this] { return PhonesInfoVisible(); });
    SetTray(tray);
}

TfrmPhonesInfo &TStatusDisplay::PhonesInfo()
{
    if (phonesInfo_)
        return *phonesInfo_;
    // The constructor has laid out the rows: only the figures are missing.
    makePhonesInfo().FillGrid();
    return *phonesInfo_;
}

TfrmPhonesInfo &TStatusDisplay::makePhonesInfo()
{
    phonesInfo_ = std::make_unique<TfrmPhonesInfo>(state_);
    TfrmPhonesInfo *phones = phonesInfo_.get();
    phones->SetTrayIcon(trayIcon_.get());
    phones->SetMenusEnabled(phonesMenusEnabled_);
    phones->SetHistoryAvailable(historyAvailable_);
    connect(phones, &TfrmPhonesInfo::requestOnlyOne, this, &TStatusDisplay::requestOnlyOne);
    connect(phones, &TfrmPhonesInfo::historyRequested, this, &TStatusDisplay::historyRequested);
    connect(phones, &TfrmPhonesInfo::excelRequested, this, &TStatusDisplay::excelRequested);
    connect(phones, &TfrmPhonesInfo::visibilityChanged, this, [this](bool visible) {
        if (visible)
            hintControl_->HideTrayHint();
    });
    connect(phones, &TfrmPhonesInfo::trayMenuRequested, this, [this](const QPoint &at) {
        if (menu_)
            menu_->popup(at);
    });
    return *phones;
}

void TStatusDisplay::SetPhonesMenusEnabled(bool enabled)
{
    phonesMenusEnabled_ = enabled;
    if (phonesInfo_)
        phonesInfo_->SetMenusEnabled(enabled);
}

void TStatusDisplay::SetHistoryAvailable(bool available)
{
    historyAvailable_ = available;
    if (phonesInfo_)
        phonesInfo_->SetHistoryAvailable(available);
}

TStatusDisplay::~TStatusDisplay()
{
    // An open phones window keeps its place and sizes for the next run.
    if (phonesInfo_ && phonesInfo_->isVisible())
        phonesInfo_->hide();
}

void TStatusDisplay::SetTray(QSystemTrayIcon *tray)
{
    if (activated_)
        disconnect(activated_);
    tray_ = tray;
    trayIcon_->SetTray(tray);
    hintControl_->SetTray(tray);
    if (tray)
        activated_ = connect(tray, &QSystemTrayIcon::activated, this, &TStatusDisplay::trayActivated);
}

void TStatusDisplay::SetTrayMenu(QMenu *menu)
{
    menu_ = menu;
    if (menu)
        connect(menu, &QMenu::aboutToShow, hintControl_.get(), &THintControl::menuAboutToShow);
}

void TStatusDisplay::RefreshAll()
{
    guarded(THIS_ROUTINE, [&] {
        if (phonesInfo_)
            phonesInfo_->Rebuild();
        trayIcon_->ChangeTrayPhoneInfo();
        hintControl_->FillTrayHintInfo();
    });
}

void TStatusDisplay::ShowPhonesInfo()
{
    hintControl_->HideTrayHint();
    // A window made now is built and filled by its showing.
    (phonesInfo_ ? *phonesInfo_ : makePhonesInfo()).ShowPhonesInfo();
}

void TStatusDisplay::trayActivated(QSystemTrayIcon::ActivationReason reason)
{
    if (reason == QSystemTrayIcon::Trigger)
        runHandler(THIS_ROUTINE, [&] { ShowPhonesInfo(); });
}
