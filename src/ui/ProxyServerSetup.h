#pragma once
// TfrmProxyServerSetup, "Настройка Proxy сервера": the user name and password
// for a proxy server that asks for a logon. "OK" writes them to the settings
// file at once, the password masked.

#include <QDialog>

class QLineEdit;
class QPushButton;

class TfrmProxyServerSetup : public QDialog {
    Q_OBJECT
public:
    // Reads the stored logon; a stored password that cannot be decoded throws.
    explicit TfrmProxyServerSetup(QWidget *parent = nullptr);

    QLineEdit *edUserName, *edPassword;
    QPushButton *bnOK, *bnCancel;

public Q_SLOTS:
    void accept() override;
};
