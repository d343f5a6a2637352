#include "PhonesInfo.h"

#include "Common.h"
#include "Failure.h"
#include "LoadedPages.h"
#include "MoneyText.h"
#include "PhoneTable.h"
#include "ProgramState.h"
#include "ResourceImage.h"
#include "Setup.h"
#include "SortGridUnit.h"
#include "TrayIcon.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QHeaderView>
#include <QHideEvent>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPainter>
#include <QScreen>
#include <QShowEvent>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QVBoxLayout>
#include <array>

namespace {

const QString Section = QStringLiteral("PhonesInfo Form");

struct ColumnDef {
    const char *key;
    const char *caption;
    bool TGeneralSettings::*tick;  // nullptr: always present
    bool rightAlign;
    FailureLabel writeLabel;  // each column is written in its own guarded step
};

const ColumnDef Columns[] = {
    {"LicSchet", "Л/счет", &TGeneralSettings::cbLicSchet, false, ROUTINE("WriteLicSchet")},
    {"Alias", "Псевдоним", &TGeneralSettings::cbAlias, false, ROUTINE("WriteAlias")},
    {"UserName", "Имя", &TGeneralSettings::cbUserName, false, ROUTINE("WriteUserName")},
    {"PhoneNum", "Номер", &TGeneralSettings::cbPhoneNum, false, ROUTINE("WritePhoneNum")},
    {"Balance", "Баланс", nullptr, true, ROUTINE("WriteBalance")},
    {"ObPlat", "О.П.", &TGeneralSettings::cbObPlat, true, ROUTINE("WriteObPlat")},
    {"Average", "$/день", &TGeneralSettings::cbAverage, true, ROUTINE("WriteAverage")},
    {"BalDelta", "Delta ($)", &TGeneralSettings::cbBalDelta, true, ROUTINE("WriteBalDelta")},
    {"TurnOff", "Откл.", &TGeneralSettings::cbTurnOff, true, ROUTINE("WriteTurnOff")},
    {"Recomend", "Рекоменд.", &TGeneralSettings::cbRecomend, true, ROUTINE("WriteRecomend")},
    {"BalExpired", "Джинс дней", &TGeneralSettings::cbJeansBalExpired, true, ROUTINE("WriteJeansExpired")},
    {"SMS", "SMS", &TGeneralSettings::cbSMS, true, ROUTINE("WriteSMS")},
    {"Min", "Минут", &TGeneralSettings::cbMin, true, ROUTINE("WriteMin")},
    {"LastQueryTime", "Посл.запрос", &TGeneralSettings::cbLastQueryTime, false, ROUTINE("WriteLastUpdate")},
};

// Draws the cells with their styles, the caption line and the state pictures.
class CellDelegate : public QStyledItemDelegate {
public:
    explicit CellDelegate(TfrmPhonesInfo *form) : QStyledItemDelegate(form), form_(form) { }

