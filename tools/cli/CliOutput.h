#pragma once
// The machine-readable forms of the listing commands: "--format table|json|csv".
// A listing is a set of named columns and rows of values; a null value is "no
// value" (JSON null, an empty CSV field, "—" in a table).

#include <QStringList>
#include <QVariant>
#include <QVector>
#include <functional>
#include <initializer_list>

// Xlsx only for "export", which writes sheets rather than listings.
enum class OutputFormat { Table, Json, Csv, Xlsx };

// Takes "--format X" or "--format=X" out of args, X one of accepted; returns
// an error message, empty when the option was absent or right.
QString TakeOutputFormat(QStringList &args, OutputFormat &format,
                         std::initializer_list<OutputFormat> accepted
                         = {OutputFormat::Table, OutputFormat::Json, OutputFormat::Csv});
// The arguments of a list command, which takes nothing but --format: the
// error text for anything else, empty when they are right.
QString ListCommandFormat(const QStringList &arguments, const char *command, OutputFormat &format);

struct OutputRows {
    QStringList columns;
    QVector<QVector<QVariant>> rows;
};

// One array of objects keyed by the column names, in column order, one object
// a line; numbers as numbers.
QByteArray OutputJson(const OutputRows &rows);
// A header row of the column names, then the rows (UTF-8, CR LF).
QByteArray OutputCsv(const OutputRows &rows);
// Aligned columns under the given headers (the column names when empty):
// numbers flush right, text flush left, null as "—".
QString OutputTable(const OutputRows &rows, const QStringList &headers = {});

// Prints rows in the format; the table form comes from table when given.
void PrintRows(const OutputRows &rows, OutputFormat format, const std::function<QString()> &table = {});
