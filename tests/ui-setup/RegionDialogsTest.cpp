// The region chooser and the add/edit dialog: the list, the built-in region's
// protection, add, edit with rename, remove, and the input refusals.

#include "AddIssaUrl.h"
#include "IniFile.h"
#include "IssaUrl.h"
#include "IssaUrlChoose.h"
#include "UiSetupSupport.h"

#include <QTest>

namespace {
class RegionDialogsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        WriteFileBytes(state.Paths.ServersIniFileName,
                       ToCp1251(U("[Питер]\r\nShortName=СПБ\r\nLoginURL=http://127.0.0.1:1/spb\r\nLoginStr=custom\r\n"
                                  "[Урал]\r\nShortName=ЕКБ\r\nLoginURL=http://127.0.0.1:1/ekb\r\n")));
    }
    QString read(const char *section, const char *key) { return state.ServersIni.ReadString(U(section), U(key), {}); }
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

TEST_F(RegionDialogsTest, TheBuiltInRegionComesFirstAndOnlyOthersAreEditedOrRemoved)
{
    chooser.Prepare(U("мск"));
    ASSERT_EQ(chooser.cbIssaLongName->count(), 3);
    EXPECT_EQ(chooser.cbIssaLongName->currentIndex(), 0);
    EXPECT_EQ(chooser.lblShortName->text(), U("МСК"));
    EXPECT_EQ(chooser.lblLoginUrl->text(), DefaultIssaLoginUrl());
    EXPECT_FALSE(chooser.bnEdit->isEnabled() || chooser.bnRemove->isEnabled());
    chooser.Prepare(U("екб"));
    EXPECT_EQ(chooser.SelectedLongName(), U("Урал"));
    EXPECT_EQ(chooser.lblLoginUrl->text(), U("http://127.0.0.1:1/ekb"));
    EXPECT_TRUE(chooser.bnEdit->isEnabled() && chooser.bnRemove->isEnabled());
    chooser.Prepare(U("XYZ"));  // unknown: the built-in region
    EXPECT_EQ(chooser.SelectedShortName(), U("МСК"));

    // Removing asks first, then selects the built-in region.
    chooser.Prepare(U("ЕКБ"));
    chooser.show();
    for (auto answer : {QMessageBox::No, QMessageBox::Yes}) {
        MessageCatcher catcher(answer);
        QTest::mouseClick(chooser.bnRemove, Qt::LeftButton);
        EXPECT_EQ(catcher.texts, QStringList{U("Удалить региональную ИССА \"Урал\" из списка?")});
        EXPECT_EQ(state.ServersIni.ReadSections().contains(U("Урал")), answer == QMessageBox::No);
        EXPECT_EQ(chooser.cbIssaLongName->count(), answer == QMessageBox::No ? 3 : 2);
    }
    EXPECT_EQ(chooser.SelectedShortName(), U("МСК"));
    EXPECT_TRUE(chooser.isVisible());
}

TEST_F(RegionDialogsTest, AddingRefusesEmptyFieldsAndTakenNamesAndCorrectsTheAddress)
{
    chooser.show();
    WhenModal<TfrmAddIssaUrl>([](TfrmAddIssaUrl *d) {
        TypeText(d->edShortName, U("ABCDEF"));
        EXPECT_EQ(d->edShortName->text(), U("ABCD"));
        const char *empty = "Все поля должны быть заполнены !";
        const char *taken = "Такое короткое название уже существует. Выберите другое.";
        const char *url = "http://127.0.0.1:1/";
        const struct {
            const char *name, *url, *shortName, *message;
            QMessageBox::Icon icon;
        } rows[] = {{"  ", url, "A", empty, QMessageBox::Critical},
                    {"Юг", "   ", "A", empty, QMessageBox::Critical},
                    {"Юг", url, " ", empty, QMessageBox::Critical},
                    {"Юг", url, "мск", taken, QMessageBox::Warning},
                    {"Юг", url, "спб", taken, QMessageBox::Warning},
                    {" Сибирь ", " https://127.0.0.1:1/cgi-bin/cgi.exe?function=is_newlog&x=1 ", "НСК", nullptr, {}}};
        for (const auto &r : rows) {
            SCOPED_TRACE(r.shortName);
            fill(d, r.name, r.url, r.shortName);
            MessageCatcher catcher;
            QTest::mouseClick(d->bnOk, Qt::LeftButton);
            EXPECT_EQ(catcher.texts, r.message ? QStringList{U(r.message)} : QStringList());
            EXPECT_EQ(catcher.icons.value(0), r.icon);
            EXPECT_EQ(d->isVisible(), r.message != nullptr);
        }
    });
    QTest::mouseClick(chooser.bnAdd, Qt::LeftButton);
    EXPECT_EQ(chooser.SelectedLongName(), U("Сибирь"));
    EXPECT_EQ(read("Сибирь", "LoginURL"), U("https://127.0.0.1:1/cgi-bin/cgi.exe?function=is_login"));
    EXPECT_EQ(GetIssaUrlByShortName(state.ServersIni, U("нск")).LongName, U("Сибирь"));

    // Cancelling the add dialog writes nothing.
    const QByteArray before = ReadFileBytes(state.Paths.ServersIniFileName);
    WhenModal<TfrmAddIssaUrl>([](TfrmAddIssaUrl *d) {
        fill(d, "Юг", "http://127.0.0.1:1/", "ЮГ");
        QTest::keyClick(d, Qt::Key_Escape);
    });
    QTest::mouseClick(chooser.bnAdd, Qt::LeftButton);
    EXPECT_EQ(ReadFileBytes(state.Paths.ServersIniFileName), before);
    EXPECT_TRUE(chooser.isVisible());
}

TEST_F(RegionDialogsTest, EditingKeepsOrRenamesTheRegion)
{
    chooser.Prepare(U("СПБ"));
    chooser.show();
    // Unchanged: its own short name does not count as taken.
    WhenModal<TfrmAddIssaUrl>([](TfrmAddIssaUrl *d) {
        EXPECT_EQ(QStringList({d->edRegionName->text(), d->edShortName->text(), d->edLoginUrl->text()}),
                  U("Питер СПБ http://127.0.0.1:1/spb").split(u' '));
        QTest::mouseClick(d->bnOk, Qt::LeftButton);
    });
    {
        MessageCatcher catcher;
        QTest::mouseClick(chooser.bnEdit, Qt::LeftButton);
        EXPECT_TRUE(catcher.texts.isEmpty());
    }
    EXPECT_EQ(read("Питер", "LoginStr"), U("custom"));

    // Taking the other region's short name is refused; renaming drops the hand-written keys.
    WhenModal<TfrmAddIssaUrl>([](TfrmAddIssaUrl *d) {
        {
            MessageCatcher catcher;
            d->edShortName->setText(U("ЕКБ"));
            QTest::mouseClick(d->bnOk, Qt::LeftButton);
            EXPECT_EQ(catcher.texts.size(), 1);
        }
        fill(d, "Санкт-Петербург", "http://127.0.0.1:1/spb2", "СПб");
        QTest::mouseClick(d->bnOk, Qt::LeftButton);
    });
    QTest::mouseClick(chooser.bnEdit, Qt::LeftButton);
    EXPECT_EQ(chooser.SelectedShortName(), U("СПб"));
    EXPECT_FALSE(state.ServersIni.ReadSections().contains(U("Питер")));
    EXPECT_EQ(read("Санкт-Петербург", "LoginURL"), U("http://127.0.0.1:1/spb2"));
    EXPECT_TRUE(read("Санкт-Петербург", "LoginStr").isEmpty());
}
