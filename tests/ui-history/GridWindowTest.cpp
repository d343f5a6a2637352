// The grid window of one phone's history: texts, blanks, day separators, chart.
#include "UiHistoryTestUtil.h"

#include <QImage>

#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>

namespace {
const QString kPhone = QStringLiteral("9034440001");

class GridWindowTest : public UiHistoryTest {
protected:
    void SetUp() override { phone(1, kPhone, QStringLiteral("Мама")); }
    QStringList row(TfrmHistoryPhone &w, int r) const
    {
        QStringList texts;
        for (int c = 0; c < w.grid()->columnCount(); ++c)
            texts << w.grid()->model()->index(r, c).data().toString();
        return texts;
    }
};
}  // namespace

TEST_F(GridWindowTest, RowsNewestFirstWithBlanksDaySeparatorsChartAndThreshold)
{
    for (auto [day, hour, minute, balance] :
         {std::tuple{28, 9, 5, 30.0}, {29, 8, 0, 25.0}, {29, 20, 0, 24.0}, {30, 10, 0, 20.0}, {30, 22, 30, 19.5}})
        StoreRow(db, {kPhone, At(2026, 11, day, hour, minute, minute == 5 ? 7 : 0), balance});
    // Zeros (and a delta that shows as 0.00) are left blank where the grid hides them. The fields:
    // balance, account, user, payment, delta, average, recommended, rate, turn-off, jeans, sms, minutes.
    StoreRow(db, {kPhone, At(2026, 12, 1, 12, 0), 0.0, "L1", "User", 0, 0.001, 1.005, 0, 0, 0, 0, 0, 0});
    StoreRow(db, {kPhone, At(2026, 12, 1, 18, 0), -12.5, "L1", "User", 50, -3.25, 4, 120, 28.12345, 3, 17, 25, 100});
    auto series = [](TfrmHistoryPhone &w) { return qobject_cast<QChartView *>(w.chart())->chart()->series(); };
    TfrmHistoryPhone window(state);
    ASSERT_EQ(window.FillInfo(1, HistoryPeriod::LastCount, 50), 7);
    ASSERT_EQ(window.grid()->rowCount(), 7);
    EXPECT_EQ(row(window, 0),
              (QStringList{"01.12.2026", "18:00:00", "-12.50", "50.00", "4.00", "-3.25", "3", "120.00", "17", "25",
                           "100", "28.1234"}));
    EXPECT_EQ(row(window, 1), (QStringList{"", "12:00:00", "0.00", "", "1.00", "", "0", "0.00", "", "", "", "0.0000"}));
    const QStringList dates = {"30.11.2026", "", "29.11.2026", "", "28.11.2026"};
    for (int r = 2; r < 7; ++r)
        EXPECT_EQ(row(window, r)[0], dates[r - 2]) << r;
    EXPECT_EQ(row(window, 2).mid(1, 2), (QStringList{"22:30:00", "19.50"}));
    EXPECT_EQ(row(window, 6)[1], "09:05:07");

    // Separators (navy): above the first row of each earlier day, not above
    // row 1 nor inside a day; across the whole width.
    QTableWidget *g = window.grid();
    window.resize(1200, 700);
    window.show();
    QApplication::processEvents();
    const QImage image = g->viewport()->grab().toImage();
    for (int col : {0, 5, 11})
        for (int r = 0; r < 7; ++r) {
            const QRgb c = image.pixel((g->columnViewportPosition(col) + g->columnWidth(col) / 2) * image.width()
                                           / g->viewport()->width(),
                                       g->rowViewportPosition(r) * image.height() / g->viewport()->height());
            const bool navy = qRed(c) < 40 && qGreen(c) < 40 && qBlue(c) > 100 && qBlue(c) < 160;
            EXPECT_EQ(navy, r == 2 || r == 4 || r == 6) << "row " << r << " column " << col;
        }

    // The chart: the balances oldest first, the common threshold across them.
    const QList<QAbstractSeries *> lines = series(window);
    ASSERT_EQ(lines.size(), 2);
    auto *balance = qobject_cast<QLineSeries *>(lines[0]);
    auto *mark = qobject_cast<QLineSeries *>(lines[1]);
    ASSERT_TRUE(balance && mark && balance->count() == 7);
    EXPECT_EQ(balance->at(0).y(), 30.0);
    EXPECT_EQ(balance->at(6).y(), -12.5);
    EXPECT_LT(balance->at(0).x(), balance->at(6).x());
    EXPECT_EQ(mark->points(), (QList<QPointF>{{balance->at(0).x(), 2.5}, {balance->at(6).x(), 2.5}}));

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
    EXPECT_EQ(series(third).size(), 1);

    // Nothing in the last 2 days: the warning, one empty row, the header.
    ModalWatcher watcher;
    TfrmHistoryPhone empty(state);
    EXPECT_EQ(empty.FillInfo(1, HistoryPeriod::LastDays, 2), 0);
    EXPECT_EQ(watcher.seen, QStringList{"История по выбранному телефону не найдена!"});
    EXPECT_EQ(watcher.icons[0], QMessageBox::Warning);
    EXPECT_EQ(empty.grid()->rowCount(), 1);
    EXPECT_EQ(row(empty, 0).join(QString()) + empty.header()->text(), "Телефон (903) 444-0001 [Мама]");
}
