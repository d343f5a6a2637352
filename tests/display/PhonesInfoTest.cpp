// The phones window: columns from the settings, cell texts and colours per
// phone state, the context menu, sizes kept in the settings file.
#include "PhonesInfo.h"
#include "Common.h"
#include "DisplayFixture.h"
#include "EventLoopWait.h"
#include "IniFile.h"
#include "SortGridUnit.h"

#include <QGuiApplication>
#include <QHeaderView>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

namespace {

const QString Section = QStringLiteral("PhonesInfo Form");

class PhonesFixture : public DisplayFixture {
protected:
    static int col(TfrmPhonesInfo &w, const char *key) { return w.ColumnKeys.indexOf(QLatin1String(key)); }
    static QString text(TfrmPhonesInfo &w, const char *key, int row) { return w.Grid->Cells(col(w, key), row); }
    static QPoint cell(TfrmPhonesInfo &w, int column, int row)
    {
        return {w.Grid->columnViewportPosition(column) + 5, w.Grid->rowViewportPosition(row) + 5};
    }
    void allColumns(bool on)
    {
        TGeneralSettings &g = state.Setup.General;
        for (bool *b :
             {&g.cbNN, &g.cbLicSchet, &g.cbAlias, &g.cbUserName, &g.cbPhoneNum, &g.cbObPlat, &g.cbAverage, &g.cbTurnOff,
              &g.cbRecomend, &g.cbSMS, &g.cbMin, &g.cbJeansBalExpired, &g.cbBalDelta, &g.cbLastQueryTime})
            *b = on;
    }
};

}  // namespace

