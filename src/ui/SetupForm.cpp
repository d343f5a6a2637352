#include "SetupForm.h"

#include "Common.h"
#include "ExSetupPhone.h"
#include "Failure.h"
#include "IssaUrlChoose.h"
#include "PhoneNumber.h"
#include "PhonesXml.h"
#include "ProgramState.h"
#include "ProxyServerSetup.h"
#include "Readers.h"
#include "ResourceImage.h"
#include "SettingsFile.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFile>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QProxyStyle>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
// Row geometry: every control is 21 high, row N starts at 5 + 21 * (N - 1).
constexpr int kRowHeight = 21;
constexpr int kRowTop = 5;
constexpr int kPanelX = 0, kPanelW = 25;
constexpr int kTickX = kPanelX + kPanelW + 3, kTickW = 17;
constexpr int kRadioX = kTickX + kTickW + 5, kRadioW = 17;
constexpr int kNumberX = kRadioX + kRadioW + 7, kNumberW = 90;
constexpr int kPasswordX = kNumberX + kNumberW, kPasswordW = 60;
constexpr int kAliasX = kPasswordX + kPasswordW, kAliasW = 100;
constexpr int kIssaX = kAliasX + kAliasW + 8, kIssaW = 40;
constexpr int kExSetupX = kIssaX + kIssaW + 5, kExSetupW = 21;
constexpr int kRowRight = kExSetupX + kExSetupW;
constexpr int kClientWidth = kRowRight + 35;

int rowTop(int slot)
{
    return kRowTop + kRowHeight * (slot - 1);
}

// The key filters of the number, password and balance fields: each typed
// character is looked at before the field gets it.
class KeyFilter : public QObject {
public:
    enum Kind { Phone, Balance };
    KeyFilter(Kind kind, QObject *parent) : QObject(parent), kind_(kind) { }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        const QString text = static_cast<QKeyEvent *>(event)->text();
        if (text.isEmpty())
            return false;  // arrows, Home, End...: no character
        const QChar c = text.at(0);
        if (kind_ == Balance && c == QLatin1Char(',')) {
            if (auto *edit = qobject_cast<QLineEdit *>(watched))
                if (!edit->isReadOnly())
                    edit->insert(QStringLiteral("."));
            return true;
        }
        const bool allowed = kind_ == Phone ? PhoneFieldKeyAllowed(c) : BalanceFieldKeyAllowed(c);
        return !allowed;
    }

private:
    Kind kind_;
};

// Password fields show "*" for each character, whatever the style draws by default.
class StarPasswordStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                  QStyleHintReturn *returnData) const override
    {
        if (hint == SH_LineEdit_PasswordCharacter)
            return '*';
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

bool isControlChar(QChar c)
{
    return c.unicode() < 32 || c.unicode() == 127;
}

QColor warningTextColor()
{
    return QColor(128, 128, 128);
}

QCheckBox *addTick(QVBoxLayout *layout, const char *name, const char *caption)
{
    auto *box = new QCheckBox(QString::fromUtf8(caption));
    box->setObjectName(QLatin1String(name));
    layout->addWidget(box);
    return box;
}
// A page whose controls scroll when the dialog is lower than they are (a
// small screen, or a large scale factor).
QScrollArea *scrolling(QWidget *page)
{
    auto *area = new QScrollArea;
    area->setObjectName(page->objectName() + QStringLiteral("Scroll"));
    area->setFrameShape(QFrame::NoFrame);
    area->setWidgetResizable(true);
    area->setWidget(page);
    return area;
}
}  // namespace

bool PhoneFieldKeyAllowed(QChar c)
{
    return isControlChar(c) || c == QLatin1Char('+') || c == QLatin1Char('-')
        || (c >= QLatin1Char('0') && c <= QLatin1Char('9'));
}

bool BalanceFieldKeyAllowed(QChar c)
{
    return isControlChar(c) || c == QLatin1Char(' ') || c == QLatin1Char('-') || c == QLatin1Char('.')
        || (c >= QLatin1Char('0') && c <= QLatin1Char('9'));
}

void ShowPasswordAsStars(QLineEdit *edit)
{
    static QPointer<StarPasswordStyle> style;
    if (!style) {
        style = new StarPasswordStyle;
        style->setParent(qApp);
    }
    edit->setEchoMode(QLineEdit::Password);
    edit->setStyle(style);
}

void InstallBalanceKeyFilter(QLineEdit *edit)
{
    edit->installEventFilter(new KeyFilter(KeyFilter::Balance, edit));
}

void InstallPhoneKeyFilter(QLineEdit *edit)
{
    edit->installEventFilter(new KeyFilter(KeyFilter::Phone, edit));
}

QPixmap ExSetupPicture(bool individual)
{
    static const QPixmap plain = ResourcePixmap(QStringLiteral(":/ExSetupPhone.xpm"));
    static const QPixmap own = ResourcePixmap(QStringLiteral(":/ExSetupPhone1.xpm"));
    return individual ? own : plain;
}

QColor TfrmSetup::WarningCaptionColor()
{
    return QColor(128, 64, 64);
}

