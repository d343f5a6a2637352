// The phones window: columns from the settings, cell texts and colours per
// phone state, the context menu, sizes kept in the settings file.
#include "PhonesInfo.h"
#include "Common.h"
#include "IniFile.h"
#include "PhoneTable.h"
#include "ProgramState.h"
#include "Setup.h"
#include "SortGridUnit.h"
#include "TestHome.h"

#include <QApplication>
#include <QGuiApplication>
#include <QHeaderView>
#include <QScreen>
#include <QSet>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

class PhonesFixture : public ::testing::Test {
protected:
    void monitor(int slot, float balance, bool success = true, double queried = 46000.5)
    {
        TSetupPhoneLine &line = state.Setup.Line(slot);
        line.Monitor = true;
        line.Number = QStringLiteral("91612345%1").arg(slot, 2, 10, QLatin1Char('0'));
        TIssa &issa = state.IssaArray[slot];
        issa.PhoneNumber = line.Number;
        issa.Alias = QStringLiteral("Alias %1").arg(slot);
        issa.Balance = balance;
        issa.Success = success;
        issa.QueryDateTime = queried;
    }
    TCellStyle style(TfrmPhonesInfo &w, const QString &key, int row)
    {
        return w.Grid->Objects(static_cast<int>(w.ColumnKeys.indexOf(key)), row).value<TCellStyle>();
    }
    QString text(TfrmPhonesInfo &w, const QString &key, int row)
    {
        const int col = static_cast<int>(w.ColumnKeys.indexOf(key));
        return col < 0 ? QStringLiteral("<none>") : w.Grid->Cells(col, row);
    }
    void allColumns(bool on)
    {
        TGeneralSettings &g = state.Setup.General;
        for (bool *b :
             {&g.cbNN, &g.cbLicSchet, &g.cbAlias, &g.cbUserName, &g.cbPhoneNum, &g.cbObPlat, &g.cbAverage, &g.cbTurnOff,
              &g.cbRecomend, &g.cbSMS, &g.cbMin, &g.cbJeansBalExpired, &g.cbBalDelta, &g.cbLastQueryTime})
            *b = on;
    }
    TestHome home;
    TProgramState state{InitPaths()};
};

}  // namespace

TEST_F(PhonesFixture, ColumnsFollowTheSettings)
{
    allColumns(true);
    TfrmPhonesInfo w(state);
    QStringList expected{QStringLiteral("NN")};
    expected += TfrmPhonesInfo::AllKeys();
    EXPECT_EQ(w.ColumnKeys, expected);

    allColumns(false);
    w.CreateGreed();
    EXPECT_EQ(w.ColumnKeys, QStringList({QStringLiteral("NN"), QStringLiteral("Balance")}));
    EXPECT_EQ(w.Grid->ColCount(), 2);
    EXPECT_EQ(w.Grid->columnWidth(0), 0);
    EXPECT_EQ(w.Get_ColumnWidth(QStringLiteral("SMS")), -1);
}

TEST_F(PhonesFixture, NeverQueriedPhone)
{
    allColumns(true);
    monitor(1, 0.f, /*success=*/false, /*queried=*/0);
    state.IssaArray[1].Alias = QStringLiteral("Дом");
    TfrmPhonesInfo w(state);
    w.FillGrid();
    EXPECT_EQ(text(w, QStringLiteral("NN"), 1), QStringLiteral("1"));
    EXPECT_EQ(text(w, QStringLiteral("Alias"), 1), QStringLiteral("Дом"));
    EXPECT_EQ(text(w, QStringLiteral("PhoneNum"), 1), QStringLiteral("(916) 123-4501"));
    for (const char *key : {"LicSchet", "UserName", "Balance", "BalDelta", "LastQueryTime"})
        EXPECT_EQ(text(w, QLatin1String(key), 1), QStringLiteral("—")) << key;
    // The zero rules win over the dash.
    for (const char *key : {"ObPlat", "Average", "TurnOff", "Recomend", "BalExpired", "SMS", "Min"})
        EXPECT_EQ(text(w, QLatin1String(key), 1), QString()) << key;
}

