// The export dialogs: file choice, overwrite question, messages, and the
// workbooks they lead to.
#include "ConvertToExcel.h"
#include "Encoding.h"
#include "History.h"
#include "ModalWatcher.h"
#include "SaveIssaToExcel.h"
#include "UiHistoryTestUtil.h"
#include "XlsxReadBack.h"

#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

namespace {
const QString kPhone = QStringLiteral("9036660001");

class ExportDialogsTest : public UiHistoryTest {
protected:
    void SetUp() override
    {
        UiHistoryTest::SetUp();
        phone(1, kPhone, QStringLiteral("Дача"));
        SetExcelFileDialog([this](QWidget *, const QString &proposed) {
            proposals << proposed;
            return chosen;
        });
    }
    void TearDown() override
    {
        SetExcelFileDialog(nullptr);
        UiHistoryTest::TearDown();
    }
    void clickExcel(TfrmHistory &h)
    {
        QTest::mouseClick(h.findChild<QPushButton *>(QStringLiteral("bnExcel")), Qt::LeftButton);
    }

    QStringList proposals;
    QString chosen = home.file(QStringLiteral("out.xlsx"));
};

QStringList texts(const ModalWatcher &w)
{
    QStringList t;
    for (const SeenModal &s : w.seen())
        t << s.text;
    return t;
}
}  // namespace

TEST_F(ExportDialogsTest, HistoryExportWritesThePeriodAndReportsSuccess)
{
    const TDateTime now = NowOle();
    for (int i = 0; i < 7; ++i)
        StoreRow(db, {kPhone, now - i * 0.5, 10.0 + i});
    TfrmHistory h(state);
    h.show();
    ModalWatcher watcher;
    clickExcel(h);  // the last 50 queries: all 7
    EXPECT_EQ(proposals, QStringList{"(903) 666-0001 [Дача].xlsx"});
    EXPECT_EQ(texts(watcher), QStringList{"История успешно конвертирована в Excel"});
    EXPECT_EQ(watcher.seen()[0].icon, QMessageBox::Information);
    EXPECT_EQ(ReadBackSheet(chosen).maxRow(), 8);

    // Queries of the last day: 3 rows (now, -0.5 and a hair under -1 are out... -1.0 is not later than now-1).
    h.findChild<QRadioButton *>(QStringLiteral("rbShowLastDays"))->setChecked(true);
    h.findChild<QLineEdit *>(QStringLiteral("edLastDays"))->setText(QStringLiteral("1"));
    watcher.answer(QMessageBox::Yes);  // overwrite
    clickExcel(h);
    EXPECT_EQ(texts(watcher).mid(1),
              (QStringList{OverwriteQuestionText(chosen), "История успешно конвертирована в Excel"}));
    EXPECT_EQ(ReadBackSheet(chosen).maxRow(), 3);
}

TEST_F(ExportDialogsTest, OverwriteRefusedOrImpossibleAndCancelWriteNothing)
{
    StoreRow(db, {kPhone, NowOle(), 10});
    WriteFileBytes(chosen, "keep me");
    TfrmHistory h(state);
    h.show();
    ModalWatcher watcher;

    watcher.answer(QMessageBox::No);
    clickExcel(h);
    EXPECT_EQ(texts(watcher),
              QStringList{"Файл \"" + QDir::toNativeSeparators(chosen) + "\" существует! Перезаписать?"});
    EXPECT_EQ(watcher.seen()[0].icon, QMessageBox::Question);
    EXPECT_EQ(ReadFileBytes(chosen), QByteArray("keep me"));

    // A name that cannot be replaced (a folder): the question, then the error.
    chosen = home.file(QStringLiteral("folder.xlsx"));
    ASSERT_TRUE(QDir().mkpath(chosen));
    watcher.answer(QMessageBox::Yes);
    clickExcel(h);
    ASSERT_EQ(watcher.seen().size(), 3);
    EXPECT_EQ(watcher.seen()[2].text,
              "Файл \"" + QDir::toNativeSeparators(chosen)
                  + "\" не может быть перезаписан.\r\nВозможно он уже открыт в Excel");
    EXPECT_EQ(watcher.seen()[2].icon, QMessageBox::Critical);
    EXPECT_TRUE(QFileInfo(chosen).isDir());

    // The history file itself: refused at once, never offered for replacing.
    chosen = db;
    const QByteArray history = ReadFileBytes(db);
    clickExcel(h);
    ASSERT_EQ(watcher.seen().size(), 4);
    EXPECT_EQ(watcher.seen()[3].icon, QMessageBox::Critical);
    EXPECT_TRUE(watcher.seen()[3].text.contains(QStringLiteral("файл самой программы")));
    EXPECT_EQ(ReadFileBytes(db), history);

    // Cancel: no message at all.
    chosen.clear();
    clickExcel(h);
    EXPECT_EQ(watcher.seen().size(), 4);
    EXPECT_EQ(proposals.size(), 4);
}