TfrmSetup::TfrmSetup(TProgramState &state, QWidget *parent) : QDialog(parent), state_(state), vault_(state)
{
    guarded(THIS_ROUTINE, [&] {
        setObjectName(QStringLiteral("frmSetup"));
        setWindowTitle(QStringLiteral("Настройка программы Saldomat"));
        setWindowIcon(ResourceIcon(QStringLiteral(":/MAINICON.xpm")));

        auto *top = new QVBoxLayout(this);
        pcSetup = new QTabWidget(this);
        pcSetup->setObjectName(QStringLiteral("pcSetup"));
        top->addWidget(pcSetup, 1);

        // Page "Телефоны".
        tsPhones = new QWidget;
        tsPhones->setObjectName(QStringLiteral("tsPhones"));
        auto *phonesLayout = new QVBoxLayout(tsPhones);
        auto *gbPhones = new QGroupBox(QStringLiteral("Телефоны для мониторинга"));
        phonesLayout->addWidget(gbPhones);
        auto *gbPhonesLayout = new QVBoxLayout(gbPhones);
        gbPhonesLayout->setSpacing(2);
        auto *headings = new QWidget;
        headings->setFixedHeight(18);
        gbPhonesLayout->addWidget(headings);
        sbPhones = new QScrollArea;
        sbPhones->setObjectName(QStringLiteral("sbPhones"));
        sbPhones->setWidgetResizable(false);
        sbPhones->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        sbPhones->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        gbPhonesLayout->addWidget(sbPhones, 1);
        CreateSetupPhones(MaxPhones);
        const int frame = sbPhones->frameWidth();
        sbPhones->setMinimumWidth(sbPhones->widget()->width() + sbPhones->verticalScrollBar()->sizeHint().width()
                                  + 2 * frame);
        // The headings sit over row 1's controls.
        const struct {
            const char *text;
            int x;
        } heads[] = {{"вкл", kTickX},        {nullptr, kRadioX}, {"Телефон", kNumberX}, {"Пароль", kPasswordX},
                     {"Псевдоним", kAliasX}, {"Рег-н", kIssaX},  {"Доп", kExSetupX}};
        for (const auto &h : heads) {
            auto *label = new QLabel(headings);
            if (h.text) {
                label->setText(QString::fromUtf8(h.text));
            } else {
                label->setPixmap(ResourcePixmap(QStringLiteral(":/z_TrayIcon.xpm")));
                label->setToolTip(QStringLiteral("Баланс в трее"));
            }
            label->adjustSize();
            label->move(h.x + frame + (h.text ? 0 : 1), 0);
        }
        // Where the passwords are kept.
        cbKeyring = new QCheckBox(QStringLiteral("Хранить пароли в связке ключей системы"));
        cbKeyring->setObjectName(QStringLiteral("cbKeyring"));
        lblKeyring = new QLabel;
        lblKeyring->setObjectName(QStringLiteral("lblKeyring"));
        lblKeyring->setWordWrap(true);
        phonesLayout->addWidget(cbKeyring);
        phonesLayout->addWidget(lblKeyring);
        connect(cbKeyring, &QCheckBox::toggled, this, [this] { UpdateKeyringLabel(); });
        pcSetup->addTab(tsPhones, QStringLiteral("Телефоны"));

        // Page "Информационное окно".
        auto *tsInfo = new QWidget;
        tsInfo->setObjectName(QStringLiteral("tsInfo"));
        auto *infoLayout = new QVBoxLayout(tsInfo);
        auto *gbShow = new QGroupBox(QStringLiteral("Показывать в информационном окне"));
        auto *showLayout = new QVBoxLayout(gbShow);
        showLayout->setSpacing(2);
        cbNN = addTick(showLayout, "cbNN", "Порядковый номер телефона");
        cbLicSchet = addTick(showLayout, "cbLicSchet", "Номер лицевого счета");
        cbAlias = addTick(showLayout, "cbAlias", "Псевдоним");
        cbUserName = addTick(showLayout, "cbUserName", "Имя пользователя");
        cbPhoneNum = addTick(showLayout, "cbPhoneNum", "Номер телефона");
        cbBalans = addTick(showLayout, "cbBalans", "Актуальный баланс");
        cbBalans->setChecked(true);
        cbBalans->setEnabled(false);
        cbObPlat = addTick(showLayout, "cbObPlat", "Сумма обещанного платежа");
        cbAverage = addTick(showLayout, "cbAverage", "Средний расход средств в день");
        cbTurnOff = addTick(showLayout, "cbTurnOff", "Предположительная дата отключения");
        cbRecomend = addTick(showLayout, "cbRecomend", "Рекомендовано заплатить");
        cbSMS = addTick(showLayout, "cbSMS", "Количество оставшихся SMS");
        cbMin = addTick(showLayout, "cbMin", "Количество предоплаченных минут");
        cbJeansBalExpired = addTick(showLayout, "cbJeansBalExpired", "Срок действия баланса истекает через... (Джинс)");
        cbBalDelta = addTick(showLayout, "cbBalDelta", "Изменение баланса со вчерашнего дня");
        cbLastQueryTime = addTick(showLayout, "cbLastQueryTime", "Дата/время последнего запроса информации");
        infoLayout->addWidget(gbShow);
        auto *gbMark = new QGroupBox(QStringLiteral("Выделять информацию если:"));
        auto *markLayout = new QGridLayout(gbMark);
        cbMarkIfBalance = new QCheckBox(QStringLiteral("Баланс меньше ($)"));
        cbMarkIfBalance->setObjectName(QStringLiteral("cbMarkIfBalance"));
        edBalanceLessThen = new QLineEdit;
        edBalanceLessThen->setObjectName(QStringLiteral("edBalanceLessThen"));
        edBalanceLessThen->setFixedWidth(60);
        InstallBalanceKeyFilter(edBalanceLessThen);
        cbMarkIfTurnOff = new QCheckBox(QStringLiteral("Отключение менее чем через (дней)"));
        cbMarkIfTurnOff->setObjectName(QStringLiteral("cbMarkIfTurnOff"));
        edTurnOffLessThen = new QLineEdit;
        edTurnOffLessThen->setObjectName(QStringLiteral("edTurnOffLessThen"));
        edTurnOffLessThen->setFixedWidth(60);
        markLayout->addWidget(cbMarkIfBalance, 0, 0);
        markLayout->addWidget(edBalanceLessThen, 0, 1);
        markLayout->addWidget(cbMarkIfTurnOff, 1, 0);
        markLayout->addWidget(edTurnOffLessThen, 1, 1);
        cbNotify = new QCheckBox(QStringLiteral("Сообщать, когда телефон начинает выделяться"));
        cbNotify->setObjectName(QStringLiteral("cbNotify"));
        markLayout->addWidget(cbNotify, 2, 0, 1, 3);
        markLayout->setColumnStretch(2, 1);
        infoLayout->addWidget(gbMark);
        infoLayout->addStretch(1);
        connect(cbMarkIfBalance, &QCheckBox::toggled, this,
                [this] { runHandler(ROUTINE("cbLessThanClick"), [&] { UpdateMarkFields(); }); });
        connect(cbMarkIfTurnOff, &QCheckBox::toggled, this,
                [this] { runHandler(ROUTINE("cbLessThanClick"), [&] { UpdateMarkFields(); }); });
        pcSetup->addTab(scrolling(tsInfo), QStringLiteral("Информационное окно"));

        // Page "Соединение".
        auto *tsConnection = new QWidget;
        tsConnection->setObjectName(QStringLiteral("tsConnection"));
        auto *connLayout = new QVBoxLayout(tsConnection);
        gbWarning = new QGroupBox(QStringLiteral("Внимание!"));
        gbWarning->setObjectName(QStringLiteral("gbWarning"));
        auto *warnLayout = new QVBoxLayout(gbWarning);
        lblWarning = new QLabel(
            QStringLiteral("Программа сама соединяется с сайтом ИССА и пользуется сетевыми настройками Вашей системы "
                           "(прокси-сервер берется из переменных окружения http_proxy и https_proxy). За один запрос "
                           "информации по каждому телефону из интернета скачивается около 30 кб."));
        lblWarning->setObjectName(QStringLiteral("lblWarning"));
        lblWarning->setWordWrap(true);
        lblWarning->setAttribute(Qt::WA_Hover);
        lblWarning->installEventFilter(this);
        warnLayout->addWidget(lblWarning);
        SetWarningHot(false);
        connLayout->addWidget(gbWarning);
        auto *gbRefresh = new QGroupBox(QStringLiteral("Обновление информации"));
        auto *refreshLayout = new QHBoxLayout(gbRefresh);
        lblRefresh_a = new QLabel;
        lblRefresh_a->setObjectName(QStringLiteral("lblRefresh_a"));
        cbRefreshTime = new QComboBox;
        cbRefreshTime->setObjectName(QStringLiteral("cbRefreshTime"));
        for (int hours : RefreshTimeHours)
            cbRefreshTime->addItem(QString::number(hours));
        lblRefresh_b = new QLabel;
        lblRefresh_b->setObjectName(QStringLiteral("lblRefresh_b"));
        refreshLayout->addWidget(lblRefresh_a);
        refreshLayout->addWidget(cbRefreshTime);
        refreshLayout->addWidget(lblRefresh_b);
        refreshLayout->addStretch(1);
        connect(cbRefreshTime, &QComboBox::currentIndexChanged, this,
                [this] { runHandler(ROUTINE("cbRefreshTimeChange"), [&] { UpdateRefreshCaptions(); }); });
        connLayout->addWidget(gbRefresh);
        auto *gbStart = new QGroupBox(QStringLiteral("Запуск программы и история баланса"));
        auto *startLayout = new QVBoxLayout(gbStart);
        cbAutoStart = addTick(startLayout, "cbAutoStart", "Запускать программу при входе в систему");
        cbExecAfterRun = addTick(startLayout, "cbExecAfterRun", "Запрашивать баланс сразу после запуска");
        cbAutoReRquest = addTick(startLayout, "cbAutoReRquest",
                                 "Автоматически повторить запрос по \"неудачным\" попыткам (2 раза)");
        connLayout->addWidget(gbStart);
        bnProxyServer = new QPushButton(QStringLiteral("Proxy Server"));
        bnProxyServer->setObjectName(QStringLiteral("bnProxyServer"));
        auto *proxyLine = new QHBoxLayout;
        proxyLine->addWidget(bnProxyServer);
        proxyLine->addStretch(1);
        connLayout->addLayout(proxyLine);
        connLayout->addStretch(1);
        connect(bnProxyServer, &QPushButton::clicked, this,
                [this] { runHandler(ROUTINE("bnProxyServerClick"), [&] { bnProxyServerClick(); }); });
        pcSetup->addTab(scrolling(tsConnection), QStringLiteral("Соединение"));

        // Below the pages.
        auto *bottom = new QHBoxLayout;
        cbRequestNow = new QCheckBox(QStringLiteral("Сохранить и запросить баланс"));
        cbRequestNow->setObjectName(QStringLiteral("cbRequestNow"));
        bnOK = new QPushButton(QStringLiteral("Сохранить"));
        bnOK->setObjectName(QStringLiteral("bnOK"));
        bnOK->setDefault(true);
        bnCancel = new QPushButton(QStringLiteral("Отмена"));
        bnCancel->setObjectName(QStringLiteral("bnCancel"));
        bottom->addWidget(cbRequestNow);
        bottom->addStretch(1);
        bottom->addWidget(bnOK);
        bottom->addWidget(bnCancel);
        top->addLayout(bottom);
        connect(bnOK, &QPushButton::clicked, this, &TfrmSetup::accept);
        connect(bnCancel, &QPushButton::clicked, this, &TfrmSetup::reject);

        pcSetup->setCurrentWidget(tsPhones);
        resize(qMax(kClientWidth, minimumSizeHint().width()), 560);
        UpdateRefreshCaptions();
    });
}

