#pragma once
// Set-up of the history window tests: a program directory with its settings
// file, and monitored phones known to the settings and the phone table.

#include "Common.h"
#include "ExportTestUtil.h"
#include "HistoryDb.h"
#include "ProgramState.h"
#include "SettingsFile.h"
#include "Setup.h"
#include "TestHome.h"

#include <gtest/gtest.h>

class UiHistoryTest : public ::testing::Test {
protected:
    // Monitored in the settings and known to the phone table, as at start-up.
    void phone(int slot, const QString &number, const QString &alias = QString())
    {
        MonitorPhone(state.Setup, slot, number, alias);
        state.IssaArray[slot].PhoneID = slot;
        state.IssaArray[slot].PhoneNumber = number;
        state.IssaArray[slot].Alias = alias;
    }

    TestHome home;
    TProgramState state{InitPaths()};
    QString db = HistoryDbFileName();
};
