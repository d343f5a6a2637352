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

// Before a history command reads the history file: the file must exist, and
// its table is checked and brought up to date as the tray program does at
// start. Returns 0, or the exit status after printing the reason.
int PrepareHistoryFile(const QString &file);

// The rows of a phone for the period, newest first. The phone may be typed
// as "+7 916 123-45-67": its ten digits are looked up first, then the text
// as given (a history may hold numbers as they were once typed).
QVector<HistoryRow> CliHistoryRows(const QString &phone, const CliPeriod &p, const QString &dbFile);
