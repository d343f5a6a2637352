#include "SortGridUnit.h"

#include "Common.h"
#include "Encoding.h"
#include "Failure.h"
#include "OleDate.h"
#include "Readers.h"

#include <QHeaderView>
#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionViewItem>
#include <algorithm>

namespace {

// A number as the grid compares it; NoValue when the text is none.
float textToNumber(const QString &text)
{
    return TextToFloat32(text).value_or(static_cast<float>(NoValue));
}

// Date-times in the windows, in the Russian short form whatever the locale
// of the session: 07.12.2026 12:20:49.
const QString &shortDateFormat()
{
    static const QString format = QStringLiteral("dd.MM.yyyy");
    return format;
}

const QString &shortDateTimeFormat()
{
    static const QString format = QStringLiteral("dd.MM.yyyy hh:mm:ss");
    return format;
}

// The text in the one-byte code page ("?" for characters it lacks), Latin
// letters as capitals, as the classic case-blind compare sees it.
QByteArray textKey(const QString &text)
{
    QByteArray bytes = ToCp1251(text);
    for (char &b : bytes)
        if (b >= 'a' && b <= 'z')
            b = static_cast<char>(b - 32);
    return bytes;
}

// A cell text read once, in the order the grid sorts by: texts before the
// digits (empty, dashes), then numbers by value, then date-times by time,
// then the other texts (letters, "—") by their code page bytes. Each kind
// compared exactly, so the order is total; the classic pair-by-pair guess
// (number if both are, else date if both are, else text, numbers equal within
// 1/10000) was not transitive.
struct SortKey {
    enum Kind { LowText, Number, Date, HighText } kind;
    float number;
    double date;
    QByteArray text;
};

SortKey sortKey(const QString &text)
{
    SortKey key{SortKey::Number, textToNumber(text), ParseShortDateTime(text), textKey(text)};
    if (key.number == static_cast<float>(NoValue))
        key.kind = key.date != NoValue ? SortKey::Date : key.text < "0" ? SortKey::LowText : SortKey::HighText;
    return key;
}

int compareKeys(const SortKey &a, const SortKey &b)
{
    const auto order = [](auto x, auto y) { return x < y ? -1 : (y < x ? 1 : 0); };
    if (a.kind != b.kind)
        return order(a.kind, b.kind);
    if (a.kind == SortKey::Number)
        return order(a.number, b.number);
    if (a.kind == SortKey::Date)
        return order(a.date, b.date);
    return order(a.text, b.text);
}

}  // namespace

QString FormatShortDateTime(double oleDate)
{
    return FromOleDate(oleDate).toString(shortDateTimeFormat());
}

double ParseShortDateTime(const QString &text)
{
    const QString t = text.trimmed();
    QDateTime dt = QDateTime::fromString(t, shortDateTimeFormat());
    if (!dt.isValid()) {
        const QDate d = QDate::fromString(t, shortDateFormat());
        if (d.isValid())
            dt = QDateTime(d, QTime(0, 0));
    }
    if (!dt.isValid())
        return NoValue;
    return ToOleDate(dt);
}

int Compare(const QString &s1, const QString &s2)
{
    return compareKeys(sortKey(s1), sortKey(s2));
}

