#pragma once
// Routines and process-wide values shared by every part of the program.

#include "SaldomatVersion.h"

#include <QString>

inline constexpr int NoValue = -230973;  // the program-wide mark for "no value"

inline constexpr char ProgramName[] = "Saldomat";
inline constexpr char ProgramVersion[] = SALDOMAT_VERSION;
// "Saldomat  v <version>": the main caption; instances find each other by it.
QString MainCaption();

// Program directory with its trailing separator: $SALDOMAT_HOME when set, else
// the executable's directory when writable and not an installation's "bin"
// folder, else ~/.local/share/saldomat/.
QString ProgramDirectory();

// The program directory and the paths of the program's files, set by
// InitPaths() from ProgramDirectory().
extern QString ProgramDir;         // with a trailing "/"
extern QString ErrFileName;        // "Saldomat.err"
extern QString IniFileName;        // "Saldomat.ini"
extern QString ServersIniFileName; // "servers.ini"
extern QString PhonesXmlFileName;  // "phones.xml"
extern bool HistoryAvailable;
void InitPaths();

// Set once the program is asked to end: every wait returns at once.
extern bool ApplicationTerminating;
// Sets ApplicationTerminating and asks the event loop to end with the exit code.
void RequestTerminate(int exitCode = 0);

// Appends "date time: message" (CR LF) to the file in the single-byte code page;
// before the run's first entry the header block is written.
void AppendStringToFile(const QString &message, const QString &path);
// Forgets that this run has written its header (for tests).
void ResetLogHeaderFlag();
// Keeps only the last 1000 lines of a longer file (atomic rewrite).
void TruncateFile(const QString &path);
inline constexpr int LogKeepLines = 1000;

// "abcdefghij" -> "(abc) def-ghij"; any other length is returned unchanged.
QString FormatPhoneNumber(const QString &number);
// The formatted number of a slot, with its alias or subscriber name in brackets.
QString PhoneHumanInfo(int slot);
