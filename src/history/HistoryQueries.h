#pragma once
// Reading a phone's history for the history windows, the export and the
// command-line tool. Every query returns the rows newest first (by
// QueryDateTime, rows of the same moment newest stored first).

#include "OleDate.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>
#include <cstdint>

// One stored query with the figures that the history grid and the export show
// (the account number and subscriber name are not read: nothing shows them).
struct HistoryRow {
    std::int64_t NN = 0;
    TDateTime QueryDateTime = 0;
    QString PhoneNumber;
    float Balance = 0;
    float ObPlat = 0;
    float BalDelta = 0;
    float Average = 0;
    std::int32_t TurnOff = 0;
    std::int32_t JeansExpired = 0;
    float Recomend = 0;
    std::int32_t SMS = 0;
    std::int32_t Minutes = 0;
    float USDRate = 0;
};

// The period of a request: 0 all rows, 1 the rows of the last N days, 2 the newest N rows.
enum class HistoryPeriod { All = 0, LastDays = 1, LastCount = 2 };

// Every query throws SaldomatError (labelled "HistoryQueries.<name> -- > ")
// when the file cannot be read. dbFile empty: HistoryDbFileName().
QVector<HistoryRow> HistoryAllRows(const QString &phone, const QString &dbFile = QString());
// Rows with QueryDateTime later than now minus days (now: NowOle() unless given).
QVector<HistoryRow> HistoryLastDays(const QString &phone, int days, const QString &dbFile = QString(),
                                    TDateTime now = -1);
// The newest count rows (none for count <= 0).
QVector<HistoryRow> HistoryNewestRows(const QString &phone, int count, const QString &dbFile = QString());
// One of the three by period (n is ignored for All).
QVector<HistoryRow> HistoryRows(const QString &phone, HistoryPeriod period, int n, const QString &dbFile = QString());

// The date and time texts of rows in their order, as the grid and the workbook
// show them: the date ("dd.MM.yyyy") only in the first row of each day (empty
// in the others), the time ("hh:mm:ss") in every row.
struct HistoryMoment {
    QString date;
    QString time;
};
QVector<HistoryMoment> HistoryMoments(const QVector<HistoryRow> &rows);

// The history grid: the twelve header captions, exactly as shown.
QStringList HistoryGridHeaders();
// The cells of the grid for rows in their order: the date only in the first
// row of each day, blanks for zero promised payment, delta, days of the
// tariff's period, SMS and minutes; "." as the decimal point.
QVector<QStringList> HistoryGridCells(const QVector<HistoryRow> &rows);