// The caption strip: paints row 0 of the grid with the grid's own cell drawing
// and hands the mouse to the grid; resizing by the section borders is its own.
class TGridHeader : public QHeaderView {
public:
    explicit TGridHeader(TSortGrid *grid) : QHeaderView(Qt::Horizontal, grid), grid_(grid)
    {
        setSectionsClickable(false);
        setSectionsMovable(false);
        setHighlightSections(false);
        setSectionResizeMode(QHeaderView::Interactive);
        setMinimumSectionSize(0);
        setDefaultSectionSize(TSortGrid::DefaultColWidth);
        setStretchLastSection(false);
        setMouseTracking(true);
        setContextMenuPolicy(Qt::PreventContextMenu);
        setFixedHeight(TSortGrid::DefaultRowHeight + 1);
    }

protected:
    void paintSection(QPainter *painter, const QRect &rect, int logicalIndex) const override
    {
        if (!rect.isValid())
            return;
        QStyleOptionViewItem option;
        option.initFrom(grid_);
        option.rect = rect;
        option.font = grid_->font();
        option.state = QStyle::State_Enabled;
        const QModelIndex index = grid_->model()->index(0, logicalIndex);
        painter->save();
        grid_->itemDelegate()->paint(painter, option, index);
        painter->restore();
        painter->save();
        painter->setPen(grid_->gridStyle() == Qt::NoPen ? QColor(Qt::gray) : QColor(160, 160, 160));
        painter->drawLine(rect.topRight(), rect.bottomRight());
        painter->drawLine(rect.bottomLeft(), rect.bottomRight());
        painter->restore();
    }
    void mousePressEvent(QMouseEvent *e) override
    {
        grid_->GridMouseDown(e->button(), grid_->HeaderToGrid(e->position().toPoint()));
        QHeaderView::mousePressEvent(e);
    }
    void mouseMoveEvent(QMouseEvent *e) override
    {
        QHeaderView::mouseMoveEvent(e);
        grid_->GridMouseMove(e->buttons(), grid_->HeaderToGrid(e->position().toPoint()), viewport());
    }
    void mouseReleaseEvent(QMouseEvent *e) override
    {
        QHeaderView::mouseReleaseEvent(e);
        grid_->GridMouseUp(e->button(), grid_->HeaderToGrid(e->position().toPoint()), viewport());
    }
    void mouseDoubleClickEvent(QMouseEvent *e) override { QHeaderView::mouseDoubleClickEvent(e); }

private:
    TSortGrid *grid_;
};

TSortGrid::TSortGrid(QWidget *parent) : QTableWidget(parent)
{
    setHorizontalHeader(new TGridHeader(this));
    verticalHeader()->hide();
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setDefaultSectionSize(DefaultRowHeight);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::NoSelection);
    setFocusPolicy(Qt::NoFocus);
    setMouseTracking(true);
    setWordWrap(false);
    Set_ColCount(2);
    Set_RowCount(2);
    MouseDownInHeader = false;
}

void TSortGrid::Set_ColCount(int count)
{
    count = std::max(count, 1);
    setColumnCount(count);
    ColProperties.resize(static_cast<size_t>(count));
}

void TSortGrid::Set_RowCount(int count)
{
    setRowCount(std::max(count, 1));
    setRowHidden(0, true);  // shown by the caption strip
}

QString TSortGrid::Cells(int col, int row) const
{
    const QTableWidgetItem *it = item(row, col);
    return it ? it->text() : QString();
}

void TSortGrid::SetCells(int col, int row, const QString &text)
{
    QTableWidgetItem *it = item(row, col);
    if (!it)
        setItem(row, col, new QTableWidgetItem(text));
    else if (it->text() != text)
        it->setText(text);
}

QVariant TSortGrid::Objects(int col, int row) const
{
    const QTableWidgetItem *it = item(row, col);
    return it ? it->data(ObjectRole) : QVariant();
}

void TSortGrid::SetCell(int col, int row, const QString &text, const QVariant &object)
{
    QTableWidgetItem *it = item(row, col);
    if (!it) {
        it = new QTableWidgetItem(text);
        it->setData(ObjectRole, object);
        setItem(row, col, it);
        return;
    }
    if (it->text() != text)
        it->setText(text);
    if (it->data(ObjectRole) != object)
        it->setData(ObjectRole, object);
}

void TSortGrid::SetSortDirectionForAllColumns(std::uint8_t direction)
{
    for (TColProperty &p : ColProperties)
        p.SortDirection = direction;
}

std::uint8_t TSortGrid::SortDirection(int col) const
{
    if (col < 0 || col >= static_cast<int>(ColProperties.size()))
        return 0;
    return ColProperties[static_cast<size_t>(col)].SortDirection;
}

int TSortGrid::HeaderHeight() const
{
    return horizontalHeader()->isHidden() ? 0 : horizontalHeader()->height();
}

void TSortGrid::CellAt(int x, int y, int &col, int &row) const
{
    col = columnAt(x);
    if (y < 0)
        row = y >= -HeaderHeight() ? 0 : -1;
    else
        row = rowAt(y);
    if (col < 0)
        row = -1;
    if (row < 0)
        col = -1;
}

bool TSortGrid::IsHeaderArea(int x, int y, int &col, int &row) const
{
    CellAt(x, y, col, row);
    if (row != 0 || col < 0)
        return false;
    const int left = columnViewportPosition(col);
    const int right = left + columnWidth(col);
    return x - left >= HeaderMargin && right - x >= HeaderMargin;
}

