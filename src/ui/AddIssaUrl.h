#pragma once
// TfrmAddIssaUrl, "Добавить региональную ИССА": the region name, login address
// and short name of a new region, or of the one being edited.

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPushButton;

class TIniFile;

class TfrmAddIssaUrl : public QDialog {
    Q_OBJECT
public:
    // editedLongName: the region being edited (left out of the short-name
    // test), empty when adding.
    // Checks the entry against the regions of that server list.
    explicit TfrmAddIssaUrl(const TIniFile &serversIni, QWidget *parent = nullptr,
                            const QString &editedLongName = QString());

    void SetValues(const QString &longName, const QString &loginUrl, const QString &shortName,
                   bool allowPlainHttp = false);
    // The entered values, blanks around removed.
    QString RegionName() const;
    QString LoginUrl() const;
    QString ShortName() const;
    // "Разрешить вход без шифрования": passwords may go to an http:// address.
    bool AllowPlainHttp() const;

    QLineEdit *edRegionName, *edExampleUrl, *edLoginUrl, *edShortName, *edSupportMail;
    QCheckBox *cbAllowPlainHttp;
    QPushButton *bnOk, *bnCancel;

public Q_SLOTS:
    void accept() override;  // "ОК" after the input checks

private:
    const TIniFile &serversIni_;
    QString editedLongName_;
};

// The address shown in the note of the dialog.
inline constexpr char SupportMailAddress[] = "saldomat@zelkor.example";
