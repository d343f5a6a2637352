#include "History.h"

#include "Common.h"
#include "ConvertToExcel.h"
#include "Failure.h"
#include "HistoryPhone.h"
#include "PhoneTable.h"
#include "ProgramState.h"
#include "Readers.h"
#include "Setup.h"

#include <QApplication>
#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QStyle>
#include <QVBoxLayout>

namespace {
const QString kSection = QStringLiteral("History Form");
constexpr int kWidth = 275;
constexpr int kMinHeight = 300;
constexpr int kInitialHeight = 381;

QString numberOr(const QString &text, const char *fallback)
{
    return TextToFloat(text) ? text : QString::fromLatin1(fallback);
}

int wholeOr(const QString &text, int fallback)
{
    return TextToInt(text).value_or(fallback);
}
}  // namespace

TfrmHistory::TfrmHistory(TProgramState &state, QWidget *parent)
    : QDialog(parent,
              Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                  | Qt::WindowCloseButtonHint),
      state_(state)
{
    guarded(THIS_ROUTINE, [&] {
        setObjectName(QStringLiteral("frmHistory"));
        setWindowTitle(QStringLiteral("История баланса"));
        setAttribute(Qt::WA_DeleteOnClose, false);

        // The caption is longer than the narrow window: a wrapped label inside
        // the group carries it.
        GroupBox1 = new QGroupBox(this);
        GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
        auto *period = new QGridLayout(GroupBox1);
        auto *caption = new QLabel(QStringLiteral("За какой период времени показывать историю:"), GroupBox1);
        caption->setObjectName(QStringLiteral("lblPeriodCaption"));
        caption->setWordWrap(true);
        period->addWidget(caption, 0, 0, 1, 3);
        rbShowLastRequest = new QRadioButton(QStringLiteral("Последение"), GroupBox1);
        rbShowLastRequest->setObjectName(QStringLiteral("rbShowLastRequest"));
        rbShowLastRequest->setChecked(true);
        edLastRequest = new QLineEdit(QStringLiteral("50"), GroupBox1);
        edLastRequest->setObjectName(QStringLiteral("edLastRequest"));
        Label1 = new QLabel(QStringLiteral("запросов"), GroupBox1);
        Label1->setObjectName(QStringLiteral("Label1"));
        rbShowLastDays = new QRadioButton(QStringLiteral("Запросы за"), GroupBox1);
        rbShowLastDays->setObjectName(QStringLiteral("rbShowLastDays"));
        edLastDays = new QLineEdit(QStringLiteral("2"), GroupBox1);
        edLastDays->setObjectName(QStringLiteral("edLastDays"));
        Label12 = new QLabel(QStringLiteral("(дней)"), GroupBox1);
        Label12->setObjectName(QStringLiteral("Label12"));
        rbShowAll = new QRadioButton(QStringLiteral("Всю историю"), GroupBox1);
        rbShowAll->setObjectName(QStringLiteral("rbShowAll"));
        for (QLineEdit *ed : {edLastRequest, edLastDays}) {
            ed->setFixedWidth(48);
            ed->installEventFilter(this);
            ed->setContextMenuPolicy(Qt::NoContextMenu);  // no paste around the key filter
        }
        period->addWidget(rbShowLastRequest, 1, 0);
        period->addWidget(edLastRequest, 1, 1);
        period->addWidget(Label1, 1, 2);
        period->addWidget(rbShowLastDays, 2, 0);
        period->addWidget(edLastDays, 2, 1);
        period->addWidget(Label12, 2, 2);
        period->addWidget(rbShowAll, 3, 0, 1, 3);
        period->setColumnStretch(2, 1);

        grbPhones = new QGroupBox(QStringLiteral("Выберите телефон"), this);
        grbPhones->setObjectName(QStringLiteral("grbPhones"));
        auto *phonesLayout = new QVBoxLayout(grbPhones);
        phonesLayout->setContentsMargins(2, 2, 2, 2);
        scrbxPhones = new QScrollArea(grbPhones);
        scrbxPhones->setObjectName(QStringLiteral("scrbxPhones"));
        scrbxPhones->setFrameShape(QFrame::NoFrame);
        scrbxPhones->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        scrbxPhones->setWidgetResizable(false);
        phonesLayout->addWidget(scrbxPhones);

        bnShow = new QPushButton(style()->standardIcon(QStyle::SP_FileDialogDetailedView), QStringLiteral("Показать"),
                                 this);
        bnShow->setObjectName(QStringLiteral("bnShow"));
        bnExcel = new QPushButton(style()->standardIcon(QStyle::SP_DialogSaveButton), QStringLiteral("Excel"), this);
        bnExcel->setObjectName(QStringLiteral("bnExcel"));
        bnShow->setAutoDefault(false);
        bnExcel->setAutoDefault(false);
        auto *buttons = new QHBoxLayout;
        buttons->addWidget(bnShow);
        buttons->addWidget(bnExcel);

        auto *layout = new QVBoxLayout(this);
        layout->setContentsMargins(6, 6, 6, 6);
        layout->addWidget(GroupBox1);
        layout->addWidget(grbPhones, 1);
        layout->addLayout(buttons);

        connect(bnShow, &QPushButton::clicked, this,
                [this] { runHandler(ROUTINE("bnShowClick"), [&] { bnShowClick(); }); });
        connect(bnExcel, &QPushButton::clicked, this,
                [this] { runHandler(ROUTINE("bnExcelClick"), [&] { bnExcelClick(); }); });

        setMinimumWidth(kWidth);
        setMaximumWidth(kWidth);
        setMinimumHeight(kMinHeight);
        resize(kWidth, kInitialHeight);
        if (const QScreen *screen = QGuiApplication::primaryScreen()) {
            const QRect area = screen->availableGeometry();
            move(area.center() - QPoint(kWidth / 2, kInitialHeight / 2));
        }
        RestoreSettings();
        CreatePhonesButtons();
    });
}

