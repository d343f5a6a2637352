// Speed of the status display: filling the phones grid for 100 phones, and
// drawing one tray image (targets: under 5 ms and under 50 microseconds).
#include "Common.h"
#include "CreateIcon.h"
#include "PhoneTable.h"
#include "PhonesInfo.h"
#include "SettingsFile.h"
#include "Setup.h"

#include <QApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

void fillTable(int round)
{
    for (int slot = 1; slot <= MaxPhones; ++slot) {
        TSetupPhoneLine &line = SetupModel().Line(slot);
        line.Monitor = true;
        line.Number = QStringLiteral("9161234%1").arg(slot, 3, 10, QLatin1Char('0'));
        TIssa &issa = IssaArray[slot];
        issa.PhoneNumber = line.Number;
        issa.Alias = QStringLiteral("Телефон %1").arg(slot);
        issa.UserName = QStringLiteral("Абонент %1").arg(slot);
        issa.LicSchet = QString::number(100000 + slot);
        issa.Balance = static_cast<float>((slot * 37 + round) % 500) / 3.0f;
        issa.Average = 2.5f;
        issa.TurnOff = slot % 7;
        issa.Recomend = 100;
        issa.SMS = slot % 3;
        issa.Minutes = slot;
        issa.BalDelta = static_cast<float>(round % 5);
        issa.QueryDateTime = 46000.5 + slot / 1000.0;
        issa.Success = slot % 5 != 0;
    }
}

void BM_FillGrid100(benchmark::State &state)
{
    TGeneralSettings &g = SetupModel().General;
    for (bool *b : {&g.cbLicSchet, &g.cbUserName, &g.cbObPlat, &g.cbAverage, &g.cbSMS, &g.cbMin, &g.cbJeansBalExpired,
             &g.cbBalDelta})
        *b = true;
    fillTable(0);
    TfrmPhonesInfo window;
    window.FillGrid();
    int round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        fillTable(++round); // new figures every time, as after a run
        state.ResumeTiming();
        window.FillGrid();
    }
    state.counters["phones"] = MaxPhones;
}
BENCHMARK(BM_FillGrid100)->Unit(benchmark::kMillisecond);

void BM_TrayImage(benchmark::State &state)
{
    float value = 2.5f;
    for (auto _ : state) {
        QImage img = NumberImage(value, value, 2.5f);
        benchmark::DoNotOptimize(img);
        value += 1.25f;
        if (value > 999)
            value = -9;
    }
}
BENCHMARK(BM_TrayImage)->Unit(benchmark::kMicrosecond);

void BM_TrayImageWithIcon(benchmark::State &state)
{
    float value = 2.5f;
    for (auto _ : state) {
        QIcon icon = TrayIconFromImage(NumberImage(value, value, 2.5f));
        benchmark::DoNotOptimize(icon);
        value += 1.25f;
        if (value > 999)
            value = -9;
    }
}
BENCHMARK(BM_TrayImageWithIcon)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    qputenv("SALDOMAT_HOME", home.path().toUtf8());
    QApplication app(argc, argv);
    InitConfig();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
