#include "ExSetupPhone.h"

#include "Failure.h"
#include "Readers.h"
#include "SetupForm.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TfrmExSetupPhone::TfrmExSetupPhone(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmExSetupPhone"));
    setWindowTitle(QStringLiteral("Дополнительная настройка телефона"));
    auto *top = new QVBoxLayout(this);
    auto *head = new QHBoxLayout;
    head->addWidget(new QLabel(QStringLiteral("Телефон:")));
    lblPhone = new QLabel;
    lblPhone->setObjectName(QStringLiteral("lblPhone"));
    QFont bold = lblPhone->font();
    bold.setBold(true);
    lblPhone->setFont(bold);
    head->addWidget(lblPhone, 1);
    top->addLayout(head);

    auto *group = new QGroupBox(QStringLiteral("Подсвечивать информацию о балансе:"));
    auto *grid = new QGridLayout(group);
    cbIndividSetup = new QCheckBox(QStringLiteral("Индивидуальные настройки для этого телефона"));
    cbIndividSetup->setObjectName(QStringLiteral("cbIndividSetup"));
    grid->addWidget(cbIndividSetup, 0, 0, 1, 2);
    lblBalanceLessThen = new QLabel(QStringLiteral("Баланс меньше ($)"));
    edBalanceLessThen = new QLineEdit;
    edBalanceLessThen->setObjectName(QStringLiteral("edBalanceLessThen"));
    edBalanceLessThen->setFixedWidth(110);
    InstallBalanceKeyFilter(edBalanceLessThen);
    lblTurnOffLessThen = new QLabel(QStringLiteral("Отключение менее чем через (дней)"));
    edTurnOffLessThen = new QLineEdit;
    edTurnOffLessThen->setObjectName(QStringLiteral("edTurnOffLessThen"));
    edTurnOffLessThen->setFixedWidth(110);
    grid->addWidget(lblBalanceLessThen, 1, 0);
    grid->addWidget(edBalanceLessThen, 1, 1);
    grid->addWidget(lblTurnOffLessThen, 2, 0);
    grid->addWidget(edTurnOffLessThen, 2, 1);
    top->addWidget(group);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    bnOK = new QPushButton(QStringLiteral("OK"));
    bnOK->setObjectName(QStringLiteral("bnOK"));
    bnOK->setDefault(true);
    bnCancel = new QPushButton(QStringLiteral("Отмена"));
    bnCancel->setObjectName(QStringLiteral("bnCancel"));
    buttons->addWidget(bnOK);
    buttons->addWidget(bnCancel);
    top->addLayout(buttons);
    connect(bnOK, &QPushButton::clicked, this, &TfrmExSetupPhone::accept);
    connect(bnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(cbIndividSetup, &QCheckBox::toggled, this,
            [this] { runHandler(ROUTINE("cbIndividSetupClick"), [&] { cbIndividSetupClick(); }); });
    Prepare(QString(), QString(), TPhoneExSettings{});
}

void TfrmExSetupPhone::Prepare(const QString &number, const QString &alias, const TPhoneExSettings &settings)
{
    settings_ = settings;
    lblPhone->setText(alias.isEmpty() ? number : number + QStringLiteral(" (") + alias + QLatin1Char(')'));
    cbIndividSetup->setChecked(settings.Individual);
    edBalanceLessThen->setText(FloatToText(static_cast<double>(settings.BalanceLessThen)));
    edTurnOffLessThen->setText(QString::number(settings.TurnOffLessThen));
    cbIndividSetupClick();
}

void TfrmExSetupPhone::cbIndividSetupClick()
{
    const bool on = cbIndividSetup->isChecked();
    for (QWidget *w : {static_cast<QWidget *>(lblBalanceLessThen), static_cast<QWidget *>(lblTurnOffLessThen),
                       static_cast<QWidget *>(edBalanceLessThen), static_cast<QWidget *>(edTurnOffLessThen)})
        w->setEnabled(on);
}

void TfrmExSetupPhone::accept()
{
    // The numbers are taken even while the tick is off; unreadable ones become
    // the program's default thresholds.
    settings_.Individual = cbIndividSetup->isChecked();
    settings_.BalanceLessThen = TextToFloat32(edBalanceLessThen->text())
                                    .value_or(TextToFloat32(QLatin1String(DefaultBalanceLessThen)).value_or(0));
    settings_.TurnOffLessThen
        = TextToInt(edTurnOffLessThen->text()).value_or(TextToInt(QLatin1String(DefaultTurnOffLessThen)).value_or(0));
    QDialog::accept();
}
