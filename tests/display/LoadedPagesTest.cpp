// The loaded pages viewer: navigation, the indicator, saving, the position in
// the settings file, and that a stored page never reaches the network.
#include "LoadedPages.h"
#include "Common.h"
#include "Encoding.h"
#include "EventLoopWait.h"
#include "IniFile.h"
#include "TestHome.h"

#include <QTcpServer>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class ViewerFixture : public ::testing::Test {
protected:
    // Shown, once the start timer has turned to the newest page.
    static void open(TfrmLoadedPages &v, int pages)
    {
        v.show();
        ASSERT_TRUE(WaitUntil([&] { return v.CurrentPage == pages; }, 2000));
    }
    TestHome home;
    TIniFile ini{InitPaths().IniFileName};
};

}  // namespace

TEST_F(ViewerFixture, WalksThePagesSavesThemUnchangedAndKeepsItsSize)
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
        TfrmLoadedPages v(ini);
        v.SetPages(pages);
        v.SetHeader(QStringLiteral("(916) 123-4567 [Я]"));
        open(v, 5);
        shows(v, 5);
        for (int i = 0; i < 4; ++i)
            QTest::mouseClick(v.bnPred, Qt::LeftButton);
        shows(v, 1);
        QTest::mouseClick(v.bnNext, Qt::LeftButton);
        shows(v, 2);
        v.ShowPage(0);  // out of range: ignored
        v.ShowPage(6);
        shows(v, 2);

        EXPECT_EQ(v.ProposedFileName(), QStringLiteral("(916) 123-4567 [Я]_2.html"));
        const QString path = home.file(QStringLiteral("page.html"));
        v.SavePageTo(path);
        EXPECT_EQ(ReadFileBytes(path), ToCp1251(pages[1]));
        // A character the code page lacks: nothing is lost.
        v.Pages[1] = QStringLiteral("<body>€ ✓ 中文</body>");
        v.SavePageTo(path);
        EXPECT_EQ(ReadFileBytes(path), QByteArray("\xEF\xBB\xBF") + v.Pages[1].toUtf8());
        // A header with a path separator makes no folder of the name.
        v.SetHeader(QStringLiteral("(916) 123-4567 [Дом/Дача]"));
        EXPECT_EQ(v.ProposedFileName(), QStringLiteral("(916) 123-4567 [Дом_Дача]_2.html"));
        v.resize(640, 400);
    }
    EXPECT_EQ(ini.ReadInteger(QStringLiteral("LoadedPages Form"), QStringLiteral("Width"), 0), 640);
    EXPECT_EQ(ini.ReadInteger(QStringLiteral("LoadedPages Form"), QStringLiteral("Height"), 0), 400);
    EXPECT_EQ(TfrmLoadedPages(ini).size(), QSize(640, 400));
}

TEST_F(ViewerFixture, StoredPageNeverReachesTheNetwork)
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
    TfrmLoadedPages v(ini);
    v.SetPages({page});
    open(v, 1);
    // Follow the link the way a user would.
    const QPoint link = v.WB->cursorRect(v.WB->document()->find(QStringLiteral("ссылка"))).center();
    QTest::mouseClick(v.WB->viewport(), Qt::LeftButton, {}, link);
    Pump(300);
    EXPECT_EQ(connections, 0);
    EXPECT_GT(v.WB->RefusedResources(), 0) << "the images were asked for and refused";
    // A plain text browser would read a local file: this one refuses it too.
    EXPECT_TRUE(v.WB->RefusedUrls().contains(QUrl(QStringLiteral("file:///etc/hostname"))));
    EXPECT_TRUE(v.WB->RefusedUrls().contains(QUrl(base + QStringLiteral("/image.png"))));
    EXPECT_TRUE(v.WB->toPlainText().contains(QStringLiteral("Баланс")));
    EXPECT_FALSE(v.WB->toPlainText().contains(QStringLiteral("SCRIPT-RAN")));
    EXPECT_FALSE(v.WB->toPlainText().contains(QStringLiteral("document.write")));
    EXPECT_TRUE(v.WB->source().isEmpty());
    EXPECT_EQ(v.CurrentPage, 1);
}
