#include "ProxyServerSetup.h"

#include "Failure.h"
#include "PasswordVault.h"
#include "ProgramState.h"
#include "SettingsFile.h"
#include "SetupForm.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

TfrmProxyServerSetup::TfrmProxyServerSetup(TProgramState &state, QWidget *parent) : QDialog(parent), state_(state)
{
    guarded(THIS_ROUTINE, [&] {
        setObjectName(QStringLiteral("frmProxyServerSetup"));
        setWindowTitle(QStringLiteral("Настройка Proxy сервера"));
        auto *top = new QVBoxLayout(this);
        auto *text = new QLabel(QStringLiteral(
            "Программа выходит в интернет через тот прокси сервер, который указан в настройках Вашей системы "
            "(переменные окружения http_proxy и https_proxy). Если для него нужна авторизация, то введите "
            "имя и пароль:"));
        text->setWordWrap(true);
        top->addWidget(text);
        auto *form = new QFormLayout;
        edUserName = new QLineEdit;
        edUserName->setObjectName(QStringLiteral("edUserName"));
        edPassword = new QLineEdit;
        edPassword->setObjectName(QStringLiteral("edPassword"));
        ShowPasswordAsStars(edPassword);
        form->addRow(QStringLiteral("Имя"), edUserName);
        form->addRow(QStringLiteral("Пароль"), edPassword);
        top->addLayout(form);
        auto *buttons = new QHBoxLayout;
        buttons->addStretch(1);
        bnOK = new QPushButton(QStringLiteral("OK"));
        bnOK->setObjectName(QStringLiteral("bnOK"));
        bnOK->setDefault(true);
        bnCancel = new QPushButton(QStringLiteral("Cancel"));
        bnCancel->setObjectName(QStringLiteral("bnCancel"));
        buttons->addWidget(bnOK);
        buttons->addWidget(bnCancel);
        top->addLayout(buttons);
        connect(bnOK, &QPushButton::clicked, this, &TfrmProxyServerSetup::accept);
        connect(bnCancel, &QPushButton::clicked, this, &QDialog::reject);
        setMinimumWidth(380);

        // The stored password is shown even without a user name.
        edUserName->setText(GetProxyUserName(state_));
        edPassword->setText(StoredProxyPassword(state_));
    });
}

void TfrmProxyServerSetup::accept()
{
    if (vault_) {
        bnOK->setEnabled(false);
        bnCancel->setEnabled(false);
        QPointer<TfrmProxyServerSetup> self(this);
        vault_->SaveProxy(edUserName->text(), edPassword->text(), useKeyring_, [this, self](const QString &error) {
            if (!self)
                return;
            bnOK->setEnabled(true);
            bnCancel->setEnabled(true);
            if (error.isEmpty()) {
                QDialog::accept();
                return;
            }
            MainException(labelledText(ROUTINE("accept"), error));
            QMessageBox::critical(this, QStringLiteral("Ошибка"),
                                  QStringLiteral("Настройки прокси не сохранены:\n%1").arg(error));
        });
        return;
    }
    bool stored = false;
    try {
        guarded(THIS_ROUTINE, [&] {
            SetProxyCredentials(state_, edUserName->text(), edPassword->text());
            stored = true;
        });
    } catch (const std::exception &e) {
        MainException(e);
        QMessageBox::critical(this, QStringLiteral("Ошибка"),
                              QStringLiteral("Настройки прокси не сохранены:\n%1").arg(failureText(e)));
    }
    if (stored)
        QDialog::accept();
}
