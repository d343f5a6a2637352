#include "HistoryWorkbook.h"

#include "Failure.h"

QStringList HistorySheetHeaders()
{
    return {QStringLiteral("Дата"),          QStringLiteral("Время"), QStringLiteral("Баланс"),
            QStringLiteral("Расход в день"), QStringLiteral("Delta"), QStringLiteral("Отключение"),
            QStringLiteral("Заплатить"),     QStringLiteral("SMS"),   QStringLiteral("Минут"),
            QStringLiteral("Курс USD")};
}

XlsxSheet HistorySheet(const QVector<HistoryRow> &rows)
{
    return guarded(THIS_ROUTINE, [&] {
        XlsxSheet sheet;
        sheet.reserve(rows.size() + 1);
        sheet.append(XlsxTextRow(HistorySheetHeaders()));

        auto wholeOrEmpty = [](std::int32_t v) { return v == 0 ? XlsxCell() : XlsxCell(std::int64_t(v)); };
        const QVector<HistoryMoment> moments = HistoryMoments(rows);
        for (qsizetype i = 0; i < rows.size(); ++i) {
            const HistoryRow &r = rows[i];
            QVector<XlsxCell> line(10);
            if (!moments[i].date.isEmpty())
                line[0] = moments[i].date;
            line[1] = moments[i].time;
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
    const XlsxSheet sheet = HistorySheet(rows);
    guarded(THIS_ROUTINE, [&] {
        XlsxFileWriter writer(file);
        writer.writeSheet(sheet, FittedColumnWidths(sheet, 10));
        writer.commit();
    });
}

int ExportHistoryWorkbook(const QString &file, const QString &phone, HistoryPeriod period, int n, const QString &dbFile)
{
    return guarded(THIS_ROUTINE, [&] {
        const QVector<HistoryRow> rows = HistoryRows(phone, period, n, dbFile);
        if (rows.isEmpty())
            return 0;
        WriteHistoryWorkbook(file, rows);
        return static_cast<int>(rows.size());
    });
}
