#pragma once
// TfrmHistory, "История баланса": the history chooser. The user picks a
// period and one of the monitored phones, then shows that phone's history in
// a grid ("Показать") or exports it to a workbook ("Excel").

#include "HistoryQueries.h"

#include <QDialog>
#include <QList>

class QButtonGroup;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QScrollArea;
class TfrmHistoryPhone;
struct TProgramState;

// The period of a request as the chooser's controls give it.
struct HistoryRequest {
    HistoryPeriod mode = HistoryPeriod::LastCount;
    int n = 50;
};

class TfrmHistory : public QDialog {
    Q_OBJECT
public:
    // Restores the settings of section "History Form" and creates one row per
    // monitored phone.
    // The state's monitored phones; its settings file keeps the chooser's choices.
    explicit TfrmHistory(TProgramState &state, QWidget *parent = nullptr);
    // Saves the settings.
    ~TfrmHistory() override;

    int SelectedPhone() const { return selectedPhone_; }
    // Mode 2 with N from the count edit (50 when not a whole number), mode 1
    // with N from the days edit (2), or mode 0.
    HistoryRequest RequestPeriod() const;
    // The slots of the phone rows, top to bottom.
    QList<int> PhoneSlots() const { return slots_; }

    // Opens the grid window of the slot modally (nothing while one is open).
    void ShowHistoryForPhone(int slot);
    // The export of the slot's history: file choice, then the workbook.
    void ConvertHistoryToExcel(int slot);

    // The chooser open at the moment (at most one), or null.
    static TfrmHistory *Instance();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    TProgramState &state_;
    void RestoreSettings();
    void SaveSettings();
    void CreatePhonesButtons();
    void rbPhoneClick(int slot);
    void bnShowClick();
    void bnExcelClick();

    QGroupBox *GroupBox1 = nullptr;
    QRadioButton *rbShowLastRequest = nullptr;
    QLineEdit *edLastRequest = nullptr;
    QLabel *Label1 = nullptr;
    QRadioButton *rbShowLastDays = nullptr;
    QLineEdit *edLastDays = nullptr;
    QLabel *Label12 = nullptr;
    QRadioButton *rbShowAll = nullptr;
    QGroupBox *grbPhones = nullptr;
    QScrollArea *scrbxPhones = nullptr;
    QButtonGroup *phoneGroup_ = nullptr;
    QPushButton *bnShow = nullptr;
    QPushButton *bnExcel = nullptr;

    int selectedPhone_ = 0;
    QList<int> slots_;
    TfrmHistoryPhone *gridWindow_ = nullptr;
};

// The tray menu's "История баланса": opens the chooser modally, or brings the
// open one to the front. The caller offers it only for an available history.
// Never throws (failures go to the error log).
void ShowHistory(TProgramState &state, QWidget *parent = nullptr);