TfrmSetup::~TfrmSetup() = default;

void TfrmSetup::CreateSetupPhones(int count)
{
    guarded(THIS_ROUTINE, [&] {
        auto *area = new QWidget;
        area->setObjectName(QStringLiteral("sbPhonesArea"));
        trayGroup_ = new QButtonGroup(this);
        trayGroup_->setExclusive(true);
        for (int slot = 1; slot <= count; ++slot)
            CreateSetupPhoneLine(area, slot);
        const int radiosTop = rowTop(count) + kRowHeight + 3;
        rbTrayShowMinimal = new QRadioButton(QStringLiteral("  Показывать минимальный баланс"), area);
        rbTrayShowMinimal->setObjectName(QStringLiteral("rbTrayShowMinimal"));
        rbTrayShowMinimal->move(kTickX, radiosTop);
        rbTrayShowMinimal->adjustSize();
        rbTrayNotShow = new QRadioButton(QStringLiteral("  Не показывать значение баланса в трее"), area);
        rbTrayNotShow->setObjectName(QStringLiteral("rbTrayNotShow"));
        rbTrayNotShow->move(kTickX, radiosTop + rbTrayShowMinimal->height() + 3);
        rbTrayNotShow->adjustSize();
        rbTrayNotShow->setChecked(true);
        trayGroup_->addButton(rbTrayShowMinimal);
        trayGroup_->addButton(rbTrayNotShow);
        const int width = qMax(
            kRowRight + 4,
            qMax(rbTrayShowMinimal->x() + rbTrayShowMinimal->width(), rbTrayNotShow->x() + rbTrayNotShow->width()));
        area->resize(width, rbTrayNotShow->y() + rbTrayNotShow->height() + 5);
        sbPhones->setWidget(area);
    });
}

