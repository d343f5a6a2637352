#pragma once
// What the program knows while it runs: its file paths, the phone table, the
// live settings model and the two INI files. The controller (or a saldomat-cli
// command) creates one and passes it down by reference; signals say which slot
// changed.

#include "Common.h"
#include "IniFile.h"
#include "PhoneTable.h"
#include "Setup.h"

struct TProgramState {
    // Opens the settings file and the server list on the paths' files (a
    // missing file reads as empty); the table and the model start empty.
    explicit TProgramState(const TProgramPaths &paths)
        : Paths(paths), IniFile(paths.IniFileName), ServersIni(paths.ServersIniFileName)
    {
    }
    TProgramState(const TProgramState &) = delete;
    TProgramState &operator=(const TProgramState &) = delete;

    const TProgramPaths Paths;
    TIssaArray IssaArray;
    TSetupModel Setup;
    TIniFile IniFile;  // "Saldomat.ini"
    TIniFile ServersIni;  // "servers.ini"
};
