// The phones window (columns, cells, menu, sizes), its sortable grid and the
// loaded pages viewer, which never lets a stored page reach the network.
#include "Common.h"
#include "DisplayFixture.h"
#include "Encoding.h"
#include "EventLoopWait.h"
#include "IniFile.h"
#include "LoadedPages.h"
#include "OleDate.h"
#include "PhonesInfo.h"
#include "SortGridUnit.h"
#include "TestHome.h"

#include <QApplication>
#include <QHeaderView>
#include <QScreen>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>
#include <QTimer>

namespace {
const QString Section = QStringLiteral("PhonesInfo Form");
const auto col = [](TfrmPhonesInfo &w, const char *key) { return w.ColumnKeys.indexOf(QLatin1String(key)); };
const auto text = [](TfrmPhonesInfo &w, const char *key, int row) { return w.Grid->Cells(col(w, key), row); };
const auto cell = [](TfrmPhonesInfo &w, int column, int row) {
    return QPoint(w.Grid->columnViewportPosition(column) + 5, w.Grid->rowViewportPosition(row) + 5);
};
// A grid of one key column plus a tag column "row<i>" (objects 10 i and 10 i + 1).
struct Grid {
    TSortGrid grid;
    explicit Grid(const QStringList &keys)
    {
        grid.resize(400, 300);
        grid.Set_ColCount(2);
        grid.Set_RowCount(static_cast<int>(keys.size()) + 1);
        grid.SetCells(0, 0, "Key");
        for (int i = 0; i < keys.size(); ++i) {
            grid.SetCell(0, i + 1, keys[i], QVariant(i * 10));
            grid.SetCell(1, i + 1, QStringLiteral("row%1").arg(i), QVariant(i * 10 + 1));
        }
        grid.show();
        QApplication::processEvents();
    }
    QStringList column(int col = 0) const
    {
        QStringList out;
        for (int r = 1; r < grid.RowCount(); ++r)
            out << grid.Cells(col, r);
        return out;
    }
    QWidget *header() const { return grid.horizontalHeader()->viewport(); }
    QPoint at(int col, int dx = 30) const { return QPoint(grid.columnViewportPosition(col) + dx, 5); }
    void click(int col, int dx = 30) { QTest::mouseClick(header(), Qt::LeftButton, {}, at(col, dx)); }
    // Press, move by dx, release.
    void drag(const QPoint &from, int dx)
    {
        QTest::mousePress(header(), Qt::LeftButton, {}, from);
        const QPoint to = from + QPoint(dx, 0);
        QMouseEvent move(QEvent::MouseMove, to, header()->mapToGlobal(to), Qt::NoButton, Qt::LeftButton, {});
        QApplication::sendEvent(header(), &move);
        QTest::mouseRelease(header(), Qt::LeftButton, {}, to);
    }
};

}  // namespace

TEST_F(DisplayFixture, PhonesColumnsCellsAndMenuFollowTheSettingsAndEachPhonesState)
{
    TGeneralSettings &g = state.Setup.General;
    const auto allColumns = [&](bool on) {
        for (bool *b :
             {&g.cbNN, &g.cbLicSchet, &g.cbAlias, &g.cbUserName, &g.cbPhoneNum, &g.cbObPlat, &g.cbAverage, &g.cbTurnOff,
              &g.cbRecomend, &g.cbSMS, &g.cbMin, &g.cbJeansBalExpired, &g.cbBalDelta, &g.cbLastQueryTime})
            *b = on;
    };
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

    // The failed phone's menu offers its error text, the other's its pages.
    ASSERT_TRUE(w.PrepareContextMenu(cell(w, 1, 2)));
    EXPECT_EQ(w.SelectedPhoneID, 2);
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
    EXPECT_EQ(w.Grid->columnWidth(0), 0);
    EXPECT_EQ(w.Get_ColumnWidth(QStringLiteral("SMS")), -1);
}