void TfrmSetup::CreateSetupPhoneLine(QWidget *parent, int slot)
{
    guarded(THIS_ROUTINE, [&] {
        // Shared by all rows: a disabled field takes the button-face colour,
        // the region button's caption is blue.
        static QPalette fieldPalette, regionPalette;
        static bool palettesReady = false;
        if (!palettesReady) {
            fieldPalette = parent->palette();
            fieldPalette.setColor(QPalette::Disabled, QPalette::Base, fieldPalette.color(QPalette::Button));
            regionPalette = parent->palette();
            regionPalette.setColor(QPalette::Active, QPalette::ButtonText, Qt::blue);
            regionPalette.setColor(QPalette::Inactive, QPalette::ButtonText, Qt::blue);
            palettesReady = true;
        }
        const QString n = QString::number(slot);
        const int y = rowTop(slot);
        TSetupRowWidgets &r = rows_[slot];

        r.plNN = new QLabel(n, parent);
        r.plNN->setObjectName(QStringLiteral("plNN__") + n);
        r.plNN->setAlignment(Qt::AlignCenter);
        r.plNN->setGeometry(kPanelX, y, kPanelW, kRowHeight);

        r.cbMonitor = new QCheckBox(parent);
        r.cbMonitor->setObjectName(QStringLiteral("cbMonitor_") + n);
        r.cbMonitor->setGeometry(kTickX, y, kTickW, kRowHeight);

        r.rbTrayShow = new QRadioButton(parent);
        r.rbTrayShow->setObjectName(QStringLiteral("rbTrayShow_") + n);
        r.rbTrayShow->setGeometry(kRadioX, y, kRadioW, kRowHeight);
        trayGroup_->addButton(r.rbTrayShow, slot);

        auto edit = [&](const QString &name, int x, int w) {
            auto *e = new QLineEdit(parent);
            e->setObjectName(name + n);
            e->setGeometry(x, y, w, kRowHeight);
            e->setPalette(fieldPalette);
            return e;
        };
        r.edNumber = edit(QStringLiteral("edNumber_"), kNumberX, kNumberW);
        InstallPhoneKeyFilter(r.edNumber);
        r.edPassword = edit(QStringLiteral("edPassword_"), kPasswordX, kPasswordW);
        ShowPasswordAsStars(r.edPassword);
        InstallPhoneKeyFilter(r.edPassword);
        r.edAlias = edit(QStringLiteral("edAlias_"), kAliasX, kAliasW);

        r.bnIssa = new QPushButton(QString::fromUtf8(DefaultIssaShortName), parent);
        r.bnIssa->setObjectName(QStringLiteral("bnIssa_") + n);
        r.bnIssa->setGeometry(kIssaX, y, kIssaW, kRowHeight);
        r.bnIssa->setPalette(regionPalette);
        r.bnIssa->setToolTip(QStringLiteral("Выбор региона"));
        r.bnIssa->setAutoDefault(false);

        r.bnExSetup = new QToolButton(parent);
        r.bnExSetup->setObjectName(QStringLiteral("bnExSetup_") + n);
        r.bnExSetup->setGeometry(kExSetupX, y, kExSetupW, kRowHeight);
        r.bnExSetup->setToolTip(QStringLiteral("Дополнительные настройки телефона"));
        r.bnExSetup->setIcon(ExSetupPicture(false));
        r.bnExSetup->setAutoRaise(true);
        r.bnExSetup->setFocusPolicy(Qt::NoFocus);

        connect(r.cbMonitor, &QCheckBox::toggled, this,
                [this, slot] { runHandler(ROUTINE("cbMonitorClick"), [&] { ApplyMonitor(slot); }); });
        connect(r.bnIssa, &QPushButton::clicked, this,
                [this, slot] { runHandler(ROUTINE("bnIssaClick"), [&] { bnIssaClick(slot); }); });
        connect(r.bnExSetup, &QToolButton::clicked, this,
                [this, slot] { runHandler(ROUTINE("bnExSetupClick"), [&] { bnExSetupClick(slot); }); });
        ApplyMonitor(slot);
    });
}

