#pragma once
// The display tests' set-up: a program directory, the program's state in it,
// and phones monitored with a good reading.

#include "PhoneTable.h"
#include "ProgramState.h"
#include "Setup.h"
#include "TestHome.h"

#include <gtest/gtest.h>

class DisplayFixture : public ::testing::Test {
protected:
    TIssa &monitor(int slot, float balance, bool success = true, double queried = 46000.5)
    {
        TSetupPhoneLine &line = state.Setup.Line(slot);
        line.Monitor = true;
        line.Number = QStringLiteral("91612345%1").arg(slot, 2, 10, QLatin1Char('0'));
        TIssa &issa = state.IssaArray[slot];
        issa.PhoneNumber = line.Number;
        issa.Alias = QStringLiteral("Alias %1").arg(slot);
        issa.Balance = balance;
        issa.Success = success;
        issa.QueryDateTime = queried;
        return issa;
    }
    TestHome home;
    TProgramState state{InitPaths()};
};
