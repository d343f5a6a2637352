// The setup dialog: key filters, the screen's size, the "Сохранить" checks, cancelling,
// the tray radio group, unreadable and unwritable phone lists and the keyring.

#include "SetupForm.h"
#include "ExSetupPhone.h"
#include "IssaUrlChoose.h"
#include "Passw.h"
#include "PhonesXml.h"
#include "UiSetupSupport.h"

#include <QFile>
#include <QRadioButton>
#include <QScreen>
#include <QTabWidget>
#include <QTest>

namespace {
TSetupPhoneLine phone(const char *number, const char *password, bool monitor = true, const char *alias = "")
{
    TSetupPhoneLine line;
    std::tie(line.Number, line.Password, line.Alias, line.Monitor)
        = std::tuple(U(number), U(password), U(alias), monitor);
    return line;
}

class SetupFormTest : public ::testing::Test {
protected:
    // Stores the lines in slots 1, 2... of phones.xml and loads them, as a restart would.
    void storePhones(const std::vector<TSetupPhoneLine> &lines)
    {
        TSetupModel model;
        for (size_t i = 0; i < lines.size(); ++i)
            model.SetLine(int(i) + 1, lines[i]);
        SavePhonesInfoToXml(model, state.Paths.PhonesXmlFileName, MaxPhones);
        state.Setup = TSetupModel{};
        LoadPhonesInfoFromXml(state.Setup, state.Paths.PhonesXmlFileName, MaxPhones);
        LoadIniFile(state.IniFile, state.Setup);
    }
    TSetupModel reloaded()
    {
        TSetupModel model;
        LoadPhonesInfoFromXml(model, state.Paths.PhonesXmlFileName, MaxPhones);
        return model;
    }
    QByteArray listBytes(const QString &suffix = {}) { return ReadFileBytes(state.Paths.PhonesXmlFileName + suffix); }
    // Clicks "Сохранить"; the texts of the message boxes it brought up.
    QStringList save()
    {
        MessageCatcher catcher;
        QTest::mouseClick(dlg.bnOK, Qt::LeftButton);
        return catcher.texts;
    }
    void click(QAbstractButton *button) { QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(5, 5)); }
    UiHome home;
    TProgramState &state = home.state;
    TfrmSetup dlg{state};
    const TSetupRowWidgets &row(int slot) { return dlg.Row(slot); }
};
}  // namespace

TEST_F(SetupFormTest, KeyFiltersRefreshCaptionsMarkTicksAndTheScreensSize)
{
    dlg.show();
    row(1).cbMonitor->setChecked(true);
    QLineEdit *const edits[]
        = {row(1).edNumber, row(1).edPassword, row(1).edAlias, dlg.edBalanceLessThen, dlg.edTurnOffLessThen};
    const QStringList typed = Split("a/ 9+1-6x|p 12,3|Дом 1,a|-1,5a$ 2|3,5x");
    QStringList kept;
    for (int i = 0; i < typed.size(); ++i) {
        edits[i]->clear();
        TypeText(edits[i], typed[i]);
        kept << edits[i]->text();
    }
    EXPECT_EQ(kept, Split("9+1-6|123|Дом 1,a|-1.5 2|3,5x"));
    QTest::keyClick(row(1).edNumber, Qt::Key_Backspace);  // control keys pass
    QTest::keyClick(row(1).edNumber, Qt::Key_Left);
    TypeText(row(1).edNumber, U("7"));
    EXPECT_EQ(row(1).edNumber->text(), U("9+17-"));

    for (auto [hours, word] : {std::pair{"4", "часа"}, {"5", "часов"}, {"24", "часов"}, {"3", "часа"}}) {
        dlg.cbRefreshTime->setCurrentText(U(hours));
        EXPECT_EQ(dlg.lblRefresh_b->text(), U(word));
    }
    dlg.cbMarkIfBalance->click();
    dlg.cbMarkIfTurnOff->click();
    EXPECT_FALSE(dlg.edBalanceLessThen->isEnabled() || dlg.edTurnOffLessThen->isEnabled());
    dlg.cbMarkIfBalance->click();
    EXPECT_TRUE(dlg.edBalanceLessThen->isEnabled());

    // A 1080-line screen at scale 2 less a panel leaves some 500 lines: every
    // page scrolls, and a dialog taller than the screen is fitted into its free area.
    dlg.hide();
    for (int page = 0; page < dlg.pages()->count(); ++page) {
        dlg.pages()->setCurrentIndex(page);
        dlg.resize(dlg.width(), 320);
        EXPECT_LE(dlg.height(), 320) << "page " << page;
    }
    dlg.resize(dlg.width(), 5000);
    dlg.show();
    EXPECT_TRUE(dlg.screen()->availableGeometry().contains(dlg.frameGeometry()));
    for (QPushButton *button : {dlg.bnOK, dlg.bnCancel})
        EXPECT_TRUE(button->isVisible() && dlg.rect().contains(QRect(button->mapTo(&dlg, QPoint()), button->size())));
}

