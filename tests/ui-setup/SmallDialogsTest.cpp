// The small configuration dialogs: the region chooser and the add/edit dialog
// (the built-in region's protection, add, edit with rename, remove, the input
// refusals), the per-phone settings, the proxy dialog and the about window.

#include "About.h"
#include "AddIssaUrl.h"
#include "ExSetupPhone.h"
#include "Failure.h"
#include "IssaUrl.h"
#include "IssaUrlChoose.h"
#include "Passw.h"
#include "ProxyServerSetup.h"
#include "UiSetupSupport.h"

#include <QTest>

namespace {
class SmallDialogsTest : public ::testing::Test {
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

TEST_F(SmallDialogsTest, TheBuiltInRegionComesFirstAndOthersAreEditedRemovedOrAdded)
{
    chooser.Prepare(U("мск"));
    ASSERT_EQ(chooser.cbIssaLongName->count(), 3);
    EXPECT_EQ(chooser.lblShortName->text() + chooser.lblLoginUrl->text(), U("МСК") + DefaultIssaLoginUrl());
    EXPECT_FALSE(chooser.bnEdit->isEnabled() || chooser.bnRemove->isEnabled());
    chooser.Prepare(U("XYZ"));  // unknown: the built-in region
    EXPECT_EQ(chooser.cbIssaLongName->currentIndex(), 0);
    chooser.Prepare(U("спб"));
    EXPECT_TRUE(chooser.bnEdit->isEnabled() && chooser.bnRemove->isEnabled());
    chooser.show();
    MessageCatcher catcher(QMessageBox::No);
    // Unchanged: its own short name does not count as taken.
    WhenModal<TfrmAddIssaUrl>([](TfrmAddIssaUrl *d) {
        EXPECT_EQ(QStringList({d->edRegionName->text(), d->edShortName->text(), d->edLoginUrl->text()}),
                  Split("Питер|СПБ|http://127.0.0.1:1/spb"));
        QTest::mouseClick(d->bnOk, Qt::LeftButton);
    });
    QTest::mouseClick(chooser.bnEdit, Qt::LeftButton);
    EXPECT_TRUE(catcher.texts.isEmpty() && read("Питер", "LoginStr") == U("custom"));

    // Taking the other region's short name is refused; renaming drops the hand-written keys.
    WhenModal<TfrmAddIssaUrl>([&catcher](TfrmAddIssaUrl *d) {
        d->edShortName->setText(U("ЕКБ"));
        QTest::mouseClick(d->bnOk, Qt::LeftButton);
        EXPECT_EQ(catcher.texts.size(), 1);
        fill(d, "Санкт-Петербург", "http://127.0.0.1:1/spb2", "СПб");
        QTest::mouseClick(d->bnOk, Qt::LeftButton);
    });
    QTest::mouseClick(chooser.bnEdit, Qt::LeftButton);
    EXPECT_EQ(chooser.SelectedShortName(), U("СПб"));
    EXPECT_FALSE(state.ServersIni.ReadSections().contains(U("Питер")));
    EXPECT_EQ(read("Санкт-Петербург", "LoginURL") + read("Санкт-Петербург", "LoginStr"), U("http://127.0.0.1:1/spb2"));

    // Removing asks first, then selects the built-in region.
    chooser.Prepare(U("екб"));
    for (auto answer : {QMessageBox::No, QMessageBox::Yes}) {
        catcher.texts.clear();
        QTest::mouseClick(chooser.bnRemove, Qt::LeftButton);
        EXPECT_EQ(catcher.texts, QStringList{U("Удалить региональную ИССА \"Урал\" из списка?")});
        EXPECT_EQ(state.ServersIni.ReadSections().contains(U("Урал")), answer == QMessageBox::No);
        EXPECT_EQ(chooser.cbIssaLongName->count(), answer == QMessageBox::No ? 3 : 2);
        catcher.answer = QMessageBox::Yes;
    }
    EXPECT_TRUE(chooser.SelectedShortName() == U("МСК") && chooser.isVisible());

    // A cancelled add changes nothing; adding refuses empty fields and taken names and corrects the address.
    const QStringList sections = state.ServersIni.ReadSections();
    WhenModal<TfrmAddIssaUrl>([](TfrmAddIssaUrl *d) { fill(d, "Юг", "http://127.0.0.1:1/", "ЮГ"), d->reject(); });
    QTest::mouseClick(chooser.bnAdd, Qt::LeftButton);
    EXPECT_EQ(state.ServersIni.ReadSections(), sections);
    WhenModal<TfrmAddIssaUrl>([&catcher](TfrmAddIssaUrl *d) {
        const char *empty = "Все поля должны быть заполнены !", *url = "http://127.0.0.1:1/";
        const char *taken = "Такое короткое название уже существует. Выберите другое.";
        const char *rows[][4] = {{"  ", url, "A", empty},
                                 {"Юг", "   ", "A", empty},
                                 {"Юг", url, " ", empty},
                                 {"Юг", url, "мск", taken},
                                 {"Юг", url, "спб", taken},
                                 {" Сибирь ", " https://127.0.0.1:1/cgi-bin/cgi.exe?function=is_newlog&x=1 ", "НСК"}};
        for (const auto &[name, address, shortName, message] : rows) {
            SCOPED_TRACE(shortName);
            fill(d, name, address, shortName);
            catcher.texts.clear();
            catcher.icons.clear();
            QTest::mouseClick(d->bnOk, Qt::LeftButton);
            EXPECT_EQ(catcher.texts, message ? QStringList{U(message)} : QStringList());
            EXPECT_EQ(catcher.icons.value(0),
                      message == empty ? QMessageBox::Critical
                          : message    ? QMessageBox::Warning
                                       : QMessageBox::NoIcon);
            EXPECT_EQ(d->isVisible(), message != nullptr);
        }
    });
    QTest::mouseClick(chooser.bnAdd, Qt::LeftButton);
    EXPECT_EQ(GetIssaUrlByShortName(state.ServersIni, U("нск")).LongName, chooser.SelectedLongName());
    EXPECT_EQ(read("Сибирь", "LoginURL"), U("https://127.0.0.1:1/cgi-bin/cgi.exe?function=is_login"));
}

TEST_F(SmallDialogsTest, PerPhoneDialogShowsTheStoredValuesAndTakesTypedOnesOrFallsBack)
{
    TfrmExSetupPhone d;
    const TPhoneExSettings stored{true, 2.6f, 5};
    const struct {
        const char *alias, *label, *balance, *turnOff;
        bool individual, cancel;
        TPhoneExSettings taken;
    } rows[] = {{"", "9161112233", "1,5x", "abc", false, false, {false, 1.5f, 2}},  // taken with the tick off too
                {"Дом", "9161112233 (Дом)", "-", "7", true, false, {true, 2.5f, 7}},
                {"Дом", "9161112233 (Дом)", "1", "9", true, true, stored}};
    for (const auto &r : rows) {
        SCOPED_TRACE(r.balance);
        d.Prepare(U("9161112233"), U(r.alias), stored);
        d.show();
        EXPECT_EQ(d.lblPhone->text(), U(r.label));
        EXPECT_TRUE(d.cbIndividSetup->isChecked() && d.edBalanceLessThen->isEnabled());
        EXPECT_EQ(d.edBalanceLessThen->text() + u' ' + d.edTurnOffLessThen->text(), U("2.59999990463257 5"));
        d.edBalanceLessThen->clear();
        TypeText(d.edBalanceLessThen, U(r.balance));
        d.edTurnOffLessThen->setText(U(r.turnOff));
        d.cbIndividSetup->setChecked(r.individual);
        EXPECT_EQ(d.edTurnOffLessThen->isEnabled(), r.individual);
        QTest::keyClick(r.cancel ? static_cast<QWidget *>(&d) : static_cast<QWidget *>(d.bnOK),
                        r.cancel ? Qt::Key_Escape : Qt::Key_Space);
        EXPECT_TRUE(d.result() == (r.cancel ? QDialog::Rejected : QDialog::Accepted) && d.Settings() == r.taken);
    }
}

TEST_F(SmallDialogsTest, ProxyDialogStoresTrimmedAndMaskedAtOnce)
{
    auto stored = [&] { return state.IniFile.ReadString(U("Connection"), U("ProxyPassword"), U("none")); };
    const struct {
        const char *user, *password;
        bool ok;
        const char *shown, *keptUser, *keptPassword;
    } rows[] = {{"  ivan ", " 0123456789abcdefg ", true, "", "ivan", "0123456789abcde"},
                {"petr", "x", false, "ivan0123456789abcde", "ivan", "0123456789abcde"},
                {"ivan", "   ", true, "ivan0123456789abcde", "ivan", ""}};
    for (const auto &r : rows) {
        SCOPED_TRACE(r.user);
        const QByteArray before = ReadFileBytes(state.Paths.IniFileName);
        {
            TfrmProxyServerSetup d(state);
            EXPECT_EQ(d.edUserName->text() + d.edPassword->text(), U(r.shown));
            d.show();
            d.edUserName->clear();
            d.edPassword->clear();
            TypeText(d.edUserName, U(r.user));
            TypeText(d.edPassword, U(r.password));
            QTest::mouseClick(r.ok ? d.bnOK : d.bnCancel, Qt::LeftButton);
        }
        EXPECT_EQ(GetProxyUserName(state) + u'|' + GetProxyPassword(state), U(r.keptUser) + u'|' + U(r.keptPassword));
        EXPECT_TRUE(!stored().contains(U("0123")) && stored().size() == (*r.keptPassword ? PasswEncodedLength : 0));
        EXPECT_TRUE(r.ok || ReadFileBytes(state.Paths.IniFileName) == before);
    }
    state.IniFile.WriteString(U("Connection"), U("ProxyPassword"), U("ZZ"));  // cannot be decoded: refused
    EXPECT_THROW(TfrmProxyServerSetup{state}, SaldomatError);
}

TEST_F(SmallDialogsTest, AboutBoxOpensTheSite)
{
    int opened = 0;
    TAboutBox box(U("https://www.zelkor.example/saldomat/"), [&] { ++opened; });
    box.show();
    QTest::mouseClick(box.lblHomePage, Qt::LeftButton);
    EXPECT_TRUE(opened == 1 && box.isVisible());
    QTest::mouseClick(box.OKButton, Qt::LeftButton);
    EXPECT_EQ(box.result(), QDialog::Accepted);
}