TEST_F(PhonesFixture, ColumnsCellsAndMenuFollowTheSettingsAndEachPhonesState)
{
    allColumns(true);
    TIssa &ok = monitor(1, 100.25f);
    ok.LicSchet = QStringLiteral("123456");
    ok.UserName = QStringLiteral("Иванов");
    ok.Average = 3.456f;
    ok.TurnOff = 2;  // at the threshold 2
    ok.Recomend = 50;
    ok.JeansExpired = 12;
    ok.Minutes = 30;
    TIssa &failed = monitor(2, 1.f, /*success=*/false);
    failed.BalDelta = -3.5f;
    failed.TurnOff = 10;
    failed.ErrorMsg = QStringLiteral("Ошибка авторизации");
    failed.State = dsError;
    monitor(3, 0.f, /*success=*/false, /*queried=*/0).Alias = QStringLiteral("Дом");
    monitor(4, 50.f, /*success=*/false).State = dsRequest;
    TfrmPhonesInfo w(state);
    w.resize(900, 250);
    w.show();
    Pump(0);
    EXPECT_EQ(w.ColumnKeys, QStringList{QStringLiteral("NN")} + TfrmPhonesInfo::AllKeys());
    // "key=text" per cell; a phone never read shows a dash, but the zero rules win over it.
    const std::pair<int, const char *> rows[]
        = {{1,
            "LicSchet=123456|UserName=Иванов|Balance=100.25|ObPlat=|Average=3.46|BalDelta=-|TurnOff=2|Recomend=50.00|"
            "BalExpired=12|SMS=|Min=30"},
           {2, "Balance=1.00|BalDelta=-3.50"},
           {3, "NN=3|Alias=Дом|PhoneNum=(916) 123-4503|LicSchet=—|UserName=—|Balance=—|BalDelta=—|LastQueryTime=—"},
           {3, "ObPlat=|Average=|TurnOff=|Recomend=|BalExpired=|SMS=|Min="}};
    for (const auto &[row, cells] : rows)
        for (const QString &pair : QString::fromUtf8(cells).split(QLatin1Char('|'))) {
            const QString key = pair.section(QLatin1Char('='), 0, 0);
            EXPECT_EQ(w.Grid->Cells(w.ColumnKeys.indexOf(key), row), pair.section(QLatin1Char('='), 1))
                << row << key.toStdString();
        }
    const QString when = FormatShortDateTime(46000.5);
    EXPECT_EQ(text(w, "LastQueryTime", 1), when);
    ok.NotSaved = true;  // read, but its history row could not be stored
    w.FillGrid();
    EXPECT_EQ(text(w, "LastQueryTime", 1), when + QStringLiteral(" не сохранено"));

    const auto fg
        = [&](const char *key, int row) { return w.Grid->Objects(col(w, key), row).value<TCellStyle>().FontColor; };
    EXPECT_EQ(fg("Balance", 1), QColor(Qt::black));
    EXPECT_EQ(fg("TurnOff", 1), MarkedText);
    EXPECT_EQ(fg("Balance", 2), FailedMarkedText) << "a failed phone keeps its figures, greyed";
    EXPECT_EQ(fg("TurnOff", 2), FailedText);
    EXPECT_EQ(w.Grid->item(2, col(w, "Balance"))->toolTip(), QStringLiteral("Последние данные от ") + when);
    EXPECT_EQ(w.Grid->item(1, col(w, "Balance"))->toolTip(), QString());

    // The failed phone's menu offers its error text, the other's its pages.
    ASSERT_TRUE(w.PrepareContextMenu(cell(w, 1, 2)));
    EXPECT_EQ(w.SelectedPhoneID, 2);
    EXPECT_EQ(w.SelectedRow, 2);
    EXPECT_TRUE(w.ppmErrorMsg->isVisible());
    EXPECT_FALSE(w.ppmShowPages->isVisible());
    ok.LoadedPages << QStringLiteral("<!-- x -->\r\n<body></body>");
    ASSERT_TRUE(w.PrepareContextMenu(cell(w, 1, 1)));
    EXPECT_FALSE(w.ppmErrorMsg->isVisible());
    EXPECT_TRUE(w.ppmShowPages->isVisible());
    EXPECT_FALSE(w.PrepareContextMenu(w.Grid->HeaderToGrid(QPoint(cell(w, 1, 1).x(), 5)))) << "caption row";
    w.hide();

    allColumns(false);
    w.CreateGreed();
    EXPECT_EQ(w.ColumnKeys, QStringList({QStringLiteral("NN"), QStringLiteral("Balance")}));
    EXPECT_EQ(w.Grid->ColCount(), 2);
    EXPECT_EQ(w.Grid->columnWidth(0), 0);
    EXPECT_EQ(w.Get_ColumnWidth(QStringLiteral("SMS")), -1);
}

TEST_F(PhonesFixture, RowsAreFoundBySlotAfterSorting)
{
    monitor(1, 30.f);
    monitor(3, 10.f);
    monitor(5, 20.f);
    TfrmPhonesInfo w(state);
    w.resize(600, 300);
    w.Grid->SetSortColumn(col(w, "Balance"));
    w.FillGrid();
    w.Grid->SetSortDirectionForAllColumns(0);
    w.Grid->Sort();
    EXPECT_EQ(w.Grid->Cells(0, 1), QStringLiteral("3"));
    EXPECT_EQ(w.Grid->Cells(0, 3), QStringLiteral("1"));
    state.IssaArray[1].Balance = 1;
    monitor(7, 10.f);  // monitored after the rows were laid out: no row yet
    EXPECT_NO_THROW(w.FillGrid());
    EXPECT_EQ(w.Grid->RowCount(), 4);
    EXPECT_EQ(w.Grid->Cells(0, 3), QStringLiteral("1")) << "refresh in place, no re-sort";
    EXPECT_EQ(text(w, "Balance", 3), QStringLiteral("1.00"));
    EXPECT_EQ(w.RowOfSlot(5), 2);
    EXPECT_EQ(w.RowOfSlot(2), -1);
    // Showing again rebuilds the rows in slot order and resets the directions.
    w.Grid->SetSortDirectionForAllColumns(0);
    w.show();
    EXPECT_EQ(w.Grid->RowCount(), 5);
    EXPECT_EQ(w.Grid->Cells(0, 1), QStringLiteral("1"));
    EXPECT_EQ(w.Grid->Cells(0, 2), QStringLiteral("3"));
    EXPECT_EQ(w.Grid->SortDirection(1), 1);
    w.hide();
}

