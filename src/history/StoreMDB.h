#pragma once
// TmdbStore: writes every successful query into the history and loads the
// newest stored figures of the monitored phones into the phone table.
// Exists when the history file was there at start-up; all calls run on the
// main thread. A run keeps one connection (BeginRun .. EndRun); before every
// use the file's device and inode are compared with the ones it was opened
// with, so a file that another program replaced or deleted is noticed at the
// next operation and opened anew. A failed operation drops the connection.

#include "AtomicFile.h"
#include "OleDate.h"
#include "PhoneTable.h"

#include <QList>
#include <QString>
#include <functional>
#include <memory>

class HistoryConnection;
class QSqlQuery;

// One monitored phone as the settings describe it.
struct HistoryPhoneRef {
    int slot = 0;
    QString number;
    QString alias;
};

// What the history knows of one monitored phone: its newest stored figures.
struct THistoryRecord {
    int slot = 0;
    QString number;
    QString alias;
    // The phone has a stored row: LicSchet .. QueryDateTime of `figures` are
    // that row's, and figures.Success says it is younger than the refresh time.
    bool found = false;
    TIssa figures;
};

// Into the phone table's row: PhoneID, Alias and PhoneNumber, then the
// figures when a row was found (a phone without rows keeps its figures).
void ApplyHistoryRecord(TIssa &issa, const THistoryRecord &record);

class TmdbStore {
public:
    explicit TmdbStore(QString dbFile = QString());  // empty: HistoryDbFileName()
    ~TmdbStore();
    TmdbStore(const TmdbStore &) = delete;
    TmdbStore &operator=(const TmdbStore &) = delete;

    // BalDelta := Balance minus the balance of the phone's newest row stored
    // before today (0 when there is none). On failure BalDelta keeps its value
    // and the failure is rethrown with "StoreMDB.CalcBalanceDelta -- > ".
    void CalcBalanceDelta(TIssa &issa);

    // Appends the record as one row, stamped with the current date-time, as one
    // durable transaction: when it returns true the row is on the disk. Empty
    // PhoneNumber, LicSchet and UserName are stored as a single space.
    // A history file that has gone is made again (empty, as on a first start)
    // with a line in the log; when that fails too, HistoryFileMissingText() is
    // logged and false returned. Other failures are rethrown with
    // "StoreMDB.SaveIssaToMdb -- > ".
    bool SaveIssaToMdb(const TIssa &issa);

    // A record for every monitored phone with a slot in 1..MaxPhones, in the
    // given order: number and alias from the settings, then the figures and
    // QueryDateTime of its newest row, and Success := that row is younger than
    // refreshHours hours. No records when the history file does not exist.
    // The caller writes them into its phone table (ApplyHistoryRecord).
    // Failures are rethrown with "StoreMDB.LoadHistoryInformation -- > ".
    QList<THistoryRecord> LoadHistoryInformation(const QList<HistoryPhoneRef> &monitored, int refreshHours);

    // Start of a request run: a history file that has gone is made again,
    // the availability is checked again (so a lock or damage at start-up does
    // not switch the history off for the session), the table is brought up to
    // date if that has not happened yet, and the warning about results that
    // cannot be stored may be shown once more. Never throws.
    bool BeginRun();
    // End of a request run: the run's connection is closed (the write-ahead
    // log is folded into the file then). Never throws.
    void EndRun();
    // CalcBalanceDelta then SaveIssaToMdb, as after every successful query.
    // Returns false when the row could not be stored: the reason is in the log,
    // and the first such failure of a run goes to the warning handler.
    bool Record(TIssa &issa);
    // Shows a warning to the user (a message box in the tray program).
    void setWarning(std::function<void(const QString &)> warn) { warn_ = std::move(warn); }

    // Whether the history could be read at the last check (at start-up, then
    // at the start of every run): the history windows are offered only then.
    bool Available() const { return available_; }
    void setAvailable(bool available) { available_ = available; }

    // The table has been brought up to date at start-up (AlterTablePhonesIfNeed).
    void setTableChecked() { tableChecked_ = true; }

    const QString &fileName() const { return file_; }
    // The clock used for "now" (NowOle by default); tests set a fixed one.
    void setClock(std::function<TDateTime()> clock) { clock_ = std::move(clock); }

private:
    bool remakeIfMissing(QString *failure);
    // The kept connection, opened anew when there is none or the file under
    // the name is no longer the one it was opened on. Throws SaldomatError.
    HistoryConnection &connection();
    // Runs op on the kept connection; a failure drops it and is rethrown.
    template <typename Op> auto onConnection(Op op);
    // The connection closed with its prepared statements.
    void removeOrphanLog() const;
    void dropConnection();
    // The statement sql prepared once per connection in *slot.
    QSqlQuery &prepared(std::unique_ptr<QSqlQuery> &slot, const QString &sql);

    QString file_;
    std::function<TDateTime()> clock_;
    std::function<void(const QString &)> warn_;
    bool warned_ = false;
    bool tableChecked_ = false;
    bool available_ = false;
    std::unique_ptr<HistoryConnection> conn_;
    FileStamp connFile_;  // the file the open connection was opened on
    bool connWal_ = false;  // write-ahead log switched on for conn_
    // Prepared on conn_ (declared after it: they go before it).
    std::unique_ptr<QSqlQuery> deltaQuery_, insertQuery_;
};
