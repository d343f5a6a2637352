#include "SortGridUnit.h"

#include "Common.h"
#include "Encoding.h"
#include "Failure.h"
#include "OleDate.h"

#include <QHeaderView>
#include <QLocale>
#include <QMouseEvent>
#include <array>
#include <cmath>

namespace {

float textToNumber(const QString &text)
{
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::RejectGroupSeparator);
    bool ok = false;
    const float v = c.toFloat(text.trimmed(), &ok);
    if (!ok || !std::isfinite(v))
        return static_cast<float>(NoValue);
    return v;
}

QString shortDateTimeFormat()
{
    static const QString format = [] {
        QString date = QLocale::system().dateFormat(QLocale::ShortFormat);
        if (!date.contains(QLatin1String("yyyy")))
            date.replace(QLatin1String("yy"), QLatin1String("yyyy"));
        return date + QLatin1Char(' ') + QLocale::system().timeFormat(QLocale::ShortFormat);
    }();
    return format;
}

// Byte of each character in the one-byte code page; characters it lacks become "?".
unsigned char codePageByte(QChar c)
{
    static const auto table = [] {
        std::array<unsigned char, 65536> t{};
        t.fill('?');
        for (int b = 0; b < 256; ++b) {
            const QString s = FromCp1251(QByteArray(1, static_cast<char>(b)));
            if (s.size() == 1)
                t[s.at(0).unicode()] = static_cast<unsigned char>(b);
        }
        return t;
    }();
    return table[c.unicode()];
}

int sign(double d)
{
    return d < 0 ? -1 : (d > 0 ? 1 : 0);
}

}  // namespace

QString FormatShortDateTime(double oleDate)
{
    return QLocale::c().toString(FromOleDate(oleDate), shortDateTimeFormat());
}

double ParseShortDateTime(const QString &text)
{
    const QString t = text.trimmed();
    QDateTime dt = QLocale::c().toDateTime(t, shortDateTimeFormat());
    if (!dt.isValid()) {
        QString dateOnly = QLocale::system().dateFormat(QLocale::ShortFormat);
        if (!dateOnly.contains(QLatin1String("yyyy")))
            dateOnly.replace(QLatin1String("yy"), QLatin1String("yyyy"));
        const QDate d = QLocale::c().toDate(t, dateOnly);
        if (d.isValid())
            dt = QDateTime(d, QTime(0, 0));
    }
    if (!dt.isValid())
        return NoValue;
    return ToOleDate(dt);
}

bool MyCompareNumber(const QString &s1, const QString &s2, int &result)
{
    return guarded("SortGridUnit.MyCompareNumber", [&] {
        const float a = textToNumber(s1);
        const float b = textToNumber(s2);
        if (a == static_cast<float>(NoValue) || b == static_cast<float>(NoValue))
            return false;
        const float tolerance = std::min(std::fabs(a), std::fabs(b)) / 10000.0f;
        if (std::fabs(a - b) <= tolerance)
            result = 0;
        else
            result = a < b ? -1 : 1;
        return true;
    });
}

bool MyCompareDate(const QString &s1, const QString &s2, int &result)
{
    return guarded("SortGridUnit.MyCompareDate", [&] {
        const double a = ParseShortDateTime(s1);
        const double b = ParseShortDateTime(s2);
        if (a == NoValue || b == NoValue)
            return false;
        result = sign(a - b);
        return true;
    });
}

bool MyCompareText(const QString &s1, const QString &s2, int &result)
{
    const int n = std::min(s1.size(), s2.size());
    for (int i = 0; i < n; ++i) {
        QChar c1 = s1.at(i), c2 = s2.at(i);
        unsigned char b1 = codePageByte(c1), b2 = codePageByte(c2);
        if (b1 >= 'A' && b1 <= 'Z')
            b1 = static_cast<unsigned char>(b1 + 32);
        if (b2 >= 'A' && b2 <= 'Z')
            b2 = static_cast<unsigned char>(b2 + 32);
        if (b1 != b2) {
            result = b1 < b2 ? -1 : 1;
            return true;
        }
    }
    result = sign(s1.size() - s2.size());
    return true;
}

int Compare(const QString &s1, const QString &s2)
{
    int result = 0;
    if (MyCompareNumber(s1, s2, result))
        return result;
    if (MyCompareDate(s1, s2, result))
        return result;
    MyCompareText(s1, s2, result);
    return result;
}

