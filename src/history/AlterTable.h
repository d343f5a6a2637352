#pragma once
// Bringing the history table up to date once per start: columns that an older
// history file lacks are added, and the per-phone index is made when missing.

#include <QString>
#include <QStringList>

// The support address named in the failure message.
inline constexpr char SupportEmail[] = "support@saldomat.ru";

// Adds to table the entries of columns ("Name=Type", classic type names) that
// the table lacks, comparing names without letter case, in list order, all in
// one transaction; also creates the per-phone index of Phones when missing.
// Only for an available history (CheckHistoryAvailable). Failures are rethrown with
// "AlterTable.AddNewColumns -- > " in front.
void AddNewColumns(const QString &dbFile, const QString &table, const QStringList &columns);

// The entries of columns that table lacks (what AddNewColumns would add).
QStringList MissingColumns(const QString &dbFile, const QString &table, const QStringList &columns);

// Copies dbFile to the ".tmp" file beside it, runs AddNewColumns for Phones and
// deletes the copy again, for an available history only. Returns true when
// the table is up to date.
// On failure the copy is written back over dbFile (which is then byte for byte
// the file as it was before), the ".tmp" file stays, *failureBoxText (when
// given) receives the text of the error message box that the program shows
// before it ends, and the failure is rethrown with
// "AlterTable.AlterTablePhonesIfNeed -- > " in front.
bool AlterTablePhonesIfNeed(const QString &dbFile, QString *failureBoxText = nullptr);

// The message box text of a failed migration for the failure's message.
QString MigrationFailureText(const QString &failure);

// dbFile with its extension replaced by ".tmp" ("Saldomat.db" -> "Saldomat.tmp").
QString MigrationCopyPath(const QString &dbFile);
