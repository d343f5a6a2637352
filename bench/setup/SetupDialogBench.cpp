// setup_dialog_bench: how fast the setup dialog with its 100 phone rows opens (created and shown,
// the phone list and settings loaded into its controls) and shows again once it exists (it lives
// for the whole run), against a floor measured in the same run: a plain dialog with the same
// widgets a row needs (number, tick, radio, three fields, two buttons) holding the same texts.
// Each runs 5 times; the least CPU and wall times are compared at the end.
#include "LeastTimes.h"
#include "PhonesXml.h"
#include "ProgramState.h"
#include "SetupForm.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QTemporaryDir>
#include <QToolButton>
#include <QVBoxLayout>
#include <memory>

namespace {

template <class Dialog> void ShowOnce(Dialog &dialog)
{
    dialog.show();
    QApplication::processEvents();
    dialog.hide();
    QApplication::processEvents();
}

// The floor: the rows' widgets in a scroll area of a plain dialog, filled from the model.
std::unique_ptr<QDialog> PlainDialog(const TSetupModel &model)
{
    auto dialog = std::make_unique<QDialog>();
    auto *scroll = new QScrollArea(dialog.get());
    auto *area = new QWidget;
    constexpr int rowHeight = 21;
    for (int slot = 1; slot <= MaxPhones; ++slot) {
        const TSetupPhoneLine &line = model.Line(slot);
        const int y = slot * rowHeight;
        (new QLabel(QString::number(slot), area))->setGeometry(0, y, 24, rowHeight);
        auto *tick = new QCheckBox(area);
        tick->setGeometry(26, y, 18, rowHeight);
        tick->setChecked(line.Monitor);
        (new QRadioButton(area))->setGeometry(46, y, 18, rowHeight);
        int x = 66;
        for (const QString &text : {line.Number, line.Password, line.Alias}) {
            auto *edit = new QLineEdit(text, area);
            edit->setGeometry(x, y, 100, rowHeight);
            x += 102;
        }
        (new QPushButton(QStringLiteral("Region"), area))->setGeometry(x, y, 60, rowHeight);
        (new QToolButton(area))->setGeometry(x + 62, y, 22, rowHeight);
    }
    area->resize(480, (MaxPhones + 2) * rowHeight);
    scroll->setWidget(area);
    (new QVBoxLayout(dialog.get()))->addWidget(scroll);
    dialog->resize(560, 560);
    return dialog;
}

}  // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
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

    benchmark::RegisterBenchmark("BM_SetupDialogCreateAndShow",
                                 [&](benchmark::State &state) {
                                     for (auto _ : state) {
                                         TfrmSetup dialog(program);
                                         ShowOnce(dialog);
                                     }
                                 })
        ->Unit(benchmark::kMillisecond)
        ->Repetitions(5);
    benchmark::RegisterBenchmark("BM_FloorCreateAndShow",
                                 [&](benchmark::State &state) {
                                     for (auto _ : state)
                                         ShowOnce(*PlainDialog(program.Setup));
                                 })
        ->Unit(benchmark::kMillisecond)
        ->Repetitions(5);
    benchmark::RegisterBenchmark("BM_SetupDialogShowAgain",
                                 [&](benchmark::State &state) {
                                     TfrmSetup dialog(program);
                                     for (auto _ : state)
                                         ShowOnce(dialog);
                                 })
        ->Unit(benchmark::kMillisecond)
        ->Repetitions(5);
    benchmark::RegisterBenchmark("BM_FloorShowAgain",
                                 [&](benchmark::State &state) {
                                     const std::unique_ptr<QDialog> dialog = PlainDialog(program.Setup);
                                     for (auto _ : state)
                                         ShowOnce(*dialog);
                                 })
        ->Unit(benchmark::kMillisecond)
        ->Repetitions(5);
    return RunAgainstFloors(argc, argv, "Least times of 5 runs:", [](const LeastTimes &reporter) {
        reporter.printRatio("Creating and showing the setup dialog", "BM_SetupDialogCreateAndShow",
                            "BM_FloorCreateAndShow", "ms");
        reporter.printRatio("Showing it again", "BM_SetupDialogShowAgain", "BM_FloorShowAgain", "ms");
    });
}
