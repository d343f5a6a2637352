#pragma once
// What "saldomat-cli query" prints: one row per queried phone with its state,
// its error, the twelve figures and their time. A phone whose query failed
// shows "—" in the table, never a balance of 0.00; figures left from an
// earlier query are marked stale; a phone without any figures has nulls.

#include "CliOutput.h"

#include <QList>

struct TProgramState;

// The rows of the slots after a run.
OutputRows QueryResultRows(const TProgramState &state, const QList<int> &slots);
// The table form: slot, name, balance, state, error.
QString QueryResultTable(const TProgramState &state, const QList<int> &slots);

// Sends a desktop notice (org.freedesktop.Notifications on the session bus)
// for each slot; false when no notification service is there.
bool SendMarkNotices(const TProgramState &state, const QList<int> &slots);
