#pragma once
// What both workbooks share: a sheet of typed cells, the rounding of the
// figures, the fitting of the columns and the safe writing of the file.

#include <QString>
#include <QVector>
#include <cstdint>
#include <variant>

// One cell of a sheet: empty, text, a number, a whole number or a date-time
// (days since 30 December 1899, shown with a date format).
struct XlsxDateTime {
    double days = 0;
};
using XlsxCell = std::variant<std::monostate, QString, double, std::int64_t, XlsxDateTime>;

// The figure as read from its 32-bit column, rounded to the given number of
// decimals, halves to the even neighbour. The rounding works on the exact
// stored value: 28.12345 kept as a 32-bit float lies a little below that
// decimal and becomes 28.1234.
double RoundTo(float value, int decimals);

// The text a cell shows, as far as its width is concerned.
QString XlsxCellText(const XlsxCell &cell);

// The width (in characters) that fits the longest text of each column.
QVector<double> FittedColumnWidths(const QVector<QVector<XlsxCell>> &rows, int columns);

// The file name a workbook is first written under: hidden, beside the target,
// unique. The file is created empty (so no other writer takes the name).
QString CreateTemporaryBeside(const QString &target);

// Makes a fully written temporary file the target, replacing an existing file
// in one step (its permissions are kept). Throws SaldomatError; the temporary
// file is then removed and the target untouched.
void ReplaceWithTemporary(const QString &temporary, const QString &target);

// Whether an existing file could be replaced by a new workbook (the file and
// its folder can be written). True for a name with no file yet.
bool CanReplaceFile(const QString &file);

struct lxw_workbook;
struct lxw_worksheet;
struct lxw_format;

// One workbook with one sheet under construction on a temporary file beside
// the target. commit() closes it and puts it in the target's place; when the
// object goes away without commit() (a failure half way), the temporary file
// is removed and the target is left as it was.
class XlsxFileWriter {
public:
    // constantMemory: rows go to the file as they are written (in order).
    explicit XlsxFileWriter(const QString &target, bool constantMemory = true);
    ~XlsxFileWriter();
    XlsxFileWriter(const XlsxFileWriter &) = delete;
    XlsxFileWriter &operator=(const XlsxFileWriter &) = delete;

    lxw_workbook *workbook() { return workbook_; }
    lxw_worksheet *sheet() { return sheet_; }
    // A format of the workbook: bold, font colour (0xRRGGBB, -1 none), number format.
    lxw_format *format(bool bold, int colour = -1, const char *numberFormat = nullptr);
    // Rows and columns count from 0. An empty cell writes nothing. A
    // date-time without a format of its own gets "dd.mm.yyyy hh:mm:ss".
    void write(int row, int col, const XlsxCell &cell, lxw_format *format = nullptr);
    void setColumnWidths(const QVector<double> &widths);
    void commit();

    const QString &target() const { return target_; }

private:
    QString target_;
    QString temporary_;
    QByteArray temporaryName_;
    lxw_workbook *workbook_ = nullptr;
    lxw_worksheet *sheet_ = nullptr;
    lxw_format *dateTime_ = nullptr;
};
