#include "AlterTable.h"

#include "AtomicFile.h"
#include "Common.h"
#include "Failure.h"
#include "HistoryDb.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace {
// Field names of the table as a query of all its columns reports them.
QStringList fieldNames(QSqlDatabase &db, const QString &table)
{
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SELECT * FROM %1 LIMIT 1").arg(QuoteIdentifier(table))))
        throw SaldomatError(sqlReason(q.lastError()));
    const QSqlRecord record = q.record();
    QStringList names;
    for (int i = 0; i < record.count(); ++i)
        names << record.fieldName(i);
    return names;
}

QStringList missingIn(const QStringList &fields, const QStringList &columns)
{
    QSet<QString> present;
    for (const QString &f : fields)
        present.insert(f.toLower());
    QStringList missing;
    for (const QString &entry : columns)
        if (!present.contains(ColumnEntryName(entry).toLower()))
            missing << entry;
    return missing;
}

struct TableColumn {
    QString name;
    QString declaredType;
};

QList<TableColumn> tableColumns(QSqlDatabase &db, const QString &table)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("PRAGMA table_info(%1)").arg(QuoteIdentifier(table))))
        throw SaldomatError(sqlReason(q.lastError()));
    QList<TableColumn> result;
    while (q.next())
        result.append({q.value(1).toString(), q.value(2).toString()});
    return result;
}

// SQLite cannot add a primary key to an existing table: a table without its row
// counter is rebuilt with the counter in front, every column it had (values
// kept, rows numbered in their stored order) and the missing ones after them.
void rebuildWithCounter(QSqlDatabase &db, const QString &table, const QStringList &missing)
{
    const QList<TableColumn> existing = tableColumns(db, table);
    QStringList definitions;
    QStringList copied;
    for (const QString &entry : missing)
        if (IsCounterColumn(entry))
            definitions << ColumnDefinition(entry);
    for (const TableColumn &c : existing) {
        definitions << QuoteIdentifier(c.name)
                + (c.declaredType.isEmpty() ? QString() : QLatin1Char(' ') + c.declaredType);
        copied << QuoteIdentifier(c.name);
    }
    for (const QString &entry : missing)
        if (!IsCounterColumn(entry))
            definitions << ColumnDefinition(entry);
    const QString work = QuoteIdentifier(table + QStringLiteral("_rebuild"));
    ExecFixed(db, QStringLiteral("CREATE TABLE %1 (%2)").arg(work, definitions.join(QStringLiteral(", "))));
    ExecFixed(db,
              QStringLiteral("INSERT INTO %1 (%2) SELECT %2 FROM %3 ORDER BY rowid")
                  .arg(work, copied.join(QStringLiteral(", ")), QuoteIdentifier(table)));
    ExecFixed(db, QStringLiteral("DROP TABLE %1").arg(QuoteIdentifier(table)));
    ExecFixed(db, QStringLiteral("ALTER TABLE %1 RENAME TO %2").arg(work, QuoteIdentifier(table)));
}

// Adds the missing entries to table in one transaction, and the per-phone
// index when table is Phones.
void addColumns(QSqlDatabase &db, const QString &table, const QStringList &missing)
{
    ExecFixed(db, QStringLiteral("BEGIN IMMEDIATE"));
    try {
        bool needsCounter = false;
        for (const QString &entry : missing)
            needsCounter = needsCounter || IsCounterColumn(entry);
        if (needsCounter) {
            rebuildWithCounter(db, table, missing);
        } else {
            // SQLite adds one column per statement; the transaction makes
            // the whole list one change.
            for (const QString &entry : missing)
                ExecFixed(db,
                          QStringLiteral("ALTER TABLE %1 ADD COLUMN %2")
                              .arg(QuoteIdentifier(table), ColumnDefinition(entry)));
        }
        if (table.compare(QLatin1String(PhonesTable), Qt::CaseInsensitive) == 0)
            ExecFixed(db, PhonesIndexSql());
        ExecFixed(db, QStringLiteral("COMMIT"));
    } catch (...) {
        QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
        throw;
    }
}

// The columns that Phones lacks, and whether it has the per-phone index: with
// every column and the index there is nothing to change, and no copy of a
// large file needs to be taken.
struct PhonesState {
    QStringList missing;
    bool indexed = false;
    bool upToDate() const { return missing.isEmpty() && indexed; }
};

PhonesState phonesState(const QString &dbFile)
{
    HistoryConnection conn(dbFile);
    PhonesState state;
    state.missing = missingIn(fieldNames(conn.db(), QLatin1String(PhonesTable)), PhonesColumnList());
    if (!state.missing.isEmpty())
        return state;
    QSqlQuery q(conn.db());
    q.prepare(QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = 'index' AND name = ?"));
    q.addBindValue(QLatin1String(PhonesIndexName));
    state.indexed = q.exec() && q.next();
    return state;
}
}  // namespace

QStringList MissingColumns(const QString &dbFile, const QString &table, const QStringList &columns)
{
    HistoryConnection conn(dbFile);
    return missingIn(fieldNames(conn.db(), table), columns);
}

void AddNewColumns(const QString &dbFile, const QString &table, const QStringList &columns)
{
    guarded(THIS_ROUTINE, [&] {
        HistoryConnection conn(dbFile);
        addColumns(conn.db(), table, missingIn(fieldNames(conn.db(), table), columns));
    });
}

QString MigrationCopyPath(const QString &dbFile)
{
    const QFileInfo info(dbFile);
    return info.path() + QLatin1Char('/') + info.completeBaseName() + QStringLiteral(".tmp");
}

QString MigrationFailureText(const QString &failure)
{
    return QStringLiteral("Невозможно преобразовать базу данных с историей баланса в новый формат.\r\n"
                          "Пожалуйста, свяжитесь с авторами !!! ")
        + QLatin1String(SupportEmail) + QStringLiteral("\r\n\r\nОшибка: \r\n") + failure;
}

bool AlterTablePhonesIfNeed(const QString &dbFile, QString *failureBoxText)
{
    return guarded(THIS_ROUTINE, [&] {
        const PhonesState state = phonesState(dbFile);
        if (state.upToDate())
            return true;
        const QString copy = MigrationCopyPath(dbFile);
        QFile::remove(copy);
        // A copy that could not be made completely is no copy: it is never
        // written back over the history. The change itself runs in one
        // transaction, so a failure without a copy still leaves the file as it was.
        bool copied = QFile::copy(dbFile, copy);
        if (copied && QFileInfo(copy).size() != QFileInfo(dbFile).size())
            copied = false;
        if (!copied)
            QFile::remove(copy);
        try {
            AddNewColumns(dbFile, QLatin1String(PhonesTable), state.missing);
        } catch (const std::exception &e) {
            QString failure = failureText(e);
            if (copied) {
                try {
                    QFile saved(copy);
                    if (!saved.open(QIODevice::ReadOnly))
                        throw SaldomatError(QStringLiteral("cannot read \"%1\"").arg(copy));
                    WriteFileAtomically(dbFile, saved.readAll());
                    // A journal left by a rollback that could not finish belongs to
                    // the altered file: replayed onto the copy it would damage it.
                    QFile::remove(dbFile + QStringLiteral("-journal"));
                } catch (const std::exception &restore) {
                    failure += QStringLiteral("\r\n") + failureText(restore);
                }
            }
            if (failureBoxText)
                *failureBoxText = MigrationFailureText(failure);
            throw SaldomatError(failure);
        }
        QFile::remove(copy);
        return true;
    });
}
