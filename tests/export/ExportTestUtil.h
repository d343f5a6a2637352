#pragma once
// Set-up shared by the export tests: a history file with given rows, and the
// monitored phones of the settings model.

#include "HistoryTestUtil.h"
#include "OleDate.h"

// Creates the history file when it does not exist yet, then appends the row.
void StoreRow(const QString &dbFile, const RawRow &row);
// A date-time of the given day and time, as stored.
TDateTime At(int year, int month, int day, int hour, int minute, int second = 0);
// Monitors the slot with the number (and alias) in the program-wide model.
void MonitorPhone(int slot, const QString &number, const QString &alias = QString());