TEST_F(PhonesFixture, QueriedAndFailedPhones)
{
    allColumns(true);
    monitor(1, 100.25f);
    TIssa &ok = state.IssaArray[1];
    ok.LicSchet = QStringLiteral("123456");
    ok.UserName = QStringLiteral("Иванов");
    ok.ObPlat = 0;
    ok.Average = 3.456f;
    ok.BalDelta = 0;
    ok.TurnOff = 2;  // at the threshold 2
    ok.Recomend = 50;
    ok.JeansExpired = 12;
    ok.SMS = 0;
    ok.Minutes = 30;
    monitor(2, 1.f, /*success=*/false);
    state.IssaArray[2].BalDelta = -3.5f;
    state.IssaArray[2].TurnOff = 10;
    state.IssaArray[2].ErrorMsg = QStringLiteral("Ошибка авторизации");
    state.IssaArray[2].State = dsError;
    TfrmPhonesInfo w(state);
    w.FillGrid();
    EXPECT_EQ(text(w, QStringLiteral("Balance"), 1), QStringLiteral("100.25"));
    EXPECT_EQ(text(w, QStringLiteral("ObPlat"), 1), QString());
    EXPECT_EQ(text(w, QStringLiteral("Average"), 1), QStringLiteral("3.46"));
    EXPECT_EQ(text(w, QStringLiteral("BalDelta"), 1), QStringLiteral("-"));
    EXPECT_EQ(text(w, QStringLiteral("TurnOff"), 1), QStringLiteral("2"));
    EXPECT_EQ(text(w, QStringLiteral("Recomend"), 1), QStringLiteral("50.00"));
    EXPECT_EQ(text(w, QStringLiteral("BalExpired"), 1), QStringLiteral("12"));
    EXPECT_EQ(text(w, QStringLiteral("SMS"), 1), QString());
    EXPECT_EQ(text(w, QStringLiteral("Min"), 1), QStringLiteral("30"));
    EXPECT_EQ(text(w, QStringLiteral("LastQueryTime"), 1), FormatShortDateTime(46000.5));
    state.IssaArray[1].NotSaved = true;  // read, but its history row could not be stored
    w.FillGrid();
    EXPECT_EQ(text(w, QStringLiteral("LastQueryTime"), 1),
              FormatShortDateTime(46000.5) + QStringLiteral(" не сохранено"));
    EXPECT_EQ(style(w, QStringLiteral("Balance"), 1).FontColor, QColor(Qt::black));
    EXPECT_EQ(style(w, QStringLiteral("TurnOff"), 1).FontColor, MarkedText);

    EXPECT_EQ(text(w, QStringLiteral("Balance"), 2), QStringLiteral("1.00")) << "a failed phone keeps its figures";
    EXPECT_EQ(text(w, QStringLiteral("BalDelta"), 2), QStringLiteral("-3.50"));
    EXPECT_EQ(style(w, QStringLiteral("Balance"), 2).FontColor, FailedMarkedText);
    EXPECT_EQ(style(w, QStringLiteral("TurnOff"), 2).FontColor, FailedText);
    const int balanceCol = static_cast<int>(w.ColumnKeys.indexOf(QStringLiteral("Balance")));
    EXPECT_EQ(w.Grid->item(2, balanceCol)->toolTip(),
              QStringLiteral("Последние данные от ") + FormatShortDateTime(46000.5))
        << "greyed figures say when they were read";
    EXPECT_EQ(w.Grid->item(1, balanceCol)->toolTip(), QString());

    // The failed phone's menu offers its error text, the other's does not.
    const QPoint row2(w.Grid->columnViewportPosition(1) + 5, w.Grid->rowViewportPosition(2) + 5);
    ASSERT_TRUE(w.PrepareContextMenu(row2));
    EXPECT_EQ(w.SelectedPhoneID, 2);
    EXPECT_EQ(w.SelectedRow, 2);
    EXPECT_TRUE(w.ppmErrorMsg->isVisible());
    EXPECT_FALSE(w.ppmShowPages->isVisible());
    state.IssaArray[1].LoadedPages << QStringLiteral("<!-- x -->\r\n<body></body>");
    ASSERT_TRUE(w.PrepareContextMenu(QPoint(row2.x(), w.Grid->rowViewportPosition(1) + 5)));
    EXPECT_FALSE(w.ppmErrorMsg->isVisible());
    EXPECT_TRUE(w.ppmShowPages->isVisible());
    EXPECT_FALSE(w.PrepareContextMenu(w.Grid->HeaderToGrid(QPoint(row2.x(), 5)))) << "caption row";
}

TEST_F(PhonesFixture, FailedAndRunningPhonesShowTheirStatePicture)
{
    monitor(1, 30.f);
    monitor(2, 1.f, /*success=*/false);
    monitor(3, 50.f, /*success=*/false);
    state.IssaArray[2].State = dsError;
    state.IssaArray[3].State = dsRequest;
    TfrmPhonesInfo w(state);
    w.resize(500, 200);
    w.show();
    QApplication::processEvents();
    auto pictureAt = [&](int row) {
        const QImage img = w.Grid->viewport()->grab().toImage();
        const int left = w.Grid->columnViewportPosition(0) + w.Grid->columnWidth(0) - 8;
        const int top = w.Grid->rowViewportPosition(row) + w.Grid->rowHeight(row) / 2 - 1;
        QSet<QRgb> colours;
        for (int y = top; y < top + 5; ++y)
            for (int x = left; x < left + 5; ++x)
                colours.insert(img.pixel(x, y) | 0xFF000000);
        return colours;
    };
    EXPECT_TRUE(pictureAt(2).contains(qRgb(255, 0, 0))) << "the red cross of a failed request";
    EXPECT_TRUE(pictureAt(3).contains(qRgb(0, 128, 0))) << "the request picture";
    EXPECT_FALSE(pictureAt(1).contains(qRgb(255, 0, 0)));
    EXPECT_FALSE(pictureAt(1).contains(qRgb(0, 128, 0)));
    w.hide();
}

