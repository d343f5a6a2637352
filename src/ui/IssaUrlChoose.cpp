#include "IssaUrlChoose.h"

#include "AddIssaUrl.h"
#include "Failure.h"
#include "IssaUrl.h"
#include "ProgramState.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
bool isDefaultLongName(const QString &longName)
{
    return longName.compare(DefaultIssaUrl().LongName, Qt::CaseInsensitive) == 0;
}

QToolButton *smallButton(const char *name, const char *text, const char *hint)
{
    auto *b = new QToolButton;
    b->setObjectName(QLatin1String(name));
    b->setText(QString::fromUtf8(text));
    b->setToolTip(QString::fromUtf8(hint));
    b->setFixedSize(24, 24);
    return b;
}
}  // namespace

TfrmIssaUrlChoose::TfrmIssaUrlChoose(TIniFile &serversIni, QWidget *parent) : QDialog(parent), serversIni_(serversIni)
{
    setObjectName(QStringLiteral("frmIssaUrlChoose"));
    setWindowTitle(QStringLiteral("Выбор региона для телефона"));

    auto *top = new QVBoxLayout(this);
    auto *line = new QHBoxLayout;
    cbIssaLongName = new QComboBox;
    cbIssaLongName->setObjectName(QStringLiteral("cbIssaLongName"));
    cbIssaLongName->setEditable(false);
    cbIssaLongName->setMinimumWidth(240);
    cbIssaLongName->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    bnEdit = smallButton("bnEdit", "…", "Редактировать");
    bnAdd = smallButton("bnAdd", "+", "Добавить");
    bnRemove = smallButton("bnRemove", "−", "Удалить");
    line->addWidget(cbIssaLongName, 1);
    line->addWidget(bnEdit);
    line->addWidget(bnAdd);
    line->addWidget(bnRemove);
    top->addLayout(line);

    auto *info = new QGridLayout;
    info->addWidget(new QLabel(QStringLiteral("Коротко:")), 0, 0);
    lblShortName = new QLabel;
    lblShortName->setObjectName(QStringLiteral("lblShortName"));
    info->addWidget(lblShortName, 0, 1);
    info->addWidget(new QLabel(QStringLiteral("Web адрес:")), 1, 0);
    lblLoginUrl = new QLabel;
    lblLoginUrl->setObjectName(QStringLiteral("lblLoginUrl"));
    lblLoginUrl->setTextInteractionFlags(Qt::TextSelectableByMouse);
    info->addWidget(lblLoginUrl, 1, 1);
    info->setColumnStretch(1, 1);
    top->addLayout(info);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    bnChoose = new QPushButton(QStringLiteral("Выбрать"));
    bnChoose->setObjectName(QStringLiteral("bnChoose"));
    bnChoose->setDefault(true);
    bnCancel = new QPushButton(QStringLiteral("Отмена"));
    bnCancel->setObjectName(QStringLiteral("bnCancel"));
    buttons->addWidget(bnChoose);
    buttons->addWidget(bnCancel);
    top->addLayout(buttons);

    connect(bnChoose, &QPushButton::clicked, this, &QDialog::accept);
    connect(bnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(cbIssaLongName, &QComboBox::currentIndexChanged, this,
            [this] { runHandler(ROUTINE("cbIssaLongNameChange"), [&] { cbIssaLongNameChange(); }); });
    connect(bnAdd, &QToolButton::clicked, this, [this] { runHandler(ROUTINE("bnAddClick"), [&] { bnAddClick(); }); });
    connect(bnEdit, &QToolButton::clicked, this,
            [this] { runHandler(ROUTINE("bnEditClick"), [&] { bnEditClick(); }); });
    connect(bnRemove, &QToolButton::clicked, this,
            [this] { runHandler(ROUTINE("bnRemoveClick"), [&] { bnRemoveClick(); }); });
}

void TfrmIssaUrlChoose::Prepare(const QString &shortName)
{
    guarded(THIS_ROUTINE, [&] {
        const QString selected = IssaLongNameForShortName(serversIni_, shortName);
        {
            const QSignalBlocker blocker(cbIssaLongName);
            cbIssaLongName->clear();
            cbIssaLongName->addItems(IssaLongNames(serversIni_));
            // A section may carry the built-in region's name: the first line wins.
            const int index = cbIssaLongName->findText(selected, Qt::MatchFixedString);
            cbIssaLongName->setCurrentIndex(index >= 0 ? index : 0);
        }
        cbIssaLongNameChange();
    });
}

void TfrmIssaUrlChoose::cbIssaLongNameChange()
{
    const QString longName = cbIssaLongName->currentText();
    // The built-in region is shown, never edited or removed.
    const bool builtIn = cbIssaLongName->currentIndex() <= 0 || isDefaultLongName(longName);
    TIssaUrlInfo info;
    if (builtIn)
        info = DefaultIssaUrl();
    else
        IssaUrlByLongName(serversIni_, longName, info);
    lblShortName->setText(info.ShortName);
    lblLoginUrl->setText(info.LoginURL);
    bnEdit->setEnabled(!builtIn);
    bnRemove->setEnabled(!builtIn);
}

QString TfrmIssaUrlChoose::SelectedShortName() const
{
    return lblShortName->text();
}

QString TfrmIssaUrlChoose::SelectedLongName() const
{
    return cbIssaLongName->currentText();
}

void TfrmIssaUrlChoose::bnAddClick()
{
    TfrmAddIssaUrl dialog(serversIni_, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    AddIssaUrl(serversIni_, dialog.RegionName(), dialog.ShortName(), dialog.LoginUrl(), dialog.AllowPlainHttp());
    Prepare(dialog.ShortName());
}

void TfrmIssaUrlChoose::bnEditClick()
{
    const QString oldName = SelectedLongName();
    TfrmAddIssaUrl dialog(serversIni_, this, oldName);
    TIssaUrlInfo current;
    IssaUrlByLongName(serversIni_, oldName, current);
    dialog.SetValues(oldName, lblLoginUrl->text(), lblShortName->text(), current.AllowPlainHttp);
    if (dialog.exec() != QDialog::Accepted)
        return;
    EditIssaUrl(serversIni_, oldName, dialog.RegionName(), dialog.ShortName(), dialog.LoginUrl(),
                dialog.AllowPlainHttp());
    Prepare(dialog.ShortName());
}

void TfrmIssaUrlChoose::bnRemoveClick()
{
    const QString name = SelectedLongName();
    const auto answer = QMessageBox::question(this, QStringLiteral("Подтверждение"),
                                              QStringLiteral("Удалить региональную ИССА \"%1\" из списка?").arg(name),
                                              QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    if (answer != QMessageBox::Yes)
        return;
    RemoveIssaUrl(serversIni_, name);
    Prepare(DefaultIssaUrl().ShortName);
}
