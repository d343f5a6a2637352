#pragma once
// TfrmIssaUrlChoose, "Выбор региона для телефона": picks a phone row's region
// from the built-in one and those of "servers.ini", and adds, edits and
// removes the regions of the file.

#include <QDialog>

class QComboBox;
class QLabel;
class QPushButton;
class QToolButton;

class TIniFile;

class TfrmIssaUrlChoose : public QDialog {
    Q_OBJECT
public:
    // The regions of that server list, which it adds to and edits.
    explicit TfrmIssaUrlChoose(TIniFile &serversIni, QWidget *parent = nullptr);

    // Fills the list (the built-in region first, then the file's sections in
    // file order) and selects the region with that short name, else the
    // built-in one.
    void Prepare(const QString &shortName);
    // The short name and long name of the selected region.
    QString SelectedShortName() const;
    QString SelectedLongName() const;

    QComboBox *cbIssaLongName;
    QToolButton *bnEdit, *bnAdd, *bnRemove;
    QLabel *lblShortName, *lblLoginUrl;
    QPushButton *bnChoose, *bnCancel;

private:
    TIniFile &serversIni_;
    void cbIssaLongNameChange();
    void bnAddClick();
    void bnEditClick();
    void bnRemoveClick();
};
