#include "ReportsModule.h"

#include "ConvertToExcel.h"
#include "History.h"
#include "HistoryPhone.h"

#include <QtGlobal>

extern "C" Q_DECL_EXPORT const ReportsModuleApi *saldomat_reports_module()
{
    static const ReportsModuleApi api{
        kReportsModuleVersion,
        [](QWidget *parent) { ShowHistory(parent); },
        [](int slot, HistoryPeriod mode, int n, QWidget *parent) { ShowHistoryPhone(slot, mode, n, parent); },
        [](QWidget *parent, bool redOnly) { SaveInfoToExcel(parent, redOnly); },
    };
    return &api;
}
