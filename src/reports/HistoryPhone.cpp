#include "HistoryPhone.h"

#include "Common.h"
#include "Failure.h"
#include "HistoryWorkbook.h"
#include "PhoneTable.h"
#include "ProgramState.h"

#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QVBoxLayout>

#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QDateTimeAxis>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>

#include <algorithm>
#include <cmath>

namespace {
constexpr int kColumns = 12;
constexpr int kRowHeight = 15;
constexpr int kChartHeight = 220;

// Draws the cell, then the day separator: a navy line along the top edge of
// every cell of a row that starts a day, the first data row excepted.
class DaySeparatorDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::paint(painter, option, index);
        if (index.row() < 1)
            return;
        const QString first = index.sibling(index.row(), 0).data().toString().trimmed();
        if (first.isEmpty())
            return;
        painter->save();
        painter->setPen(QPen(QColor(0, 0, 128), 1));
        painter->drawLine(option.rect.left(), option.rect.top(), option.rect.right(), option.rect.top());
        painter->restore();
    }
};
}  // namespace

TfrmHistoryPhone::TfrmHistoryPhone(const TProgramState &state, QWidget *parent, QString dbFile)
    : QDialog(parent,
              Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint
                  | Qt::WindowMaximizeButtonHint),
      state_(state), dbFile_(std::move(dbFile))
{
    guarded(THIS_ROUTINE, [&] {
        setObjectName(QStringLiteral("frmHistoryPhone"));
        setWindowTitle(QStringLiteral("История баланса по телефону"));

        plHeader = new QLabel(this);
        plHeader->setObjectName(QStringLiteral("plHeader"));
        plHeader->setAlignment(Qt::AlignCenter);
        plHeader->setFrameShape(QFrame::StyledPanel);
        plHeader->setMinimumHeight(28);
        QFont headerFont = plHeader->font();
        headerFont.setBold(true);
        plHeader->setFont(headerFont);
        QPalette pal = plHeader->palette();
        pal.setColor(QPalette::WindowText, QColor(0, 64, 128));  // 8404992
        plHeader->setPalette(pal);

        sgHistory = new QTableWidget(1, kColumns, this);
        sgHistory->setObjectName(QStringLiteral("sgHistory"));
        sgHistory->setHorizontalHeaderLabels(HistoryGridHeaders());
        sgHistory->verticalHeader()->setVisible(false);
        const int rowHeight = std::max(kRowHeight, sgHistory->fontMetrics().height() + 2);
        sgHistory->verticalHeader()->setMinimumSectionSize(rowHeight);
        sgHistory->verticalHeader()->setDefaultSectionSize(rowHeight);
        sgHistory->horizontalHeader()->setSectionsMovable(true);
        sgHistory->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
        sgHistory->horizontalHeader()->setHighlightSections(false);
        sgHistory->setEditTriggers(QAbstractItemView::NoEditTriggers);
        sgHistory->setSelectionBehavior(QAbstractItemView::SelectRows);
        sgHistory->setWordWrap(false);
        sgHistory->setItemDelegate(new DaySeparatorDelegate(sgHistory));

        bottom_ = new QWidget(this);
        bottom_->setObjectName(QStringLiteral("plBottom"));
        bottom_->setFixedHeight(41);
        bnClose = new QPushButton(QStringLiteral("Закрыть"), bottom_);
        bnClose->setObjectName(QStringLiteral("bnClose"));
        bnClose->resize(std::max(90, bnClose->sizeHint().width()), 25);
        bnClose->move(0, 8);
        connect(bnClose, &QPushButton::clicked, this, &QDialog::accept);

        auto *layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
        layout->addWidget(plHeader);
        auto *view = new QChartView(this);
        view->setObjectName(QStringLiteral("chBalance"));
        view->setRenderHint(QPainter::Antialiasing);
        view->setMinimumHeight(kChartHeight);
        view->setMaximumHeight(kChartHeight);
        chart_ = view;
        layout->addWidget(view);
        layout->addWidget(sgHistory, 1);
        layout->addWidget(bottom_);

        FitColumns();
    });
}

void TfrmHistoryPhone::FitColumns()
{
    // Each column as wide as its caption in the grid's font plus 10; the
    // window as wide as the columns, a pixel per column and 25.
    const QFontMetrics metrics(sgHistory->font());
    const QStringList headers = HistoryGridHeaders();
    int total = 0;
    for (int c = 0; c < kColumns; ++c) {
        // The header draws the caption in its own font and margins: never narrower than that.
        const int headerWidth = QFontMetrics(sgHistory->horizontalHeader()->font()).horizontalAdvance(headers[c])
            + 2 * sgHistory->style()->pixelMetric(QStyle::PM_HeaderMargin) + 4;
        const int width = std::max(metrics.horizontalAdvance(headers[c]) + 10, headerWidth);
        sgHistory->setColumnWidth(c, width);
        total += width;
    }
    int clientWidth = total + kColumns + 25;
    int clientHeight = 560 + (chart_ ? kChartHeight : 0) - 200;
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        clientWidth = std::min(clientWidth, area.width() - 20);
        clientHeight = std::min(clientHeight, area.height() - 60);
        resize(clientWidth, clientHeight);
        move(area.center() - QPoint(clientWidth / 2, clientHeight / 2));
    } else {
        resize(clientWidth, clientHeight);
    }
    CentreCloseButton();
}

void TfrmHistoryPhone::CentreCloseButton()
{
    bnClose->move(width() / 2 - bnClose->width() / 2, bnClose->y());
}

