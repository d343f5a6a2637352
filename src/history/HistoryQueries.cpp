#include "HistoryQueries.h"

#include "Failure.h"
#include "HistoryDb.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace {
const char *const kSelect = "SELECT NN, QueryDateTime, PhoneNumber, Balance, ObPlat, BalDelta, Average, "
                            "TurnOff, JeansExpired, Recomend, SMS, Minutes, USDRate FROM Phones ";
const char *const kOrder = " ORDER BY QueryDateTime DESC, NN DESC";

QVector<HistoryRow> runQuery(const QString &dbFile, const QString &where, const QVariantList &values)
{
    HistoryConnection conn(dbFile.isEmpty() ? HistoryDbFileName() : dbFile);
    QVector<HistoryRow> rows;
    {
        QSqlQuery q(conn.db());
        q.setForwardOnly(true);
        Prepare(q, QLatin1String(kSelect) + where);
        for (const QVariant &v : values)
            q.addBindValue(v);
        if (!q.exec())
            throw SaldomatError(sqlReason(q.lastError()));
        while (q.next()) {
            HistoryRow r;
            r.NN = q.value(0).toLongLong();
            r.QueryDateTime = q.value(1).toDouble();
            r.PhoneNumber = q.value(2).toString();
            r.Balance = q.value(3).toFloat();
            r.ObPlat = q.value(4).toFloat();
            r.BalDelta = q.value(5).toFloat();
            r.Average = q.value(6).toFloat();
            r.TurnOff = q.value(7).toInt();
            r.JeansExpired = q.value(8).toInt();
            r.Recomend = q.value(9).toFloat();
            r.SMS = q.value(10).toInt();
            r.Minutes = q.value(11).toInt();
            r.USDRate = q.value(12).toFloat();
            rows.append(std::move(r));
        }
        if (q.lastError().isValid())
            throw SaldomatError(sqlReason(q.lastError()));
    }
    return rows;
}

QString fixed(float value, int decimals)
{
    return QString::number(static_cast<double>(value), 'f', decimals);
}

// Blank when the text shows zero ("-0.00" included: a value that rounds to zero).
QString blankIfZero(const QString &text, const QLatin1String zero)
{
    return text == zero || (text.startsWith(QLatin1Char('-')) && text.mid(1) == zero) ? QString() : text;
}
}  // namespace

QVector<HistoryRow> HistoryAllRows(const QString &phone, const QString &dbFile)
{
    return guarded(THIS_ROUTINE, [&] {
        return runQuery(dbFile, QStringLiteral("WHERE PhoneNumber = ?") + QLatin1String(kOrder), {phone});
    });
}

QVector<HistoryRow> HistoryLastDays(const QString &phone, int days, const QString &dbFile, TDateTime now)
{
    return guarded(THIS_ROUTINE, [&] {
        const TDateTime from = (now < 0 ? NowOle() : now) - days;
        return runQuery(dbFile, QStringLiteral("WHERE PhoneNumber = ? AND QueryDateTime > ?") + QLatin1String(kOrder),
                        {phone, from});
    });
}

QVector<HistoryRow> HistoryNewestRows(const QString &phone, int count, const QString &dbFile)
{
    return guarded(THIS_ROUTINE, [&] {
        if (count <= 0)
            return QVector<HistoryRow>();
        return runQuery(dbFile,
                        QStringLiteral("WHERE PhoneNumber = ?") + QLatin1String(kOrder) + QStringLiteral(" LIMIT ?"),
                        {phone, count});
    });
}

QVector<HistoryRow> HistoryRows(const QString &phone, HistoryPeriod period, int n, const QString &dbFile)
{
    switch (period) {
    case HistoryPeriod::LastDays:
        return HistoryLastDays(phone, n, dbFile);
    case HistoryPeriod::LastCount:
        return HistoryNewestRows(phone, n, dbFile);
    case HistoryPeriod::All:
        break;
    }
    return HistoryAllRows(phone, dbFile);
}

QVector<HistoryMoment> HistoryMoments(const QVector<HistoryRow> &rows)
{
    QVector<HistoryMoment> moments;
    moments.reserve(rows.size());
    QString previousDate;
    for (const HistoryRow &r : rows) {
        const QDateTime when = FromOleDate(r.QueryDateTime);
        const QString date = when.date().toString(QStringLiteral("dd.MM.yyyy"));
        moments.append({date != previousDate ? date : QString(), when.time().toString(QStringLiteral("hh:mm:ss"))});
        previousDate = date;
    }
    return moments;
}

QStringList HistoryGridHeaders()
{
    return {QStringLiteral("      Дата      "),
            QStringLiteral("   Время   "),
            QStringLiteral("   Баланс   "),
            QStringLiteral("Обещ. плат."),
            QStringLiteral("$/день"),
            QStringLiteral("Delta ($)"),
            QStringLiteral("Откл."),
            QStringLiteral("Заплатить"),
            QStringLiteral("Истекает"),
            QStringLiteral("SMS"),
            QStringLiteral("Минут"),
            QStringLiteral("Курс USD")};
}

QVector<QStringList> HistoryGridCells(const QVector<HistoryRow> &rows)
{
    QVector<QStringList> cells;
    cells.reserve(rows.size());
    const QVector<HistoryMoment> moments = HistoryMoments(rows);
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const HistoryRow &r = rows[i];
        QStringList line;
        line << moments[i].date << moments[i].time;
        line << fixed(r.Balance, 2);
        line << blankIfZero(fixed(r.ObPlat, 2), QLatin1String("0.00"));
        line << fixed(r.Average, 2);
        line << blankIfZero(fixed(r.BalDelta, 2), QLatin1String("0.00"));
        line << QString::number(r.TurnOff);
        line << fixed(r.Recomend, 2);
        line << blankIfZero(QString::number(r.JeansExpired), QLatin1String("0"));
        line << blankIfZero(QString::number(r.SMS), QLatin1String("0"));
        line << blankIfZero(QString::number(r.Minutes), QLatin1String("0"));
        line << fixed(r.USDRate, 4);
        cells.append(line);
    }
    return cells;
}
