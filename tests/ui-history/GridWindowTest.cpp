// The grid window of one phone's history: texts, blanks, day separators and
// the balance chart.
#include "HistoryPhone.h"
#include "ModalWatcher.h"
#include "UiHistoryTestUtil.h"

#include <QImage>
#include <QLabel>
#include <QTableWidget>
#include <QTest>

#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>

namespace {
const QString kPhone = QStringLiteral("9034440001");

class GridWindowTest : public UiHistoryTest {
protected:
    void SetUp() override
    {
        UiHistoryTest::SetUp();
        phone(1, kPhone, QStringLiteral("Мама"));
    }
    QString cell(int row, int col) const
    {
        const QTableWidgetItem *item = window->grid()->item(row, col);
        return item ? item->text() : QString();
    }
    std::unique_ptr<TfrmHistoryPhone> window = std::make_unique<TfrmHistoryPhone>(state);
};

bool isNavy(QRgb c)
{
    return qRed(c) < 40 && qGreen(c) < 40 && qBlue(c) > 100 && qBlue(c) < 160;
}
}  // namespace

TEST_F(GridWindowTest, ThreeDaysNewestFirstWithDatesAndSeparatorsOnlyWhereADayStarts)
{
    StoreRow(db, {kPhone, At(2026, 11, 28, 9, 5, 7), 30});
    StoreRow(db, {kPhone, At(2026, 11, 29, 8, 0), 25});
    StoreRow(db, {kPhone, At(2026, 11, 29, 20, 0), 24});
    StoreRow(db, {kPhone, At(2026, 11, 30, 10, 0), 20});
    StoreRow(db, {kPhone, At(2026, 11, 30, 22, 30), 19.5});
    ASSERT_EQ(window->FillInfo(1, HistoryPeriod::All, 0), 5);
    EXPECT_EQ(window->header()->text(), "Телефон (903) 444-0001 [Мама]");

    QTableWidget *g = window->grid();
    ASSERT_EQ(g->rowCount(), 5);
    ASSERT_EQ(g->columnCount(), 12);
    const QStringList dates = {"30.11.2026", "", "29.11.2026", "", "28.11.2026"};
    for (int r = 0; r < 5; ++r)
        EXPECT_EQ(cell(r, 0), dates[r]) << r;
    EXPECT_EQ(cell(0, 1), "22:30:00");
    EXPECT_EQ(cell(4, 1), "09:05:07");
    EXPECT_EQ(cell(0, 2), "19.50");

    // Separators: above the first row of the 29th and the 28th, not above row 1
    // nor inside a day; across the whole width.
    window->resize(1200, 700);
    window->show();
    QApplication::processEvents();
    const QImage image = g->viewport()->grab().toImage();
    auto lineAbove = [&](int row, int col) {
        const int y = g->rowViewportPosition(row) * image.height() / g->viewport()->height();
        const int x
            = (g->columnViewportPosition(col) + g->columnWidth(col) / 2) * image.width() / g->viewport()->width();
        return isNavy(image.pixel(x, y));
    };
    for (int col : {0, 5, 11}) {
        EXPECT_FALSE(lineAbove(0, col)) << col;
        EXPECT_FALSE(lineAbove(1, col)) << col;
        EXPECT_TRUE(lineAbove(2, col)) << col;
        EXPECT_FALSE(lineAbove(3, col)) << col;
        EXPECT_TRUE(lineAbove(4, col)) << col;
    }
}