TEST_F(SetupFormTest, ShowingLoadsTheRowsCancellingRestoresThemSaveChecksThem)
{
    state.ServersIni.WriteString(U("Питер"), U("ShortName"), U("СПБ"));
    state.ServersIni.WriteString(U("Питер"), U("LoginURL"), U("http://127.0.0.1:1/x"));
    TSetupPhoneLine own = phone("9161112233", "secret1", true, "Дом");
    own.Region = U("СПБ");
    storePhones({own, phone("9162223344", "", false)});
    state.Setup.General.cbRefreshTime = 7;
    state.Setup.General.edBalanceLessThen = U("3.25");
    const QByteArray stored = listBytes();
    dlg.show();
    EXPECT_TRUE(dlg.IsOpen());
    EXPECT_EQ(
        QStringList({row(1).edPassword->text(), row(1).edAlias->text(), row(1).bnIssa->text(), row(3).bnIssa->text(),
                     dlg.cbRefreshTime->currentText(), dlg.edBalanceLessThen->text(), row(2).edNumber->text()}),
        Split("secret1|Дом|СПБ|МСК|24|3.25|9162223344"));
    // A row that is not monitored is greyed but keeps its contents.
    EXPECT_FALSE(row(2).edNumber->isEnabled() || row(2).rbTrayShow->isEnabled());

    // Cancelled by the button, Esc or the close box.
    for (int way = 0; way < 3; ++way) {
        SCOPED_TRACE(way);
        dlg.show();
        EXPECT_TRUE(row(1).edNumber->text() == U("9161112233") && !row(2).cbMonitor->isChecked());
        QTest::mouseClick(row(1).cbMonitor, Qt::LeftButton, {}, QPoint(8, 10));
        EXPECT_FALSE(row(1).edNumber->isEnabled() || row(1).bnExSetup->isEnabled());
        row(2).cbMonitor->setChecked(true);
        way == 0 ? click(dlg.bnCancel) : way == 1 ? QTest::keyClick(&dlg, Qt::Key_Escape) : void(dlg.close());
        EXPECT_TRUE(!dlg.isVisible() && !dlg.IsOpen() && dlg.result() == QDialog::Rejected);
        EXPECT_EQ(listBytes(), stored);
        EXPECT_TRUE(state.Setup.Line(1).Monitor && !state.Setup.Line(2).Monitor);
    }

    dlg.show();
    auto refused = [&](const char *message, QLineEdit *focus) {
        dlg.pages()->setCurrentIndex(2);
        const QStringList texts = save();
        EXPECT_TRUE(texts.size() == 1 && texts[0].contains(U(message))) << texts.join('|').toStdString();
        EXPECT_TRUE(dlg.isVisible() && dlg.pages()->currentWidget() == dlg.phonesPage() && dlg.focusWidget() == focus);
        EXPECT_EQ(listBytes(), stored);
    };
    row(3).cbMonitor->setChecked(true);
    row(3).edNumber->setText(U("   "));
    row(7).cbMonitor->setChecked(true);
    refused("Не заполнен номер телефона", row(3).edNumber);
    row(3).edNumber->setText(U("9163334455"));
    row(7).edNumber->setText(U("9167778899"));
    row(7).edPassword->setText(U("77"));
    refused("Не заполнен пароль", row(3).edPassword);
    // "+7-..." and "8-..." are taken as the ten digits, anything else is refused.
    row(3).edPassword->setText(U("33"));
    row(7).edNumber->setText(U("8-916-777"));
    refused("8-916-777", row(7).edNumber);
    row(7).edNumber->setText(U("+7-916-777-88-99"));

    WhenModal<TfrmIssaUrlChoose>([](TfrmIssaUrlChoose *c) {
        EXPECT_EQ(c->SelectedShortName(), U("МСК"));
        c->cbIssaLongName->setCurrentIndex(1);
        QTest::mouseClick(c->bnChoose, Qt::LeftButton);
    });
    QTest::mouseClick(row(3).bnIssa, Qt::LeftButton);
    EXPECT_EQ(row(3).bnIssa->text(), U("СПБ"));
    WhenModal<TfrmExSetupPhone>([](TfrmExSetupPhone *e) {
        EXPECT_EQ(e->lblPhone->text(), U("9161112233 (Дом)"));
        e->cbIndividSetup->setChecked(true);
        e->edBalanceLessThen->setText(U("7.5"));
        QTest::mouseClick(e->bnOK, Qt::LeftButton);
    });
    QTest::mouseClick(row(1).bnExSetup, Qt::LeftButton);
    EXPECT_TRUE(dlg.EditedModel().Line(1).ExSettings.Individual);
    EXPECT_FALSE(state.Setup.Line(1).ExSettings.Individual);  // not before "Сохранить"

    // The unmonitored row 2 without a password is not checked, and is saved.
    EXPECT_EQ(save(), QStringList());
    EXPECT_TRUE(dlg.result() == QDialog::Accepted && !dlg.isVisible());
    EXPECT_EQ(state.Setup.Line(7).Number, U("9167778899"));  // slots kept until the next load
    const TSetupModel back = reloaded();
    EXPECT_EQ(QStringList({back.Line(1).Region, back.Line(2).Number, back.Line(3).Number, back.Line(3).Region,
                           back.Line(4).Number, back.Line(4).Password}),
              Split("СПБ|9162223344|9163334455|СПБ|9167778899|77"));
    EXPECT_TRUE(!back.Line(2).Monitor && back.Line(1).ExSettings.BalanceLessThen == 7.5f);
    EXPECT_FALSE(QFile::exists(state.Paths.PhonesXmlFileName + U(".bad")));  // a readable list has no copy
}

