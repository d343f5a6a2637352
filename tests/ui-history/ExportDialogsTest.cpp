// The export dialogs: file dialog, overwrite question, messages, workbooks.
#include "ConvertToExcel.h"
#include "Encoding.h"
#include "SaveIssaToExcel.h"
#include "UiHistoryTestUtil.h"
#include "XlsxReadBack.h"

#include <QDir>

namespace {
const QString kPhone = QStringLiteral("9036660001");
const QString kDone = QStringLiteral("История успешно конвертирована в Excel");

class ExportDialogsTest : public UiHistoryTest {
protected:
    void SetUp() override { phone(1, kPhone, QStringLiteral("Дача")); }
    // The chooser's "Excel" button; what the watcher saw meanwhile.
    QStringList exportHistory(TfrmHistory &h)
    {
        const qsizetype before = watcher.seen.size();
        QTest::mouseClick(child<QPushButton>(&h, "bnExcel"), Qt::LeftButton);
        return watcher.seen.mid(before);
    }

    QString chosen = home.file(QStringLiteral("out.xlsx"));
    QString proposed = QStringLiteral("(903) 666-0001 [Дача].xlsx");
    ModalWatcher watcher{chosen};
};
}  // namespace

TEST_F(ExportDialogsTest, HistoryExportFailsWarnsWritesOverwritesOrRefuses)
{
    TfrmHistory h(state);
    h.show();
    // No history file: the failure is logged with its labels, no message.
    EXPECT_EQ(exportHistory(h), QStringList{proposed});
    EXPECT_TRUE(
        FromCp1251(ReadFileBytes(ErrorLogFileName()))
            .contains(QStringLiteral("History.ConvertHistoryToExcel -- > ConvertToExcel.ConvertHistoryToXls -- > "
                                     "ConvertToExcel.GetCount -- > HistoryQueries.HistoryNewestRows -- > ")));

    // Only another phone's rows: the warning, no file.
    StoreRow(db, {QStringLiteral("9999999999"), NowOle(), 10});
    EXPECT_EQ(exportHistory(h), (QStringList{proposed, "История по выбранному телефону не найдена!"}));
    EXPECT_EQ(watcher.icons.last(), QMessageBox::Warning);
    EXPECT_FALSE(QFileInfo::exists(chosen));

    for (int i = 0; i < 7; ++i)
        StoreRow(db, {kPhone, NowOle() - i * 0.5, 10.0 + i});
    EXPECT_EQ(exportHistory(h), (QStringList{proposed, kDone}));  // the last 50 queries: all 7
    EXPECT_EQ(ReadBackSheet(chosen).maxRow(), 8);

    // The file exists now: No keeps it, Yes replaces it.
    const QString question = "Файл \"" + QDir::toNativeSeparators(chosen) + "\" существует! Перезаписать?";
    const QByteArray first = ReadFileBytes(chosen);
    watcher.answers << QMessageBox::No;
    EXPECT_EQ(exportHistory(h), (QStringList{proposed, question}));
    EXPECT_EQ(ReadFileBytes(chosen), first);
    // The last day: now, -0.5 (and -1.0 is not later than now-1).
    child<QRadioButton>(&h, "rbShowLastDays")->setChecked(true);
    child<QLineEdit>(&h, "edLastDays")->setText(QStringLiteral("1"));
    watcher.answers << QMessageBox::Yes;
    EXPECT_EQ(exportHistory(h), (QStringList{proposed, question, kDone}));
    EXPECT_EQ(ReadBackSheet(chosen).maxRow(), 3);

    // While the question is open the file becomes a folder: Yes, then the error.
    watcher.onWindow = [&](QWidget *w) {
        if (qobject_cast<QMessageBox *>(w) && QFile::remove(chosen))
            QDir().mkpath(chosen);
    };
    watcher.answers << QMessageBox::Yes;
    EXPECT_EQ(exportHistory(h),
              (QStringList{proposed, question,
                           "Файл \"" + QDir::toNativeSeparators(chosen)
                               + "\" не может быть перезаписан.\r\nВозможно он уже открыт в Excel"}));
    EXPECT_EQ(watcher.icons.last(), QMessageBox::Critical);
    EXPECT_TRUE(QFileInfo(chosen).isDir());

    // The history file itself: refused at once, never offered for replacing.
    watcher.saveAs = db;
    const QByteArray history = ReadFileBytes(db);
    const QStringList refused = exportHistory(h);
    EXPECT_TRUE(refused.size() == 2 && refused[1].contains(QStringLiteral("файл самой программы")))
        << refused.join('|').toStdString();
    EXPECT_EQ(ReadFileBytes(db), history);

    watcher.saveAs.clear();  // cancel: no message at all
    EXPECT_EQ(exportHistory(h), QStringList{proposed});
}

TEST_F(ExportDialogsTest, CurrentExportRedOnlyAndAll)
{
    const QString done = QStringLiteral("Текущие данные по всем телефонам успешно записаны в Excel");
    state.IssaArray[1].Balance = 40;
    state.IssaArray[1].QueryDateTime = At(2026, 12, 5, 10, 0);
    SaveInfoToExcel(state, nullptr, true);  // no red phone: the message, no file dialog
    EXPECT_EQ(watcher.seen, QStringList{"\"Красных\" телефонов нет !"});

    phone(3, QStringLiteral("9036660003"), QStringLiteral("Красный"));
    state.IssaArray[3].Balance = 1;
    state.IssaArray[3].QueryDateTime = At(2026, 12, 5, 11, 0);
    SaveInfoToExcel(state, nullptr, true);
    EXPECT_TRUE(
        watcher.seen.value(1).contains(QRegularExpression("^Balance \\d\\d-\\d\\d-\\d\\d \\d\\d-\\d\\d\\.xlsx$")))
        << watcher.seen.value(1).toStdString();  // the time of the export
    EXPECT_EQ(watcher.seen.mid(2), QStringList{done});
    EXPECT_EQ(ReadBackSheet(chosen).maxRow(), 2);
    EXPECT_EQ(ReadBackSheet(chosen).cell(2, 1).value.toString(), "Красный");
    watcher.answers << QMessageBox::Yes;
    SaveInfoToExcel(state, nullptr, false);
    EXPECT_EQ(watcher.seen.mid(4), (QStringList{OverwriteQuestionText(chosen), done}));
    EXPECT_EQ(ReadBackSheet(chosen).maxRow(), 3);
}

TEST(ExcelFileName, DisplayTextBecomesASafeFileName)
{
    EXPECT_EQ(ExcelFileNameFor(QStringLiteral("(903) 123-4567 [a/b\\c:d]")), "(903) 123-4567 [a_b_c_d].xlsx");
    EXPECT_EQ(ExcelFileNameFor(QStringLiteral("../x")), "Saldomat.._x.xlsx");
    EXPECT_EQ(ExcelFileNameFor(QString()), "Saldomat.xlsx");
}
