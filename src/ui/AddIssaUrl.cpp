#include "AddIssaUrl.h"

#include "Failure.h"
#include "IssaUrl.h"
#include "ProgramState.h"
#include "Readers.h"
#include "Setup.h"

#include <QCheckBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

TfrmAddIssaUrl::TfrmAddIssaUrl(const TIniFile &serversIni, QWidget *parent, const QString &editedLongName)
    : QDialog(parent), serversIni_(serversIni), editedLongName_(editedLongName)
{
    setObjectName(QStringLiteral("frmAddIssaUrl"));
    setWindowTitle(QStringLiteral("Добавить региональную ИССА"));

    auto *top = new QVBoxLayout(this);
    auto field = [&](const char *name, const char *caption) {
        if (caption)
            top->addWidget(new QLabel(QString::fromUtf8(caption)));
        auto *e = new QLineEdit;
        e->setObjectName(QLatin1String(name));
        top->addWidget(e);
        return e;
    };
    edRegionName = field("edRegionName", "Название региона:");
    edExampleUrl = field("edExampleUrl", "URL адрес для входа в ИССА. К примеру, для Москвы такой:");
    edExampleUrl->setReadOnly(true);
    edExampleUrl->setText(CorrectLoginUrl(DefaultIssaUrl().LoginURL));
    edExampleUrl->setFrame(false);
    edExampleUrl->setCursorPosition(0);
    edLoginUrl = field("edLoginUrl", nullptr);
    edShortName = field("edShortName", "Краткое название (до 4-х букв)");
    edShortName->setMaxLength(IssaShortNameMaxLength);
    edShortName->setFixedWidth(80);
    cbAllowPlainHttp = new QCheckBox(QStringLiteral("Разрешить вход без шифрования"));
    cbAllowPlainHttp->setObjectName(QStringLiteral("cbAllowPlainHttp"));
    cbAllowPlainHttp->setToolTip(QStringLiteral("Пароль будет отправляться на адрес http:// открытым текстом"));
    top->addWidget(cbAllowPlainHttp);

    auto *note = new QFrame;
    note->setFrameShape(QFrame::StyledPanel);
    auto *noteLayout = new QVBoxLayout(note);
    auto *noteHead = new QLabel(QStringLiteral("Уважаемые пользователи!"));
    QFont bold = noteHead->font();
    bold.setBold(true);
    noteHead->setFont(bold);
    noteLayout->addWidget(noteHead);
    auto *noteText = new QLabel(
        QStringLiteral("Если Вы настроили программу для своего региона и она работает, пришлите, пожалуйста, эти "
                       "настройки по электронной почте: мы включим их в дистрибутив, и другим пользователям Вашего "
                       "региона не придется их искать. Адрес:"));
    noteText->setWordWrap(true);
    noteLayout->addWidget(noteText);
    edSupportMail = new QLineEdit(QString::fromLatin1(SupportMailAddress));
    edSupportMail->setObjectName(QStringLiteral("edSupportMail"));
    edSupportMail->setReadOnly(true);
    noteLayout->addWidget(edSupportMail);
    top->addWidget(note);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    bnOk = new QPushButton(QStringLiteral("ОК"));
    bnOk->setObjectName(QStringLiteral("bnOk"));
    bnOk->setDefault(true);
    bnCancel = new QPushButton(QStringLiteral("Отмена"));
    bnCancel->setObjectName(QStringLiteral("bnCancel"));
    buttons->addWidget(bnOk);
    buttons->addWidget(bnCancel);
    top->addLayout(buttons);
    connect(bnOk, &QPushButton::clicked, this, &TfrmAddIssaUrl::accept);
    connect(bnCancel, &QPushButton::clicked, this, &QDialog::reject);
    setMinimumWidth(420);
}

void TfrmAddIssaUrl::SetValues(const QString &longName, const QString &loginUrl, const QString &shortName,
                               bool allowPlainHttp)
{
    edRegionName->setText(longName);
    edLoginUrl->setText(loginUrl);
    edShortName->setText(shortName);
    cbAllowPlainHttp->setChecked(allowPlainHttp);
}

bool TfrmAddIssaUrl::AllowPlainHttp() const
{
    return cbAllowPlainHttp->isChecked();
}

QString TfrmAddIssaUrl::RegionName() const
{
    return TrimControls(edRegionName->text());
}

QString TfrmAddIssaUrl::LoginUrl() const
{
    return TrimControls(edLoginUrl->text());
}

QString TfrmAddIssaUrl::ShortName() const
{
    return TrimControls(edShortName->text());
}

void TfrmAddIssaUrl::accept()
{
    QString message;
    try {
        message = CheckIssaUrlEntry(serversIni_, RegionName(), LoginUrl(), ShortName(), editedLongName_);
    } catch (const std::exception &e) {
        MainException(e);  // already labelled "IssaUrl.CheckIssaUrlEntry"
        return;
    }
    if (message.isEmpty()) {
        QDialog::accept();
    } else if (message == QString::fromUtf8(MsgAllFieldsRequired)) {
        QMessageBox::critical(this, QStringLiteral("Ошибка"), message);
    } else {
        QMessageBox::warning(this, QStringLiteral("Внимание"), message);
    }
}