TEST_F(SetupFormTest, RunSetupDialogSavesTheGeneralSettingsAndTheTrayChoice)
{
    TSetupPhoneLine shown = phone("9162223344", "pw");
    shown.TrayShow = true;
    storePhones({phone("9161112233", "pw"), shown});
    SaveIniFile(state.IniFile, state.Setup);
    const QByteArray storedIni = ReadFileBytes(state.Paths.IniFileName);
    WhenModal<TfrmSetup>([this](TfrmSetup *d) {
        d->cbExecAfterRun->setChecked(true);
        d->edTurnOffLessThen->setText(U("9"));
        d->cbRequestNow->setChecked(true);
        click(d->rbTrayShowMinimal);
        click(d->bnCancel);
    });
    TSetupResult result = RunSetupDialog(dlg);
    EXPECT_TRUE(!result.Confirmed && result.RequestNow);  // ticked as the dialog closed, whichever way
    EXPECT_EQ(ReadFileBytes(state.Paths.IniFileName), storedIni);
    EXPECT_TRUE(!state.Setup.General.cbExecAfterRun && state.Setup.General.edTurnOffLessThen == U("2"));
    EXPECT_EQ(state.Setup.TraySlot(), 2);

    // Shown again: the stored values, "Сохранить и запросить баланс" unticked;
    // the tray choice is one group over the rows and the two buttons.
    WhenModal<TfrmSetup>([this](TfrmSetup *d) {
        EXPECT_FALSE(d->cbRequestNow->isChecked() || d->cbExecAfterRun->isChecked());
        EXPECT_TRUE(row(2).rbTrayShow->isChecked() && !d->rbTrayNotShow->isChecked());
        click(row(1).rbTrayShow);
        EXPECT_FALSE(row(2).rbTrayShow->isChecked());
        click(d->rbTrayShowMinimal);
        EXPECT_FALSE(row(1).rbTrayShow->isChecked());
        d->cbExecAfterRun->setChecked(true);
        d->cbRefreshTime->setCurrentIndex(0);
        click(d->bnOK);
    });
    result = RunSetupDialog(dlg);
    EXPECT_TRUE(result.Confirmed && !result.RequestNow && RequestIntervalMs(state.Setup) == 3 * 3600000LL);
    storePhones({phone("9161112233", "pw")});  // a restart
    dlg.show();
    EXPECT_TRUE(state.Setup.General.cbExecAfterRun && dlg.rbTrayShowMinimal->isChecked());
}

