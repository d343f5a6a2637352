// The grid window of one phone's history: texts, blanks, day separators and
// the balance chart.
#include "UiHistoryTestUtil.h"

#include <QImage>
#include <QTableWidget>

#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>

namespace {
const QString kPhone = QStringLiteral("9034440001");
const QString kHeader = QStringLiteral("Телефон (903) 444-0001 [Мама]");

class GridWindowTest : public UiHistoryTest {
protected:
    void SetUp() override { phone(1, kPhone, QStringLiteral("Мама")); }
    QStringList row(int r) const
    {
        QStringList texts;
        for (int c = 0; c < window->grid()->columnCount(); ++c)
            texts << (window->grid()->item(r, c) ? window->grid()->item(r, c)->text() : QString());
        return texts;
    }
    std::unique_ptr<TfrmHistoryPhone> window = std::make_unique<TfrmHistoryPhone>(state);
};
}  // namespace

TEST_F(GridWindowTest, NewestFirstWithDatesAndSeparatorsOnlyWhereADayStarts)
{
    for (auto [day, hour, minute, balance] :
         {std::tuple{28, 9, 5, 30.0}, {29, 8, 0, 25.0}, {29, 20, 0, 24.0}, {30, 10, 0, 20.0}, {30, 22, 30, 19.5}})
        StoreRow(db, {kPhone, At(2026, 11, day, hour, minute, minute == 5 ? 7 : 0), balance});
    ASSERT_EQ(window->FillInfo(1, HistoryPeriod::All, 0), 5);
    EXPECT_EQ(window->header()->text(), kHeader);
    QTableWidget *g = window->grid();
    ASSERT_EQ(g->rowCount(), 5);
    const QStringList dates = {"30.11.2026", "", "29.11.2026", "", "28.11.2026"};
    for (int r = 0; r < 5; ++r)
        EXPECT_EQ(row(r)[0], dates[r]) << r;
    EXPECT_EQ(row(0).mid(1, 2), (QStringList{"22:30:00", "19.50"}));
    EXPECT_EQ(row(4)[1], "09:05:07");

    // Separators (navy): above the first row of the 29th and the 28th, not
    // above row 1 nor inside a day; across the whole width.
    window->resize(1200, 700);
    window->show();
    QApplication::processEvents();
    const QImage image = g->viewport()->grab().toImage();
    for (int col : {0, 5, 11})
        for (int r = 0; r < 5; ++r) {
            const QRgb c = image.pixel((g->columnViewportPosition(col) + g->columnWidth(col) / 2) * image.width()
                                           / g->viewport()->width(),
                                       g->rowViewportPosition(r) * image.height() / g->viewport()->height());
            const bool navy = qRed(c) < 40 && qGreen(c) < 40 && qBlue(c) > 100 && qBlue(c) < 160;
            EXPECT_EQ(navy, r == 2 || r == 4) << "row " << r << " column " << col;
        }
}

TEST_F(GridWindowTest, BlankRulesAndFormatsThenAnEmptyPeriodWarnsAndKeepsOneEmptyRow)
{
    const TDateTime noon = At(2026, 12, 1, 12, 0);
    // Zeros (and a delta that shows as 0.00) are left blank where the grid hides them.
    StoreRow(db, {.phone = kPhone, .when = noon, .delta = 0.001, .average = 1.005});
    StoreRow(db,
             {.phone = kPhone,
              .when = noon + 0.25,
              .balance = -12.5,
              .obPlat = 50,
              .delta = -3.25,
              .average = 4,
              .recomend = 120,
              .usdRate = 28.12345,
              .turnOff = 3,
              .jeans = 17,
              .sms = 25,
              .minutes = 100});
    ASSERT_EQ(window->FillInfo(1, HistoryPeriod::LastCount, 50), 2);
    EXPECT_EQ(window->grid()->rowCount(), 2);
    EXPECT_EQ(row(0),
              (QStringList{"01.12.2026", "18:00:00", "-12.50", "50.00", "4.00", "-3.25", "3", "120.00", "17", "25",
                           "100", "28.1234"}));
    EXPECT_EQ(row(1), (QStringList{"", "12:00:00", "0.00", "", "1.00", "", "0", "0.00", "", "", "", "0.0000"}));

    ModalWatcher watcher;
    window = std::make_unique<TfrmHistoryPhone>(state);
    EXPECT_EQ(window->FillInfo(1, HistoryPeriod::LastDays, 2), 0);
    EXPECT_EQ(watcher.seen, QStringList{"История по выбранному телефону не найдена!"});
    EXPECT_EQ(watcher.icons[0], QMessageBox::Warning);
    EXPECT_EQ(window->grid()->rowCount(), 1);
    EXPECT_EQ(row(0).join(QString()), QString());
    EXPECT_EQ(window->header()->text(), kHeader);
}

TEST_F(GridWindowTest, ChartShowsTheBalanceOldestFirstAndTheThresholdOfThePhone)
{
    for (auto [day, balance] : {std::pair{1, 30.0}, {2, 20.0}, {3, 1.5}})
        StoreRow(db, {kPhone, At(2026, 11, day, 9, 0), balance});
    ASSERT_EQ(window->FillInfo(1, HistoryPeriod::All, 0), 3);
    const QList<QAbstractSeries *> series = qobject_cast<QChartView *>(window->chart())->chart()->series();
    ASSERT_EQ(series.size(), 2);
    auto *balance = qobject_cast<QLineSeries *>(series[0]);
    auto *mark = qobject_cast<QLineSeries *>(series[1]);
    ASSERT_TRUE(balance && mark && balance->count() == 3);
    EXPECT_EQ(balance->at(0).y(), 30.0);
    EXPECT_EQ(balance->at(2).y(), 1.5);
    EXPECT_LT(balance->at(0).x(), balance->at(2).x());
    EXPECT_EQ(mark->at(0), QPointF(balance->at(0).x(), 2.5));  // the common threshold
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
