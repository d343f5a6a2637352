#pragma once
// The period options of the history commands: --last N | --days N | --all.

#include "HistoryQueries.h"

#include <QStringList>

struct CliPeriod {
    HistoryPeriod period = HistoryPeriod::LastCount;
    int n = 50;
};

// Takes the period options out of args (what remains are the other words);
// returns an error message, empty when the options were right.
QString TakeHistoryPeriod(QStringList &args, CliPeriod &out);
