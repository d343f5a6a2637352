#include "HistoryWorkbook.h"

#include "Failure.h"

#include <xlsxwriter.h>

QStringList HistorySheetHeaders()
{
    return {QStringLiteral("Дата"),  QStringLiteral("Время"), QStringLiteral("Баланс"),     QStringLiteral("Расход в день"),
            QStringLiteral("Delta"), QStringLiteral("Отключение"), QStringLiteral("Заплатить"), QStringLiteral("SMS"),
            QStringLiteral("Минут"), QStringLiteral("Курс USD")};
}

QVector<QVector<XlsxCell>> HistorySheet(const QVector<HistoryRow> &rows)
{
    return guarded("TdmExcel.SetPhoneData", [&] {
        QVector<QVector<XlsxCell>> sheet;
        sheet.reserve(rows.size() + 1);
        QVector<XlsxCell> header;
        for (const QString &caption : HistorySheetHeaders())
            header.append(caption);
        sheet.append(header);

        auto wholeOrEmpty = [](std::int32_t v) { return v == 0 ? XlsxCell() : XlsxCell(std::int64_t(v)); };
        QString previousDate;
        for (const HistoryRow &r : rows) {
            const QDateTime when = FromOleDate(r.QueryDateTime);
            const QString date = when.date().toString(QStringLiteral("dd.MM.yyyy"));
            QVector<XlsxCell> line(10);
            if (date != previousDate)
                line[0] = date;
            previousDate = date;
            line[1] = when.time().toString(QStringLiteral("hh:mm:ss"));
            line[2] = RoundTo(r.Balance, 2);
            line[3] = RoundTo(r.Average, 2);
            line[4] = RoundTo(r.BalDelta, 2);
            line[5] = wholeOrEmpty(r.TurnOff);
            if (r.Recomend != 0)
                line[6] = RoundTo(r.Recomend, 2);
            line[7] = wholeOrEmpty(r.SMS);
            line[8] = wholeOrEmpty(r.Minutes);
            line[9] = RoundTo(r.USDRate, 4);
            sheet.append(std::move(line));
        }
        return sheet;
    });
}

void WriteHistoryWorkbook(const QString &file, const QVector<HistoryRow> &rows)
{
    const QVector<QVector<XlsxCell>> sheet = HistorySheet(rows);
    guarded("TdmExcel.SavePhoneDataToExcel", [&] {
        XlsxFileWriter writer(file);
        lxw_format *bold = writer.format(true);
        writer.setColumnWidths(FittedColumnWidths(sheet, 10));
        for (int r = 0; r < sheet.size(); ++r)
            for (int c = 0; c < sheet[r].size(); ++c)
                writer.write(r, c, sheet[r][c], r == 0 ? bold : nullptr);
        writer.commit();
    });
}

int ExportHistoryWorkbook(const QString &file, const QString &phone, HistoryPeriod period, int n, const QString &dbFile)
{
    return guarded("TdmExcel.ConvertHistoryToXls", [&] {
        const QVector<HistoryRow> rows = HistoryRows(phone, period, n, dbFile);
        if (rows.isEmpty())
            return 0;
        WriteHistoryWorkbook(file, rows);
        return static_cast<int>(rows.size());
    });
}
