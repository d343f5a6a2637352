#include "ProxyLogonDialog.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

ProxyLogonDialog::ProxyLogonDialog(const QString &proxyName, QWidget *parent)
    : QDialog(parent), edUser_(new QLineEdit(this)), edPassword_(new QLineEdit(this))
{
    setObjectName(QStringLiteral("frmProxyLogon"));
    setWindowTitle(QStringLiteral("Вход на прокси-сервер"));
    auto *text = new QLabel(QStringLiteral("Прокси-сервер %1 требует имя пользователя и пароль.").arg(proxyName), this);
    text->setWordWrap(true);
    edUser_->setObjectName(QStringLiteral("edUserName"));
    edPassword_->setObjectName(QStringLiteral("edPassword"));
    edPassword_->setEchoMode(QLineEdit::Password);

    auto *fields = new QFormLayout;
    fields->addRow(QStringLiteral("Имя пользователя:"), edUser_);
    fields->addRow(QStringLiteral("Пароль:"), edPassword_);

    auto *bnOk = new QPushButton(QStringLiteral("OK"), this);
    bnOk->setObjectName(QStringLiteral("bnOK"));
    bnOk->setDefault(true);
    auto *bnCancel = new QPushButton(QStringLiteral("Отмена"), this);
    bnCancel->setObjectName(QStringLiteral("bnCancel"));
    connect(bnOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(bnCancel, &QPushButton::clicked, this, &QDialog::reject);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(bnOk);
    buttons->addWidget(bnCancel);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addLayout(fields);
    layout->addLayout(buttons);
    setMinimumWidth(340);
}

QString ProxyLogonDialog::UserName() const
{
    return edUser_->text();
}

QString ProxyLogonDialog::Password() const
{
    return edPassword_->text();
}
