// Speed of the status display: filling the phones grid for 100 phones, painting
// it whole (offscreen, into an image) against a floor measured in the same run,
// the same cell texts painted with QPainter::drawText in the same cells of an
// image of the same size, and drawing one tray image (targets: under 5 ms and
// under 50 microseconds). The painting and its floor run 5 times each; their
// least CPU and wall times are compared at the end.
#include "Common.h"
#include "CreateIcon.h"
#include "LeastTimes.h"
#include "PhoneTable.h"
#include "PhonesInfo.h"
#include "ProgramState.h"
#include "Setup.h"

#include <QApplication>
#include <QHeaderView>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdio>

namespace {

// The program state on the bench's directory (made at the first call, once
// main has chosen the directory).
TProgramState &program()
{
    static TProgramState state(InitPaths());
    return state;
}

void fillTable(int round)
{
    for (int slot = 1; slot <= MaxPhones; ++slot) {
        TSetupPhoneLine &line = program().Setup.Line(slot);
        line.Monitor = true;
        line.Number = QStringLiteral("9161234%1").arg(slot, 3, 10, QLatin1Char('0'));
        TIssa &issa = program().IssaArray[slot];
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

void allColumnsShown()
{
    TGeneralSettings &g = program().Setup.General;
    for (bool *b : {&g.cbLicSchet, &g.cbUserName, &g.cbObPlat, &g.cbAverage, &g.cbSMS, &g.cbMin, &g.cbJeansBalExpired,
                    &g.cbBalDelta})
        *b = true;
}

void BM_FillGrid100(benchmark::State &state)
{
    allColumnsShown();
    fillTable(0);
    TfrmPhonesInfo window{program()};
    window.FillGrid();
    int round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        fillTable(++round);  // new figures every time, as after a run
        state.ResumeTiming();
        window.FillGrid();
    }
    state.counters["phones"] = MaxPhones;
}
BENCHMARK(BM_FillGrid100)->Unit(benchmark::kMillisecond);

// The phones window sized so that its grid shows every row and column, shown
// offscreen and laid out.
struct ShownGrid {
    TfrmPhonesInfo window{program()};
    ShownGrid()
    {
        allColumnsShown();
        fillTable(0);
        window.FillGrid();
        window.show();
        QCoreApplication::sendPostedEvents();
        TSortGrid *grid = window.Grid;
        int width = grid->verticalHeader()->width() + 2 * grid->frameWidth();
        for (int c = 0; c < grid->ColCount(); ++c)
            width += grid->columnWidth(c);
        int height = grid->horizontalHeader()->height() + 2 * grid->frameWidth();
        for (int r = 0; r < grid->RowCount(); ++r)
            height += grid->rowHeight(r);
        window.resize(window.width() + std::max(0, width - grid->width()),
                      window.height() + std::max(0, height - grid->height()));
        QCoreApplication::sendPostedEvents();
    }
};

void BM_PaintGrid100(benchmark::State &state)
{
    ShownGrid shown;
    TSortGrid *grid = shown.window.Grid;
    QImage image(grid->size(), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        grid->render(&image);
        benchmark::DoNotOptimize(image.constBits());
    }
    int shownRows = 0;
    for (int r = 0; r < grid->RowCount(); ++r)
        shownRows += grid->rowViewportPosition(r) >= 0
            && grid->rowViewportPosition(r) + grid->rowHeight(r) <= grid->viewport()->height();
    state.counters["rows_shown"] = shownRows;
    state.counters["pixels"] = image.width() * image.height();
}

// The floor: every cell's text painted into its cell with the grid's font.
void BM_PaintFloor(benchmark::State &state)
{
    ShownGrid shown;
    TSortGrid *grid = shown.window.Grid;
    QImage image(grid->size(), QImage::Format_ARGB32_Premultiplied);
    struct Cell {
        QRect rect;
        QString text;
    };
    QVector<Cell> cells;
    int y = 0;
    for (int r = 0; r < grid->RowCount(); ++r) {
        for (int c = 0; c < grid->ColCount(); ++c)
            cells.append({QRect(grid->columnViewportPosition(c), y, grid->columnWidth(c), grid->rowHeight(r)),
                          grid->Cells(c, r)});
        y += grid->rowHeight(r);
    }
    for (auto _ : state) {
        image.fill(Qt::white);
        QPainter painter(&image);
        painter.setFont(grid->font());
        for (const Cell &cell : cells)
            painter.drawText(cell.rect, Qt::AlignLeft | Qt::AlignVCenter, cell.text);
        painter.end();
        benchmark::DoNotOptimize(image.constBits());
    }
    state.counters["cells"] = cells.size();
}
BENCHMARK(BM_PaintFloor)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(BM_PaintGrid100)->Unit(benchmark::kMillisecond)->Repetitions(5);

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

}  // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    qputenv("SALDOMAT_HOME", home.path().toUtf8());
    QApplication app(argc, argv);
    program();
    return RunAgainstFloors(argc, argv, "Least times of 5 runs:", [](const LeastTimes &reporter) {
        reporter.printRatio("Painting the grid of 100 phones", "BM_PaintGrid100", "BM_PaintFloor", "ms");
    });
}
