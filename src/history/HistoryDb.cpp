#include "HistoryDb.h"

#include "AtomicFile.h"
#include "Common.h"
#include "Failure.h"

#include <QAtomicInt>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>

namespace {
// "file:/path?mode=rw": the URI form lets SQLite open the file without creating it.
QString sqliteUri(const QString &file, HistoryConnection::Mode mode)
{
    QString path = QDir::fromNativeSeparators(QFileInfo(file).absoluteFilePath());
    if (!path.startsWith(QLatin1Char('/')))
        path.prepend(QLatin1Char('/'));  // "C:/x" -> "/C:/x"
    const QByteArray encoded = QUrl::toPercentEncoding(path, "/:");
    return QStringLiteral("file:") + QString::fromLatin1(encoded)
        + (mode == HistoryConnection::Mode::Create ? QStringLiteral("?mode=rwc") : QStringLiteral("?mode=rw"));
}
}  // namespace

QString sqlReason(const QSqlError &error)
{
    QString text = error.text().trimmed();
    return text.isEmpty() ? QStringLiteral("unknown database failure") : text;
}

QString HistoryDbFileName()
{
    return InitPaths().HistoryDbFileName;
}

QString PhonesIndexSql()
{
    return QStringLiteral("CREATE INDEX IF NOT EXISTS %1 ON Phones (PhoneNumber, QueryDateTime, NN, Balance, ObPlat, "
                          "BalDelta, Average, TurnOff, JeansExpired, Recomend, SMS, Minutes, USDRate)")
        .arg(QuoteIdentifier(QLatin1String(PhonesIndexName)));
}

QStringList PhonesColumnList()
{
    return {QStringLiteral("NN=counter"),
            QStringLiteral("QueryDateTime=DateTime"),
            QStringLiteral("LicSchet=char(20)"),
            QStringLiteral("PhoneNumber=char(20)"),
            QStringLiteral("UserName=char(50)"),
            QStringLiteral("Balance=single"),
            QStringLiteral("ObPlat=single"),
            QStringLiteral("BalDelta=single"),
            QStringLiteral("Average=single"),
            QStringLiteral("TurnOff=smallint"),
            QStringLiteral("JeansExpired=smallint"),
            QStringLiteral("Recomend=single"),
            QStringLiteral("SMS=smallint"),
            QStringLiteral("Minutes=smallint"),
            QStringLiteral("USDRate=single")};
}

QString SqliteColumnType(const QString &classicType)
{
    const QString t = classicType.trimmed().toLower();
    if (t == QLatin1String("counter"))
        return QStringLiteral("INTEGER PRIMARY KEY AUTOINCREMENT");
    if (t == QLatin1String("datetime") || t == QLatin1String("single") || t == QLatin1String("double"))
        return QStringLiteral("REAL");
    if (t == QLatin1String("smallint") || t == QLatin1String("integer") || t == QLatin1String("long"))
        return QStringLiteral("INTEGER");
    if (t.startsWith(QLatin1String("char(")) || t == QLatin1String("text") || t == QLatin1String("memo"))
        return QStringLiteral("TEXT");
    throw SaldomatError(QStringLiteral("unknown column type \"%1\"").arg(classicType));
}

QString ColumnEntryName(const QString &entry)
{
    return entry.section(QLatin1Char('='), 0, 0).trimmed();
}

QString ColumnEntryType(const QString &entry)
{
    return entry.section(QLatin1Char('='), 1).trimmed();
}

QString ColumnDefinition(const QString &entry)
{
    return QuoteIdentifier(ColumnEntryName(entry)) + QLatin1Char(' ') + SqliteColumnType(ColumnEntryType(entry));
}

bool IsCounterColumn(const QString &entry)
{
    return SqliteColumnType(ColumnEntryType(entry)).contains(QLatin1String("PRIMARY KEY"));
}

