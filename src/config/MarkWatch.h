#pragma once
// Which phones have newly become marked (balance or days to the turn-off at or
// below their threshold), so that the user hears of each crossing once and not
// after every run.

#include "PhoneTable.h"

#include <QList>
#include <array>

class TMarkWatch {
public:
    // Takes the marks of the phone table as they are now as known (phones
    // without figures on record count as not marked).
    void Reset();
    // The monitored phones with fresh figures that are marked now and were not
    // before; remembers the new state of every phone with fresh figures. A
    // failed phone keeps its last known state.
    QList<int> NewlyMarked();

private:
    std::array<bool, IssaSlots + 1> marked_{};
};

// The notice for a newly marked phone.
QString MarkNoticeText(int slot);
