// The region chooser and the add/edit dialog: the list, the built-in region's
// protection, add, edit with rename, remove, and the input refusals.

#include "AddIssaUrl.h"
#include "IniFile.h"
#include "IssaUrl.h"
#include "IssaUrlChoose.h"
#include "UiSetupSupport.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QToolButton>

namespace {
class RegionDialogsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        WriteFileBytes(InitPaths().ServersIniFileName,
                       ToCp1251(U("[Питер]\r\nShortName=СПБ\r\nLoginURL=http://127.0.0.1:1/spb\r\n"
                                  "LoginStr=custom\r\n"
                                  "[Урал]\r\nShortName=ЕКБ\r\nLoginURL=http://127.0.0.1:1/ekb\r\n")));
    }
    UiHome home;
    TProgramState &state = home.state;
    TfrmIssaUrlChoose chooser{state.ServersIni};
};

void fill(TfrmAddIssaUrl *d, const char *name, const char *url, const char *shortName)
{
    d->edRegionName->setText(U(name));
    d->edLoginUrl->setText(U(url));
    d->edShortName->setText(U(shortName));
}
}  // namespace

TEST_F(RegionDialogsTest, ListStartsWithTheBuiltInRegionWhichCannotBeEdited)
{
    chooser.Prepare(U("мск"));
    ASSERT_EQ(chooser.cbIssaLongName->count(), 3);
    EXPECT_EQ(chooser.cbIssaLongName->itemText(1), U("Питер"));
    EXPECT_EQ(chooser.cbIssaLongName->currentIndex(), 0);
    EXPECT_EQ(chooser.lblShortName->text(), U("МСК"));
    EXPECT_EQ(chooser.lblLoginUrl->text(), DefaultIssaLoginUrl());
    EXPECT_FALSE(chooser.bnEdit->isEnabled());
    EXPECT_FALSE(chooser.bnRemove->isEnabled());

    chooser.Prepare(U("екб"));
    EXPECT_EQ(chooser.SelectedLongName(), U("Урал"));
    EXPECT_EQ(chooser.SelectedShortName(), U("ЕКБ"));
    EXPECT_EQ(chooser.lblLoginUrl->text(), QStringLiteral("http://127.0.0.1:1/ekb"));
    EXPECT_TRUE(chooser.bnEdit->isEnabled());
    EXPECT_TRUE(chooser.bnRemove->isEnabled());
    chooser.cbIssaLongName->setCurrentIndex(0);
    EXPECT_FALSE(chooser.bnEdit->isEnabled());
    EXPECT_EQ(chooser.SelectedShortName(), U("МСК"));

    // An unknown short name selects the built-in region.
    chooser.Prepare(QStringLiteral("XYZ"));
    EXPECT_EQ(chooser.cbIssaLongName->currentIndex(), 0);
}

TEST_F(RegionDialogsTest, AddingCorrectsTheAddressAndSelectsTheNewRegion)
{
    chooser.Prepare(U("МСК"));
    chooser.show();
    WhenModal<TfrmAddIssaUrl>([](TfrmAddIssaUrl *d) {
        fill(d, " Сибирь ", " https://127.0.0.1:1/cgi-bin/cgi.exe?function=is_newlog&x=1 ", "НСК");
        QTest::mouseClick(d->bnOk, Qt::LeftButton);
    });
    QTest::mouseClick(chooser.bnAdd, Qt::LeftButton);
    EXPECT_TRUE(chooser.isVisible());
    EXPECT_EQ(chooser.SelectedLongName(), U("Сибирь"));
    EXPECT_EQ(chooser.SelectedShortName(), U("НСК"));
    EXPECT_EQ(state.ServersIni.ReadString(U("Сибирь"), QStringLiteral("LoginURL"), QString()),
              QStringLiteral("https://127.0.0.1:1/cgi-bin/cgi.exe?function=is_login"));
    EXPECT_EQ(GetIssaUrlByShortName(state.ServersIni, U("нск")).LongName, U("Сибирь"));

    // Cancelling the add dialog writes nothing.
    const QByteArray before = ReadFileBytes(InitPaths().ServersIniFileName);
    WhenModal<TfrmAddIssaUrl>([](TfrmAddIssaUrl *d) {
        fill(d, "Юг", "http://127.0.0.1:1/", "ЮГ");
        QTest::keyClick(d, Qt::Key_Escape);
    });
    QTest::mouseClick(chooser.bnAdd, Qt::LeftButton);
    EXPECT_EQ(ReadFileBytes(InitPaths().ServersIniFileName), before);
}