QString QuoteIdentifier(const QString &name)
{
    if (name.isEmpty())
        throw SaldomatError(QStringLiteral("empty column or table name"));
    for (QChar c : name)
        if (c.unicode() < 32)
            throw SaldomatError(QStringLiteral("invalid column or table name"));
    QString quoted = name;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

HistoryConnection::HistoryConnection(const QString &file, Mode mode)
    // Named after the object, which owns the connection for its whole life:
    // no two live connections share a name, in any thread.
    : name_(QStringLiteral("saldomat-history-%1").arg(quintptr(this), 0, 16))
{
    if (mode == Mode::Existing && !QFileInfo::exists(file))
        throw SaldomatError(QStringLiteral("file \"%1\" not found").arg(QDir::toNativeSeparators(file)));
    db_ = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name_);
    // Whatever fails from here on, the connection goes with the exception:
    // the destructor does not run for an object that was never made.
    try {
        if (!db_.isValid())
            throw SaldomatError(QStringLiteral("the SQLite driver of Qt SQL is not available"));
        db_.setDatabaseName(sqliteUri(file, mode));
        db_.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=%1").arg(HistoryBusyTimeoutMs));
        if (!db_.open())
            throw SaldomatError(sqlReason(db_.lastError()));
        // A full sync per commit: every stored row is on the disk when its
        // insert returns, also in write-ahead-log mode (UseWriteAheadLog).
        ExecFixed(db_, QStringLiteral("PRAGMA synchronous=FULL"));
    } catch (...) {
        drop();
        throw;
    }
}

HistoryConnection::~HistoryConnection()
{
    drop();
}

void HistoryConnection::drop()
{
    db_.close();
    db_ = QSqlDatabase();
    QSqlDatabase::removeDatabase(name_);
}

void Prepare(QSqlQuery &q, const QString &sql)
{
    if (!q.prepare(sql))
        throw SaldomatError(sqlReason(q.lastError()));
}

void ExecFixed(QSqlDatabase &db, const QString &sql)
{
    QSqlQuery q(db);
    if (!q.exec(sql))
        throw SaldomatError(sqlReason(q.lastError()));
}

void UseWriteAheadLog(QSqlDatabase &db)
{
    // The pragma answers the mode in force: a file that could not be switched
    // (read-only) says so in the write that follows.
    ExecFixed(db, QStringLiteral("PRAGMA journal_mode=WAL"));
}

bool CheckHistoryAvailable(const QString &file)
{
    try {
        HistoryConnection conn(file);
        QSqlQuery q(conn.db());
        if (!q.exec(QStringLiteral("SELECT * FROM Phones LIMIT 1")))
            throw SaldomatError(sqlReason(q.lastError()));
        q.next();
        if (q.lastError().isValid())
            throw SaldomatError(sqlReason(q.lastError()));
        return true;
    } catch (const std::exception &e) {
        try {
            AppendStringToFile(QStringLiteral("Ведение истории баланса невозможно по следующей причине: ")
                                   + failureText(e),
                               ErrorLogFileName());
        } catch (...) {
            // The log cannot be written either: the history simply stays off.
        }
    }
    return false;
}

void CreateHistoryDatabase(const QString &file)
{
    guarded(THIS_ROUTINE, [&] {
        if (QFileInfo::exists(file))
            throw SaldomatError(QStringLiteral("file \"%1\" already exists").arg(QDir::toNativeSeparators(file)));
        bool created = false;
        try {
            // Created under a temporary name and renamed at the end, so that no
            // half-made history file is ever left under the real name.
            const QString work = file + QStringLiteral(".new");
            QFile::remove(work);
            {
                HistoryConnection conn(work, HistoryConnection::Mode::Create);
                created = true;
                QStringList columns;
                for (const QString &entry : PhonesColumnList())
                    columns << ColumnDefinition(entry);
                UseWriteAheadLog(conn.db());
                ExecFixed(conn.db(), QStringLiteral("BEGIN"));
                ExecFixed(conn.db(),
                          QStringLiteral("CREATE TABLE Phones (") + columns.join(QStringLiteral(", "))
                              + QLatin1Char(')'));
                ExecFixed(conn.db(), PhonesIndexSql());
                ExecFixed(conn.db(), QStringLiteral("COMMIT"));
            }
            if (QFileInfo::exists(file))
                throw SaldomatError(QStringLiteral("file \"%1\" already exists").arg(QDir::toNativeSeparators(file)));
            // Private whatever the umask, also when it is made again during a run.
            MakeFilesPrivate({work});
            if (!QFile::rename(work, file))
                throw SaldomatError(QStringLiteral("cannot rename \"%1\"").arg(QDir::toNativeSeparators(work)));
        } catch (...) {
            if (created)
                QFile::remove(file + QStringLiteral(".new"));
            throw;
        }
    });
}
