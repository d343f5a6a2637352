#pragma once
// Set-up of the history window tests: a program directory with its settings
// file, and monitored phones known to the settings and the phone table.

#include "Common.h"
#include "ExportTestUtil.h"
#include "HistoryDb.h"
#include "IniFile.h"
#include "PhoneTable.h"
#include "SettingsFile.h"
#include "Setup.h"
#include "TestHome.h"

#include <gtest/gtest.h>

class UiHistoryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        InitConfig();
        ResetIssaArray();
    }
    void TearDown() override { SetupModel() = TSetupModel(); }
    // Monitored in the settings and known to the phone table, as at start-up.
    void phone(int slot, const QString &number, const QString &alias = QString())
    {
        MonitorPhone(slot, number, alias);
        IssaArray[slot].PhoneID = slot;
        IssaArray[slot].PhoneNumber = number;
        IssaArray[slot].Alias = alias;
    }

    TestHome home;
    QString db = HistoryDbFileName();
};
