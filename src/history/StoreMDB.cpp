#include "StoreMDB.h"

#include "Common.h"
#include "Failure.h"
#include "HistoryDb.h"

#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace {
// Rounded as printing with that many decimals rounds it.
double rounded(float value, int decimals)
{
    return QString::number(static_cast<double>(value), 'f', decimals).toDouble();
}

QString orSpace(const QString &text)
{
    return text.isEmpty() ? QStringLiteral(" ") : text;
}

// "12,50" and "12.50" both read 12.5; anything unreadable reads 0.
float balanceFromText(QString text)
{
    text.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    return ok ? static_cast<float>(value) : 0.0f;
}
}  // namespace

QString HistoryFileMissingText()
{
    return QStringLiteral("Файл истории баланса Saldomat.db не найден! "
                          "Свяжитесь с авторами или обновите программу до последней версии");
}

TmdbStore::TmdbStore(QString dbFile)
    : file_(dbFile.isEmpty() ? HistoryDbFileName() : std::move(dbFile)), clock_(&NowOle)
{
}

TmdbStore::~TmdbStore() = default;

HistoryConnection &TmdbStore::connection()
{
    if (!conn_)
        conn_ = std::make_unique<HistoryConnection>(file_);
    return *conn_;
}

void TmdbStore::dropConnection()
{
    conn_.reset();
}

QString TmdbStore::connectionName()
{
    return connection().name();
}

void TmdbStore::CalcBalanceDelta(TIssa &issa)
{
    guarded("TmdbStore.CalcBalanceDelta", [&] {
        try {
            const double today = OleDateOnly(clock_());
            float delta = 0;
            QSqlQuery q(connection().db());
            q.setForwardOnly(true);
            q.prepare(QStringLiteral("SELECT Balance FROM Phones WHERE PhoneNumber = ? AND QueryDateTime < ? "
                                     "ORDER BY QueryDateTime DESC, NN DESC LIMIT 1"));
            q.addBindValue(issa.PhoneNumber);
            q.addBindValue(today);
            if (!q.exec())
                throw SaldomatError(sqlReason(q.lastError()));
            if (q.next())
                delta = issa.Balance - balanceFromText(q.value(0).toString());
            else if (q.lastError().isValid())
                throw SaldomatError(sqlReason(q.lastError()));
            issa.BalDelta = delta;
        } catch (...) {
            dropConnection();
            throw;
        }
    });
}

bool TmdbStore::SaveIssaToMdb(const TIssa &issa)
{
    return guarded("TmdbStore.SaveIssaToMdb", [&] {
        if (!QFileInfo::exists(file_)) {
            dropConnection();
            AppendStringToFile(HistoryFileMissingText(), ErrFileName);
            return false;
        }
        try {
            QSqlQuery q(connection().db());
            q.prepare(QStringLiteral(
                "INSERT INTO Phones (PhoneNumber, LicSchet, UserName, QueryDateTime, Balance, ObPlat, BalDelta, "
                "Average, JeansExpired, TurnOff, Recomend, SMS, Minutes, USDRate) "
                "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
            q.addBindValue(orSpace(issa.PhoneNumber));
            q.addBindValue(orSpace(issa.LicSchet));
            q.addBindValue(orSpace(issa.UserName));
            q.addBindValue(clock_());
            q.addBindValue(rounded(issa.Balance, 2));
            q.addBindValue(rounded(issa.ObPlat, 2));
            q.addBindValue(rounded(issa.BalDelta, 2));
            q.addBindValue(rounded(issa.Average, 2));
            q.addBindValue(issa.JeansExpired);
            q.addBindValue(issa.TurnOff);
            q.addBindValue(rounded(issa.Recomend, 2));
            q.addBindValue(issa.SMS);
            q.addBindValue(issa.Minutes);
            q.addBindValue(rounded(issa.USDRate, 4));
            // Autocommit: the insert is its own transaction, synced before exec returns.
            if (!q.exec())
                throw SaldomatError(sqlReason(q.lastError()));
        } catch (...) {
            dropConnection();
            throw;
        }
        return true;
    });
}

void TmdbStore::LoadHistoryInformation(const QList<HistoryPhoneRef> &monitored, int refreshHours)
{
    guarded("TmdbStore.LoadHistoryInformation", [&] {
        if (!QFileInfo::exists(file_)) {
            dropConnection();
            return;
        }
        const TDateTime cutOff = clock_() - refreshHours / 24.0;
        try {
            QSqlQuery q(connection().db());
            q.setForwardOnly(true);
            q.prepare(QStringLiteral("SELECT LicSchet, UserName, Balance, ObPlat, Average, BalDelta, Recomend, USDRate, "
                                     "TurnOff, JeansExpired, SMS, Minutes, QueryDateTime FROM Phones "
                                     "WHERE PhoneNumber = ? ORDER BY QueryDateTime DESC, NN DESC LIMIT 1"));
            for (const HistoryPhoneRef &phone : monitored) {
                if (phone.slot < 1 || phone.slot > MaxPhones)
                    continue;
                TIssa &issa = IssaArray[phone.slot];
                issa.PhoneID = phone.slot;
                issa.Alias = phone.alias;
                issa.PhoneNumber = phone.number;
                q.addBindValue(phone.number);
                if (!q.exec())
                    throw SaldomatError(sqlReason(q.lastError()));
                if (q.next()) {
                    issa.LicSchet = q.value(0).toString();
                    issa.UserName = q.value(1).toString();
                    issa.Balance = q.value(2).toFloat();
                    issa.ObPlat = q.value(3).toFloat();
                    issa.Average = q.value(4).toFloat();
                    issa.BalDelta = q.value(5).toFloat();
                    issa.Recomend = q.value(6).toFloat();
                    issa.USDRate = q.value(7).toFloat();
                    issa.TurnOff = q.value(8).toInt();
                    issa.JeansExpired = q.value(9).toInt();
                    issa.SMS = q.value(10).toInt();
                    issa.Minutes = q.value(11).toInt();
                    issa.QueryDateTime = q.value(12).toDouble();
                    issa.Success = issa.QueryDateTime > cutOff;
                } else if (q.lastError().isValid()) {
                    throw SaldomatError(sqlReason(q.lastError()));
                }
                q.finish();
            }
        } catch (...) {
            dropConnection();
            throw;
        }
    });
}