TEST_F(DisplayFixture, PhonesRowsAreFoundBySlotAfterSorting)
{
    monitor(1, 30.f);
    monitor(3, 10.f);
    monitor(5, 20.f);
    TfrmPhonesInfo w(state);
    w.Grid->SetSortColumn(col(w, "Balance"));
    w.FillGrid();
    w.Grid->SetSortDirectionForAllColumns(0);
    w.Grid->Sort();
    EXPECT_EQ(w.Grid->Cells(0, 1), QStringLiteral("3"));
    state.IssaArray[1].Balance = 1;
    monitor(7, 10.f);  // monitored after the rows were laid out: no row yet
    w.FillGrid();
    EXPECT_EQ(w.Grid->RowCount(), 4);
    EXPECT_EQ(w.Grid->Cells(0, 3), QStringLiteral("1")) << "refresh in place, no re-sort";
    EXPECT_EQ(text(w, "Balance", 3), QStringLiteral("1.00"));
    EXPECT_EQ(w.RowOfSlot(5), 2);
    EXPECT_EQ(w.RowOfSlot(2), -1);
    // Showing again rebuilds the rows in slot order and resets the directions.
    w.Grid->SetSortDirectionForAllColumns(0);
    w.show();
    EXPECT_EQ(w.Grid->RowCount(), 5);
    EXPECT_EQ(w.Grid->Cells(0, 2), QStringLiteral("3"));
    EXPECT_EQ(w.Grid->SortDirection(1), 1);
}

TEST_F(DisplayFixture, PhonesSizesAreKeptTheWindowStaysReachableAndAnswersKeysAndClicks)
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
    EXPECT_EQ(again.x(), QApplication::primaryScreen()->geometry().width() - 50);
    EXPECT_EQ(again.y(), 50 - 210);

    // Escape hides, the tray's click toggles; a right click below the rows asks
    // for the tray menu, on the caption row for nothing.
    again.ShowPhonesInfo();
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
    again.ppmExcelRed->trigger();
    ASSERT_TRUE(excel.wait(500));
    EXPECT_TRUE(excel.at(0).at(0).toBool()) << "the workbook of the low balances";
}

TEST(SortCompare, NumbersByValueThenDatesThenTexts)
{
    const QStringList lines = QString::fromUtf8(ReadFileBytes(TestDataPath(QStringLiteral("display/compare.txt"))))
                                  .split(u'\n', Qt::SkipEmptyParts);
    ASSERT_GT(lines.size(), 20);
    for (const QString &line : lines) {
        const QStringList f = line.split(u'\t');
        if (line.startsWith(u'#'))
            continue;
        ASSERT_EQ(f.size(), 3) << line.toStdString();
        EXPECT_EQ(Compare(f[0], f[1]), f[2].toInt()) << line.toStdString();
        EXPECT_EQ(Compare(f[1], f[0]), -f[2].toInt()) << line.toStdString();
    }
    // The windows' one form of a date-time, whatever the locale, and back to the second.
    const double when = ToOleDate(QDateTime(QDate(2026, 12, 7), QTime(12, 20, 49)));
    EXPECT_EQ(FormatShortDateTime(when), QStringLiteral("07.12.2026 12:20:49"));
    EXPECT_NEAR(ParseShortDateTime(QStringLiteral("07.12.2026 12:20:49")), when, 0.5 / 86400);
}

