#pragma once
// Helpers of the history tests: rows put straight into a history file, and
// what a file holds.

#include "OleDate.h"

#include <QStringList>
#include <QVariant>

struct RawRow {
    QString phone;
    TDateTime when = 0;
    QVariant balance = 0.0;  // a text here is stored as text
    QString licSchet = QStringLiteral("L1");
    QString userName = QStringLiteral("User");
    double obPlat = 0, delta = 0, average = 0, recomend = 0, usdRate = 0;
    int turnOff = 0, jeans = 0, sms = 0, minutes = 0;
};

void InsertRaw(const QString &file, const RawRow &row);
// Runs one fixed statement on the file (made when missing); the first column
// of every row it gives, as text.
QStringList Sql(const QString &file, const QString &sql);
inline long long CountRows(const QString &file)
{
    return Sql(file, QStringLiteral("SELECT COUNT(*) FROM Phones")).value(0, QStringLiteral("-1")).toLongLong();
}
// The error log of the test's program directory, decoded.
QString LogText();
