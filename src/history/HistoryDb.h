#pragma once
// The history database: the file "Saldomat.db" in the program directory with
// the one table Phones (one row per successful query of one phone).
//
// Every operation opens its own connection through HistoryConnection. The file
// is opened without ever being created: a missing history stays missing, only
// CreateHistoryDatabase() (the installation step) brings one into being.

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

class QSqlError;
class QSqlQuery;

// Full path of the history file: the program directory (InitPaths) + "Saldomat.db".
QString HistoryDbFileName();

inline constexpr char PhonesTable[] = "Phones";
inline constexpr char PhonesIndexName[] = "IX_Phones_PhoneNumber_QueryDateTime";
// The per-phone index: led by (PhoneNumber, QueryDateTime) and carrying the
// figures as well, so that a phone's history is read from consecutive pages
// of the index instead of one table page per row.
QString PhonesIndexSql();

// The columns of Phones as "Name=Type" in their order, with the classic type
// names (counter, DateTime, char(n), single, smallint).
QStringList PhonesColumnList();
// The SQLite declaration of a classic column type ("single" -> "REAL").
// Throws SaldomatError for a type it does not know.
QString SqliteColumnType(const QString &classicType);
// The name and the classic type of a column entry "Name=Type".
QString ColumnEntryName(const QString &entry);
QString ColumnEntryType(const QString &entry);
// The SQLite definition of a column entry: quoted name and SQLite type.
QString ColumnDefinition(const QString &entry);
// Whether the entry is the row counter, the table's primary key.
bool IsCounterColumn(const QString &entry);
// An identifier in double quotes, inner quotes doubled. Throws SaldomatError
// for an empty name or one that holds a control character.
QString QuoteIdentifier(const QString &name);

// One connection to the history file for the lifetime of the object.
class HistoryConnection {
public:
    enum class Mode { Existing, Create };
    // Throws SaldomatError with the driver's reason when the file cannot be
    // opened (for Mode::Existing also when it does not exist).
    explicit HistoryConnection(const QString &file, Mode mode = Mode::Existing);
    ~HistoryConnection();
    HistoryConnection(const HistoryConnection &) = delete;
    HistoryConnection &operator=(const HistoryConnection &) = delete;

    QSqlDatabase &db() { return db_; }
    const QString &name() const { return name_; }

private:
    void drop();  // closes and unregisters the connection

    QString name_;
    QSqlDatabase db_;
};

// The driver's reason of a failed database operation, as the messages show it.
QString sqlReason(const QSqlError &error);

// How long an operation waits for a lock held by another process before it
// fails: long enough for another program's short transaction or a backup copy.
inline constexpr int HistoryBusyTimeoutMs = 5000;

// Puts the history file into write-ahead-log mode (kept in the file), so that
// readers never block the writer nor the writer the readers. Throws
// SaldomatError with the driver's reason when the file cannot be switched.
void UseWriteAheadLog(QSqlDatabase &db);

// Prepares q for sql; throws SaldomatError with the driver's reason (a missing
// table, say) instead of leaving it to a misleading failure of the execution.
void Prepare(QSqlQuery &q, const QString &sql);

// Runs one statement without bound values (fixed texts only: DDL, PRAGMA,
// transaction control); throws SaldomatError with the driver's reason.
void ExecFixed(QSqlDatabase &db, const QString &sql);

// The history's availability: whether "Phones" can be read from the history
// file. On failure one line "Ведение истории баланса невозможно по следующей
// причине: " + reason goes to the error log. Never creates the file, never
// throws.
bool CheckHistoryAvailable(const QString &file = HistoryDbFileName());

// Creates a new history file holding an empty Phones table with every column
// and the per-phone index. Throws SaldomatError when the file already exists
// (it is left untouched) or cannot be created.
void CreateHistoryDatabase(const QString &file = HistoryDbFileName());
