#pragma once
// The start-up steps that the tray program and saldomat-cli share.

#include "Common.h"

#include <QList>
#include <memory>

class TmdbStore;
struct HistoryPhoneRef;
struct TProgramState;

// The program's files made private (the settings files themselves are opened
// by the program state).
void Init(const TProgramPaths &paths);
// The program's files (settings, phone list, servers, log, history and its
// journals, saved pages) found readable by others are made private, with one
// line in the log naming them.
void MakeProgramFilesPrivate(const TProgramPaths &paths);
// A program directory without settings, phone list and history is a first
// start: the empty history file is created there (and the log says so), so
// that the history works from the first query on. Returns whether it did.
bool CreateHistoryOnFirstStart(const TProgramPaths &paths);
// The phone rows from "phones.xml" and the general settings from the
// settings file, into the state's model.
void LoadSettings(TProgramState &state);
// The history store when the history file is there (when it is available
// now, after bringing its table up to date), else null. The history's
// availability is checked here (the store's Available()). A failed migration
// throws; failureBoxText then has the message for the user.
std::unique_ptr<TmdbStore> OpenHistoryStore(const TProgramPaths &paths, QString *failureBoxText = nullptr);
// The monitored phones as the history loader wants them.
QList<HistoryPhoneRef> MonitoredPhones(const TProgramState &state);
// The newest stored figures of every monitored phone into the phone table
// (nothing while the history is unavailable).
void LoadHistoryIntoTable(TProgramState &state, TmdbStore *store);