TEST_F(GridWindowTest, BlankRulesAndFormats)
{
    RawRow r{kPhone, At(2026, 12, 1, 12, 0)};
    r.balance = 0;
    r.obPlat = 0;
    r.delta = 0.001;  // shows as 0.00
    r.average = 1.005;
    r.turnOff = 0;
    r.recomend = 0;
    r.jeans = 0;
    r.sms = 0;
    r.minutes = 0;
    r.usdRate = 0;
    StoreRow(db, r);
    RawRow s{kPhone, At(2026, 12, 1, 18, 0)};
    s.balance = -12.5;
    s.obPlat = 50;
    s.delta = -3.25;
    s.average = 4;
    s.turnOff = 3;
    s.recomend = 120;
    s.jeans = 17;
    s.sms = 25;
    s.minutes = 100;
    s.usdRate = 28.12345;
    StoreRow(db, s);
    ASSERT_EQ(window->FillInfo(1, HistoryPeriod::LastCount, 50), 2);
    EXPECT_EQ(window->grid()->rowCount(), 2);
    const QStringList full
        = {"01.12.2026", "18:00:00", "-12.50", "50.00", "4.00", "-3.25", "3", "120.00", "17", "25", "100", "28.1234"};
    const QStringList zeros = {"", "12:00:00", "0.00", "", "1.00", "", "0", "0.00", "", "", "", "0.0000"};
    for (int c = 0; c < 12; ++c) {
        EXPECT_EQ(cell(0, c), full[c]) << c;
        EXPECT_EQ(cell(1, c), zeros[c]) << c;
    }
}

TEST_F(GridWindowTest, EmptyHistoryWarnsAndKeepsOneEmptyRow)
{
    StoreRow(db, {kPhone, At(2020, 1, 1, 12, 0), 5});
    ModalWatcher watcher;
    EXPECT_EQ(window->FillInfo(1, HistoryPeriod::LastDays, 2), 0);
    ASSERT_EQ(watcher.seen().size(), 1);
    EXPECT_EQ(watcher.seen()[0].text, "История по выбранному телефону не найдена!");
    EXPECT_EQ(watcher.seen()[0].icon, QMessageBox::Warning);
    EXPECT_EQ(window->grid()->rowCount(), 1);
    for (int c = 0; c < 12; ++c)
        EXPECT_TRUE(cell(0, c).isEmpty());
    EXPECT_EQ(window->header()->text(), "Телефон (903) 444-0001 [Мама]");
}

TEST_F(GridWindowTest, ChartShowsTheBalanceOldestFirstAndTheThresholdOfThePhone)
{
    StoreRow(db, {kPhone, At(2026, 11, 1, 9, 0), 30});
    StoreRow(db, {kPhone, At(2026, 11, 2, 9, 0), 20});
    StoreRow(db, {kPhone, At(2026, 11, 3, 9, 0), 1.5});
    ASSERT_EQ(window->FillInfo(1, HistoryPeriod::All, 0), 3);
    auto *view = qobject_cast<QChartView *>(window->chart());
    ASSERT_NE(view, nullptr);
    const QList<QAbstractSeries *> series = view->chart()->series();
    ASSERT_EQ(series.size(), 2);
    auto *balance = qobject_cast<QLineSeries *>(series[0]);
    ASSERT_NE(balance, nullptr);
    ASSERT_EQ(balance->count(), 3);
    EXPECT_EQ(balance->at(0).y(), 30.0);
    EXPECT_EQ(balance->at(2).y(), 1.5);
    EXPECT_LT(balance->at(0).x(), balance->at(2).x());
    auto *mark = qobject_cast<QLineSeries *>(series[1]);
    ASSERT_NE(mark, nullptr);
    EXPECT_EQ(mark->at(0).y(), 2.5);  // the common threshold
    EXPECT_EQ(mark->at(0).x(), balance->at(0).x());
    EXPECT_EQ(mark->at(1).x(), balance->at(2).x());

    // The phone's own threshold; no line when balances are not marked.
    TSetupPhoneLine own = state.Setup.Line(1);
    own.ExSettings = {true, 7.0f, 1};
    state.Setup.SetLine(1, own);
    TfrmHistoryPhone second(state);
    second.FillInfo(1, HistoryPeriod::All, 0);
    double value = 0;
    EXPECT_TRUE(second.thresholdShown(&value));
    EXPECT_EQ(value, 7.0);
    state.Setup.General.cbMarkIfBalance = false;
    TfrmHistoryPhone third(state);
    third.FillInfo(1, HistoryPeriod::All, 0);
    EXPECT_FALSE(third.thresholdShown());
    EXPECT_EQ(qobject_cast<QChartView *>(third.chart())->chart()->series().size(), 1);
}