    void paint(QPainter *p, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        const QRect r = option.rect;
        const QVariant object = index.data(TSortGrid::ObjectRole);
        const QString text = index.data(Qt::DisplayRole).toString();
        p->save();
        QFont font = option.font;
        QColor fg = option.palette.color(QPalette::Text);
        bool right = false;
        if (object.canConvert<TCellStyle>()) {
            const TCellStyle style = object.value<TCellStyle>();
            p->fillRect(r, index.row() == form_->SelectedRow ? SelectedBg : style.BgColor);
            fg = style.FontColor;
            font.setBold(style.Bold);
            right = style.RightAlign;
        } else {
            p->fillRect(r, index.row() == form_->SelectedRow ? SelectedBg : option.palette.color(QPalette::Base));
        }
        p->setFont(font);
        p->setPen(fg);
        p->setClipRect(r);
        const QRect textRect = r.adjusted(3, 2, -3, 0);
        p->drawText(textRect, (right ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignTop | Qt::TextSingleLine, text);
        if (index.row() == 0) {
            p->setPen(Qt::black);
            p->drawLine(r.topLeft(), r.topRight());
        } else if (index.column() == 0 && r.width() > 0) {
            bool ok = false;
            const int slot = text.toInt(&ok);
            if (ok && slot >= 1 && slot <= MaxPhones) {
                const TRequestState state = form_->State().IssaArray[slot].State;
                if (state == dsRequest || state == dsError) {
                    static const QPixmap request = ResourcePixmap(QStringLiteral(":/dsRequest.xpm"));
                    static const QPixmap error = ResourcePixmap(QStringLiteral(":/dsError.xpm"));
                    const int rowHeight = r.height();
                    p->drawPixmap(r.x() + r.width() - 8, r.y() + rowHeight / 2 - 1,
                                  state == dsRequest ? request : error);
                }
            }
        }
        p->restore();
    }

private:
    TfrmPhonesInfo *form_;
};

}  // namespace

const QStringList &TfrmPhonesInfo::AllKeys()
{
    static const QStringList keys = [] {
        QStringList k;
        for (const ColumnDef &c : Columns)
            k << QLatin1String(c.key);
        return k;
    }();
    return keys;
}

QString PhoneCellText(const TIssa &issa, const QString &key, int slot)
{
    if (key == QLatin1String("NN"))
        return QString::number(slot);
    if (key == QLatin1String("Alias"))
        return issa.Alias;
    if (key == QLatin1String("PhoneNum"))
        return FormatPhoneNumber(issa.PhoneNumber);
    const bool never = PhoneFigures(issa) == TFigures::None;
    const QString dash = NoDataText();
    auto zeroEmpty = [&](bool zero, const QString &text) { return zero ? QString() : (never ? dash : text); };
    if (key == QLatin1String("LicSchet"))
        return never ? dash : issa.LicSchet;
    if (key == QLatin1String("UserName"))
        return never ? dash : issa.UserName;
    if (key == QLatin1String("Balance"))
        return never ? dash : MoneyText(issa.Balance);
    if (key == QLatin1String("ObPlat"))
        return zeroEmpty(issa.ObPlat == 0, MoneyText(issa.ObPlat));
    if (key == QLatin1String("Average"))
        return zeroEmpty(issa.Average == 0, MoneyText(issa.Average));
    if (key == QLatin1String("BalDelta"))
        return never ? dash : (issa.BalDelta == 0 ? QStringLiteral("-") : MoneyText(issa.BalDelta));
    if (key == QLatin1String("TurnOff"))
        return zeroEmpty(issa.TurnOff == 0, QString::number(issa.TurnOff));
    if (key == QLatin1String("Recomend"))
        return zeroEmpty(issa.Recomend == 0, MoneyText(issa.Recomend));
    if (key == QLatin1String("BalExpired"))
        return zeroEmpty(issa.JeansExpired == 0, QString::number(issa.JeansExpired));
    if (key == QLatin1String("SMS"))
        return zeroEmpty(issa.SMS == 0, QString::number(issa.SMS));
    if (key == QLatin1String("Min"))
        return zeroEmpty(issa.Minutes == 0, QString::number(issa.Minutes));
    if (key == QLatin1String("LastQueryTime"))
        return never
            ? dash
            : FormatShortDateTime(issa.QueryDateTime) + (issa.NotSaved ? QStringLiteral(" не сохранено") : QString());
    return QString();
}

TfrmPhonesInfo::TfrmPhonesInfo(TProgramState &state, QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint), state_(state)
{
    guarded(THIS_ROUTINE, [&] {
        setObjectName(QStringLiteral("frmPhonesInfo"));
        setWindowTitle(QStringLiteral("Информация о балансе телефонов"));
        resize(333, 117);
        auto *layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        Grid = new TSortGrid(this);
        Grid->setObjectName(QStringLiteral("strgrPhonesInfo"));
        Grid->setFrameShape(QFrame::NoFrame);
        Grid->setItemDelegate(new CellDelegate(this));
        Grid->setContextMenuPolicy(Qt::PreventContextMenu);
        Grid->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
        layout->addWidget(Grid);
        QPixmap down = ResourcePixmap(QStringLiteral(":/Down1.xpm")), up = ResourcePixmap(QStringLiteral(":/Up1.xpm"));
        Grid->SetCursors(QCursor(down, 7, 7), QCursor(up, 7, 7));
        Grid->viewport()->installEventFilter(this);
        // A column border dragged by the user: the widths are written when the
        // button is released, not at every click in the grid.
        connect(Grid->horizontalHeader(), &QHeaderView::sectionResized, this, [this] { widthsChanged_ = true; });
        connect(Grid, &TSortGrid::leftButtonReleased, this, [this](const QPoint &) {
            if (widthsChanged_)
                runHandler(ROUTINE("strgrPhonesInfoMouseUp"), [&] { SaveColumnsWidth(); });
        });
        connect(Grid, &TSortGrid::rightButtonReleased, this, [this](const QPoint &pos) {
            runHandler(ROUTINE("strgrPhonesInfoMouseUp"), [&] { rightButtonUp(pos); });
        });

        PopupMenu = new QMenu(this);
        ppmRequestOnlyOne = PopupMenu->addAction(QStringLiteral("Запрос по этому телефону"));
        ppmRequestOnlyOne->setObjectName(QStringLiteral("ppmRequestOnlyOne"));
        ppmHistory = PopupMenu->addAction(QStringLiteral("История баланса по телефону"));
        ppmHistory->setObjectName(QStringLiteral("ppmHistory"));
        ppmHistory->setVisible(false);
        PopupMenu->addSeparator();
        ppmErrorMsg = PopupMenu->addAction(QStringLiteral("Просмотреть сообщение об ошибке"));
        ppmErrorMsg->setObjectName(QStringLiteral("ppmErrorMsg"));
        ppmShowPages = PopupMenu->addAction(QStringLiteral("Посмотреть загруженные страницы"));
        ppmShowPages->setObjectName(QStringLiteral("ppmShowPages"));
        PopupMenu->addSeparator();
        ppmExcel = PopupMenu->addMenu(QStringLiteral("Экспорт баланса в Excell"));
        ppmExcel->setObjectName(QStringLiteral("ppmExcel"));
        ppmExcelAll = ppmExcel->addAction(QStringLiteral("Экспорт всех телефонов"));
        ppmExcelRed = ppmExcel->addAction(QStringLiteral("Только \"красные\" телефоны"));

        connect(ppmRequestOnlyOne, &QAction::triggered, this, [this] {
            const int slot = SelectedPhoneID;
            // After the menu has closed: the run processes events for a long time.
            QTimer::singleShot(0, this, [this, slot] { Q_EMIT requestOnlyOne(slot); });
        });
        connect(ppmHistory, &QAction::triggered, this, [this] {
            const int slot = SelectedPhoneID;
            QTimer::singleShot(0, this, [this, slot] { Q_EMIT historyRequested(slot); });
        });
        connect(ppmExcelAll, &QAction::triggered, this,
                [this] { QTimer::singleShot(0, this, [this] { Q_EMIT excelRequested(false); }); });
        connect(ppmExcelRed, &QAction::triggered, this,
                [this] { QTimer::singleShot(0, this, [this] { Q_EMIT excelRequested(true); }); });
        connect(ppmErrorMsg, &QAction::triggered, this,
                [this] { runHandler(ROUTINE("ppmErrorMsgClick"), [&] { ShowErrorMessage(); }); });
        connect(ppmShowPages, &QAction::triggered, this,
                [this] { runHandler(ROUTINE("ppmShowPagesClick"), [&] { ShowLoadedPages(); }); });

        PopupShown = false;
        SelectedRow = -1;
        CreateGreed();
    });
}

TfrmPhonesInfo::~TfrmPhonesInfo() = default;

// Width of a column the user has not sized yet: room for its caption and for
// a typical value, so that numbers and dates are not cut at first sight.
int TfrmPhonesInfo::DefaultColumnWidth(const QString &key, const QString &caption) const
{
    QFont bold = Grid->font();
    bold.setBold(true);
    const QFontMetrics plain(Grid->font()), strong(bold);
    QString sample;
    if (key == QLatin1String("PhoneNum"))
        sample = FormatPhoneNumber(QStringLiteral("9999999999"));
    else if (key == QLatin1String("LastQueryTime"))
        sample = FormatShortDateTime(ToOleDate(QDateTime(QDate(2026, 12, 28), QTime(23, 59))));
    else if (key == QLatin1String("Alias") || key == QLatin1String("UserName"))
        sample = QStringLiteral("Ивановская Мария");
    else if (key == QLatin1String("LicSchet"))
        sample = QStringLiteral("999999999999");
    const int needed = std::max(strong.horizontalAdvance(caption), plain.horizontalAdvance(sample)) + 10;
    return std::max(TSortGrid::DefaultColWidth, needed);
}

int TfrmPhonesInfo::NNColumnWidth() const
{
    // The text starts 3 pixels in; the picture takes the last 8.
    return std::max(25, 3 + QFontMetrics(Grid->font()).horizontalAdvance(QStringLiteral("100")) + 2 + 8);
}

void TfrmPhonesInfo::SetupColumns()
{
    guarded(THIS_ROUTINE, [&] {
        const TGeneralSettings &g = state_.Setup.General;
        ColumnKeys.clear();
        ColumnKeys << QStringLiteral("NN");
        QStringList captions{QStringLiteral("NN")};
        for (const ColumnDef &c : Columns)
            if (!c.tick || g.*(c.tick)) {
                ColumnKeys << QLatin1String(c.key);
                captions << QString::fromUtf8(c.caption);
            }
        Grid->Set_ColCount(static_cast<int>(ColumnKeys.size()));
        for (int col = 0; col < ColumnKeys.size(); ++col) {
            Grid->setColumnWidth(col, DefaultColumnWidth(ColumnKeys[col], captions[col]));
            TCellStyle style;
            style.BgColor = CaptionBg;
            style.FontColor = Qt::black;
            style.Bold = ColumnKeys[col] == QLatin1String("Balance");
            Grid->SetCell(col, 0, captions[col], QVariant::fromValue(style));
        }
        // Room for a three-digit slot number and, right of it, the state picture.
        Grid->setColumnWidth(0, g.cbNN ? NNColumnWidth() : 0);
        // The stored widths are applied by LoadVisibleIniParameters at each showing.
    });
}

void TfrmPhonesInfo::CreateGreed()
{
    guarded(THIS_ROUTINE, [&] {
        SetupColumns();
        Grid->SetSortDirectionForAllColumns(1);
        Grid->Set_RowCount(1);  // the old rows go
        Grid->Set_RowCount(MonitorPhonesCount(state_) + 1);
        TCellStyle caption;
        caption.BgColor = CaptionBg;
        int row = 0;
        for (int slot = 1; slot <= MaxPhones; ++slot) {
            if (!MonitorPhoneEnabled(state_, slot))
                continue;
            ++row;
            if (row >= Grid->RowCount())
                break;
            Grid->SetCell(0, row, QString::number(slot), QVariant::fromValue(caption));
        }
        widthsChanged_ = false;
    });
}

int TfrmPhonesInfo::RowOfSlot(int slot) const
{
    const QString text = QString::number(slot);
    for (int row = 1; row < Grid->RowCount(); ++row)
        if (Grid->Cells(0, row) == text)
            return row;
    return -1;
}

void TfrmPhonesInfo::FillGrid(int onlySlot)
{
    int slotAt = 0, rowAt = 0;
    try {
        // Rows are found by the slot number in column "NN", wherever sorting put them.
        std::array<int, MaxPhones + 1> rowOfSlot;
        rowOfSlot.fill(-1);
        for (int row = Grid->RowCount() - 1; row >= 1; --row) {
            bool ok = false;
            const int slot = Grid->Cells(0, row).toInt(&ok);
            if (ok && slot >= 1 && slot <= MaxPhones)
                rowOfSlot[static_cast<size_t>(slot)] = row;
        }
        for (int slot = 1; slot <= MaxPhones; ++slot) {
            if (!MonitorPhoneEnabled(state_, slot) || (onlySlot != 0 && slot != onlySlot))
                continue;
            slotAt = slot;
            const int row = rowOfSlot[static_cast<size_t>(slot)];
            rowAt = row;
            if (row < 0)
                break;
            const TIssa &issa = state_.IssaArray[slot];
            const QColor fg = issa.Success ? QColor(Qt::black) : FailedText;
            const QColor marked = issa.Success ? MarkedText : FailedMarkedText;
            for (const ColumnDef &c : Columns) {
                guarded(c.writeLabel, [&] {
                    const QString key = QLatin1String(c.key);
                    bool red = false;
                    if (PhoneFigures(issa) == TFigures::None)
                        red = false;  // no figure, nothing to mark
                    else if (key == QLatin1String("Balance"))
                        red = NeedMarkBalance(state_, slot);
                    else if (key == QLatin1String("TurnOff"))
                        red = NeedMarkTurnOff(state_, slot);
                    SetCellValue(key, row, PhoneCellText(issa, key, slot), DataBg, red ? marked : fg,
                                 key == QLatin1String("Balance"), c.rightAlign);
                });
            }
            // Greyed figures say when they were read, whichever columns are shown.
            const QString tip = PhoneFigures(issa) == TFigures::Stale
                ? QStringLiteral("Последние данные от %1").arg(FormatShortDateTime(issa.QueryDateTime))
                : QString();
            for (int col = 1; col < Grid->ColCount(); ++col)
                if (QTableWidgetItem *item = Grid->item(row, col))
                    item->setToolTip(tip);
        }
        Grid->viewport()->update();
    } catch (const std::exception &e) {
        throw SaldomatError(labelledText(
            THIS_ROUTINE, failureText(e) + QStringLiteral(" (PhoneID: %1, RowInd: %2)").arg(slotAt).arg(rowAt)));
    }
}

void TfrmPhonesInfo::SetCellValue(const QString &key, int row, const QString &text, const QColor &bg, const QColor &fg,
                                  bool bold, bool rightAlign)
{
    const int col = columnOf(key);
    try {
        if (col < 0)
            return;
        TCellStyle style{fg, bg, bold, rightAlign};
        Grid->SetCell(col, row, text, QVariant::fromValue(style));
    } catch (const std::exception &e) {
        throw SaldomatError(labelledText(THIS_ROUTINE,
                                         failureText(e)
                                             + QStringLiteral(" (Column = %1, ColNum=%2, Row = %3, Value= %4")
                                                   .arg(key)
                                                   .arg(col)
                                                   .arg(row)
                                                   .arg(text)));
    }
}

void TfrmPhonesInfo::Set_ColumnWidth(const QString &key, int width)
{
    const int col = columnOf(key);
    if (col >= 0 && width >= 1 && width != NoValue)
        Grid->setColumnWidth(col, width);
}

int TfrmPhonesInfo::Get_ColumnWidth(const QString &key) const
{
    const int col = columnOf(key);
    return col < 0 ? -1 : Grid->columnWidth(col);
}

void TfrmPhonesInfo::SetFormWidth()
{
    int sum = 0;
    for (int col = 0; col < Grid->ColCount(); ++col)
        sum += Grid->columnWidth(col);
    resize(sum + 25, height());
}

void TfrmPhonesInfo::writeWidthToIni(const QString &key)
{
    const int width = Get_ColumnWidth(key);
    if (width != -1)
        state_.IniFile.WriteInteger(Section, QStringLiteral("Width_") + key, width);
}

void TfrmPhonesInfo::SaveColumnsWidth()
{
    guarded(THIS_ROUTINE, [&] {
        TIniUpdate batch(state_.IniFile);
        for (const QString &key : AllKeys())
            writeWidthToIni(key);
        batch.commit();
        widthsChanged_ = false;
    });
}

void TfrmPhonesInfo::SaveVisibleIniParameters()
{
    guarded(THIS_ROUTINE, [&] {
        TIniUpdate batch(state_.IniFile);
        state_.IniFile.WriteInteger(Section, QStringLiteral("Width"), width());
        state_.IniFile.WriteInteger(Section, QStringLiteral("Height"), height());
        state_.IniFile.WriteInteger(Section, QStringLiteral("Left"), x());
        state_.IniFile.WriteInteger(Section, QStringLiteral("Top"), y());
        for (const QString &key : AllKeys())
            writeWidthToIni(key);
        batch.commit();
        widthsChanged_ = false;
    });
}

void TfrmPhonesInfo::LoadVisibleIniParameters()
{
    guarded(THIS_ROUTINE, [&] {
        // The columns first: without a stored window width the window takes theirs.
        for (const QString &key : AllKeys())
            Set_ColumnWidth(key, state_.IniFile.ReadInteger(Section, QStringLiteral("Width_") + key, -1));
        widthsChanged_ = false;
        const int w = state_.IniFile.ReadInteger(Section, QStringLiteral("Width"), NoValue);
        const int h = state_.IniFile.ReadInteger(Section, QStringLiteral("Height"), NoValue);
        const int l = state_.IniFile.ReadInteger(Section, QStringLiteral("Left"), NoValue);
        const int t = state_.IniFile.ReadInteger(Section, QStringLiteral("Top"), NoValue);
        if (w == NoValue)
            SetFormWidth();
        else
            resize(w, height());
        if (h != NoValue)
            resize(width(), h);
        else  // first showing: room for the phones, up to fifteen rows
            resize(width(), std::max(height(), TSortGrid::DefaultRowHeight * (std::min(Grid->RowCount(), 16) + 1) + 4));
        int left = l != NoValue ? l : x();
        int top = t != NoValue ? t : y();
        const QScreen *screen = QGuiApplication::primaryScreen();
        const QSize screenSize = screen ? screen->geometry().size() : QSize(1024, 768);
        left = std::min(left, screenSize.width() - 50);
        top = std::min(top, screenSize.height() - 50);
        if (left + width() < 50)
            left = 50 - width();
        if (top + height() < 50)
            top = 50 - height();
        if (left != x() || top != y())
            move(left, top);
    });
}

void TfrmPhonesInfo::Rebuild()
{
    // A hidden window is built and filled again at its next showing.
    if (!isVisible())
        return;
    guarded(THIS_ROUTINE, [&] {
        CreateGreed();
        LoadVisibleIniParameters();
        FillGrid();
    });
}

void TfrmPhonesInfo::ShowPhonesInfo()
{
    guarded(THIS_ROUTINE, [&] {
        if (isHidden()) {
            show();
            raise();
            activateWindow();
        } else {
            hide();
        }
    });
}

void TfrmPhonesInfo::SetHistoryAvailable(bool available)
{
    ppmHistory->setVisible(available);
}

void TfrmPhonesInfo::SetMenusEnabled(bool enabled)
{
    ppmRequestOnlyOne->setEnabled(enabled);
    ppmHistory->setEnabled(enabled);
    ppmExcel->menuAction()->setEnabled(enabled);
}

void TfrmPhonesInfo::phonesChanged()
{
    // A hidden window is filled at its next showing.
    if (isVisible())
        runHandler(THIS_ROUTINE, [&] { FillGrid(); });
}

void TfrmPhonesInfo::phoneChanged(int slot)
{
    if (isVisible())
        runHandler(ROUTINE("FillGrid"), [&] { FillGrid(slot); });
}

void TfrmPhonesInfo::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (event->spontaneous())
        return;
    runHandler(THIS_ROUTINE, [&] {
        CreateGreed();
        LoadVisibleIniParameters();
        FillGrid();
        raise();
        activateWindow();
    });
    Q_EMIT visibilityChanged(true);
}

