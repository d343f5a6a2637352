// The per-phone settings dialog, the proxy dialog and the about window.

#include "About.h"
#include "ExSetupPhone.h"
#include "IniFile.h"
#include "Passw.h"
#include "ProxyServerSetup.h"
#include "SaldomatVersion.h"
#include "UiSetupSupport.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

namespace {
class SmallDialogsTest : public ::testing::Test {
protected:
    UiHome home;
    TProgramState &state = home.state;
};
}  // namespace

TEST_F(SmallDialogsTest, PerPhoneDialogShowsDefaultsAndStoredValues)
{
    TfrmExSetupPhone fresh;
    fresh.Prepare(QStringLiteral("9161112233"), QString(), TPhoneExSettings{});
    fresh.show();
    EXPECT_EQ(fresh.lblPhone->text(), QStringLiteral("9161112233"));
    EXPECT_FALSE(fresh.cbIndividSetup->isChecked());
    EXPECT_EQ(fresh.edBalanceLessThen->text(), QStringLiteral("0"));
    EXPECT_EQ(fresh.edTurnOffLessThen->text(), QStringLiteral("0"));
    EXPECT_FALSE(fresh.edBalanceLessThen->isEnabled());
    QTest::mouseClick(fresh.cbIndividSetup, Qt::LeftButton, {}, QPoint(5, fresh.cbIndividSetup->height() / 2));
    EXPECT_TRUE(fresh.edBalanceLessThen->isEnabled());
    EXPECT_TRUE(fresh.edTurnOffLessThen->isEnabled());

    TfrmExSetupPhone stored;
    stored.Prepare(QStringLiteral("9161112233"), U("Дом"), TPhoneExSettings{true, 2.6f, 5});
    stored.show();
    EXPECT_EQ(stored.lblPhone->text(), U("9161112233 (Дом)"));
    EXPECT_TRUE(stored.cbIndividSetup->isChecked());
    EXPECT_EQ(stored.edBalanceLessThen->text(), QStringLiteral("2.59999990463257"));
    EXPECT_EQ(stored.edTurnOffLessThen->text(), QStringLiteral("5"));
    EXPECT_TRUE(stored.edBalanceLessThen->isEnabled());
}

TEST_F(SmallDialogsTest, PerPhoneDialogTakesTypedValuesOrFallsBack)
{
    TfrmExSetupPhone d;
    d.Prepare(QStringLiteral("1"), QString(), TPhoneExSettings{true, 2.6f, 5});
    d.show();
    d.edBalanceLessThen->clear();
    TypeText(d.edBalanceLessThen, QStringLiteral("1,5x"));
    EXPECT_EQ(d.edBalanceLessThen->text(), QStringLiteral("1.5"));
    d.edTurnOffLessThen->setText(QStringLiteral("abc"));
    d.cbIndividSetup->setChecked(false);
    QTest::mouseClick(d.bnOK, Qt::LeftButton);
    EXPECT_EQ(d.result(), QDialog::Accepted);
    // Taken with the tick off too.
    EXPECT_EQ(d.Settings(), (TPhoneExSettings{false, 1.5f, 2}));

    d.Prepare(QStringLiteral("1"), QString(), TPhoneExSettings{true, 2.6f, 5});
    d.show();
    d.edBalanceLessThen->setText(QStringLiteral("-"));
    d.edTurnOffLessThen->setText(QStringLiteral("7"));
    QTest::mouseClick(d.bnOK, Qt::LeftButton);
    EXPECT_EQ(d.Settings(), (TPhoneExSettings{true, 2.5f, 7}));

    d.Prepare(QStringLiteral("1"), QString(), TPhoneExSettings{true, 2.6f, 5});
    d.show();
    d.edTurnOffLessThen->setText(QStringLiteral("9"));
    QTest::keyClick(&d, Qt::Key_Escape);
    EXPECT_EQ(d.result(), QDialog::Rejected);
    EXPECT_EQ(d.Settings(), (TPhoneExSettings{true, 2.6f, 5}));
}

TEST_F(SmallDialogsTest, ProxyDialogStoresTrimmedAndMaskedAtOnce)
{
    {
        TfrmProxyServerSetup d(state);
        EXPECT_TRUE(d.edUserName->text().isEmpty());
        d.show();
        TypeText(d.edUserName, QStringLiteral("  ivan "));
        TypeText(d.edPassword, QStringLiteral(" 0123456789abcdefg "));
        QTest::mouseClick(d.bnOK, Qt::LeftButton);
        EXPECT_EQ(d.result(), QDialog::Accepted);
    }
    EXPECT_EQ(GetProxyUserName(state), QStringLiteral("ivan"));
    const QString stored
        = state.IniFile.ReadString(QStringLiteral("Connection"), QStringLiteral("ProxyPassword"), QString());
    EXPECT_EQ(stored.size(), PasswEncodedLength);
    EXPECT_FALSE(stored.contains(QStringLiteral("0123")));
    EXPECT_EQ(GetProxyPassword(state), QStringLiteral("0123456789abcde"));

    const QByteArray before = ReadFileBytes(InitPaths().IniFileName);
    {
        TfrmProxyServerSetup d(state);
        EXPECT_EQ(d.edUserName->text(), QStringLiteral("ivan"));
        EXPECT_EQ(d.edPassword->text(), QStringLiteral("0123456789abcde"));
        d.show();
        d.edUserName->setText(QStringLiteral("petr"));
        QTest::mouseClick(d.bnCancel, Qt::LeftButton);
    }
    EXPECT_EQ(ReadFileBytes(InitPaths().IniFileName), before);
    {
        TfrmProxyServerSetup d(state);
        d.show();
        d.edPassword->setText(QStringLiteral("   "));
        QTest::mouseClick(d.bnOK, Qt::LeftButton);
    }
    EXPECT_TRUE(
        state.IniFile.ReadString(QStringLiteral("Connection"), QStringLiteral("ProxyPassword"), QStringLiteral("x"))
            .isEmpty());
    EXPECT_TRUE(GetProxyPassword(state).isEmpty());
}

TEST_F(SmallDialogsTest, ProxyDialogRefusesAnUndecodableStoredPassword)
{
    state.IniFile.WriteString(QStringLiteral("Connection"), QStringLiteral("ProxyPassword"), QStringLiteral("ZZ"));
    try {
        TfrmProxyServerSetup d(state);
        FAIL() << "created";
    } catch (const SaldomatError &e) {
        EXPECT_TRUE(e.message().startsWith(QStringLiteral("ProxyServerSetup.TfrmProxyServerSetup -- > ")));
        EXPECT_TRUE(e.message().contains(QStringLiteral("Passw.DecodePass -- > ")));
    }
}

TEST_F(SmallDialogsTest, AboutBoxShowsVersionAndOpensTheSite)
{
    int opened = 0;
    TAboutBox box(QStringLiteral("https://www.zelkor.example/saldomat/"), [&] { ++opened; });
    box.show();
    EXPECT_EQ(box.lblVersion->text(), QStringLiteral(SALDOMAT_VERSION));
    QTest::mouseClick(box.lblHomePage, Qt::LeftButton);
    EXPECT_EQ(opened, 1);
    EXPECT_TRUE(box.isVisible());
    QTest::mouseClick(box.OKButton, Qt::LeftButton);
    EXPECT_FALSE(box.isVisible());
    EXPECT_EQ(box.result(), QDialog::Accepted);
}