void TfrmHistoryPhone::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    runHandler(THIS_ROUTINE, [&] { CentreCloseButton(); });
}

int TfrmHistoryPhone::FillInfo(int slot, HistoryPeriod mode, int n)
{
    return guarded(THIS_ROUTINE, [&] {
        plHeader->setText(QStringLiteral("Телефон ") + PhoneHumanInfo(state_.IssaArray[slot]));
        const QString phone = UserPhone(state_, slot);
        const QVector<HistoryRow> rows = HistoryRows(phone, mode, n, dbFile_);
        if (rows.isEmpty()) {
            sgHistory->setRowCount(1);
            FillChart(rows, slot);
            QMessageBox::warning(parentWidget() ? parentWidget() : this, QString::fromLatin1(ProgramName),
                                 QString::fromUtf8(MsgHistoryNotFound));
            return 0;
        }
        WriteQueryToGreed(rows);
        FillChart(rows, slot);
        return static_cast<int>(rows.size());
    });
}

void TfrmHistoryPhone::WriteQueryToGreed(const QVector<HistoryRow> &rows)
{
    guarded(THIS_ROUTINE, [&] {
        const QVector<QStringList> cells = HistoryGridCells(rows);
        sgHistory->setUpdatesEnabled(false);
        sgHistory->clearContents();
        sgHistory->setRowCount(std::max<int>(1, cells.size()));
        for (int r = 0; r < cells.size(); ++r)
            for (int c = 0; c < kColumns; ++c)
                sgHistory->setItem(r, c, new QTableWidgetItem(cells[r][c]));
        sgHistory->setUpdatesEnabled(true);
    });
}

bool TfrmHistoryPhone::thresholdShown(double *value) const
{
    if (value)
        *value = threshold_;
    return thresholdShown_;
}

void TfrmHistoryPhone::FillChart(const QVector<HistoryRow> &rows, int slot)
{
    thresholdShown_ = state_.Setup.General.cbMarkIfBalance;
    threshold_ = BalanceThreshold(state_, slot);
    auto *chart = new QChart;
    chart->setMargins(QMargins(4, 4, 4, 4));
    chart->legend()->setAlignment(Qt::AlignBottom);
    auto *balance = new QLineSeries;
    balance->setName(QStringLiteral("Баланс"));
    // Oldest first along the time axis.
    double low = 0, high = 0;
    qint64 first = 0, last = 0;
    for (auto it = rows.crbegin(); it != rows.crend(); ++it) {
        const qint64 x = FromOleDate(it->QueryDateTime).toMSecsSinceEpoch();
        const double y = it->Balance;
        if (balance->count() == 0) {
            low = high = y;
            first = x;
        }
        low = std::min(low, y);
        high = std::max(high, y);
        last = x;
        balance->append(static_cast<qreal>(x), y);
    }
    balance->setPointsVisible(rows.size() <= 60);
    chart->addSeries(balance);
    if (rows.isEmpty()) {
        first = QDateTime::currentDateTime().addDays(-1).toMSecsSinceEpoch();
        last = QDateTime::currentDateTime().toMSecsSinceEpoch();
    }
    if (first == last) {  // one row: a day around it
        first -= 12 * 3600 * 1000LL;
        last += 12 * 3600 * 1000LL;
    }
    if (thresholdShown_) {
        auto *mark = new QLineSeries;
        mark->setName(QStringLiteral("Порог отметки: %1").arg(threshold_, 0, 'f', 2));
        QPen pen(QColor(220, 0, 0));
        pen.setStyle(Qt::DashLine);
        pen.setWidth(2);
        mark->setPen(pen);
        mark->append(static_cast<qreal>(first), threshold_);
        mark->append(static_cast<qreal>(last), threshold_);
        chart->addSeries(mark);
        if (rows.isEmpty())
            low = high = threshold_;
        low = std::min(low, threshold_);
        high = std::max(high, threshold_);
    }
    auto *axisX = new QDateTimeAxis;
    const double spanDays = (last - first) / 86400000.0;
    axisX->setFormat(spanDays <= 3 ? QStringLiteral("dd.MM hh:mm") : QStringLiteral("dd.MM.yy"));
    axisX->setTickCount(spanDays <= 3 ? 5 : 7);
    axisX->setRange(QDateTime::fromMSecsSinceEpoch(first), QDateTime::fromMSecsSinceEpoch(last));
    auto *axisY = new QValueAxis;
    const double pad = std::max(1.0, (high - low) * 0.05);
    // Balances that never went below zero keep zero as the floor of the axis.
    const double bottom = low >= 0 ? std::max(0.0, low - pad) : low - pad;
    axisY->setRange(std::floor(bottom), std::ceil(high + pad));
    axisY->applyNiceNumbers();
    axisY->setLabelFormat(QStringLiteral("%.2f"));
    chart->addAxis(axisX, Qt::AlignBottom);
    chart->addAxis(axisY, Qt::AlignLeft);
    for (QAbstractSeries *s : chart->series()) {
        s->attachAxis(axisX);
        s->attachAxis(axisY);
    }
    auto *view = static_cast<QChartView *>(chart_);
    QChart *old = view->chart();
    view->setChart(chart);
    delete old;
}

void ShowHistoryPhone(const TProgramState &state, int slot, HistoryPeriod mode, int n, QWidget *parent)
{
    runHandler(THIS_ROUTINE, [&] {
        if (slot < 1 || slot > MaxPhones)
            return;
        TfrmHistoryPhone window(state, parent);
        window.FillInfo(slot, mode, n);
        window.exec();
    });
}
