#pragma once
// A program directory, the request engine and an emulator with a region of
// servers.ini pointing at it: the engine's runs end to end on 127.0.0.1.

#include "EmulatorProcess.h"
#include "StoreMDB.h"
#include "TestHome.h"
#include "WBForm.h"

#include <gtest/gtest.h>
#include <memory>

inline const QString kRegion = QStringLiteral("ЭМУ");

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override;
    // Starts the emulator with these phones and enters each into the slot of the
    // same position (1, 2, ...), monitored, with the emulator's region. With
    // formLogin the region logs in through the login form page.
    void startWith(const QList<EmulatorPhone> &phones, bool formLogin = false, const QString &cert = {},
                   const QString &key = {});
    void setPhone(int slot, const EmulatorPhone &phone, bool monitored = true);
    // History rows stored for a phone.
    int historyRows(const QString &number);
    // Starts a run and pumps the event loop until it reports its end.
    void run(int mode = 0, int slot = 0, bool retryAuthErrors = true);

    static EmulatorPhone phone(const QString &number, const QString &behaviour = QStringLiteral("ok"),
                               double balance = 12.5);

    TestHome home;
    EmulatorProcess emu;
    std::unique_ptr<TmdbStore> store;
    std::unique_ptr<TfrmWB> engine;
};
