// How fast the setup dialog with its 100 phone rows opens: created and shown (the phone list and
// settings loaded into its controls), and shown again once it exists (it lives for the whole run).
#include "PhonesXml.h"
#include "ProgramState.h"
#include "SetupForm.h"

#include <QApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

int main(int argc, char **argv)
{
    QTemporaryDir home;
    qputenv("SALDOMAT_HOME", home.path().toLocal8Bit());
    QApplication app(argc, argv);
    TProgramState program(InitPaths());
    for (int slot = 1; slot <= MaxPhones; ++slot) {
        TSetupPhoneLine &line = program.Setup.Line(slot);
        line.Monitor = true;
        line.Number = QStringLiteral("916%1").arg(slot, 7, 10, QLatin1Char('0'));
        line.Password = QStringLiteral("pw%1").arg(slot);
        line.Alias = QStringLiteral("Phone %1").arg(slot);
    }
    SavePhonesInfoToXml(program.Setup, program.Paths.PhonesXmlFileName, MaxPhones);
    auto showOnce = [](TfrmSetup &dialog) {
        dialog.show();
        QApplication::processEvents();
        dialog.hide();
        QApplication::processEvents();
    };
    benchmark::RegisterBenchmark("BM_SetupDialogCreateAndShow", [&](benchmark::State &state) {
        for (auto _ : state) {
            TfrmSetup dialog(program);
            showOnce(dialog);
        }
    })->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_SetupDialogShowAgain", [&](benchmark::State &state) {
        TfrmSetup dialog(program);
        for (auto _ : state)
            showOnce(dialog);
    })->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
}
