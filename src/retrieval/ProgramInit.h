#pragma once
// The start-up steps that the tray program and saldomat-cli share.

#include <QList>
#include <memory>

class TmdbStore;
struct HistoryPhoneRef;

// After InitPaths(): settings file and servers.ini, the built-in region, the
// history check (HistoryAvailable). Only the history check catches its own failure.
void Init();
// The program's files (settings, phone list, servers, log, history and its
// journals, saved pages) found readable by others are made private, with one
// line in the log naming them.
void MakeProgramFilesPrivate();
// A program directory without settings, phone list and history is a first
// start: the empty history file is created there (and the log says so), so
// that the history works from the first query on. Returns whether it did.
bool CreateHistoryOnFirstStart();
// The phone rows from "phones.xml" and the general settings from the
// settings file, into the program-wide model.
void LoadSettings();
// The history store when the history file is there (when it is available
// now, after bringing its table up to date), else null. A failed migration
// throws; failureBoxText then has the message for the user.
std::unique_ptr<TmdbStore> OpenHistoryStore(QString *failureBoxText = nullptr);
// The monitored phones as the history loader wants them.
QList<HistoryPhoneRef> MonitoredPhones();
// The newest stored figures of every monitored phone into the phone table
// (nothing while the history is unavailable).
void LoadHistoryIntoTable(TmdbStore *store);
