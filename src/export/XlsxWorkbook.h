#pragma once
// What both workbooks share: a sheet of typed cells, the rounding of the
// figures, the fitting of the columns and the safe writing of the file.

#include <QString>
#include <QStringList>
#include <QVector>
#include <cstdint>
#include <functional>
#include <variant>

// One cell of a sheet: empty, text, a number, a whole number or a date-time
// (days since 30 December 1899, shown with a date format).
struct XlsxDateTime {
    double days = 0;
};
using XlsxCell = std::variant<std::monostate, QString, double, std::int64_t, XlsxDateTime>;
// The cells of a sheet, row by row; row 0 holds the column captions.
using XlsxSheet = QVector<QVector<XlsxCell>>;

// A row of text cells: the captions of a sheet.
QVector<XlsxCell> XlsxTextRow(const QStringList &texts);

// The figure as read from its 32-bit column, rounded to the given number of
// decimals, halves to the even neighbour. The rounding works on the exact
// stored value: 28.12345 kept as a 32-bit float lies a little below that
// decimal and becomes 28.1234.
double RoundTo(float value, int decimals);

// The width (in characters) that fits the longest text of each column.
QVector<double> FittedColumnWidths(const QVector<QVector<XlsxCell>> &rows, int columns);

struct lxw_workbook;
struct lxw_worksheet;
struct lxw_format;

// One workbook with one sheet under construction on a temporary file beside
// the target (which CheckExportTarget must allow, or the constructor throws). commit() closes it and puts it in the
// target's place; when the object goes away without commit() (a failure half way), the temporary file is removed and
// the target is left as it was. Rows go to the file as they are written, so they are written in order.
class XlsxFileWriter {
public:
    explicit XlsxFileWriter(const QString &target);
    ~XlsxFileWriter();
    XlsxFileWriter(const XlsxFileWriter &) = delete;
    XlsxFileWriter &operator=(const XlsxFileWriter &) = delete;

    // A format of the workbook: bold, font colour (0xRRGGBB, -1 none), number format.
    lxw_format *format(bool bold, int colour = -1, const char *numberFormat = nullptr);
    // Rows and columns count from 0. An empty cell writes nothing. A
    // date-time without a format of its own gets "dd.mm.yyyy hh:mm:ss".
    void write(int row, int col, const XlsxCell &cell, lxw_format *format = nullptr);
    void setColumnWidths(const QVector<double> &widths);
    // The bold format of the captions (the workbook's first format).
    lxw_format *bold() const { return bold_; }
    // The columns set to widths, then every cell of sheet: the captions of
    // row 0 in bold, the other cells in the format cellFormat gives for
    // (row, column) (none without it, or where it gives null).
    void writeSheet(const XlsxSheet &sheet, const QVector<double> &widths,
                    const std::function<lxw_format *(int row, int col)> &cellFormat = {});
    void commit();

private:
    QString target_;
    QString temporary_;
    QByteArray temporaryName_;
    lxw_workbook *workbook_ = nullptr;
    lxw_worksheet *sheet_ = nullptr;
    lxw_format *bold_ = nullptr;
    lxw_format *dateTime_ = nullptr;
};