void TfrmPhonesInfo::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    if (event->spontaneous())
        return;
    runHandler(THIS_ROUTINE, [&] { SaveVisibleIniParameters(); });
    Q_EMIT visibilityChanged(false);
}

void TfrmPhonesInfo::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        hide();
        return;
    }
    QWidget::keyPressEvent(event);
}

void TfrmPhonesInfo::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && !isActiveWindow() && isVisible())
        runHandler(THIS_ROUTINE, [&] { SaveVisibleIniParameters(); });
}

bool TfrmPhonesInfo::eventFilter(QObject *watched, QEvent *event)
{
    // The grid's next message after the context menu drops the highlight.
    if (watched == Grid->viewport() && PopupShown && event->type() != QEvent::Paint) {
        PopupShown = false;
        SelectedRow = -1;
        Grid->viewport()->update();
    }
    return QWidget::eventFilter(watched, event);
}

bool TfrmPhonesInfo::PrepareContextMenu(const QPoint &pos)
{
    return guarded(THIS_ROUTINE, [&] {
        int col, row;
        Grid->CellAt(pos.x(), pos.y(), col, row);
        if (row < 1 || col < 0)
            return false;
        bool ok = false;
        const int slot = Grid->Cells(0, row).toInt(&ok);
        if (!ok || slot < 1 || slot > MaxPhones)
            return false;
        SelectedRow = row;
        SelectedPhoneID = slot;
        ppmErrorMsg->setVisible(!state_.IssaArray[slot].ErrorMsg.isEmpty());
        ppmShowPages->setVisible(!state_.IssaArray[slot].LoadedPages.isEmpty());
        Grid->viewport()->update();
        return true;
    });
}

