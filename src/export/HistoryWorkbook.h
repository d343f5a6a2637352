#pragma once
// The workbook of one phone's history: a header row and one row per stored
// query, newest first, ten columns.

#include "HistoryQueries.h"
#include "XlsxWorkbook.h"

#include <QStringList>
#include <QVector>

// The ten captions of row 1.
QStringList HistorySheetHeaders();

// The sheet as cells, header row first: the date text only in the first row
// of each day, the time text always, the figures as rounded numbers (balance,
// spend per day, delta and rate even when 0; days to turn-off, recommended
// payment, SMS and minutes left empty when 0).
XlsxSheet HistorySheet(const QVector<HistoryRow> &rows);

// Writes the sheet (bold header, fitted columns) to file through a temporary
// file beside it. Throws SaldomatError labelled "TdmExcel.SavePhoneDataToExcel";
// the file is then untouched.
void WriteHistoryWorkbook(const QString &file, const QVector<HistoryRow> &rows);

// Reads the phone's rows for the period and writes them. Returns the number of
// history rows written; 0 means there was nothing to export and no file was
// written. dbFile empty: the program's history file.
int ExportHistoryWorkbook(const QString &file, const QString &phone, HistoryPeriod period, int n,
                          const QString &dbFile = QString());

// What the history windows and the command-line tool say when a phone's
// history for the period is empty, and after its workbook was written.
inline constexpr char MsgHistoryNotFound[] = "История по выбранному телефону не найдена!";
inline constexpr char MsgHistoryExported[] = "История успешно конвертирована в Excel";