TEST_F(PhonesFixture, RowsAreFoundBySlotAfterSorting)
{
    monitor(1, 30.f);
    monitor(3, 10.f);
    monitor(5, 20.f);
    TfrmPhonesInfo w(state);
    w.resize(600, 300);
    w.Grid->SetSortColumn(static_cast<int>(w.ColumnKeys.indexOf(QStringLiteral("Balance"))));
    w.FillGrid();
    w.Grid->SetSortDirectionForAllColumns(0);
    w.Grid->Sort();
    EXPECT_EQ(w.Grid->Cells(0, 1), QStringLiteral("3"));
    EXPECT_EQ(w.Grid->Cells(0, 3), QStringLiteral("1"));
    state.IssaArray[1].Balance = 1;
    w.FillGrid();
    EXPECT_EQ(w.Grid->Cells(0, 3), QStringLiteral("1")) << "refresh in place, no re-sort";
    EXPECT_EQ(text(w, QStringLiteral("Balance"), 3), QStringLiteral("1.00"));
    EXPECT_EQ(w.RowOfSlot(5), 2);
    EXPECT_EQ(w.RowOfSlot(2), -1);
    // Showing again rebuilds the rows in slot order and resets the directions.
    w.Grid->SetSortDirectionForAllColumns(0);
    w.show();
    EXPECT_EQ(w.Grid->Cells(0, 1), QStringLiteral("1"));
    EXPECT_EQ(w.Grid->Cells(0, 2), QStringLiteral("3"));
    EXPECT_EQ(w.Grid->SortDirection(1), 1);
    w.hide();
}

TEST_F(PhonesFixture, PhonesAddedWithoutRebuildStopTheFill)
{
    monitor(1, 30.f);
    TfrmPhonesInfo w(state);
    monitor(2, 10.f);  // monitored after the rows were laid out
    monitor(3, 10.f);
    EXPECT_NO_THROW(w.FillGrid());
    EXPECT_EQ(w.Grid->RowCount(), 2);
    EXPECT_EQ(text(w, QStringLiteral("Balance"), 1), QStringLiteral("30.00"));
}

TEST_F(PhonesFixture, SizesAreSavedAndRestored)
{
    monitor(1, 30.f);
    {
        TfrmPhonesInfo w(state);
        w.show();
        w.Grid->setColumnWidth(static_cast<int>(w.ColumnKeys.indexOf(QStringLiteral("Balance"))), 91);
        w.resize(420, 210);
        w.move(100, 120);
        w.hide();
    }
    EXPECT_EQ(state.IniFile.ReadInteger(QStringLiteral("PhonesInfo Form"), QStringLiteral("Width_Balance"), 0), 91);
    EXPECT_EQ(state.IniFile.ReadInteger(QStringLiteral("PhonesInfo Form"), QStringLiteral("Width"), 0), 420);
    EXPECT_EQ(state.IniFile.ReadInteger(QStringLiteral("PhonesInfo Form"), QStringLiteral("Height"), 0), 210);
    EXPECT_FALSE(state.IniFile.ValueExists(QStringLiteral("PhonesInfo Form"), QStringLiteral("Width_NN")));
    EXPECT_FALSE(state.IniFile.ValueExists(QStringLiteral("PhonesInfo Form"), QStringLiteral("Width_SMS")))
        << "no column, no width";
    TfrmPhonesInfo again(state);
    again.show();
    EXPECT_EQ(again.Get_ColumnWidth(QStringLiteral("Balance")), 91);
    EXPECT_EQ(again.size(), QSize(420, 210));
    again.hide();
}

TEST_F(PhonesFixture, WindowIsKeptReachable)
{
    monitor(1, 30.f);
    const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
    state.IniFile.WriteInteger(QStringLiteral("PhonesInfo Form"), QStringLiteral("Left"), 5000);
    state.IniFile.WriteInteger(QStringLiteral("PhonesInfo Form"), QStringLiteral("Top"), -5000);
    state.IniFile.WriteInteger(QStringLiteral("PhonesInfo Form"), QStringLiteral("Width"), 300);
    state.IniFile.WriteInteger(QStringLiteral("PhonesInfo Form"), QStringLiteral("Height"), 200);
    TfrmPhonesInfo w(state);
    w.LoadVisibleIniParameters();
    EXPECT_EQ(w.x(), screen.width() - 50);
    EXPECT_EQ(w.y(), 50 - 200);
}

