#pragma once
// TStatusDisplay: the status display in one piece for the controller. It owns
// the tray hint, its timers and the phones window, and draws into the tray
// icon the controller created (never owning it). The phones window is made
// when it is first wanted: until then the tray digits and the hint are all
// there is to draw.
#include "PhonesInfo.h"
#include "TrayHint.h"
#include "TrayIcon.h"

#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QSystemTrayIcon>
#include <memory>

struct TProgramState;

class TStatusDisplay : public QObject {
    Q_OBJECT
public:
    // Shows the state's phone table and settings.
    explicit TStatusDisplay(TProgramState &state, QSystemTrayIcon *tray = nullptr, QObject *parent = nullptr);
    ~TStatusDisplay() override;

    // The controller's tray icon (nullptr when the desktop has none). Left
    // clicks on it show and hide the phones window.
    void SetTray(QSystemTrayIcon *tray);
    // The tray menu: opening it hides the hint; a right click below the
    // phones window's rows pops it up.
    void SetTrayMenu(QMenu *menu);

    TTrayIcon &TrayIcon() { return *trayIcon_; }
    TTrayHint &Hint() { return *hint_; }
    THintControl &HintControl() { return *hintControl_; }
    // The phones window, made (and filled from the phone table) at the first call.
    TfrmPhonesInfo &PhonesInfo();
    bool HasPhonesInfo() const { return phonesInfo_ != nullptr; }

    // After the history was loaded at start-up and after the setup dialog was
    // confirmed: rebuild and fill the grid, draw the tray digits, fill the hint.
    void RefreshAll();
    // The controller's FillTrayHintInfo.
    void FillTrayHintInfo() { hintControl_->FillTrayHintInfo(); }
    void HideTrayHint() { hintControl_->HideTrayHint(); }
    void SetHintAllowed(bool allowed) { hintControl_->SetHintAllowed(allowed); }
    // Left click on the tray icon.
    void ShowPhonesInfo();
    bool PhonesInfoVisible() const { return phonesInfo_ && phonesInfo_->isVisible(); }
    // The phones window's request, history and export items, now and for a
    // window made later.
    void SetPhonesMenusEnabled(bool enabled);
    // The phones window's history item, now and for a window made later.
    void SetHistoryAvailable(bool available);

    // Connects the request engine's signals: progressMessage, phonesChanged,
    // phoneChanged,
    // animationStart, animationStop, plainTrayIcon, trayPhoneInfoChanged.
    template <class Engine> void ConnectEngine(Engine *engine)
    {
        connect(engine, &Engine::progressMessage, hintControl_.get(), &THintControl::progressMessage);
        connect(engine, &Engine::phonesChanged, this, [this] {
            if (PhonesInfoVisible())
                phonesInfo_->phonesChanged();
        });
        connect(engine, &Engine::phoneChanged, this, [this](int slot) {
            if (PhonesInfoVisible())
                phonesInfo_->phoneChanged(slot);
        });
        connect(engine, &Engine::animationStart, trayIcon_.get(), &TTrayIcon::animationStart);
        connect(engine, &Engine::animationStop, trayIcon_.get(), &TTrayIcon::animationStop);
        connect(engine, &Engine::plainTrayIcon, trayIcon_.get(), &TTrayIcon::plainTrayIcon);
        connect(engine, &Engine::trayPhoneInfoChanged, trayIcon_.get(), &TTrayIcon::trayPhoneInfoChanged);
        trayIcon_->SetStoppedQuery([engine = QPointer<Engine>(engine)] { return engine && engine->Stopped(); });
    }

Q_SIGNALS:
    // "Запрос по этому телефону": the controller's RequestInformation(2, slot).
    void requestOnlyOne(int slot);
    // The phones window's "История баланса по телефону" and export items.
    void historyRequested(int slot);
    void excelRequested(bool redOnly);

private:
    // Makes and wires the phones window, unfilled.
    TfrmPhonesInfo &makePhonesInfo();
    void trayActivated(QSystemTrayIcon::ActivationReason reason);

    TProgramState &state_;
    std::unique_ptr<TTrayIcon> trayIcon_;
    std::unique_ptr<TTrayHint> hint_;
    std::unique_ptr<THintControl> hintControl_;
    std::unique_ptr<TfrmPhonesInfo> phonesInfo_;
    QPointer<QSystemTrayIcon> tray_;
    QPointer<QMenu> menu_;
    QMetaObject::Connection activated_;
    bool phonesMenusEnabled_ = true;
    bool historyAvailable_ = false;
};