TfrmHistory::~TfrmHistory()
{
    runHandler(THIS_ROUTINE, [&] { SaveSettings(); });
}

TfrmHistory *TfrmHistory::Instance()
{
    // The windows themselves are the record of which chooser is open.
    for (QWidget *window : QApplication::topLevelWidgets())
        if (auto *chooser = qobject_cast<TfrmHistory *>(window))
            return chooser;
    return nullptr;
}

void TfrmHistory::RestoreSettings()
{
    edLastRequest->setText(
        numberOr(state_.IniFile.ReadString(kSection, QStringLiteral("edLastRequest"), QStringLiteral("50")), "50"));
    edLastDays->setText(
        numberOr(state_.IniFile.ReadString(kSection, QStringLiteral("edLastDays"), QStringLiteral("2")), "2"));
    const int height = state_.IniFile.ReadInteger(kSection, QStringLiteral("Height"), NoValue);
    const int left = state_.IniFile.ReadInteger(kSection, QStringLiteral("Left"), NoValue);
    const int top = state_.IniFile.ReadInteger(kSection, QStringLiteral("Top"), NoValue);
    if (height != NoValue)
        resize(kWidth, std::max(height, kMinHeight));
    QPoint place = pos();
    if (left != NoValue)
        place.setX(left);
    if (top != NoValue)
        place.setY(top);
    // A place saved on a screen that is gone would hide the window: keep the
    // centre then.
    bool visible = false;
    for (const QScreen *screen : QGuiApplication::screens())
        visible = visible || screen->availableGeometry().intersects(QRect(place, QSize(kWidth, 40)));
    if (visible)
        move(place);
}

void TfrmHistory::SaveSettings()
{
    TIniUpdate update(state_.IniFile);
    state_.IniFile.WriteString(kSection, QStringLiteral("edLastRequest"), edLastRequest->text());
    state_.IniFile.WriteString(kSection, QStringLiteral("edLastDays"), edLastDays->text());
    state_.IniFile.WriteInteger(kSection, QStringLiteral("Height"), height());
    state_.IniFile.WriteInteger(kSection, QStringLiteral("Left"), pos().x());
    state_.IniFile.WriteInteger(kSection, QStringLiteral("Top"), pos().y());
    update.commit();
}

void TfrmHistory::CreatePhonesButtons()
{
    guarded(THIS_ROUTINE, [&] {
        auto *box = new QWidget;
        box->setObjectName(QStringLiteral("phonesBox"));
        phoneGroup_ = new QButtonGroup(this);
        phoneGroup_->setExclusive(true);
        int top = 8;
        // At least 200 wide; the room the scroll box offers when it is more.
        const int textWidth = std::max(
            200, scrbxPhones->viewport()->width() > 100 ? scrbxPhones->viewport()->width() - 25 - 4 : kWidth - 40 - 25);
        for (int slot = 1; slot <= MaxPhones; ++slot) {
            if (!MonitorPhoneEnabled(state_, slot))
                continue;
            auto *number = new QLabel(QString::number(slot), box);
            number->setObjectName(QStringLiteral("lblNN_%1").arg(slot));
            auto *rb = new QRadioButton(PhoneHumanInfo(state_.IssaArray[slot]), box);
            rb->setObjectName(QStringLiteral("rbPhone_%1").arg(slot));
            rb->setProperty("tag", slot);
            const int h = rb->sizeHint().height();
            rb->setGeometry(25, top, textWidth, h);
            number->setGeometry(9, top + 2, 20, number->sizeHint().height());
            rb->setToolTip(rb->text());
            rb->installEventFilter(this);
            phoneGroup_->addButton(rb, slot);
            connect(rb, &QRadioButton::clicked, this,
                    [this, slot] { runHandler(ROUTINE("rbPhoneClick"), [&] { rbPhoneClick(slot); }); });
            if (slots_.isEmpty()) {
                rb->setChecked(true);
                selectedPhone_ = slot;
            }
            slots_.append(slot);
            top += h + 2;
        }
        box->resize(25 + textWidth, top + 8);
        scrbxPhones->setWidget(box);
        // Nothing to show or export without a phone.
        bnShow->setEnabled(!slots_.isEmpty());
        bnExcel->setEnabled(!slots_.isEmpty());
    });
}