TEST_F(PhonesFixture, EscapeHidesAndTheMenuAsksForOnePhone)
{
    monitor(1, 30.f);
    monitor(2, 40.f);
    TfrmPhonesInfo w(state);
    w.SetHistoryAvailable(true);  // the history item is shown only with a history
    w.ShowPhonesInfo();
    ASSERT_TRUE(w.isVisible());
    QTest::keyClick(&w, Qt::Key_Escape);
    EXPECT_FALSE(w.isVisible());
    w.ShowPhonesInfo();
    EXPECT_TRUE(w.isVisible());
    w.ShowPhonesInfo();
    EXPECT_FALSE(w.isVisible());

    // The single-phone request from the row's menu: StatusDisplayTest, through the display.
    // The items follow the controller's menu: off during a run or a modal window.
    QSignalSpy excel(&w, &TfrmPhonesInfo::excelRequested);
    w.SetMenusEnabled(true);
    EXPECT_TRUE(w.ppmHistory->isEnabled());
    EXPECT_TRUE(w.ppmExcel->menuAction()->isEnabled());
    w.ppmExcelRed->trigger();
    ASSERT_TRUE(excel.wait(500));
    EXPECT_TRUE(excel.at(0).at(0).toBool());
    w.SetMenusEnabled(false);
    EXPECT_FALSE(w.ppmRequestOnlyOne->isEnabled());
    EXPECT_FALSE(w.ppmHistory->isEnabled());
    EXPECT_FALSE(w.ppmExcel->menuAction()->isEnabled());
}

TEST_F(PhonesFixture, ClosingHidesAndNeverHoldsUpTheProgramsEnd)
{
    monitor(1, 30.f);
    TfrmPhonesInfo w(state);
    w.show();
    EXPECT_TRUE(w.close());
    EXPECT_FALSE(w.isVisible());
    EXPECT_TRUE(state.IniFile.ValueExists(QStringLiteral("PhonesInfo Form"), QStringLiteral("Width")));
    // The program's end closes every window; an open phones window must not refuse.
    w.show();
    bool quitReached = false;
    QTimer::singleShot(0, [&] { QCoreApplication::quit(); });
    QTimer::singleShot(2000, [&] { QCoreApplication::exit(1); });
    quitReached = QCoreApplication::exec() == 0;
    EXPECT_TRUE(quitReached);
}

TEST_F(PhonesFixture, RightClickBelowTheRowsAsksForTheTrayMenu)
{
    monitor(1, 30.f);
    TfrmPhonesInfo w(state);
    w.resize(400, 300);
    w.show();
    QSignalSpy tray(&w, &TfrmPhonesInfo::trayMenuRequested);
    const QPoint below(20, w.Grid->rowViewportPosition(1) + 60);
    QTest::mouseClick(w.Grid->viewport(), Qt::RightButton, {}, below);
    EXPECT_EQ(tray.count(), 1);
    QTest::mouseClick(w.Grid->horizontalHeader()->viewport(), Qt::RightButton, {}, QPoint(20, 5));
    EXPECT_EQ(tray.count(), 1) << "the caption row opens nothing";
    EXPECT_EQ(w.SelectedRow, -1);
    w.hide();
}

TEST_F(PhonesFixture, WidthsAreWrittenAfterAResizeNotAtEveryClick)
{
    monitor(1, 30.f);
    TfrmPhonesInfo w(state);
    w.resize(500, 200);
    w.show();
    QApplication::processEvents();
    const int balance = static_cast<int>(w.ColumnKeys.indexOf(QStringLiteral("Balance")));
    const QString section = QStringLiteral("PhonesInfo Form"), key = QStringLiteral("Width_Balance");
    state.IniFile.WriteInteger(section, key, 50);  // changed behind the window's back
    const QPoint cell(w.Grid->columnViewportPosition(balance) + 5, w.Grid->rowViewportPosition(1) + 5);
    QTest::mouseClick(w.Grid->viewport(), Qt::LeftButton, {}, cell);
    EXPECT_EQ(state.IniFile.ReadInteger(section, key, 0), 50) << "a click in the grid writes nothing";
    w.Grid->setColumnWidth(balance, 77);  // as a drag of the column's border does
    QTest::mouseClick(w.Grid->viewport(), Qt::LeftButton, {}, cell);
    EXPECT_EQ(state.IniFile.ReadInteger(section, key, 0), 77) << "written when the button is released";
    w.hide();
}