const TSetupRowWidgets &TfrmSetup::Row(int slot) const
{
    if (slot < 1 || slot > MaxPhones)
        throw SaldomatError(QStringLiteral("Неверный номер телефона в списке: %1").arg(slot));
    return rows_[slot];
}

bool TfrmSetup::RequestNowChecked() const
{
    return cbRequestNow->isChecked();
}

void TfrmSetup::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;  // the window manager re-showing a minimised dialog
    open_ = true;
    FitIntoScreen();
    runHandler(THIS_ROUTINE, [&] { FormShow(); });
}

void TfrmSetup::FitIntoScreen()
{
    QScreen *where = screen();
    if (!where)
        return;
    const QRect free = where->availableGeometry();
    // The window manager's frame once it is known, else a title bar's worth.
    const int extra = frameGeometry().height() > height() ? frameGeometry().height() - height()
                                                          : style()->pixelMetric(QStyle::PM_TitleBarHeight);
    const int most = free.height() - extra;
    if (height() > most)
        resize(width(), std::max(most, minimumSizeHint().height()));
    // pos() is the frame's place: the whole frame goes into the free area.
    int top = pos().y();
    top = std::min(top, free.bottom() + 1 - (height() + extra));
    top = std::max(top, free.top());
    if (top != pos().y())
        move(pos().x(), top);
}

void TfrmSetup::hideEvent(QHideEvent *event)
{
    QDialog::hideEvent(event);
    if (!event->spontaneous())
        open_ = false;
}

void TfrmSetup::ReloadPhonesFromXml(TSetupModel &model)
{
    phonesFileMalformed_ = false;
    // The dialog's rows are the user's to edit for as long as they like: the
    // file's lock is held only for the load and, later, for the save.
    TFileLockRelease unlock{model.PhonesLock()};
    try {
        phonesFileMalformed_
            = LoadPhonesInfoFromXml(model, state_.Paths.PhonesXmlFileName, MaxPhones) == TPhonesXmlState::Malformed;
    } catch (...) {
        // A bad element stopped the load: the rows after it are empty, so the
        // file is kept aside before it is ever saved over.
        phonesFileMalformed_ = true;
        throw;
    }
}