TEST_F(RegionDialogsTest, AddDialogRefusesEmptyFieldsAndTakenShortNames)
{
    TfrmAddIssaUrl add(state.ServersIni);
    add.show();
    TypeText(add.edShortName, QStringLiteral("ABCDEF"));
    EXPECT_EQ(add.edShortName->text(), QStringLiteral("ABCD"));

    const struct {
        const char *name, *url, *shortName, *message;
        QMessageBox::Icon icon;
    } refused[] = {
        {"  ", "http://127.0.0.1:1/", "A", "Все поля должны быть заполнены !", QMessageBox::Critical},
        {"Юг", "   ", "A", "Все поля должны быть заполнены !", QMessageBox::Critical},
        {"Юг", "http://127.0.0.1:1/", " ", "Все поля должны быть заполнены !", QMessageBox::Critical},
        {"Юг", "http://127.0.0.1:1/", "мск", "Такое короткое название уже существует. Выберите другое.",
         QMessageBox::Warning},
        {"Юг", "http://127.0.0.1:1/", "спб", "Такое короткое название уже существует. Выберите другое.",
         QMessageBox::Warning},
    };
    for (const auto &r : refused) {
        fill(&add, r.name, r.url, r.shortName);
        MessageCatcher catcher;
        QTest::mouseClick(add.bnOk, Qt::LeftButton);
        ASSERT_EQ(catcher.texts.size(), 1) << r.shortName;
        EXPECT_EQ(catcher.texts[0], U(r.message)) << r.shortName;
        EXPECT_EQ(catcher.icons[0], r.icon) << r.shortName;
        EXPECT_TRUE(add.isVisible());
    }
    fill(&add, "Юг", "http://127.0.0.1:1/", "ЮГ");
    MessageCatcher catcher;
    QTest::mouseClick(add.bnOk, Qt::LeftButton);
    EXPECT_TRUE(catcher.texts.isEmpty());
    EXPECT_EQ(add.result(), QDialog::Accepted);
}

TEST_F(RegionDialogsTest, EditingKeepsOrRenamesTheRegion)
{
    chooser.Prepare(U("СПБ"));
    chooser.show();
    // Unchanged: its own short name does not count as taken.
    WhenModal<TfrmAddIssaUrl>([](TfrmAddIssaUrl *d) {
        EXPECT_EQ(d->edRegionName->text(), U("Питер"));
        EXPECT_EQ(d->edShortName->text(), U("СПБ"));
        EXPECT_EQ(d->edLoginUrl->text(), QStringLiteral("http://127.0.0.1:1/spb"));
        QTest::mouseClick(d->bnOk, Qt::LeftButton);
    });
    {
        MessageCatcher catcher;
        QTest::mouseClick(chooser.bnEdit, Qt::LeftButton);
        EXPECT_TRUE(catcher.texts.isEmpty());
    }
    EXPECT_EQ(chooser.SelectedLongName(), U("Питер"));
    EXPECT_EQ(state.ServersIni.ReadString(U("Питер"), QStringLiteral("LoginStr"), QString()), QStringLiteral("custom"));

    // Taking the other region's short name is refused; renaming drops the hand-written keys.
    WhenModal<TfrmAddIssaUrl>([](TfrmAddIssaUrl *d) {
        {
            MessageCatcher catcher;
            d->edShortName->setText(U("ЕКБ"));
            QTest::mouseClick(d->bnOk, Qt::LeftButton);
            EXPECT_EQ(catcher.texts, QStringList{U("Такое короткое название уже существует. Выберите другое.")});
        }
        fill(d, "Санкт-Петербург", "http://127.0.0.1:1/spb2", "СПб");
        QTest::mouseClick(d->bnOk, Qt::LeftButton);
    });
    QTest::mouseClick(chooser.bnEdit, Qt::LeftButton);
    EXPECT_EQ(chooser.SelectedLongName(), U("Санкт-Петербург"));
    EXPECT_EQ(chooser.SelectedShortName(), U("СПб"));
    const QStringList sections = state.ServersIni.ReadSections();
    EXPECT_FALSE(sections.contains(U("Питер")));
    EXPECT_TRUE(sections.contains(U("Санкт-Петербург")));
    EXPECT_TRUE(state.ServersIni.ReadString(U("Санкт-Петербург"), QStringLiteral("LoginStr"), QString()).isEmpty());
}

TEST_F(RegionDialogsTest, RemovingAsksFirstThenSelectsTheBuiltInRegion)
{
    chooser.Prepare(U("ЕКБ"));
    chooser.show();
    {
        MessageCatcher no(QMessageBox::No);
        QTest::mouseClick(chooser.bnRemove, Qt::LeftButton);
        EXPECT_EQ(no.texts, QStringList{U("Удалить региональную ИССА \"Урал\" из списка?")});
        EXPECT_EQ(no.icons.value(0), QMessageBox::Question);
    }
    EXPECT_TRUE(state.ServersIni.ReadSections().contains(U("Урал")));
    EXPECT_EQ(chooser.SelectedLongName(), U("Урал"));
    MessageCatcher yes(QMessageBox::Yes);
    QTest::mouseClick(chooser.bnRemove, Qt::LeftButton);
    EXPECT_FALSE(state.ServersIni.ReadSections().contains(U("Урал")));
    EXPECT_EQ(chooser.cbIssaLongName->currentIndex(), 0);
    EXPECT_EQ(chooser.cbIssaLongName->count(), 2);
    EXPECT_TRUE(chooser.isVisible());
}
