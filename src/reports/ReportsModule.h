#pragma once
// The entry of the history and export module. The tray program loads the
// module at the first history window or export (app/Reports.h) and calls it
// through this table only.
#include "HistoryQueries.h"

class QWidget;

struct ReportsModuleApi {
    int version;
    void (*showHistory)(QWidget *parent);
    void (*showHistoryPhone)(int slot, HistoryPeriod mode, int n, QWidget *parent);
    void (*saveInfoToExcel)(QWidget *parent, bool redOnly);
};

// Raised whenever the table or the meaning of its entries changes.
inline constexpr int kReportsModuleVersion = 1;
inline constexpr char kReportsModuleFile[] = "saldomat-reports.so";
inline constexpr char kReportsModuleEntry[] = "saldomat_reports_module";
using ReportsModuleEntry = const ReportsModuleApi *(*)();