void TfrmSetup::FormShow()
{
    cbRequestNow->setChecked(false);
    model_ = state_.Setup;
    try {
        ReloadPhonesFromXml(model_);
    } catch (...) {
        FillControls();
        throw;
    }
    FillControls();
    // The rows kept in the keyring show their passwords once read.
    vault_.Probe([this](bool) { UpdateKeyringLabel(); });
    vault_.Load(model_, [this] {
        for (int slot = 1; slot <= MaxPhones; ++slot)
            if (model_.Line(slot).InKeyring && rows_[slot].edPassword->text().isEmpty())
                rows_[slot].edPassword->setText(model_.Line(slot).Password);
    });
}

void TfrmSetup::FillRow(int slot)
{
    const TSetupPhoneLine &line = model_.Line(slot);
    TSetupRowWidgets &r = rows_[slot];
    r.cbMonitor->setChecked(line.Monitor);
    r.edNumber->setText(line.Number);
    r.edPassword->setText(line.Password);
    r.edAlias->setText(line.Alias);
    r.bnIssa->setText(line.Region);
    SetExSetupPicture(slot);
}

void TfrmSetup::FillControls()
{
    for (int slot = 1; slot <= MaxPhones; ++slot)
        FillRow(slot);
    const int traySlot = model_.TraySlot();
    if (traySlot >= 1 && traySlot <= MaxPhones)
        rows_[traySlot].rbTrayShow->setChecked(true);
    else if (model_.TrayShowMinimal())
        rbTrayShowMinimal->setChecked(true);
    else
        rbTrayNotShow->setChecked(true);

    const TGeneralSettings &g = model_.General;
    cbNN->setChecked(g.cbNN);
    cbLicSchet->setChecked(g.cbLicSchet);
    cbAlias->setChecked(g.cbAlias);
    cbUserName->setChecked(g.cbUserName);
    cbPhoneNum->setChecked(g.cbPhoneNum);
    cbObPlat->setChecked(g.cbObPlat);
    cbAverage->setChecked(g.cbAverage);
    cbTurnOff->setChecked(g.cbTurnOff);
    cbRecomend->setChecked(g.cbRecomend);
    cbSMS->setChecked(g.cbSMS);
    cbMin->setChecked(g.cbMin);
    cbJeansBalExpired->setChecked(g.cbJeansBalExpired);
    cbBalDelta->setChecked(g.cbBalDelta);
    cbLastQueryTime->setChecked(g.cbLastQueryTime);
    cbMarkIfBalance->setChecked(g.cbMarkIfBalance);
    cbMarkIfTurnOff->setChecked(g.cbMarkIfTurnOff);
    cbNotify->setChecked(g.cbNotify);
    edBalanceLessThen->setText(g.edBalanceLessThen);
    edTurnOffLessThen->setText(g.edTurnOffLessThen);
    const int refresh
        = g.cbRefreshTime >= 0 && g.cbRefreshTime < RefreshTimeCount ? g.cbRefreshTime : DefaultRefreshTimeIndex;
    cbRefreshTime->setCurrentIndex(refresh);
    cbAutoStart->setChecked(g.cbAutoStart);
    cbExecAfterRun->setChecked(g.cbExecAfterRun);
    cbAutoReRquest->setChecked(g.cbAutoReRquest);
    cbKeyring->setChecked(g.cbKeyring);
    UpdateKeyringLabel();
    // The refresh captions and the rows' enabled fields follow their ticks and
    // the interval box through their own signals.
    UpdateMarkFields();
}

void TfrmSetup::ReadControls(TSetupModel &model) const
{
    for (int slot = 1; slot <= MaxPhones; ++slot) {
        const TSetupRowWidgets &r = rows_[slot];
        TSetupPhoneLine &line = model.Line(slot);
        line.Monitor = r.cbMonitor->isChecked();
        line.TrayShow = r.rbTrayShow->isChecked();
        line.Number = r.edNumber->text();
        line.Password = r.edPassword->text();
        line.Alias = r.edAlias->text();
        line.Region = r.bnIssa->text();
    }
    model.SetTrayShowMinimal(rbTrayShowMinimal->isChecked());
    TGeneralSettings &g = model.General;
    g.cbNN = cbNN->isChecked();
    g.cbLicSchet = cbLicSchet->isChecked();
    g.cbAlias = cbAlias->isChecked();
    g.cbUserName = cbUserName->isChecked();
    g.cbPhoneNum = cbPhoneNum->isChecked();
    g.cbObPlat = cbObPlat->isChecked();
    g.cbAverage = cbAverage->isChecked();
    g.cbTurnOff = cbTurnOff->isChecked();
    g.cbRecomend = cbRecomend->isChecked();
    g.cbSMS = cbSMS->isChecked();
    g.cbMin = cbMin->isChecked();
    g.cbJeansBalExpired = cbJeansBalExpired->isChecked();
    g.cbBalDelta = cbBalDelta->isChecked();
    g.cbLastQueryTime = cbLastQueryTime->isChecked();
    g.cbMarkIfBalance = cbMarkIfBalance->isChecked();
    g.cbMarkIfTurnOff = cbMarkIfTurnOff->isChecked();
    g.cbNotify = cbNotify->isChecked();
    g.edBalanceLessThen = edBalanceLessThen->text();
    g.edTurnOffLessThen = edTurnOffLessThen->text();
    g.cbRefreshTime = cbRefreshTime->currentIndex();
    g.cbAutoStart = cbAutoStart->isChecked();
    g.cbExecAfterRun = cbExecAfterRun->isChecked();
    g.cbAutoReRquest = cbAutoReRquest->isChecked();
    g.cbKeyring = cbKeyring->isChecked();
}