// Keys whose pair-by-pair comparison was no order (cycles, tolerance chains),
// many times over: a click sorts ascending, the next descending, another
// column starts ascending again; whole rows move with their objects, equal
// keys keep their order and the caption row stays; only plain clicks inside
// a caption sort.
TEST(SortGrid, HeaderClicksSortWholeRowsInOneTotalOrder)
{
    const char *pool[]
        = {"1a", "10", "9", "", "-", "1.00018", "1", "1.00009", "07.12.2026 12:20:49", "abc", "—", "ABC"};
    QStringList keys;
    for (int i = 0; i < 300; ++i)
        keys << QString::fromUtf8(pool[(i * 7) % 12]);
    Grid g(keys);
    g.grid.SetSortDirectionForAllColumns(1);
    // Equal keys ("abc", "ABC") keep their order in both directions.
    const QString orders[] = {"|-|1|1.00009|1.00018|9|10|07.12.2026 12:20:49|1a|abc|ABC|—",
                              "—|abc|ABC|1a|07.12.2026 12:20:49|10|9|1.00018|1.00009|1|-|"};
    for (int direction = 0; direction < 2; ++direction) {
        g.click(0);
        EXPECT_EQ(g.grid.SortDirection(0), direction);
        QStringList sorted = g.column();
        sorted.removeDuplicates();
        EXPECT_EQ(sorted, orders[direction].split(u'|'));
        const QStringList tags = g.column(1);
        for (int r = 1; r <= tags.size(); ++r) {
            const int i = tags[r - 1].mid(3).toInt();
            ASSERT_EQ(g.grid.Cells(0, r), keys[i]);
            ASSERT_EQ(g.grid.Objects(0, r).toInt(), i * 10);
            ASSERT_EQ(g.grid.Objects(1, r).toInt(), i * 10 + 1);
            if (r > 1 && Compare(keys[tags[r - 2].mid(3).toInt()], keys[i]) == 0) {
                EXPECT_LT(tags[r - 2].mid(3).toInt(), i) << "equal keys keep their order";
            }
        }
        EXPECT_EQ(g.grid.Cells(0, 0), QStringLiteral("Key"));
    }
    g.click(1);
    EXPECT_EQ(g.grid.SortColumn(), 1);
    EXPECT_EQ(g.grid.SortDirection(0), 1);
    EXPECT_EQ(g.grid.SortDirection(1), 0);
    const QStringList tags = g.column(1);
    EXPECT_TRUE(std::is_sorted(tags.begin(), tags.end(), [](auto &a, auto &b) { return Compare(a, b) < 0; }));

    // Clicks near a caption's edges, with a move, or with the right button do
    // not sort; a drag of the border resizes the column, and the owner hears of it.
    QSignalSpy released(&g.grid, &TSortGrid::leftButtonReleased);
    g.click(0, 5);
    g.click(0, TSortGrid::DefaultColWidth - 5);
    g.drag(g.at(0), 2);
    QTest::mouseClick(g.header(), Qt::RightButton, {}, g.at(0));
    released.clear();
    g.drag(g.at(0, g.grid.columnWidth(0) - 1), 40);
    EXPECT_EQ(g.column(1), tags);
    EXPECT_EQ(g.grid.columnWidth(0), TSortGrid::DefaultColWidth + 40);
    EXPECT_EQ(released.count(), 1) << "the owner saves the widths on the release";
    // Scrolled down, the caption row stays in sight and a click there sorts.
    g.grid.resize(200, 120);
    g.grid.scrollToBottom();
    QApplication::processEvents();
    ASSERT_GT(g.grid.verticalScrollBar()->value(), 0);
    g.grid.SetSortDirectionForAllColumns(0);
    g.click(0);  // descending
    EXPECT_EQ(g.grid.Cells(0, 1), QStringLiteral("—"));
    EXPECT_TRUE(g.grid.isRowHidden(0));
    EXPECT_TRUE(g.grid.horizontalHeader()->isVisible());
}

