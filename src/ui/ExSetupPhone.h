#pragma once
// TfrmExSetupPhone, "Дополнительная настройка телефона": a phone row's own
// marking thresholds.

#include "Setup.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

class TfrmExSetupPhone : public QDialog {
    Q_OBJECT
public:
    explicit TfrmExSetupPhone(QWidget *parent = nullptr);

    // Shows the row: its number (with the alias in brackets) and thresholds.
    void Prepare(const QString &number, const QString &alias, const TPhoneExSettings &settings);
    // The thresholds as "OK" took them (as prepared until then).
    TPhoneExSettings Settings() const { return settings_; }

    QLabel *lblPhone;
    QCheckBox *cbIndividSetup;
    QLabel *lblBalanceLessThen, *lblTurnOffLessThen;
    QLineEdit *edBalanceLessThen, *edTurnOffLessThen;
    QPushButton *bnOK, *bnCancel;

public Q_SLOTS:
    void accept() override;

private:
    void cbIndividSetupClick();
    TPhoneExSettings settings_;
};