void TSortGrid::Sort()
{
    guarded(THIS_ROUTINE, [&] {
        const int rows = rowCount() - 1;
        const int col = sortColumn_;
        if (rows < 2 || col < 0 || col >= columnCount())
            return;
        // The rows, taken out of the grid with their items (texts and objects).
        std::vector<std::vector<QTableWidgetItem *>> saved(static_cast<size_t>(rows));
        // Each key is read once, as a number, a date-time and a text.
        std::vector<SortKey> keys(static_cast<size_t>(rows));
        for (int r = 0; r < rows; ++r) {
            keys[static_cast<size_t>(r)] = sortKey(Cells(col, r + 1));
            auto &line = saved[static_cast<size_t>(r)];
            line.resize(static_cast<size_t>(columnCount()));
            for (int c = 0; c < columnCount(); ++c)
                line[static_cast<size_t>(c)] = takeItem(r + 1, c);
        }
        const bool descending = SortDirection(col) == 1;
        std::vector<int> order(static_cast<size_t>(rows));
        for (int i = 0; i < rows; ++i)
            order[static_cast<size_t>(i)] = i;
        // Rows with equal keys keep their order.
        std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
            const int r = compareKeys(keys[static_cast<size_t>(a)], keys[static_cast<size_t>(b)]);
            return descending ? r > 0 : r < 0;
        });
        for (int i = 0; i < rows; ++i) {
            auto &line = saved[static_cast<size_t>(order[static_cast<size_t>(i)])];
            for (int c = 0; c < columnCount(); ++c)
                if (line[static_cast<size_t>(c)])
                    setItem(i + 1, c, line[static_cast<size_t>(c)]);
        }
        viewport()->update();
    });
}

void TSortGrid::SetCursors(const QCursor &down, const QCursor &up)
{
    CursorDown = down;
    CursorUp = up;
}

void TSortGrid::GridMouseDown(Qt::MouseButton button, const QPoint &pos)
{
    runHandler(THIS_ROUTINE, [&] {
        int col, row;
        if (button == Qt::LeftButton && IsHeaderArea(pos.x(), pos.y(), col, row))
            MouseDownInHeader = true;
    });
}

void TSortGrid::GridMouseMove(Qt::MouseButtons buttons, const QPoint &pos, QWidget *cursorWidget)
{
    runHandler(THIS_ROUTINE, [&] {
        MouseDownInHeader = false;
        if (buttons & Qt::LeftButton)
            return;
        int col, row;
        if (IsHeaderArea(pos.x(), pos.y(), col, row)) {
            cursorWidget->setCursor(SortDirection(col) == 0 ? CursorDown : CursorUp);
            cursorSet_ = true;
        } else if (cursorSet_ && cursorWidget->cursor().shape() == Qt::BitmapCursor) {
            cursorWidget->unsetCursor();
            cursorSet_ = false;
        }
    });
}

void TSortGrid::GridMouseUp(Qt::MouseButton button, const QPoint &pos, QWidget *cursorWidget)
{
    runHandler(THIS_ROUTINE, [&] {
        int col, row;
        if (button == Qt::LeftButton && MouseDownInHeader && IsHeaderArea(pos.x(), pos.y(), col, row)) {
            MouseDownInHeader = false;
            sortColumn_ = col;
            const std::uint8_t remembered = SortDirection(col);
            SetSortDirectionForAllColumns(1);
            ColProperties[static_cast<size_t>(col)].SortDirection = remembered == 1 ? 0 : 1;
            Sort();
            cursorWidget->setCursor(SortDirection(col) == 0 ? CursorDown : CursorUp);
        }
        MouseDownInHeader = false;
    });
    if (button == Qt::LeftButton)
        Q_EMIT leftButtonReleased(pos);
    else if (button == Qt::RightButton)
        Q_EMIT rightButtonReleased(pos);
}

void TSortGrid::mousePressEvent(QMouseEvent *event)
{
    GridMouseDown(event->button(), event->position().toPoint());
    QTableWidget::mousePressEvent(event);
}

void TSortGrid::mouseMoveEvent(QMouseEvent *event)
{
    GridMouseMove(event->buttons(), event->position().toPoint(), viewport());
    QTableWidget::mouseMoveEvent(event);
}

void TSortGrid::mouseReleaseEvent(QMouseEvent *event)
{
    QTableWidget::mouseReleaseEvent(event);
    GridMouseUp(event->button(), event->position().toPoint(), viewport());
}