TEST_F(ExportDialogsTest, EmptyHistoryWarnsAndWritesNoFile)
{
    StoreRow(db, {QStringLiteral("9999999999"), NowOle(), 10});
    TfrmHistory h(state);
    h.show();
    ModalWatcher watcher;
    clickExcel(h);
    EXPECT_EQ(texts(watcher), QStringList{"История по выбранному телефону не найдена!"});
    EXPECT_EQ(watcher.seen()[0].icon, QMessageBox::Warning);
    EXPECT_FALSE(QFileInfo::exists(chosen));
}

TEST_F(ExportDialogsTest, CurrentExportRedOnlyAndAll)
{
    state.IssaArray[1].Balance = 40;
    state.IssaArray[1].QueryDateTime = At(2026, 12, 5, 10, 0);
    ModalWatcher watcher;
    SaveInfoToExcel(state, nullptr, true);  // no red phone: the message, no file choice
    EXPECT_EQ(texts(watcher), QStringList{"\"Красных\" телефонов нет !"});
    EXPECT_TRUE(proposals.isEmpty());

    phone(3, QStringLiteral("9036660003"), QStringLiteral("Красный"));
    state.IssaArray[3].Balance = 1;
    state.IssaArray[3].QueryDateTime = At(2026, 12, 5, 11, 0);
    SaveInfoToExcel(state, nullptr, true);
    ASSERT_EQ(proposals.size(), 1);
    EXPECT_TRUE(proposals[0].startsWith("Balance ") && proposals[0].endsWith(".xlsx")) << proposals[0].toStdString();
    EXPECT_EQ(proposals[0].size(), QStringLiteral("Balance 05-12-26 14-30.xlsx").size());
    EXPECT_EQ(texts(watcher).last(), "Текущие данные по всем телефонам успешно записаны в Excel");
    {
        ReadBackSheet sheet(chosen);
        EXPECT_EQ(sheet.maxRow(), 2);
        EXPECT_EQ(sheet.cell(2, 1).value.toString(), "Красный");
    }
    watcher.answer(QMessageBox::Yes);
    SaveInfoToExcel(state, nullptr, false);
    EXPECT_EQ(
        texts(watcher).mid(2),
        (QStringList{OverwriteQuestionText(chosen), "Текущие данные по всем телефонам успешно записаны в Excel"}));
    EXPECT_EQ(ReadBackSheet(chosen).maxRow(), 3);
}

TEST_F(ExportDialogsTest, FailureIsLoggedWithItsLabelsAndNotReportedAsSuccess)
{
    // No history file: the reading fails.
    TfrmHistory h(state);
    h.show();
    ModalWatcher watcher;
    clickExcel(h);
    EXPECT_TRUE(watcher.seen().isEmpty());
    EXPECT_FALSE(QFileInfo::exists(chosen));
    const QString log = FromCp1251(ReadFileBytes(ErrorLogFileName()));
    EXPECT_TRUE(
        log.contains(QStringLiteral("History.ConvertHistoryToExcel -- > ConvertToExcel.ConvertHistoryToXls -- > "
                                    "ConvertToExcel.GetCount -- > HistoryQueries.HistoryNewestRows -- > ")))
        << log.toStdString();
}

TEST(ExcelFileName, DisplayTextBecomesASafeFileName)
{
    EXPECT_EQ(ExcelFileNameFor(QStringLiteral("(903) 123-4567 [Дом]")), "(903) 123-4567 [Дом].xlsx");
    EXPECT_EQ(ExcelFileNameFor(QStringLiteral("(903) 123-4567 [a/b\\c:d]")), "(903) 123-4567 [a_b_c_d].xlsx");
    EXPECT_EQ(ExcelFileNameFor(QStringLiteral("../x")), "Saldomat.._x.xlsx");
    EXPECT_EQ(ExcelFileNameFor(QString()), "Saldomat.xlsx");
}
