#include "SaveIssaToExcel.h"

#include "Common.h"
#include "Failure.h"
#include "PhoneTable.h"
#include "Setup.h"

namespace {
constexpr int kColumns = 15;
constexpr int kRed = 0xFF0000;
}  // namespace

QString DefaultCurrentExportName(const QDateTime &now)
{
    return QStringLiteral("Balance ") + now.toString(QStringLiteral("dd-MM-yy hh-mm")) + QStringLiteral(".xlsx");
}

QStringList CurrentSheetHeaders()
{
    return {QStringLiteral("Псевдоним"),     QStringLiteral("ФИО"),       QStringLiteral("Номер тел."),
            QStringLiteral("Л/Счет"),        QStringLiteral("Баланс"),    QStringLiteral("Обещ. платеж"),
            QStringLiteral("Расход в день"), QStringLiteral("Delta ($)"), QStringLiteral("Отключение"),
            QStringLiteral("Заплатить"),     QStringLiteral("SMS"),       QStringLiteral("Минут"),
            QStringLiteral("Истекает"),      QStringLiteral("Курс USD"),  QStringLiteral("Время запроса")};
}

bool HasRedPhones()
{
    return guarded(THIS_ROUTINE, [] { return !CurrentExportSlots(true).isEmpty(); });
}

QList<int> CurrentExportSlots(bool redOnly)
{
    QList<int> slots;
    for (int slot = 1; slot <= MaxPhones; ++slot) {
        if (!MonitorPhoneEnabled(slot) || IssaArray[slot].QueryDateTime == 0)
            continue;
        if (redOnly && !NeedMarkBalance(slot) && !NeedMarkTurnOff(slot))
            continue;
        slots.append(slot);
    }
    return slots;
}

QVector<XlsxCell> CurrentSheetRow(int slot)
{
    const TIssa &p = IssaArray[slot];
    return {p.Alias,
            p.UserName,
            FormatPhoneNumber(p.PhoneNumber),
            p.LicSchet,
            RoundTo(p.Balance, 2),
            RoundTo(p.ObPlat, 2),
            RoundTo(p.Average, 2),
            RoundTo(p.BalDelta, 2),
            std::int64_t(p.TurnOff),
            RoundTo(p.Recomend, 2),
            std::int64_t(p.SMS),
            std::int64_t(p.Minutes),
            std::int64_t(p.JeansExpired),
            RoundTo(p.USDRate, 4),
            XlsxDateTime{p.QueryDateTime}};
}

XlsxSheet CurrentSheet(bool redOnly)
{
    XlsxSheet sheet{XlsxTextRow(CurrentSheetHeaders())};
    for (int slot : CurrentExportSlots(redOnly))
        sheet.append(CurrentSheetRow(slot));
    return sheet;
}

int WriteCurrentWorkbook(const QString &file, bool redOnly)
{
    return guarded(THIS_ROUTINE, [&] {
        const QList<int> slots = CurrentExportSlots(redOnly);
        XlsxSheet sheet{XlsxTextRow(CurrentSheetHeaders())};
        QVector<bool> redBalance, redTurnOff;
        for (int slot : slots) {
            sheet.append(CurrentSheetRow(slot));
            redBalance.append(NeedMarkBalance(slot));
            redTurnOff.append(NeedMarkTurnOff(slot));
        }

        XlsxFileWriter writer(file);
        lxw_format *boldRed = writer.format(true, kRed);
        lxw_format *red = writer.format(false, kRed);
        QVector<double> widths = FittedColumnWidths(sheet, kColumns);
        widths[kColumns - 1] = std::max(widths[kColumns - 1], 20.0);  // the date-time as "dd.mm.yyyy hh:mm:ss"
        writer.writeSheet(sheet, widths, [&](int r, int c) -> lxw_format * {
            if (c == 4)
                return redBalance[r - 1] ? boldRed : writer.bold();
            if (c == 8 && redTurnOff[r - 1])
                return red;
            return nullptr;
        });
        writer.commit();
        return static_cast<int>(slots.size());
    });
}
