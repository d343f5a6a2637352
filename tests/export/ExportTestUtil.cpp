#include "ExportTestUtil.h"

#include "HistoryDb.h"
#include "Setup.h"

#include <QFileInfo>

void StoreRow(const QString &dbFile, const RawRow &row)
{
    if (!QFileInfo::exists(dbFile))
        CreateHistoryDatabase(dbFile);
    InsertRaw(dbFile, row);
}

TDateTime At(int year, int month, int day, int hour, int minute, int second)
{
    return ToOleDate(QDateTime(QDate(year, month, day), QTime(hour, minute, second)));
}

void MonitorPhone(TSetupModel &model, int slot, const QString &number, const QString &alias)
{
    TSetupPhoneLine line = model.Line(slot);
    line.Monitor = true;
    line.Number = number;
    line.Password = QStringLiteral("pw");
    line.Alias = alias;
    model.SetLine(slot, line);
}