void TfrmSetup::UpdateKeyringLabel()
{
    const std::optional<bool> answers = vault_.Answers();
    QString text;
    if (answers && !*answers)
        text = QStringLiteral(
            "Связка ключей системы недоступна: пароли хранятся в файлах программы в замаскированном виде.");
    else if (!cbKeyring->isChecked())
        text = QStringLiteral("Пароли хранятся в файлах программы в замаскированном виде.");
    else if (answers)
        text = QStringLiteral("Пароли хранятся в связке ключей системы (служба «Saldomat»).");
    else
        text = QStringLiteral("Проверяется связка ключей системы...");
    lblKeyring->setText(text);
}

void TfrmSetup::ApplyMonitor(int slot)
{
    TSetupRowWidgets &r = rows_[slot];
    const bool on = r.cbMonitor->isChecked();
    for (QWidget *w : {static_cast<QWidget *>(r.rbTrayShow), static_cast<QWidget *>(r.edNumber),
                       static_cast<QWidget *>(r.edPassword), static_cast<QWidget *>(r.edAlias),
                       static_cast<QWidget *>(r.bnIssa), static_cast<QWidget *>(r.bnExSetup)})
        w->setEnabled(on);
}

void TfrmSetup::UpdateRefreshCaptions()
{
    bool ok = false;
    int n = cbRefreshTime->currentText().toInt(&ok);
    if (!ok)
        n = 3;
    if (n == 1) {
        lblRefresh_a->setText(QStringLiteral("Каждый"));
        lblRefresh_b->setText(QStringLiteral("час"));
    } else if (n >= 2 && n <= 4) {
        lblRefresh_a->setText(QStringLiteral("Каждые"));
        lblRefresh_b->setText(QStringLiteral("часа"));
    } else {
        lblRefresh_a->setText(QStringLiteral("Каждые"));
        lblRefresh_b->setText(QStringLiteral("часов"));
    }
}

void TfrmSetup::UpdateMarkFields()
{
    edBalanceLessThen->setEnabled(cbMarkIfBalance->isChecked());
    edTurnOffLessThen->setEnabled(cbMarkIfTurnOff->isChecked());
}

void TfrmSetup::SetExSetupPicture(int slot)
{
    rows_[slot].bnExSetup->setIcon(ExSetupPicture(model_.Line(slot).ExSettings.Individual));
}

void TfrmSetup::SetWarningHot(bool hot)
{
    QPalette caption = gbWarning->palette();
    const QColor captionColor = hot ? QColor(Qt::red) : WarningCaptionColor();
    caption.setColor(QPalette::WindowText, captionColor);
    caption.setColor(QPalette::Text, captionColor);
    gbWarning->setPalette(caption);
    QPalette text = lblWarning->palette();
    text.setColor(QPalette::WindowText, hot ? QColor(Qt::black) : warningTextColor());
    lblWarning->setPalette(text);
}

bool TfrmSetup::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == lblWarning) {
        if (event->type() == QEvent::Enter || event->type() == QEvent::HoverEnter || event->type() == QEvent::MouseMove)
            SetWarningHot(true);
        else if (event->type() == QEvent::Leave || event->type() == QEvent::HoverLeave)
            SetWarningHot(false);
    }
    return QDialog::eventFilter(watched, event);
}

bool TfrmSetup::CheckRows(int slot, bool number)
{
    if (slot == 0)
        return true;
    pcSetup->setCurrentWidget(tsPhones);
    QLineEdit *field = number ? rows_[slot].edNumber : rows_[slot].edPassword;
    sbPhones->ensureWidgetVisible(field);
    field->setFocus(Qt::OtherFocusReason);
    QMessageBox::critical(this, QStringLiteral("Ошибка"),
                          QString::fromUtf8(number ? MsgNumberMissing : MsgPasswordMissing));
    field->setFocus(Qt::OtherFocusReason);
    return false;
}

bool TfrmSetup::CheckPhoneNum()
{
    return guarded(THIS_ROUTINE, [&] { return CheckRows(model_.FirstMonitoredWithoutNumber(), true); });
}

bool TfrmSetup::CheckPassword()
{
    return guarded(THIS_ROUTINE, [&] { return CheckRows(model_.FirstMonitoredWithoutPassword(), false); });
}

