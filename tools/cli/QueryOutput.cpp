#include "QueryOutput.h"

#include "DesktopNotice.h"
#include "MarkWatch.h"
#include "OleDate.h"
#include "PhoneTable.h"
#include "ProgramState.h"
#include "Setup.h"
#include "XlsxWorkbook.h"

#include <QDBusConnection>

namespace {
QString stateText(const TIssa &issa)
{
    if (issa.Success)
        return QStringLiteral("ok");
    if (issa.State == dsError)
        return QStringLiteral("error");
    if (issa.State == dsRequest)
        return QStringLiteral("timeout");
    return QStringLiteral("not-queried");
}

// A result whose history row could not be written says so where the error goes.
QString errorText(const TIssa &issa)
{
    return issa.NotSaved ? QStringLiteral("не сохранено") : issa.ErrorMsg;
}

QVariant figure(bool has, float value, int decimals)
{
    return has ? QVariant(RoundTo(value, decimals)) : QVariant();
}

QVariant whole(bool has, std::int32_t value)
{
    return has ? QVariant(qlonglong(value)) : QVariant();
}

QString displayName(const TProgramState &state, int slot)
{
    const QString name = PhoneAliasEx(state.IssaArray[slot]);
    return name.isEmpty() ? UserPhone(state, slot) : name;
}
}  // namespace

OutputRows QueryResultRows(const TProgramState &state, const QList<int> &slots)
{
    OutputRows out;
    out.columns = {QStringLiteral("slot"),   QStringLiteral("number"),   QStringLiteral("alias"),
                   QStringLiteral("state"),  QStringLiteral("error"),    QStringLiteral("account"),
                   QStringLiteral("name"),   QStringLiteral("balance"),  QStringLiteral("promised"),
                   QStringLiteral("perDay"), QStringLiteral("daysLeft"), QStringLiteral("recommended"),
                   QStringLiteral("sms"),    QStringLiteral("minutes"),  QStringLiteral("bonusDays"),
                   QStringLiteral("delta"),  QStringLiteral("usdRate"),  QStringLiteral("time"),
                   QStringLiteral("stale")};
    for (int slot : slots) {
        const TIssa &p = state.IssaArray[slot];
        const bool has = p.QueryDateTime != 0;  // figures from this run or an earlier one
        out.rows.append({slot, UserPhone(state, slot), Alias(state, slot), stateText(p),
                         errorText(p).isEmpty() ? QVariant() : QVariant(errorText(p)),
                         has ? QVariant(p.LicSchet) : QVariant(), has ? QVariant(p.UserName) : QVariant(),
                         figure(has, p.Balance, 2), figure(has, p.ObPlat, 2), figure(has, p.Average, 2),
                         whole(has, p.TurnOff), figure(has, p.Recomend, 2), whole(has, p.SMS), whole(has, p.Minutes),
                         whole(has, p.JeansExpired), figure(has, p.BalDelta, 2), figure(has, p.USDRate, 4),
                         has ? QVariant(FromOleDate(p.QueryDateTime).toString(Qt::ISODate)) : QVariant(),
                         has ? QVariant(!p.Success) : QVariant()});
    }
    return out;
}

QString QueryResultTable(const TProgramState &state, const QList<int> &slots)
{
    OutputRows table;
    table.columns = {QStringLiteral("slot"), QStringLiteral("name"), QStringLiteral("balance"), QStringLiteral("state"),
                     QStringLiteral("error")};
    for (int slot : slots) {
        const TIssa &p = state.IssaArray[slot];
        // Only a phone that answered in this run has a balance to show.
        table.rows.append({slot, displayName(state, slot), p.Success ? QVariant(RoundTo(p.Balance, 2)) : QVariant(),
                           stateText(p), errorText(p)});
    }
    return OutputTable(table);
}

bool SendMarkNotices(const TProgramState &state, const QList<int> &slots)
{
    if (!DesktopNoticeServiceRunning())
        return false;
    QDBusConnection bus = QDBusConnection::sessionBus();
    for (int slot : slots)
        bus.call(DesktopNoticeCall(QStringLiteral("Saldomat"), MarkNoticeText(state, slot), false), QDBus::Block, 5000);
    return true;
}
