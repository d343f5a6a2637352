// How fast the setup dialog with its 100 phone rows opens: creating it and
// showing it (the phone list and the settings loaded into its controls), and
// showing the dialog again once it exists (the usual case: it lives for the
// whole run).

#include "Common.h"
#include "PhonesXml.h"
#include "ProgramState.h"
#include "SettingsFile.h"
#include "SetupForm.h"

#include <QApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {
// The program state on the bench's directory (made at the first call, once
// main has chosen the directory).
TProgramState &program()
{
    static TProgramState state(InitPaths());
    return state;
}

void fillPhones()
{
    for (int slot = 1; slot <= MaxPhones; ++slot) {
        TSetupPhoneLine line;
        line.Monitor = true;
        line.Number = QStringLiteral("916%1").arg(slot, 7, 10, QLatin1Char('0'));
        line.Password = QStringLiteral("pw%1").arg(slot);
        line.Alias = QStringLiteral("Phone %1").arg(slot);
        program().Setup.SetLine(slot, line);
    }
    SavePhonesInfoToXml(program().Setup, program().Paths.PhonesXmlFileName, MaxPhones);
}

void BM_SetupDialogCreateAndShow(benchmark::State &state)
{
    for (auto _ : state) {
        TfrmSetup dialog(program());
        dialog.show();
        QApplication::processEvents();
        benchmark::DoNotOptimize(dialog.isVisible());
        dialog.hide();
    }
}
BENCHMARK(BM_SetupDialogCreateAndShow)->Unit(benchmark::kMillisecond);

void BM_SetupDialogShowAgain(benchmark::State &state)
{
    TfrmSetup dialog(program());
    for (auto _ : state) {
        dialog.show();
        QApplication::processEvents();
        dialog.hide();
        QApplication::processEvents();
    }
}
BENCHMARK(BM_SetupDialogShowAgain)->Unit(benchmark::kMillisecond);
}  // namespace

int main(int argc, char **argv)
{
    QTemporaryDir home;
    qputenv("SALDOMAT_HOME", home.path().toLocal8Bit());
    QApplication app(argc, argv);
    fillPhones();
    ::benchmark::Initialize(&argc, argv);
    ::benchmark::RunSpecifiedBenchmarks();
    return 0;
}
