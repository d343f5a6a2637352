#include "StoreMDB.h"

#include "AlterTable.h"
#include "Common.h"
#include "Failure.h"
#include "HistoryDb.h"
#include "Readers.h"

#include <QDir>
#include <QFile>
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

// Logged when the history file is missing at the moment a result is to be
// stored and cannot be made again.
QString HistoryFileMissingText()
{
    return QStringLiteral("Файл истории баланса Saldomat.db не найден! "
                          "Свяжитесь с авторами или обновите программу до последней версии");
}

// The warning shown once per run when results could not be stored.
QString HistoryNotSavedText(const QString &reason)
{
    return QStringLiteral("Результат запроса не сохранён в истории баланса. Полученные цифры показаны, "
                          "но строки истории для них нет.\r\nПричина: ")
        + reason;
}
}  // namespace

TmdbStore::TmdbStore(QString dbFile)
    : file_(dbFile.isEmpty() ? HistoryDbFileName() : std::move(dbFile)), clock_(&NowOle)
{
}

TmdbStore::~TmdbStore() = default;

void TmdbStore::removeOrphanLog() const
{
    // A write-ahead log whose database is gone or replaced belongs to no
    // file: replayed onto the new one it would damage it.
    QFile::remove(file_ + QStringLiteral("-wal"));
    QFile::remove(file_ + QStringLiteral("-shm"));
}

HistoryConnection &TmdbStore::connection()
{
    const FileStamp now = StampOfFile(file_);
    if (conn_ && !now.sameFile(connFile_)) {
        // Replaced or deleted: the open connection writes into a file nobody
        // sees, and its write-ahead log, left under the shared name because a
        // moved file is not folded back, belongs to the old file.
        dropConnection();
        removeOrphanLog();
    }
    if (!conn_) {
        if (!now.exists)
            throw SaldomatError(QStringLiteral("file \"%1\" not found").arg(QDir::toNativeSeparators(file_)));
        auto conn = std::make_unique<HistoryConnection>(file_);
        connFile_ = now;
        connWal_ = false;
        conn_ = std::move(conn);
    }
    return *conn_;
}

template <typename Op> auto TmdbStore::onConnection(Op op)
{
    try {
        return op(connection());
    } catch (...) {
        dropConnection();  // a lock, damage or a full disk: the next operation starts afresh
        throw;
    }
}

void TmdbStore::EndRun()
{
    dropConnection();
}

void TmdbStore::dropConnection()
{
    deltaQuery_.reset();
    insertQuery_.reset();
    conn_.reset();
}

QSqlQuery &TmdbStore::prepared(std::unique_ptr<QSqlQuery> &slot, const QString &sql)
{
    if (!slot) {
        auto q = std::make_unique<QSqlQuery>(conn_->db());
        q->setForwardOnly(true);
        Prepare(*q, sql);
        slot = std::move(q);
    }
    return *slot;
}

bool TmdbStore::remakeIfMissing(QString *failure)
{
    if (QFileInfo::exists(file_))
        return true;
    try {
        removeOrphanLog();
        CreateHistoryDatabase(file_);
        AppendStringToFile(QStringLiteral("Файл истории баланса \"%1\" не найден: создан заново, пустым")
                               .arg(QDir::toNativeSeparators(file_)),
                           ErrorLogFileName());
        return true;
    } catch (const std::exception &e) {
        *failure = HistoryFileMissingText() + QStringLiteral(": ") + failureText(e);
        AppendStringToFile(*failure, ErrorLogFileName());
        return false;
    }
}

bool TmdbStore::BeginRun()
{
    warned_ = false;
    dropConnection();
    try {
        QString failure;
        remakeIfMissing(&failure);
        available_ = CheckHistoryAvailable(file_);
        if (available_ && !tableChecked_) {
            AlterTablePhonesIfNeed(file_);
            tableChecked_ = true;
        }
    } catch (const std::exception &e) {
        available_ = false;
        MainException(e);
    }
    return available_;
}

bool TmdbStore::Record(TIssa &issa)
{
    QString failure;
    try {
        // Even when the check at the start of the run failed: the lock or the
        // damage may be gone by now.
        if (remakeIfMissing(&failure)) {
            CalcBalanceDelta(issa);
            if (SaveIssaToMdb(issa))
                return true;
            failure = HistoryFileMissingText();
        }
    } catch (const std::exception &e) {
        MainException(e);
        failure = failureText(e);
    }
    if (!warned_) {
        warned_ = true;
        if (warn_)
            warn_(HistoryNotSavedText(failure));
    }
    return false;
}