void TfrmPhonesInfo::rightButtonUp(const QPoint &pos)
{
    int col, row;
    Grid->CellAt(pos.x(), pos.y(), col, row);
    if (row < 0 || col < 0) {
        Q_EMIT trayMenuRequested(QCursor::pos());
        return;
    }
    if (!PrepareContextMenu(pos))
        return;  // the caption row
    PopupMenu->exec(QCursor::pos());
    PopupShown = true;
    SelectedRow = -1;
    Grid->viewport()->update();
}

void TfrmPhonesInfo::ShowErrorMessage()
{
    const int slot = SelectedPhoneID;
    if (slot < 1 || slot > MaxPhones)
        return;
    QMessageBox::information(this, QLatin1String(ProgramName),
                             QStringLiteral("При запросе информации ИССА вернула ошибку: \r\n")
                                 + state_.IssaArray[slot].ErrorMsg);
}

void TfrmPhonesInfo::ShowLoadedPages()
{
    const int slot = SelectedPhoneID;
    if (slot < 1 || slot > MaxPhones || state_.IssaArray[slot].LoadedPages.isEmpty())
        return;
    TfrmLoadedPages viewer(state_.IniFile, this);
    viewer.SetHeader(PhoneHumanInfo(state_.IssaArray[slot]));
    viewer.SetPages(state_.IssaArray[slot].LoadedPages);
    if (trayIcon_)
        trayIcon_->Pause();
    viewer.exec();
    if (trayIcon_)
        trayIcon_->Resume();
}
