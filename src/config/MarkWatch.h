#pragma once
// Which phones have newly become marked (balance or days to the turn-off at or
// below their threshold), so that the user hears of each crossing once and not
// after every run.

#include "PhoneTable.h"

#include <QList>
#include <array>

struct TProgramState;

class TMarkWatch {
public:
    explicit TMarkWatch(const TProgramState &state) : state_(state) { }
    // Takes the marks of the phone table as they are now as known (phones
    // without figures on record count as not marked).
    void Reset();
    // The monitored phones with fresh figures that are marked now and were not
    // before; remembers the new state of every phone with fresh figures. A
    // failed phone keeps its last known state.
    QList<int> NewlyMarked();
    // The monitored phones whose request failed and that were not failed at
    // the last look; a phone that succeeds may be told of again.
    QList<int> NewlyFailed();

private:
    const TProgramState &state_;
    std::array<bool, IssaSlots + 1> marked_{};
    std::array<bool, IssaSlots + 1> failed_{};
};

// The notice for a newly marked phone: its name, balance and threshold.
QString MarkNoticeText(const TProgramState &state, int slot);
// The notice for a failed phone: its name and the reason.
QString FailedNoticeText(const TProgramState &state, int slot);
// The notice at the end of a run: how many monitored phones answered.
QString RunFinishedNoticeText(const TProgramState &state);
