#pragma once
// The workbook of the current figures: one row per monitored phone with a
// successful query (or only the red ones), fifteen columns, written headless
// from the phone table and the settings model.

#include "XlsxWorkbook.h"

#include <QDateTime>
#include <QList>
#include <QStringList>

struct TIssa;
struct TProgramState;

// "Balance dd-mm-yy hh-nn.xlsx" for the given moment.
QString DefaultCurrentExportName(const QDateTime &now = QDateTime::currentDateTime());

// The fifteen captions of row 1.
QStringList CurrentSheetHeaders();

// Some monitored phone with a query on record is at or below its balance or
// turn-off threshold.
bool HasRedPhones(const TProgramState &state);

// The slots that go into the sheet, in slot order: monitored, with a query on
// record, and (redOnly) marked by balance or by days to turn-off.
QList<int> CurrentExportSlots(const TProgramState &state, bool redOnly);

// The cells of one phone's row.
QVector<XlsxCell> CurrentSheetRow(const TIssa &phone);

// The sheet: the captions, then one row per slot of CurrentExportSlots.
XlsxSheet CurrentSheet(const TProgramState &state, bool redOnly);

// Writes the sheet through a temporary file beside file (bold captions, bold
// balance, red balance / days to turn-off when marked, the query time as a
// date-time, fitted columns). Returns the number of phone rows. Throws
// SaldomatError labelled "SaveIssaToExcel.SaveInfoToExcel"; file is then untouched.
int WriteCurrentWorkbook(const TProgramState &state, const QString &file, bool redOnly);

inline constexpr char MsgNoRedPhones[] = "\"Красных\" телефонов нет !";
inline constexpr char MsgCurrentExported[] = "Текущие данные по всем телефонам успешно записаны в Excel";
