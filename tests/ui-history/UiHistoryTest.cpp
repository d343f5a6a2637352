// The history windows and the export dialogs: the chooser's stored values, period rules, key
// filter and phone rows; one phone's grid (texts, blanks, day separators, chart); the exports'
// file dialog, overwrite question, messages and workbooks.
#include "ConvertToExcel.h"
#include "EventLoopWait.h"
#include "ExportTestUtil.h"
#include "History.h"
#include "HistoryDb.h"
#include "HistoryPhone.h"
#include "ProgramState.h"
#include "SaveIssaToExcel.h"
#include "TestHome.h"

#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>
#include <gtest/gtest.h>

namespace {
template <class T> T *child(QWidget *w, const char *name)
{
    T *found = w->findChild<T *>(QString::fromLatin1(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
}

class UiHistoryTest : public ::testing::Test {
protected:
    UiHistoryTest()
    {
        QObject::connect(&timer, &QTimer::timeout, [this] { answerModal(); });
        timer.start(5);
    }
    // Answers the modal window of a test's action, after onWindow, recording its text: a message
    // box (and its icon) takes the next queued button (Ok when none); a file dialog (the name it
    // proposes) takes saveAs or, when empty, cancels; a grid ("header | rows | newest balance") or
    // any other window (class) closes.
    void answerModal()
    {
        QWidget *w = QApplication::activeModalWidget();
        if (!w || !w->isVisible() || w == pending)
            return;
        if (onWindow)
            onWindow(w);
        if (auto *box = qobject_cast<QMessageBox *>(w)) {
            seen << box->text();
            icon = box->icon();
            QAbstractButton *b = box->button(answers.isEmpty() ? QMessageBox::Ok : answers.takeFirst());
            b ? b->click() : box->reject();
        } else if (auto *files = qobject_cast<QFileDialog *>(w)) {
            seen << QFileInfo(files->selectedFiles().value(0)).fileName();
            if (saveAs.isEmpty())
                return files->reject();
            files->selectFile(saveAs);
            pending = files;  // accepted from outside this timer, so that its own questions are answered
            QTimer::singleShot(0, files, [this, files] {
                static_cast<QDialog *>(files)->accept();  // as its Save button
                pending = nullptr;
                if (files->isVisible())  // still open after that question: give up
                    files->reject();
            });
        } else {
            const auto *grid = qobject_cast<TfrmHistoryPhone *>(w);
            seen << (grid ? QStringLiteral("%1 | %2 | %3")
                                .arg(grid->header()->text())
                                .arg(grid->grid()->rowCount())
                                .arg(grid->grid()->model()->index(0, 2).data().toString())
                          : QString::fromLatin1(w->metaObject()->className()));
            w->close();
        }
    }
    // Monitored in the settings and known to the phone table, as at start-up.
    void phone(int slot, const QString &number, const QString &alias = QString())
    {
        MonitorPhone(state.Setup, slot, number, alias);
        state.IssaArray[slot].PhoneID = slot;
        state.IssaArray[slot].PhoneNumber = number;
        state.IssaArray[slot].Alias = alias;
    }
    static QStringList row(TfrmHistoryPhone &w, int r)
    {
        QStringList texts;
        for (int c = 0; c < w.grid()->columnCount(); ++c)
            texts << w.grid()->model()->index(r, c).data().toString();
        return texts;
    }
    // The chooser's "Excel" button; what was seen meanwhile.
    QStringList exportHistory(TfrmHistory &h)
    {
        const qsizetype before = seen.size();
        QTest::mouseClick(child<QPushButton>(&h, "bnExcel"), Qt::LeftButton);
        return seen.mid(before);
    }

    TestHome home;
    TProgramState state{InitPaths()};
    QString db = HistoryDbFileName();
    QString chosen = home.file(QStringLiteral("out.xlsx"));
    QString saveAs = chosen;
    QList<QMessageBox::StandardButton> answers;
    std::function<void(QWidget *)> onWindow;
    QStringList seen;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QPointer<QWidget> pending;
    QTimer timer;
};
}  // namespace

TEST_F(UiHistoryTest, ChooserDefaultsKeyFilterAndEscapeThenStoredValuesAreCheckedAndWrittenBack)
{
    auto period = [](const TfrmHistory &h) { return std::pair(h.RequestPeriod().mode, h.RequestPeriod().n); };
    // The stored values: the two edits and the window's place.
    const QStringList keys{"edLastRequest", "edLastDays", "Height", "Left", "Top"};
    auto store = [&](const QStringList &values) {
        for (int i = 0; i < keys.size(); ++i)
            state.IniFile.WriteString(QStringLiteral("History Form"), keys[i], values[i]);
    };
    {
        TfrmHistory h(state);  // nothing stored, no phone
        EXPECT_EQ(period(h), std::pair(HistoryPeriod::LastCount, 50));
        EXPECT_TRUE(h.PhoneSlots().isEmpty() && !child<QPushButton>(&h, "bnShow")->isEnabled()
                    && !child<QPushButton>(&h, "bnExcel")->isEnabled());
        h.show();  // the key filter: "," enters ".", other characters and Backspace are dropped: "1.59"
        auto *ed = child<QLineEdit>(&h, "edLastDays");
        ed->setText(QString());
        QTest::keyClicks(ed, QStringLiteral("1,5a b-x9"));
        QTest::keyClick(ed, Qt::Key_Backspace);
        QTest::keyClick(ed, Qt::Key_Home);
        QTest::keyClick(ed, Qt::Key_Delete);  // not a character: left to the edit
        EXPECT_EQ(ed->text(), ".59");
        QTest::keyClick(ed, Qt::Key_Escape);  // closes, also from an edit
        EXPECT_TRUE(!h.isVisible() && h.result() == QDialog::Rejected);
    }
    store({"abc", "1.5", "420", "30", "40"});  // edLastRequest is not a number
    {
        TfrmHistory h(state);
        // edLastDays is a number, shown as it is
        EXPECT_EQ(child<QLineEdit>(&h, "edLastRequest")->text() + child<QLineEdit>(&h, "edLastDays")->text(), "501.5");
        EXPECT_EQ(h.geometry(), QRect(30, 40, h.width(), 420));
        for (auto [radio, edit, text, mode, n] :
             {std::tuple{"rbShowLastDays", "edLastDays", "", HistoryPeriod::LastDays, 2},  // 1.5 is not whole
              {"rbShowLastDays", "edLastDays", "9", HistoryPeriod::LastDays, 9},
              {"rbShowLastRequest", "edLastRequest", "7.5", HistoryPeriod::LastCount, 50},
              {"rbShowLastRequest", "edLastRequest", "12", HistoryPeriod::LastCount, 12},
              {"rbShowAll", "", "", HistoryPeriod::All, 0}}) {
            SCOPED_TRACE(std::string(radio) + " " + text);
            child<QRadioButton>(&h, radio)->setChecked(true);
            if (*text)
                child<QLineEdit>(&h, edit)->setText(QString::fromLatin1(text));
            EXPECT_EQ(period(h), std::pair(mode, n));
        }
        h.setGeometry(60, 70, 275, 500);
    }
    QStringList stored;
    for (const QString &key : keys)
        stored << state.IniFile.ReadString(QStringLiteral("History Form"), key, QString());
    EXPECT_EQ(stored, QStringList({"12", "9", "500", "60", "70"}));

    store({"12", "9", "500", "50000", "70"});  // a place far off every screen is not taken
    TfrmHistory again(state);
    EXPECT_TRUE(again.pos().x() != 50000 && again.height() == 500);
}

TEST_F(UiHistoryTest, OneChooserItsPhoneRowsShowDoubleClickAndThePhonesWindowOpenTheGrid)
{
    phone(4, QStringLiteral("9032220004"), QStringLiteral("Второй"));
    phone(2, QStringLiteral("9032220002"), QStringLiteral("Первый"));
    phone(3, QStringLiteral("9032220003"));
    state.Setup.Line(3).Monitor = false;
    for (int i = 0; i < 60; ++i)
        StoreRow(db, {QStringLiteral("9032220004"), NowOle() - i * 0.01, 10.0 + i});
    StoreRow(db, {QStringLiteral("9032220002"), NowOle(), 99});

    bool wasInstance = false;
    onWindow = [&](QWidget *w) {
        wasInstance = TfrmHistory::Instance() == w;
        ShowHistory(state);  // a second choice while open: no second chooser
    };
    ShowHistory(state);
    EXPECT_TRUE(seen == QStringList{"TfrmHistory"} && wasInstance && !TfrmHistory::Instance());
    onWindow = nullptr;

    TfrmHistory h(state);
    EXPECT_TRUE(h.PhoneSlots() == (QList<int>{2, 4}) && h.SelectedPhone() == 2);
    h.show();
    child<QLineEdit>(&h, "edLastRequest")->setText(QStringLiteral("3"));
    QTest::mouseClick(child<QRadioButton>(&h, "rbPhone_4"), Qt::LeftButton);
    EXPECT_EQ(h.SelectedPhone(), 4);
    QTest::mouseClick(child<QPushButton>(&h, "bnShow"), Qt::LeftButton);
    EXPECT_EQ(seen.mid(1), QStringList{"Телефон (903) 222-0004 [Второй] | 3 | 10.00"});

    QTest::mouseDClick(child<QRadioButton>(&h, "rbPhone_2"), Qt::LeftButton);  // selects slot 2, then opens it
    ASSERT_TRUE(WaitUntil([&] { return seen.size() == 3; })) << seen.join(u'|').toStdString();
    EXPECT_EQ(h.SelectedPhone(), 2);
    EXPECT_EQ(seen[2], "Телефон (903) 222-0002 [Первый] | 1 | 99.00");

    ShowHistoryPhone(state, 4);  // the phones window: the newest 50
    EXPECT_EQ(seen.mid(3), QStringList{"Телефон (903) 222-0004 [Второй] | 50 | 10.00"});
}

TEST_F(UiHistoryTest, GridRowsNewestFirstWithBlanksDaySeparatorsChartAndThreshold)
{
    phone(1, QStringLiteral("9034440001"), QStringLiteral("Мама"));
    for (auto [day, hour, minute, balance] :
         {std::tuple{28, 9, 5, 30.0}, {29, 8, 0, 25.0}, {29, 20, 0, 24.0}, {30, 10, 0, 20.0}, {30, 22, 30, 19.5}})
        StoreRow(db, {"9034440001", At(2026, 11, day, hour, minute, minute == 5 ? 7 : 0), balance});
    // Zeros (and a delta that shows as 0.00) are left blank where the grid hides them. The fields:
    // balance, account, user, payment, delta, average, recommended, rate, turn-off, jeans, sms, minutes.
    StoreRow(db, {"9034440001", At(2026, 12, 1, 12, 0), 0.0, "L1", "User", 0, 0.001, 1.005, 0, 0, 0, 0, 0, 0});
    StoreRow(db,
             {"9034440001", At(2026, 12, 1, 18, 0), -12.5, "L1", "User", 50, -3.25, 4, 120, 28.12345, 3, 17, 25, 100});
    auto series = [](TfrmHistoryPhone &w) { return qobject_cast<QChartView *>(w.chart())->chart()->series(); };
    TfrmHistoryPhone window(state);
    ASSERT_TRUE(window.FillInfo(1, HistoryPeriod::LastCount, 50) == 7 && window.grid()->rowCount() == 7);
    EXPECT_EQ(row(window, 0),
              (QStringList{"01.12.2026", "18:00:00", "-12.50", "50.00", "4.00", "-3.25", "3", "120.00", "17", "25",
                           "100", "28.1234"}));
    EXPECT_EQ(row(window, 1), (QStringList{"", "12:00:00", "0.00", "", "1.00", "", "0", "0.00", "", "", "", "0.0000"}));
    QStringList times;  // the date only on a day's first row
    for (int r = 2; r < 7; ++r)
        times << row(window, r).mid(0, 2).join(u' ');
    EXPECT_EQ(
        times,
        (QStringList{"30.11.2026 22:30:00", " 10:00:00", "29.11.2026 20:00:00", " 08:00:00", "28.11.2026 09:05:07"}));

    // A navy line above the first row of each earlier day, not above row 1 nor inside a day.
    window.resize(1200, 700);
    const QImage image = window.grid()->viewport()->grab().toImage();
    const double scale = double(image.width()) / window.grid()->viewport()->width();
    for (int r = 0; r < 7; ++r) {
        const QRgb c = image.pixel(20 * scale, window.grid()->rowViewportPosition(r) * scale);
        EXPECT_EQ(qRed(c) < 40 && qBlue(c) > 100 && qBlue(c) < 160, r == 2 || r == 4 || r == 6) << "row " << r;
    }

    // The chart: the balances oldest first, the common threshold across them.
    const QList<QAbstractSeries *> lines = series(window);
    auto *balance = qobject_cast<QLineSeries *>(lines.value(0)), *mark = qobject_cast<QLineSeries *>(lines.value(1));
    ASSERT_TRUE(lines.size() == 2 && balance && mark && balance->count() == 7);
    EXPECT_TRUE(balance->at(0).y() == 30.0 && balance->at(6).y() == -12.5 && balance->at(0).x() < balance->at(6).x());
    EXPECT_EQ(mark->points(), (QList<QPointF>{{balance->at(0).x(), 2.5}, {balance->at(6).x(), 2.5}}));

    // The phone's own threshold; no line when balances are not marked.
    state.Setup.Line(1).ExSettings = {true, 7.0f, 1};
    window.FillInfo(1, HistoryPeriod::All, 0);
    double value = 0;
    EXPECT_TRUE(window.thresholdShown(&value) && value == 7.0);
    state.Setup.General.cbMarkIfBalance = false;
    window.FillInfo(1, HistoryPeriod::All, 0);
    EXPECT_TRUE(!window.thresholdShown() && series(window).size() == 1);

    // Nothing in the last 2 days: the warning, one empty row, the header.
    TfrmHistoryPhone empty(state);
    EXPECT_EQ(empty.FillInfo(1, HistoryPeriod::LastDays, 2), 0);
    EXPECT_EQ(seen, QStringList{"История по выбранному телефону не найдена!"});
    EXPECT_EQ(icon, QMessageBox::Warning);
    EXPECT_EQ(row(empty, 0).join(QString()) + empty.header()->text(), "Телефон (903) 444-0001 [Мама]");
}

TEST_F(UiHistoryTest, HistoryExportFailsWarnsWritesOverwritesOrRefuses)
{
    const QString phoneNumber = QStringLiteral("9036660001"), proposed = QStringLiteral("(903) 666-0001 [Дача].xlsx");
    const QString done = QStringLiteral("История успешно конвертирована в Excel");
    phone(1, phoneNumber, QStringLiteral("Дача"));
    TfrmHistory h(state);
    h.show();
    // No history file: the failure is logged with its labels, no message.
    EXPECT_EQ(exportHistory(h), QStringList{proposed});
    EXPECT_TRUE(ReadFileBytes(ErrorLogFileName()).contains("ConvertHistoryToXls -- > ConvertToExcel.GetCount -- > "));

    // Only another phone's rows: the warning, no file.
    StoreRow(db, {QStringLiteral("9999999999"), NowOle(), 10});
    EXPECT_EQ(exportHistory(h), (QStringList{proposed, "История по выбранному телефону не найдена!"}));
    EXPECT_TRUE(icon == QMessageBox::Warning && !QFileInfo::exists(chosen));

    for (int i = 0; i < 7; ++i)
        StoreRow(db, {phoneNumber, NowOle() - i * 0.5, 10.0 + i});
    EXPECT_EQ(exportHistory(h), (QStringList{proposed, done}));  // the last 50 queries: all 7
    EXPECT_EQ(ReadBackSheet(chosen).maxRow(), 8);

    // The file exists now: No keeps it, Yes replaces it.
    const QString question = "Файл \"" + QDir::toNativeSeparators(chosen) + "\" существует! Перезаписать?";
    const QByteArray first = ReadFileBytes(chosen);
    answers << QMessageBox::No;
    EXPECT_TRUE(exportHistory(h) == (QStringList{proposed, question}) && ReadFileBytes(chosen) == first);
    // The last day: now, -0.5 (and -1.0 is not later than now-1).
    child<QRadioButton>(&h, "rbShowLastDays")->setChecked(true);
    child<QLineEdit>(&h, "edLastDays")->setText(QStringLiteral("1"));
    answers << QMessageBox::Yes;
    EXPECT_EQ(exportHistory(h), (QStringList{proposed, question, done}));
    EXPECT_EQ(ReadBackSheet(chosen).maxRow(), 3);

    // While the question is open the file becomes a folder: Yes, then the error.
    onWindow = [&](QWidget *w) {
        if (qobject_cast<QMessageBox *>(w) && QFile::remove(chosen))
            QDir().mkpath(chosen);
    };
    answers << QMessageBox::Yes;
    EXPECT_EQ(exportHistory(h),
              (QStringList{proposed, question,
                           "Файл \"" + QDir::toNativeSeparators(chosen)
                               + "\" не может быть перезаписан.\r\nВозможно он уже открыт в Excel"}));
    EXPECT_TRUE(icon == QMessageBox::Critical && QFileInfo(chosen).isDir());

    // The history file itself: refused at once, never offered for replacing.
    saveAs = db;
    const QByteArray history = ReadFileBytes(db);
    const QStringList refused = exportHistory(h);
    EXPECT_TRUE(refused.size() == 2 && refused[1].contains(QStringLiteral("файл самой программы")))
        << refused.join('|').toStdString();
    EXPECT_EQ(ReadFileBytes(db), history);

    saveAs.clear();  // cancel: no message at all
    EXPECT_EQ(exportHistory(h), QStringList{proposed});
}

TEST_F(UiHistoryTest, CurrentExportOfTheRedPhonesAndSafeFileNames)
{
    phone(1, QStringLiteral("9036660001"), QStringLiteral("Дача"));
    state.IssaArray[1].Balance = 40;
    state.IssaArray[1].QueryDateTime = At(2026, 12, 5, 10, 0);
    SaveInfoToExcel(state, nullptr, true);  // no red phone: the message, no file dialog
    EXPECT_EQ(seen, QStringList{"\"Красных\" телефонов нет !"});

    phone(3, QStringLiteral("9036660003"), QStringLiteral("Красный"));
    state.IssaArray[3].Balance = 1;
    state.IssaArray[3].QueryDateTime = At(2026, 12, 5, 11, 0);
    SaveInfoToExcel(state, nullptr, true);
    EXPECT_TRUE(seen.value(1).contains(
        QRegularExpression("^Balance \\d\\d-\\d\\d-\\d\\d \\d\\d-\\d\\d\\.xlsx$")))  // the time of the export
        << seen.value(1).toStdString();
    EXPECT_EQ(seen.mid(2), QStringList{"Текущие данные по всем телефонам успешно записаны в Excel"});
    EXPECT_TRUE(ReadBackSheet(chosen).maxRow() == 2 && ReadBackSheet(chosen).cell(2, 1).value == "Красный");

    // A name taken from the display text cannot leave the folder.
    EXPECT_EQ(ExcelFileNameFor(QStringLiteral("(903) 123-4567 [a/b\\c:d]")), "(903) 123-4567 [a_b_c_d].xlsx");
    EXPECT_EQ(ExcelFileNameFor(QStringLiteral("../x")), "Saldomat.._x.xlsx");
    EXPECT_EQ(ExcelFileNameFor(QString()), "Saldomat.xlsx");
}
