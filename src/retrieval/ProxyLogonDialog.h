#pragma once
// The proxy logon prompt the browser raises when a proxy asks for a logon:
// a user-name field, a password field, "OK" and "Отмена".

#include <QDialog>

class QLineEdit;

class ProxyLogonDialog : public QDialog {
    Q_OBJECT
public:
    // proxyName: "host:port" of the proxy that asks.
    explicit ProxyLogonDialog(const QString &proxyName, QWidget *parent = nullptr);

    QString UserName() const;
    QString Password() const;

private:
    QLineEdit *edUser_;
    QLineEdit *edPassword_;
};
