#pragma once
// TmdbStore: writes every successful query into the history and loads the
// newest stored figures of the monitored phones into the phone table.
// Exists only while HistoryAvailable; all calls run on the main thread.

#include "OleDate.h"
#include "PhoneTable.h"

#include <QList>
#include <QString>
#include <functional>
#include <memory>

class HistoryConnection;

// One monitored phone as the settings describe it.
struct HistoryPhoneRef {
    int slot = 0;
    QString number;
    QString alias;
};

// Logged (and shown in a warning box by the program) when the history file is
// missing at the moment a result is to be stored.
QString HistoryFileMissingText();

class TmdbStore {
public:
    explicit TmdbStore(QString dbFile = QString());  // empty: HistoryDbFileName()
    ~TmdbStore();
    TmdbStore(const TmdbStore &) = delete;
    TmdbStore &operator=(const TmdbStore &) = delete;

    // BalDelta := Balance minus the balance of the phone's newest row stored
    // before today (0 when there is none). On failure BalDelta keeps its value
    // and the failure is rethrown with "TmdbStore.CalcBalanceDelta -- > ".
    void CalcBalanceDelta(TIssa &issa);

    // Appends the record as one row, stamped with the current date-time, as one
    // durable transaction: when it returns true the row is on the disk. Empty
    // PhoneNumber, LicSchet and UserName are stored as a single space.
    // Returns false (after logging HistoryFileMissingText()) when the history
    // file does not exist; nothing is then stored or created. Other failures
    // are rethrown with "TmdbStore.SaveIssaToMdb -- > ".
    bool SaveIssaToMdb(const TIssa &issa);

    // For every monitored phone, in the given order: PhoneID, Alias and
    // PhoneNumber from the settings, then the figures and QueryDateTime of its
    // newest row, and Success := that row is younger than refreshHours hours.
    // A phone without rows keeps its figures. Nothing happens when the history
    // file does not exist. A failure stops at the phone concerned (earlier
    // phones keep what was loaded) and is rethrown with
    // "TmdbStore.LoadHistoryInformation -- > ".
    void LoadHistoryInformation(const QList<HistoryPhoneRef> &monitored, int refreshHours);

    const QString &fileName() const { return file_; }
    // The clock used for "now" (NowOle by default); tests set a fixed one.
    void setClock(std::function<TDateTime()> clock) { clock_ = std::move(clock); }
    // Name of the open Qt SQL connection (opened on first use), for diagnostics.
    QString connectionName();

private:
    HistoryConnection &connection();
    void dropConnection();

    QString file_;
    std::unique_ptr<HistoryConnection> conn_;
    std::function<TDateTime()> clock_;
};
