#pragma once
// The same sheets as the workbooks, as CSV text: UTF-8, a header row, fields
// separated by "," and quoted where needed, CR LF line ends. Numbers are
// written in their shortest exact form with "." as the decimal point,
// date-times as "yyyy-MM-dd hh:mm:ss"; a figure that is not finite is an
// empty field.

#include "XlsxWorkbook.h"

#include <QByteArray>

QByteArray CsvText(const XlsxSheet &sheet);

// Writes the text to file in one atomic step, after CheckExportTarget. Throws
// SaldomatError; the file is then untouched.
void WriteCsvFile(const QString &file, const XlsxSheet &sheet);

// Which writer a file name asks for: by its extension, letter case ignored.
enum class ExportFormat { Unknown, Xlsx, Csv };
ExportFormat ExportFormatOf(const QString &file);
