#include "ExportTestUtil.h"

#include "HistoryDb.h"
#include "Setup.h"

#include <QFileInfo>
#include <QProcess>
#include <gtest/gtest.h>

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

ReadBackSheet::ReadBackSheet(const QString &file)
{
    QProcess p;
    p.start(SALDOMAT_PYTHON3, {SALDOMAT_READ_XLSX, file});
    const bool read = p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    root_ = QJsonDocument::fromJson(read ? p.readAllStandardOutput() : QByteArray()).object();
    if (root_.isEmpty())
        ADD_FAILURE() << "reading " << file.toStdString() << " failed: " << p.readAllStandardError().toStdString();
}

SheetCell ReadBackSheet::cell(int row, int column) const
{
    const QJsonValue c = root_.value("cells").toObject().value(QString("%1,%2").arg(row).arg(column));
    if (!c.isObject())
        return {};
    return {true, c["value"].toVariant(), c["type"].toString(), c["bold"].toBool(), c["colour"].toString()};
}

QString ReadBackSheet::row(int row, int columns) const
{
    QStringList out;
    for (int col = 1; col <= columns; ++col) {
        const SheetCell c = cell(row, col);
        out << (!c.present ? QStringLiteral("-")
                           : (c.type == "str" ? "'" : "") + c.value.toString() + (c.bold ? "*" : "")
                        + (c.colour.isEmpty() || c.colour == "000000" ? QString() : '#' + c.colour));
    }
    return out.join('|');
}

double ReadBackSheet::width(int column) const
{
    return root_.value("widths").toObject().value(QString::number(column)).toDouble();
}