TEST_F(SetupFormTest, UnreadableListsAreKeptAndAFailedSaveKeepsTheDialogOpen)
{
    const QByteArray broken = "<Phones><Phone Number=\"916\"";
    WriteFileBytes(state.Paths.PhonesXmlFileName, broken);
    dlg.show();
    row(1).cbMonitor->setChecked(true);
    row(1).edNumber->setText(U("9165550000"));
    row(1).edPassword->setText(U("5"));
    EXPECT_EQ(save(), QStringList());
    EXPECT_TRUE(listBytes(U(".bad")) == broken && reloaded().Line(1).Number == U("9165550000"));

    // A list that stops loading at a bad element is kept as well.
    QByteArray badElement = listBytes();
    badElement.replace("</Phones>", "<Phone Number=\"9160000001\"/></Phones>");
    WriteFileBytes(state.Paths.PhonesXmlFileName, badElement);
    dlg.show();
    EXPECT_TRUE(row(1).edNumber->text() == U("9165550000")
                && ReadFileBytes(ErrorLogFileName()).contains("SetupForm.showEvent"));
    EXPECT_EQ(save(), QStringList());
    EXPECT_EQ(listBytes(U(".bad")), badElement);

    // A folder has taken the phone list's name: the list cannot be written.
    dlg.show();
    row(1).edNumber->setText(U("9161111111"));
    ASSERT_TRUE(QFile::remove(state.Paths.PhonesXmlFileName) && QDir().mkdir(state.Paths.PhonesXmlFileName));
    const QStringList texts = save();
    EXPECT_TRUE(texts.size() == 1 && texts[0].startsWith(U("Настройки не сохранены")) && dlg.isVisible());
    EXPECT_TRUE(state.Setup.Line(1).Number == U("9165550000")
                && ReadFileBytes(ErrorLogFileName()).contains("SetupForm.accept"));
}

// The tick moves every password into the keyring and back at "Сохранить", and the dialog says
// where they are. Run by keyring_test.sh in a session with a Secret Service; elsewhere skipped.
TEST_F(SetupFormTest, KeyringTickMovesThePasswordsAndSaysWhereTheyAre)
{
    if (qEnvironmentVariableIsEmpty("SALDOMAT_KEYRING_INNER"))
        GTEST_SKIP() << "run by keyring_test.sh in a session with a Secret Service";
    storePhones({phone("9161112233", "2718", true), phone("9162223344", "3141", false)});
    SetProxyCredentials(state, U("proxy-user"), U("1618"));
    auto proxyStored = [&] { return state.IniFile.ReadString(U("Connection"), U("ProxyPassword"), QString()); };
    auto closed = [&] { return QTest::qWaitFor([&] { return !dlg.isVisible(); }); };
    dlg.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return dlg.lblKeyring->text().contains(U("в связке ключей системы (")); }));
    EXPECT_TRUE(dlg.cbKeyring->isChecked());
    dlg.accept();
    ASSERT_TRUE(closed());
    EXPECT_TRUE(listBytes().count("Keyring=\"True\"") == 2 && listBytes().count("Password=\"\"") == 2);
    EXPECT_EQ(state.Setup.Line(1).Password, U("2718"));
    EXPECT_TRUE(ProxyPasswordInKeyring(state) && proxyStored().isEmpty());
    EXPECT_EQ(GetProxyPassword(state), U("1618"));

    // Shown again, the rows show the passwords read from the keyring.
    dlg.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return row(2).edPassword->text() == U("3141"); }));
    EXPECT_EQ(row(1).edPassword->text(), U("2718"));
    dlg.cbKeyring->setChecked(false);
    EXPECT_TRUE(dlg.lblKeyring->text().contains(U("в замаскированном виде")));
    dlg.accept();
    ASSERT_TRUE(closed());
    EXPECT_FALSE(listBytes().contains("Keyring="));
    TSetupModel back = reloaded();
    back.ReleasePhonesLock();
    EXPECT_EQ(back.Line(1).Password + back.Line(2).Password, U("27183141"));
    EXPECT_TRUE(!ProxyPasswordInKeyring(state) && DecodePass(proxyStored()) == U("1618"));
}