TEST_F(PhonesFixture, SizesAreKeptTheWindowStaysReachableAndAnswersKeysAndClicks)
{
    monitor(1, 30.f);
    const QString width = QStringLiteral("Width_Balance");
    {
        TfrmPhonesInfo w(state);
        w.show();
        w.resize(420, 210);
        Pump(0);
        state.IniFile.WriteInteger(Section, width, 50);  // changed behind the window's back
        QTest::mouseClick(w.Grid->viewport(), Qt::LeftButton, {}, cell(w, col(w, "Balance"), 1));
        EXPECT_EQ(state.IniFile.ReadInteger(Section, width, 0), 50) << "a click in the grid writes nothing";
        w.Grid->setColumnWidth(col(w, "Balance"), 91);  // as a drag of the column's border does
        QTest::mouseClick(w.Grid->viewport(), Qt::LeftButton, {}, cell(w, col(w, "Balance"), 1));
        EXPECT_EQ(state.IniFile.ReadInteger(Section, width, 0), 91) << "written when the button is released";
        EXPECT_TRUE(w.close());
        EXPECT_EQ(state.IniFile.ReadInteger(Section, QStringLiteral("Width"), 0), 420);
        EXPECT_EQ(state.IniFile.ReadInteger(Section, QStringLiteral("Height"), 0), 210);
        EXPECT_FALSE(state.IniFile.ValueExists(Section, QStringLiteral("Width_SMS"))) << "no column, no width";
        // The program's end closes every window; an open phones window must not refuse.
        w.show();
        QTimer::singleShot(0, [] { QCoreApplication::quit(); });
        QTimer::singleShot(2000, [] { QCoreApplication::exit(1); });
        EXPECT_EQ(QCoreApplication::exec(), 0);
    }
    TfrmPhonesInfo again(state);
    again.show();
    EXPECT_EQ(again.Get_ColumnWidth(QStringLiteral("Balance")), 91);
    EXPECT_EQ(again.size(), QSize(420, 210));
    again.hide();
    // Stored off the screen: moved back to where 50 pixels can be reached.
    state.IniFile.WriteInteger(Section, QStringLiteral("Left"), 5000);
    state.IniFile.WriteInteger(Section, QStringLiteral("Top"), -5000);
    again.LoadVisibleIniParameters();
    EXPECT_EQ(again.x(), QGuiApplication::primaryScreen()->geometry().width() - 50);
    EXPECT_EQ(again.y(), 50 - 210);

    // Escape hides, the tray's click toggles; a right click below the rows asks
    // for the tray menu, on the caption row for nothing.
    again.ShowPhonesInfo();
    ASSERT_TRUE(again.isVisible());
    QTest::keyClick(&again, Qt::Key_Escape);
    EXPECT_FALSE(again.isVisible());
    again.ShowPhonesInfo();
    again.ShowPhonesInfo();
    EXPECT_FALSE(again.isVisible());
    again.ShowPhonesInfo();
    QSignalSpy tray(&again, &TfrmPhonesInfo::trayMenuRequested), excel(&again, &TfrmPhonesInfo::excelRequested);
    QTest::mouseClick(again.Grid->viewport(), Qt::RightButton, {}, QPoint(20, again.Grid->rowViewportPosition(1) + 60));
    EXPECT_EQ(tray.count(), 1);
    QTest::mouseClick(again.Grid->horizontalHeader()->viewport(), Qt::RightButton, {}, QPoint(20, 5));
    EXPECT_EQ(tray.count(), 1);
    EXPECT_EQ(again.SelectedRow, -1);
    again.ppmExcelRed->trigger();
    ASSERT_TRUE(excel.wait(500));
    EXPECT_TRUE(excel.at(0).at(0).toBool()) << "the workbook of the low balances";
    again.hide();
}
