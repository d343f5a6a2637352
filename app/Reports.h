#pragma once
// The history windows and the workbook exports as the tray program reaches
// them: through a module loaded at the first use. A module that cannot be
// loaded is said on screen once and in the error log at every attempt; the
// rest of the program goes on without it.
#include "HistoryQueries.h"

#include <QString>
#include <QStringList>

class QWidget;

namespace Reports {

void ShowHistory(QWidget *parent);
void ShowHistoryPhone(int slot, HistoryPeriod mode, int n, QWidget *parent);
void SaveInfoToExcel(QWidget *parent, bool redOnly);

// Where the module is looked for, in order: beside the program (the build
// tree), then in the program's library folder of an installation.
QStringList ModuleCandidates(const QString &programDir);
// Tests load the module from a file of their choice (empty: the candidates);
// the next call loads it afresh and may say again that it is missing.
void UseModuleFile(const QString &path);
// True once the module is loaded and its table is taken.
bool Loaded();

} // namespace Reports
