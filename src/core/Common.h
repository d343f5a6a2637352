#pragma once
// Routines and process-wide values shared by every part of the program.

#include "SaldomatVersion.h"

#include <QString>

struct TIssa;

inline constexpr int NoValue = -230973;  // the program-wide mark for "no value"

inline constexpr char ProgramName[] = "Saldomat";
inline constexpr char ProgramVersion[] = SALDOMAT_VERSION;
// "Saldomat  v <version>": the main caption; instances find each other by it.
QString MainCaption();

// Program directory with its trailing separator: $SALDOMAT_HOME when set, else
// the executable's directory when writable and not an installation's "bin"
// folder, else ~/.local/share/saldomat/.
QString ProgramDirectory();

// The program directory and the paths of the program's files. The tray
// program's controller and saldomat-cli make it once (InitPaths) and hand it
// to whoever needs it.
struct TProgramPaths {
    QString ProgramDir;  // with a trailing "/"
    QString ErrFileName;  // "Saldomat.err"
    QString IniFileName;  // "Saldomat.ini"
    QString ServersIniFileName;  // "servers.ini"
    QString PhonesXmlFileName;  // "phones.xml"
    QString HistoryDbFileName;  // "Saldomat.db"
};
// The paths of the files in `dir` (with its trailing separator).
TProgramPaths ProgramPathsIn(const QString &dir);
// The paths in ProgramDirectory(), which is made when missing.
TProgramPaths InitPaths();
// The error log of the program directory: where the outermost handler
// (MainException) writes, whatever object failed.
QString ErrorLogFileName();

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
// The formatted number of a phone, with its alias or subscriber name in brackets.
QString PhoneHumanInfo(const TIssa &issa);
