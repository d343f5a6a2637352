#pragma once
// TSortGrid: a string grid whose rows are put in order by clicking a column's
// header cell (row 0). A click on the same header again reverses the order.
// Cell texts are ordered as numbers, as date-times or as text.
//
// Every cell carries a text and an object (any QVariant, for instance its
// display style); sorting moves whole rows, objects included.
#include <QCursor>
#include <QString>
#include <QTableWidget>
#include <QVariant>
#include <cstdint>
#include <vector>

// -1, 0 or 1: the order in which Sort puts two cell texts (ascending), a
// total order: texts sorting before the digits, numbers, date-times, other
// texts; see SortKey.
int Compare(const QString &s1, const QString &s2);

// Date-times as the windows show them ("dd.MM.yyyy hh:mm:ss", whatever the
// locale) and back; an unreadable text gives NoValue.
QString FormatShortDateTime(double oleDate);
double ParseShortDateTime(const QString &text);

struct TColProperty {
    std::uint8_t SortDirection = 0;  // 0 ascending, 1 descending
};

class TSortGrid : public QTableWidget {
    Q_OBJECT
public:
    explicit TSortGrid(QWidget *parent = nullptr);

    // The item role that holds a cell's object.
    static constexpr int ObjectRole = Qt::UserRole + 1;
    static constexpr int DefaultColWidth = 64;
    static constexpr int DefaultRowHeight = 17;
    static constexpr int HeaderMargin = 10;

    int ColCount() const { return columnCount(); }
    int RowCount() const { return rowCount(); }
    void Set_ColCount(int count);
    void Set_RowCount(int count);
    int FixedRows() const { return rowCount() > 1 ? 1 : 0; }

    QString Cells(int col, int row) const;
    void SetCells(int col, int row, const QString &text);
    QVariant Objects(int col, int row) const;
    // Text and object in one step (one change notification).
    void SetCell(int col, int row, const QString &text, const QVariant &object);

    void SetSortDirectionForAllColumns(std::uint8_t direction);
    std::uint8_t SortDirection(int col) const;
    int SortColumn() const { return sortColumn_; }
    void SetSortColumn(int col) { sortColumn_ = col; }

    // Points are given in the grid's viewport coordinates. The caption row
    // (row 0) is shown by the header strip above the scrolling rows, so it
    // stays in sight; there it lies at y from -HeaderHeight() to -1.
    int HeaderHeight() const;
    QPoint HeaderToGrid(const QPoint &headerPos) const { return {headerPos.x(), headerPos.y() - HeaderHeight()}; }
    // The cell under (x, y): column and row, -1 where there is none.
    void CellAt(int x, int y, int &col, int &row) const;
    // True only inside a caption cell at least HeaderMargin pixels from both
    // its left and right edges (a border drag resizes the column instead).
    bool IsHeaderArea(int x, int y, int &col, int &row) const;
    void Sort();

    void SetCursors(const QCursor &down, const QCursor &up);

Q_SIGNALS:
    // The left button was released over the grid (after a click, a sort or a
    // column resize).
    void leftButtonReleased(const QPoint &pos);
    void rightButtonReleased(const QPoint &pos);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    friend class TGridHeader;
    // The mouse handling of the grid, for its cells and its caption strip alike.
    void GridMouseDown(Qt::MouseButton button, const QPoint &pos);
    void GridMouseMove(Qt::MouseButtons buttons, const QPoint &pos, QWidget *cursorWidget);
    void GridMouseUp(Qt::MouseButton button, const QPoint &pos, QWidget *cursorWidget);

    bool MouseDownInHeader = false;
    std::vector<TColProperty> ColProperties;
    QCursor CursorDown;
    QCursor CursorUp;
    int sortColumn_ = 0;
    bool cursorSet_ = false;
};