void TfrmSetup::accept()
{
    bool saved = false;
    try {
        guarded(THIS_ROUTINE, [&] {
            ReadControls(model_);
            if (!CheckPhoneNum() || !CheckPassword())
                return;
            // The numbers of the watched phones as the site expects them: ten
            // digits, whatever the user typed around them.
            for (int slot = 1; slot <= MaxPhones; ++slot) {
                TSetupPhoneLine &line = model_.Line(slot);
                if (!line.Monitor || TrimControls(line.Number).isEmpty())
                    continue;
                const std::optional<QString> digits = NormalizePhoneNumber(line.Number);
                if (!digits) {
                    pcSetup->setCurrentWidget(tsPhones);
                    sbPhones->ensureWidgetVisible(rows_[slot].edNumber);
                    rows_[slot].edNumber->setFocus(Qt::OtherFocusReason);
                    QMessageBox::critical(this, QStringLiteral("Ошибка"), PhoneNumberProblem(line.Number));
                    return;
                }
                line.Number = *digits;
                rows_[slot].edNumber->setText(*digits);
            }
            if (phonesFileMalformed_ && QFile::exists(state_.Paths.PhonesXmlFileName)) {
                // The file could not be read: keep it for the user to repair
                // instead of losing it under the rows shown.
                const QString kept = state_.Paths.PhonesXmlFileName + QStringLiteral(".bad");
                QFile::remove(kept);
                if (!QFile::copy(state_.Paths.PhonesXmlFileName, kept))
                    throw SaldomatError(QStringLiteral("Не удалось сохранить копию файла %1").arg(kept));
                phonesFileMalformed_ = false;
            }
            saved = true;
        });
    } catch (const std::exception &e) {
        MainException(e);
        QMessageBox::critical(this, QStringLiteral("Ошибка"),
                              QStringLiteral("Настройки не сохранены:\n%1").arg(failureText(e)));
    }
    if (!saved)
        return;
    // The passwords go into the keyring (or back into the file) first; the
    // dialog closes when the file is written.
    saving_ = true;
    bnOK->setEnabled(false);
    bnCancel->setEnabled(false);
    const bool keyring = model_.General.cbKeyring;
    vault_.SavePhones(model_, state_.Paths.PhonesXmlFileName, MaxPhones, keyring,
                      [this, keyring](const TSetupModel &written, const QString &error) {
                          if (!error.isEmpty()) {
                              saving_ = false;
                              bnOK->setEnabled(true);
                              bnCancel->setEnabled(true);
                              MainException(labelledText(ROUTINE("accept"), error));
                              QMessageBox::critical(this, QStringLiteral("Ошибка"),
                                                    QStringLiteral("Настройки не сохранены:\n%1").arg(error));
                              return;
                          }
                          model_ = written;
                          state_.Setup = model_;
                          vault_.MoveProxy(keyring, [this](const QString &proxyError) {
                              if (!proxyError.isEmpty())
                                  MainException(labelledText(ROUTINE("accept"), proxyError));
                              model_.KeyringProxyPassword = state_.Setup.KeyringProxyPassword;
                              saving_ = false;
                              bnOK->setEnabled(true);
                              bnCancel->setEnabled(true);
                              QDialog::accept();
                          });
                      });
}

void TfrmSetup::reject()
{
    if (saving_)
        return;  // the save in progress closes the dialog
    runHandler(THIS_ROUTINE, [&] {
        const TSetupModel before = state_.Setup;
        ReloadPhonesFromXml(state_.Setup);
        TPasswordVault::KeepKnownPasswords(state_.Setup, before);
        vault_.Load(state_.Setup, [] {});
    });
    QDialog::reject();
}

void TfrmSetup::bnIssaClick(int slot)
{
    TfrmIssaUrlChoose chooser(state_.ServersIni, this);
    chooser.Prepare(rows_[slot].bnIssa->text());
    if (chooser.exec() == QDialog::Accepted)
        rows_[slot].bnIssa->setText(chooser.SelectedShortName());
}

void TfrmSetup::bnExSetupClick(int slot)
{
    TfrmExSetupPhone dialog(this);
    dialog.Prepare(rows_[slot].edNumber->text(), rows_[slot].edAlias->text(), model_.Line(slot).ExSettings);
    if (dialog.exec() == QDialog::Accepted) {
        model_.Line(slot).ExSettings = dialog.Settings();
        SetExSetupPicture(slot);
    }
}

void TfrmSetup::bnProxyServerClick()
{
    TfrmProxyServerSetup dialog(state_, this);
    dialog.SetVault(&vault_, cbKeyring->isChecked());
    dialog.exec();
}

TSetupResult RunSetupDialog(TfrmSetup &dialog)
{
    return guarded(THIS_ROUTINE, [&] {
        TProgramState &state = dialog.state_;
        LoadIniFile(state.IniFile, state.Setup);
        const int code = dialog.exec();
        TSetupResult result;
        result.Confirmed = code == QDialog::Accepted;
        result.RequestNow = dialog.RequestNowChecked();
        if (result.Confirmed)
            SaveIniFile(state.IniFile, state.Setup);
        else
            LoadIniFile(state.IniFile, state.Setup);
        return result;
    });
}
