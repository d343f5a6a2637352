#pragma once
// The emulator as the region "ЭМУ" of servers.ini and its phones in slots 1,
// 2, ... of a settings model, monitored, in that region: the set-up every
// test of the whole program against the emulator starts from.

#include "EmulatorProcess.h"
#include "IniFile.h"
#include "Setup.h"

inline void PutEmulatorPhones(const EmulatorProcess &emu, const QList<EmulatorPhone> &phones, TSetupModel &model)
{
    ServersIni.WriteString(QStringLiteral("Эмулятор"), QStringLiteral("ShortName"), QStringLiteral("ЭМУ"));
    ServersIni.WriteString(QStringLiteral("Эмулятор"), QStringLiteral("LoginURL"), emu.loginUrl());
    for (int slot = 1; slot <= phones.size(); ++slot) {
        TSetupPhoneLine line;
        line.Monitor = true;
        line.Number = phones[slot - 1].number;
        line.Password = phones[slot - 1].password;
        line.Region = QStringLiteral("ЭМУ");
        model.SetLine(slot, line);
    }
}