void TfrmHistory::rbPhoneClick(int slot)
{
    selectedPhone_ = slot;
}

HistoryRequest TfrmHistory::RequestPeriod() const
{
    if (rbShowLastRequest->isChecked())
        return {HistoryPeriod::LastCount, wholeOr(edLastRequest->text(), 50)};
    if (rbShowLastDays->isChecked())
        return {HistoryPeriod::LastDays, wholeOr(edLastDays->text(), 2)};
    return {HistoryPeriod::All, 0};
}

void TfrmHistory::bnShowClick()
{
    ShowHistoryForPhone(selectedPhone_);
}

void TfrmHistory::bnExcelClick()
{
    ConvertHistoryToExcel(selectedPhone_);
}

void TfrmHistory::ShowHistoryForPhone(int slot)
{
    guarded(THIS_ROUTINE, [&] {
        if (gridWindow_ || slot < 1 || slot > MaxPhones)
            return;
        const HistoryRequest request = RequestPeriod();
        TfrmHistoryPhone window(state_, this);
        gridWindow_ = &window;
        struct Reset {
            TfrmHistoryPhone *&p;
            ~Reset() { p = nullptr; }
        } reset{gridWindow_};
        window.FillInfo(slot, request.mode, request.n);
        window.exec();
    });
}

void TfrmHistory::ConvertHistoryToExcel(int slot)
{
    guarded(THIS_ROUTINE, [&] {
        if (slot < 1 || slot > MaxPhones)
            return;
        QString fileName = ExcelFileNameFor(PhoneHumanInfo(state_.IssaArray[slot]));
        if (!ChooseExcelFile(this, fileName))
            return;
        const HistoryRequest request = RequestPeriod();
        TdmExcel dmExcel;
        dmExcel.ConvertHistoryToXls(this, fileName, UserPhone(state_, slot), request.n, request.mode);
    });
}

bool TfrmHistory::eventFilter(QObject *watched, QEvent *event)
{
    // Key filter of both edits: "," enters ".", "." and digits pass, every
    // other character is dropped (Backspace and paste included).
    if ((watched == edLastRequest || watched == edLastDays) && event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Backspace || key->matches(QKeySequence::Paste))
            return true;
        switch (key->key()) {
        case Qt::Key_Escape:
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Delete:
            return false;
        default:
            break;
        }
        const QString text = key->text();
        if (text.isEmpty())
            return false;  // cursor keys and the like
        if (text == QLatin1String(",")) {
            static_cast<QLineEdit *>(watched)->insert(QStringLiteral("."));
            return true;
        }
        return !(text.size() == 1
                 && (text[0] == QLatin1Char('.') || (text[0] >= QLatin1Char('0') && text[0] <= QLatin1Char('9'))));
    }
    // Double-click on a phone: the click has selected it; show its grid.
    if (event->type() == QEvent::MouseButtonDblClick) {
        if (auto *rb = qobject_cast<QRadioButton *>(watched); rb && phoneGroup_ && phoneGroup_->id(rb) > 0) {
            const int slot = phoneGroup_->id(rb);
            rb->setChecked(true);
            selectedPhone_ = slot;
            QMetaObject::invokeMethod(
                this, [this] { runHandler(ROUTINE("rbPhoneDblClick"), [&] { bnShowClick(); }); }, Qt::QueuedConnection);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void ShowHistory(TProgramState &state, QWidget *parent)
{
    runHandler(THIS_ROUTINE, [&] {
        if (TfrmHistory *open = TfrmHistory::Instance()) {
            open->raise();
            open->activateWindow();
            return;
        }
        TfrmHistory chooser(state, parent);
        chooser.exec();
    });
}
