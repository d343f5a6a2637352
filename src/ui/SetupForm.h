#pragma once
// TfrmSetup, "Настройка программы Saldomat": the dialog in which the user enters
// the phones to watch and the general settings. It is created once and kept
// for the whole run; each showing edits a copy of the program state's model
// with the phone rows reloaded from "phones.xml". "Сохранить"
// checks the monitored rows, writes "phones.xml" and assigns the copy back;
// every way of cancelling drops the copy and reloads the rows from the file.
// Passwords kept in the system keyring are read and written through its own
// TPasswordVault: "Сохранить" closes the dialog once they are stored.

#include "Common.h"
#include "PasswordVault.h"
#include "Setup.h"

#include <QDialog>
#include <QPixmap>
#include <array>

class QButtonGroup;
struct TProgramState;
struct TSetupResult;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QScrollArea;
class QTabWidget;
class QToolButton;

// The widgets of one phone row; the row's own thresholds live in the copy of
// the model that the dialog edits.
struct TSetupRowWidgets {
    QLabel *plNN = nullptr;
    QCheckBox *cbMonitor = nullptr;
    QRadioButton *rbTrayShow = nullptr;
    QLineEdit *edNumber = nullptr;
    QLineEdit *edPassword = nullptr;
    QLineEdit *edAlias = nullptr;
    QPushButton *bnIssa = nullptr;
    QToolButton *bnExSetup = nullptr;
};

class TfrmSetup : public QDialog {
    Q_OBJECT
public:
    // Edits a copy of the state's model; "Сохранить" assigns it back.
    explicit TfrmSetup(TProgramState &state, QWidget *parent = nullptr);
    ~TfrmSetup() override;

    // The copy being edited (valid while the dialog is shown).
    const TSetupModel &EditedModel() const { return model_; }
    // "Сохранить и запросить баланс" as the dialog closed.
    bool RequestNowChecked() const;
    // From the dialog's showing until it is hidden again.
    bool IsOpen() const { return open_; }
    // The controller's setup step works on the dialog's own program state.
    friend TSetupResult RunSetupDialog(TfrmSetup &dialog);

    const TSetupRowWidgets &Row(int slot) const;
    QTabWidget *pages() const { return pcSetup; }
    QWidget *phonesPage() const { return tsPhones; }
    QScrollArea *phonesScroll() const { return sbPhones; }

    // The general controls, named as the settings they show.
    QCheckBox *cbNN, *cbLicSchet, *cbAlias, *cbUserName, *cbPhoneNum, *cbBalans, *cbObPlat, *cbAverage, *cbTurnOff,
        *cbRecomend, *cbSMS, *cbMin, *cbJeansBalExpired, *cbBalDelta, *cbLastQueryTime;
    QCheckBox *cbMarkIfBalance, *cbMarkIfTurnOff;
    QCheckBox *cbNotify;
    QLineEdit *edBalanceLessThen, *edTurnOffLessThen;
    QGroupBox *gbWarning;
    QLabel *lblWarning;
    QLabel *lblRefresh_a, *lblRefresh_b;
    QComboBox *cbRefreshTime;
    QCheckBox *cbAutoStart, *cbExecAfterRun, *cbAutoReRquest;
    QCheckBox *cbKeyring;
    QLabel *lblKeyring;  // where the passwords are kept
    QPushButton *bnProxyServer;
    QRadioButton *rbTrayShowMinimal, *rbTrayNotShow;
    QPushButton *bnOK, *bnCancel;
    QCheckBox *cbRequestNow;

    // The colours of the warning group while the pointer is away from the text.
    static QColor WarningCaptionColor();

public Q_SLOTS:
    void accept() override;  // "Сохранить"
    void reject() override;  // "Отмена", Esc, the close box

    // Never taller than the free area of its screen: the pages scroll, the
    // buttons stay in reach.
    void FitIntoScreen();

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void CreateSetupPhones(int count);
    void CreateSetupPhoneLine(QWidget *parent, int slot);
    void FormShow();
    void FillControls();
    void ReadControls(TSetupModel &model) const;
    void FillRow(int slot);
    void ApplyMonitor(int slot);
    void UpdateRefreshCaptions();
    void UpdateMarkFields();
    void SetExSetupPicture(int slot);
    bool CheckPhoneNum();
    bool CheckPassword();
    bool CheckRows(int slot, bool number);
    void bnIssaClick(int slot);
    void bnExSetupClick(int slot);
    void bnProxyServerClick();
    void SetWarningHot(bool hot);
    void ReloadPhonesFromXml(TSetupModel &model);
    void UpdateKeyringLabel();

    QTabWidget *pcSetup = nullptr;
    QWidget *tsPhones = nullptr;
    QScrollArea *sbPhones = nullptr;
    QButtonGroup *trayGroup_ = nullptr;
    std::array<TSetupRowWidgets, MaxPhones + 1> rows_{};
    TSetupModel model_;
    bool phonesFileMalformed_ = false;
    bool open_ = false;
    TProgramState &state_;
    TPasswordVault vault_;
    bool saving_ = false;
};

// What the controller's setup step learns from the dialog.
struct TSetupResult {
    bool Confirmed = false;  // closed with "Сохранить"
    bool RequestNow = false;  // "Сохранить и запросить баланс" ticked as it closed
};

// The controller's setup step around the dialog: loads the settings file into
// the model, shows the dialog modally, then saves the settings file (confirmed)
// or loads it again (cancelled, dropping the edits of the general settings).
// The request engine skips every phone while the dialog is open.
TSetupResult RunSetupDialog(TfrmSetup &dialog);

// The characters the row's number and password fields take from the keyboard,
// and those of a balance threshold field ("," typed becomes "."). Control
// characters and keys without text always pass.
bool PhoneFieldKeyAllowed(QChar c);
bool BalanceFieldKeyAllowed(QChar c);
// Installs the balance field's key filter on an edit (the common threshold and
// the per-phone one).
void InstallBalanceKeyFilter(QLineEdit *edit);
void InstallPhoneKeyFilter(QLineEdit *edit);
// Masks an edit as a password field showing "*" for each character.
void ShowPasswordAsStars(QLineEdit *edit);

// The picture of a row's extra-settings button.
QPixmap ExSetupPicture(bool individual);