TSortGrid::TSortGrid(QWidget *parent) : QTableWidget(parent)
{
    horizontalHeader()->hide();
    verticalHeader()->hide();
    horizontalHeader()->setMinimumSectionSize(0);
    horizontalHeader()->setDefaultSectionSize(DefaultColWidth);
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

void TSortGrid::SetObjects(int col, int row, const QVariant &object)
{
    QTableWidgetItem *it = item(row, col);
    if (!it) {
        it = new QTableWidgetItem;
        it->setData(ObjectRole, object);
        setItem(row, col, it);
    } else {
        it->setData(ObjectRole, object);
    }
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

bool TSortGrid::IsHeaderArea(int x, int y, int &col, int &row) const
{
    col = columnAt(x);
    row = rowAt(y);
    if (row != 0 || col < 0)
        return false;
    const int left = columnViewportPosition(col);
    const int right = left + columnWidth(col);
    return x - left >= HeaderMargin && right - x >= HeaderMargin;
}

void TSortGrid::Sort()
{
    guarded("TSortGrid.Sort", [&] {
        const int rows = rowCount() - 1;
        const int col = sortColumn_;
        if (rows < 2 || col < 0 || col >= columnCount())
            return;
        // The rows, taken out of the grid with their items (texts and objects).
        std::vector<std::vector<QTableWidgetItem *>> saved(static_cast<size_t>(rows));
        std::vector<QString> keys(static_cast<size_t>(rows));
        for (int r = 0; r < rows; ++r) {
            keys[static_cast<size_t>(r)] = Cells(col, r + 1);
            auto &line = saved[static_cast<size_t>(r)];
            line.resize(static_cast<size_t>(columnCount()));
            for (int c = 0; c < columnCount(); ++c)
                line[static_cast<size_t>(c)] = takeItem(r + 1, c);
        }
        // The kind of comparison is chosen pair by pair, so the order need not
        // be transitive: a merge sort stays within bounds whatever the answers.
        const bool descending = SortDirection(col) == 1;
        std::vector<int> order(static_cast<size_t>(rows)), buffer(static_cast<size_t>(rows));
        for (int i = 0; i < rows; ++i)
            order[static_cast<size_t>(i)] = i;
        auto before = [&](int a, int b) {
            int r = Compare(keys[static_cast<size_t>(a)], keys[static_cast<size_t>(b)]);
            if (descending)
                r = -r;
            return r <= 0;
        };
        for (int width = 1; width < rows; width *= 2) {
            for (int lo = 0; lo < rows; lo += 2 * width) {
                const int mid = std::min(lo + width, rows), hi = std::min(lo + 2 * width, rows);
                int i = lo, j = mid, k = lo;
                while (i < mid && j < hi)
                    buffer[static_cast<size_t>(k++)] = before(order[static_cast<size_t>(i)], order[static_cast<size_t>(j)])
                                                            ? order[static_cast<size_t>(i++)]
                                                            : order[static_cast<size_t>(j++)];
                while (i < mid)
                    buffer[static_cast<size_t>(k++)] = order[static_cast<size_t>(i++)];
                while (j < hi)
                    buffer[static_cast<size_t>(k++)] = order[static_cast<size_t>(j++)];
            }
            order.swap(buffer);
        }
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

int TSortGrid::resizeBorderAt(int x, int y) const
{
    if (rowAt(y) != 0)
        return -1;
    for (int c = 0; c < columnCount(); ++c) {
        const int right = columnViewportPosition(c) + columnWidth(c);
        if (std::abs(x - right) <= 3)
            return c;
    }
    return -1;
}

void TSortGrid::mousePressEvent(QMouseEvent *event)
{
    runHandler("TSortGrid.MouseDown", [&] {
        const QPoint p = event->position().toPoint();
        int col, row;
        if (event->button() == Qt::LeftButton) {
            resizingColumn_ = resizeBorderAt(p.x(), p.y());
            if (resizingColumn_ < 0 && IsHeaderArea(p.x(), p.y(), col, row))
                MouseDownInHeader = true;
        }
    });
    QTableWidget::mousePressEvent(event);
}

void TSortGrid::mouseMoveEvent(QMouseEvent *event)
{
    runHandler("TSortGrid.MouseMove", [&] {
        MouseDownInHeader = false;
        const QPoint p = event->position().toPoint();
        if (resizingColumn_ >= 0 && (event->buttons() & Qt::LeftButton)) {
            setColumnWidth(resizingColumn_, std::max(0, p.x() - columnViewportPosition(resizingColumn_)));
            return;
        }
        if (event->buttons() & Qt::LeftButton)
            return;
        int col, row;
        if (resizeBorderAt(p.x(), p.y()) >= 0) {
            viewport()->setCursor(Qt::SplitHCursor);
            cursorSet_ = true;
        } else if (IsHeaderArea(p.x(), p.y(), col, row)) {
            viewport()->setCursor(SortDirection(col) == 0 ? CursorDown : CursorUp);
            cursorSet_ = true;
        } else if (cursorSet_) {
            viewport()->unsetCursor();
            cursorSet_ = false;
        }
    });
    QTableWidget::mouseMoveEvent(event);
}

void TSortGrid::mouseReleaseEvent(QMouseEvent *event)
{
    runHandler("TSortGrid.MouseUp", [&] {
        const QPoint p = event->position().toPoint();
        resizingColumn_ = -1;
        int col, row;
        if (event->button() == Qt::LeftButton && MouseDownInHeader && IsHeaderArea(p.x(), p.y(), col, row)) {
            MouseDownInHeader = false;
            sortColumn_ = col;
            const std::uint8_t remembered = SortDirection(col);
            SetSortDirectionForAllColumns(1);
            ColProperties[static_cast<size_t>(col)].SortDirection = remembered == 1 ? 0 : 1;
            Sort();
            viewport()->setCursor(SortDirection(col) == 0 ? CursorDown : CursorUp);
        }
    });
    QTableWidget::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton)
        Q_EMIT leftButtonReleased(event->position().toPoint());
    else if (event->button() == Qt::RightButton)
        Q_EMIT rightButtonReleased(event->position().toPoint());
}
