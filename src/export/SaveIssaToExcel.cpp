#include "SaveIssaToExcel.h"

#include "Common.h"
#include "Failure.h"
#include "PhoneTable.h"
#include "ProgramState.h"

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

bool HasRedPhones(const TProgramState &state)
{
    return guarded(THIS_ROUTINE, [&] { return !CurrentExportSlots(state, true).isEmpty(); });
}

QList<int> CurrentExportSlots(const TProgramState &state, bool redOnly)
{
    QList<int> slots;
    for (int slot = 1; slot <= MaxPhones; ++slot) {
        if (!MonitorPhoneEnabled(state, slot) || state.IssaArray[slot].QueryDateTime == 0)
            continue;
        if (redOnly && !NeedMarkBalance(state, slot) && !NeedMarkTurnOff(state, slot))
            continue;
        slots.append(slot);
    }
    return slots;
}

QVector<XlsxCell> CurrentSheetRow(const TIssa &p)
{
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

namespace {
XlsxSheet sheetOf(const TProgramState &state, const QList<int> &slots)
{
    XlsxSheet sheet{XlsxTextRow(CurrentSheetHeaders())};
    for (int slot : slots)
        sheet.append(CurrentSheetRow(state.IssaArray[slot]));
    return sheet;
}
}  // namespace

XlsxSheet CurrentSheet(const TProgramState &state, bool redOnly)
{
    return sheetOf(state, CurrentExportSlots(state, redOnly));
}

int WriteCurrentWorkbook(const TProgramState &state, const QString &file, bool redOnly)
{
    return guarded(THIS_ROUTINE, [&] {
        const QList<int> slots = CurrentExportSlots(state, redOnly);
        const XlsxSheet sheet = sheetOf(state, slots);
        XlsxFileWriter writer(file);
        lxw_format *boldRed = writer.format(true, kRed);
        lxw_format *red = writer.format(false, kRed);
        QVector<double> widths = FittedColumnWidths(sheet, kColumns);
        widths[kColumns - 1] = std::max(widths[kColumns - 1], 20.0);  // the date-time as "dd.mm.yyyy hh:mm:ss"
        writer.writeSheet(sheet, widths, [&](int r, int c) -> lxw_format * {
            if (c == 4)
                return NeedMarkBalance(state, slots[r - 1]) ? boldRed : writer.bold();
            if (c == 8 && NeedMarkTurnOff(state, slots[r - 1]))
                return red;
            return nullptr;
        });
        writer.commit();
        return static_cast<int>(slots.size());
    });
}