TEST_F(DisplayFixture, PagesViewerWalksThePagesSavesThemUnchangedAndKeepsItsSize)
{
    QStringList pages;
    for (int i = 1; i <= 5; ++i)
        pages << QStringLiteral("<!-- http://issa.example/page%1 -->\r\n<body><p>Страница %1</p></body>").arg(i);
    pages[1] = QStringLiteral("<!-- a -->\r\n<html><head><meta charset=\"windows-1251\"></head>"
                              "<body>Страница 2: 12.50 руб.</body></html>");
    const auto shows = [](TfrmLoadedPages &v, int page) {
        EXPECT_EQ(v.lblViewPage->text(), QStringLiteral("%1 (5)").arg(page));
        EXPECT_TRUE(v.WB->toPlainText().contains(QStringLiteral("Страница %1").arg(page)));
        EXPECT_EQ(v.bnPred->isEnabled(), page > 1);
        EXPECT_EQ(v.bnNext->isEnabled(), page < 5);
    };
    {
        TfrmLoadedPages v(state.IniFile);
        v.SetPages(pages);
        v.SetHeader(QStringLiteral("(916) 123-4567 [Дом/Дача]"));
        v.show();  // the start timer turns to the newest page
        ASSERT_TRUE(WaitUntil([&] { return v.CurrentPage == 5; }, 2000));
        shows(v, 5);
        for (int i = 0; i < 4; ++i)
            QTest::mouseClick(v.bnPred, Qt::LeftButton);
        shows(v, 1);
        QTest::mouseClick(v.bnNext, Qt::LeftButton);
        v.ShowPage(0);  // out of range: ignored
        v.ShowPage(6);
        shows(v, 2);

        // A header with a path separator makes no folder of the name.
        EXPECT_EQ(v.ProposedFileName(), QStringLiteral("(916) 123-4567 [Дом_Дача]_2.html"));
        const QString path = home.file(QStringLiteral("page.html"));
        v.SavePageTo(path);
        EXPECT_EQ(ReadFileBytes(path), ToCp1251(pages[1]));
        // A character the code page lacks: nothing is lost.
        v.Pages[1] = QStringLiteral("<body>€ ✓ 中文</body>");
        v.SavePageTo(path);
        EXPECT_EQ(ReadFileBytes(path), QByteArray("\xEF\xBB\xBF") + v.Pages[1].toUtf8());
        v.resize(640, 400);
    }
    EXPECT_EQ(TfrmLoadedPages(state.IniFile).size(), QSize(640, 400));
}

TEST_F(DisplayFixture, PagesViewerNeverLetsAStoredPageReachTheNetwork)
{
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
    int connections = 0;
    QObject::connect(&server, &QTcpServer::newConnection, [&] {
        while (QTcpSocket *s = server.nextPendingConnection()) {
            ++connections;
            s->close();
        }
    });
    const QString base = QStringLiteral("http://127.0.0.1:%1").arg(server.serverPort());
    const QString page = QStringLiteral("<!-- %1/login -->\r\n<html><head>"
                                        "<meta http-equiv=\"refresh\" content=\"0; url=%1/refresh\">"
                                        "<link rel=\"stylesheet\" href=\"%1/style.css\">"
                                        "<script src=\"%1/script.js\"></script>"
                                        "<script>document.write('SCRIPT-RAN'); new Image().src='%1/beacon';</script>"
                                        "</head><body onload=\"location='%1/onload'\">"
                                        "<img src=\"%1/image.png\"><img src=\"file:///etc/hostname\">"
                                        "<iframe src=\"%1/frame\"></iframe>"
                                        "<a href=\"%1/link\">ссылка</a>"
                                        "<form action=\"%1/form\" method=\"post\"><input name=a value=b></form>"
                                        "<p>Баланс</p></body></html>")
                             .arg(base);
    TfrmLoadedPages v(state.IniFile);
    v.SetPages({page});
    v.show();
    ASSERT_TRUE(WaitUntil([&] { return v.CurrentPage == 1; }, 2000));
    // Follow the link the way a user would.
    const QPoint link = v.WB->cursorRect(v.WB->document()->find(QStringLiteral("ссылка"))).center();
    QTest::mouseClick(v.WB->viewport(), Qt::LeftButton, {}, link);
    Pump(300);
    EXPECT_EQ(connections, 0);
    // A plain text browser would read a local file: this one refuses it too.
    EXPECT_TRUE(v.WB->RefusedUrls().contains(QUrl(QStringLiteral("file:///etc/hostname"))));
    EXPECT_TRUE(v.WB->RefusedUrls().contains(QUrl(base + QStringLiteral("/image.png"))));
    EXPECT_TRUE(v.WB->toPlainText().contains(QStringLiteral("Баланс")));
    EXPECT_FALSE(v.WB->toPlainText().contains(QStringLiteral("SCRIPT-RAN")));
    EXPECT_FALSE(v.WB->toPlainText().contains(QStringLiteral("document.write")));
    EXPECT_TRUE(v.WB->source().isEmpty());
    EXPECT_EQ(v.CurrentPage, 1);
}