void TmdbStore::CalcBalanceDelta(TIssa &issa)
{
    guarded(THIS_ROUTINE, [&] {
        const double today = OleDateOnly(clock_());
        float delta = 0;
        onConnection([&](HistoryConnection &conn) {
            Q_UNUSED(conn);
            QSqlQuery &q
                = prepared(deltaQuery_,
                           QStringLiteral("SELECT Balance FROM Phones WHERE PhoneNumber = ? AND QueryDateTime < ? "
                                          "ORDER BY QueryDateTime DESC, NN DESC LIMIT 1"));
            q.bindValue(0, issa.PhoneNumber);
            q.bindValue(1, today);
            if (!q.exec())
                throw SaldomatError(sqlReason(q.lastError()));
            if (q.next())
                delta = issa.Balance - FigureToFloat(q.value(0).toString()).value_or(0);
            else if (q.lastError().isValid())
                throw SaldomatError(sqlReason(q.lastError()));
            q.finish();  // no read transaction left open between phones
        });
        issa.BalDelta = delta;
    });
}

bool TmdbStore::SaveIssaToMdb(const TIssa &issa)
{
    return guarded(THIS_ROUTINE, [&] {
        QString failure;
        if (!remakeIfMissing(&failure))
            return false;
        return onConnection([&](HistoryConnection &conn) {
            if (!connWal_) {
                UseWriteAheadLog(conn.db());
                connWal_ = true;
            }
            QSqlQuery &q = prepared(
                insertQuery_,
                QStringLiteral(
                    "INSERT INTO Phones (PhoneNumber, LicSchet, UserName, QueryDateTime, Balance, ObPlat, BalDelta, "
                    "Average, JeansExpired, TurnOff, Recomend, SMS, Minutes, USDRate) "
                    "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
            q.bindValue(0, orSpace(issa.PhoneNumber));
            q.bindValue(1, orSpace(issa.LicSchet));
            q.bindValue(2, orSpace(issa.UserName));
            q.bindValue(3, clock_());
            q.bindValue(4, rounded(issa.Balance, 2));
            q.bindValue(5, rounded(issa.ObPlat, 2));
            q.bindValue(6, rounded(issa.BalDelta, 2));
            q.bindValue(7, rounded(issa.Average, 2));
            q.bindValue(8, issa.JeansExpired);
            q.bindValue(9, issa.TurnOff);
            q.bindValue(10, rounded(issa.Recomend, 2));
            q.bindValue(11, issa.SMS);
            q.bindValue(12, issa.Minutes);
            q.bindValue(13, rounded(issa.USDRate, 4));
            // Autocommit: the insert is its own transaction, synced before exec
            // returns (one sync of the log); the log is folded into the file
            // when the run's connection closes, or by SQLite when it grows.
            if (!q.exec())
                throw SaldomatError(sqlReason(q.lastError()));
            return true;
        });
    });
}

void ApplyHistoryRecord(TIssa &issa, const THistoryRecord &record)
{
    issa.PhoneID = record.slot;
    issa.Alias = record.alias;
    issa.PhoneNumber = record.number;
    if (!record.found)
        return;
    const TIssa &f = record.figures;
    issa.LicSchet = f.LicSchet;
    issa.UserName = f.UserName;
    issa.Balance = f.Balance;
    issa.ObPlat = f.ObPlat;
    issa.Average = f.Average;
    issa.BalDelta = f.BalDelta;
    issa.Recomend = f.Recomend;
    issa.USDRate = f.USDRate;
    issa.TurnOff = f.TurnOff;
    issa.JeansExpired = f.JeansExpired;
    issa.SMS = f.SMS;
    issa.Minutes = f.Minutes;
    issa.QueryDateTime = f.QueryDateTime;
    issa.Success = f.Success;
    issa.NotSaved = false;
}

QList<THistoryRecord> TmdbStore::LoadHistoryInformation(const QList<HistoryPhoneRef> &monitored, int refreshHours)
{
    return guarded(THIS_ROUTINE, [&] {
        QList<THistoryRecord> records;
        if (!QFileInfo::exists(file_))
            return records;
        const TDateTime cutOff = clock_() - refreshHours / 24.0;
        {
            HistoryConnection conn(file_);
            QSqlQuery q(conn.db());
            q.setForwardOnly(true);
            Prepare(q,
                    QStringLiteral("SELECT LicSchet, UserName, Balance, ObPlat, Average, BalDelta, Recomend, USDRate, "
                                   "TurnOff, JeansExpired, SMS, Minutes, QueryDateTime FROM Phones "
                                   "WHERE PhoneNumber = ? ORDER BY QueryDateTime DESC, NN DESC LIMIT 1"));
            for (const HistoryPhoneRef &phone : monitored) {
                if (phone.slot < 1 || phone.slot > MaxPhones)
                    continue;
                THistoryRecord record;
                record.slot = phone.slot;
                record.alias = phone.alias;
                record.number = phone.number;
                TIssa &issa = record.figures;
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
                    record.found = true;
                } else if (q.lastError().isValid()) {
                    throw SaldomatError(sqlReason(q.lastError()));
                }
                q.finish();
                records.append(std::move(record));
            }
        }
        return records;
    });
}
