// The per-phone settings dialog, the proxy dialog and the about window.

#include "About.h"
#include "ExSetupPhone.h"
#include "IniFile.h"
#include "Passw.h"
#include "ProxyServerSetup.h"
#include "UiSetupSupport.h"

#include <QTest>

TEST(SmallDialogsTest, PerPhoneDialogShowsTheStoredValuesAndTakesTypedOnesOrFallsBack)
{
    TfrmExSetupPhone d;
    d.Prepare(U("9161112233"), QString(), TPhoneExSettings{});
    d.show();
    EXPECT_EQ(d.lblPhone->text(), U("9161112233"));
    EXPECT_EQ(d.edBalanceLessThen->text() + d.edTurnOffLessThen->text(), U("00"));
    EXPECT_FALSE(d.edBalanceLessThen->isEnabled());
    QTest::mouseClick(d.cbIndividSetup, Qt::LeftButton, {}, QPoint(5, d.cbIndividSetup->height() / 2));
    EXPECT_TRUE(d.edBalanceLessThen->isEnabled() && d.edTurnOffLessThen->isEnabled());

    const TPhoneExSettings stored{true, 2.6f, 5};
    const struct {
        const char *balance, *turnOff;
        bool individual, cancel;
        TPhoneExSettings taken;
    } rows[] = {{"1,5x", "abc", false, false, {false, 1.5f, 2}},  // taken with the tick off too
                {"-", "7", true, false, {true, 2.5f, 7}},
                {"1", "9", true, true, stored}};
    for (const auto &r : rows) {
        SCOPED_TRACE(r.balance);
        d.Prepare(U("9161112233"), U("Дом"), stored);
        d.show();
        EXPECT_EQ(d.lblPhone->text(), U("9161112233 (Дом)"));
        EXPECT_TRUE(d.cbIndividSetup->isChecked() && d.edBalanceLessThen->isEnabled());
        EXPECT_EQ(d.edBalanceLessThen->text() + u' ' + d.edTurnOffLessThen->text(), U("2.59999990463257 5"));
        d.edBalanceLessThen->clear();
        TypeText(d.edBalanceLessThen, U(r.balance));
        d.edTurnOffLessThen->setText(U(r.turnOff));
        d.cbIndividSetup->setChecked(r.individual);
        QTest::keyClick(r.cancel ? static_cast<QWidget *>(&d) : static_cast<QWidget *>(d.bnOK),
                        r.cancel ? Qt::Key_Escape : Qt::Key_Space);
        EXPECT_EQ(d.result(), r.cancel ? QDialog::Rejected : QDialog::Accepted);
        EXPECT_EQ(d.Settings(), r.taken);
    }
}

TEST(SmallDialogsTest, ProxyDialogStoresTrimmedAndMaskedAtOnce)
{
    UiHome home;
    TProgramState &state = home.state;
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
        EXPECT_EQ(GetProxyUserName(state), U(r.keptUser));
        EXPECT_EQ(GetProxyPassword(state), U(r.keptPassword));
        EXPECT_FALSE(stored().contains(U("0123")));
        EXPECT_EQ(stored().size(), *r.keptPassword ? PasswEncodedLength : 0);
        EXPECT_TRUE(r.ok || ReadFileBytes(state.Paths.IniFileName) == before);
    }
    // A stored password that cannot be decoded is refused, naming both routines.
    state.IniFile.WriteString(U("Connection"), U("ProxyPassword"), U("ZZ"));
    try {
        TfrmProxyServerSetup d(state);
        FAIL() << "created";
    } catch (const SaldomatError &e) {
        EXPECT_TRUE(e.message().startsWith(U("ProxyServerSetup.TfrmProxyServerSetup -- > ")));
        EXPECT_TRUE(e.message().contains(U("Passw.DecodePass -- > ")));
    }
}

TEST(SmallDialogsTest, AboutBoxOpensTheSite)
{
    int opened = 0;
    TAboutBox box(U("https://www.zelkor.example/saldomat/"), [&] { ++opened; });
    box.show();
    QTest::mouseClick(box.lblHomePage, Qt::LeftButton);
    EXPECT_EQ(opened, 1);
    EXPECT_TRUE(box.isVisible());
    QTest::mouseClick(box.OKButton, Qt::LeftButton);
    EXPECT_EQ(box.result(), QDialog::Accepted);
}
