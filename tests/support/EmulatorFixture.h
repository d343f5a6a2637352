#pragma once
// The set-up every test of the program against the emulator starts from: the
// emulator as the region "ЭМУ" of servers.ini, its phones in slots 1, 2, ...
// monitored; and a fixture with a program directory and the request engine.

#include "EmulatorProcess.h"
#include "ProgramState.h"
#include "StoreMDB.h"
#include "TestHome.h"
#include "WBForm.h"

#include <gtest/gtest.h>

inline const QString kRegion = QStringLiteral("ЭМУ");

// Writes the region (its LoginURL: url, or the emulator's POST login) and puts
// the phones into slots 1, 2, ... of the state's model, each aliased "Телефон <slot>".
void PutEmulatorPhones(const EmulatorProcess &emu, const QList<EmulatorPhone> &phones, TProgramState &state,
                       const QString &url = {});

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override;
    // Starts the emulator with these phones as above; with formLogin the
    // region logs in through the login form page.
    void startWith(const QList<EmulatorPhone> &phones, bool formLogin = false, const QString &cert = {},
                   const QString &key = {});
    void setPhone(int slot, const EmulatorPhone &phone, bool monitored = true);
    int historyRows(const QString &number);  // history rows stored for a phone
    void run(int mode = 0, int slot = 0, bool retryAuthErrors = true);  // a run, to its end

    static EmulatorPhone phone(const QString &number, const QString &behaviour = QStringLiteral("ok"),
                               double balance = 12.5);

    TestHome home;
    TProgramState state{InitPaths()};
    EmulatorProcess emu;
    std::unique_ptr<TmdbStore> store;
    std::unique_ptr<TfrmWB> engine;
};
