// The setup dialog: key filters, the "Сохранить" checks, cancelling, the tray
// radio group, the refresh-time captions, the enabling rules, unreadable and
// unwritable phone lists, the screen's size and the keyring.

#include "SetupForm.h"
#include "ExSetupPhone.h"
#include "IssaUrlChoose.h"
#include "Passw.h"
#include "PhonesXml.h"
#include "UiSetupSupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>

namespace {
TSetupPhoneLine phone(const char *number, const char *password, bool monitor = true, const char *alias = "")
{
    TSetupPhoneLine line;
    line.Number = QString::fromUtf8(number);
    line.Password = QString::fromUtf8(password);
    line.Alias = QString::fromUtf8(alias);
    line.Monitor = monitor;
    return line;
}

// Stores rows in phones.xml and the model, as a run of the program would have.
void storePhones(TProgramState &state, const std::vector<std::pair<int, TSetupPhoneLine>> &rows)
{
    TSetupModel model;
    for (const auto &[slot, line] : rows)
        model.SetLine(slot, line);
    SavePhonesInfoToXml(model, state.Paths.PhonesXmlFileName, MaxPhones);
    LoadPhonesInfoFromXml(state.Setup, state.Paths.PhonesXmlFileName, MaxPhones);
    LoadIniFile(state.IniFile, state.Setup);
}

class SetupFormTest : public ::testing::Test {
protected:
    UiHome home;
    TProgramState &state = home.state;
    TfrmSetup dlg{state};
    const TSetupRowWidgets &row(int slot) { return dlg.Row(slot); }
};
}  // namespace

TEST_F(SetupFormTest, KeyFiltersOfTheFields)
{
    dlg.show();
    row(1).cbMonitor->setChecked(true);
    TypeText(row(1).edNumber, QStringLiteral("a/ 9+1-6x"));
    EXPECT_EQ(row(1).edNumber->text(), QStringLiteral("9+1-6"));
    QTest::keyClick(row(1).edNumber, Qt::Key_Backspace);  // control keys pass
    QTest::keyClick(row(1).edNumber, Qt::Key_Left);
    TypeText(row(1).edNumber, QStringLiteral("7"));
    EXPECT_EQ(row(1).edNumber->text(), QStringLiteral("9+17-"));
    TypeText(row(1).edPassword, QStringLiteral("p 12,3"));
    EXPECT_EQ(row(1).edPassword->text(), QStringLiteral("123"));
    TypeText(row(1).edAlias, U("Дом 1,a"));
    EXPECT_EQ(row(1).edAlias->text(), U("Дом 1,a"));

    dlg.edBalanceLessThen->clear();
    TypeText(dlg.edBalanceLessThen, QStringLiteral("-1,5a$ 2"));
    EXPECT_EQ(dlg.edBalanceLessThen->text(), QStringLiteral("-1.5 2"));
    dlg.edTurnOffLessThen->clear();
    TypeText(dlg.edTurnOffLessThen, QStringLiteral("3,5x"));
    EXPECT_EQ(dlg.edTurnOffLessThen->text(), QStringLiteral("3,5x"));
}

TEST_F(SetupFormTest, ShowingLoadsTheStoredRowsAndSettings)
{
    TSetupPhoneLine own = phone("9161112233", "secret1", true, "Дом");
    own.Region = QStringLiteral("СПБ");
    own.ExSettings = {true, 1.5f, 4};
    storePhones(state, {{1, own}, {2, phone("9162223344", "", false)}});
    state.Setup.General.cbSMS = true;
    state.Setup.General.cbRefreshTime = 7;
    state.Setup.General.edBalanceLessThen = QStringLiteral("3.25");
    dlg.show();

    EXPECT_EQ(row(1).edNumber->text(), QStringLiteral("9161112233"));
    EXPECT_EQ(row(1).edPassword->text(), QStringLiteral("secret1"));
    EXPECT_EQ(row(1).edPassword->echoMode(), QLineEdit::Password);
    EXPECT_EQ(row(1).edAlias->text(), U("Дом"));
    EXPECT_EQ(row(1).bnIssa->text(), U("СПБ"));
    EXPECT_EQ(row(3).bnIssa->text(), U("МСК"));
    EXPECT_TRUE(dlg.cbSMS->isChecked());
    EXPECT_EQ(dlg.cbRefreshTime->currentText(), QStringLiteral("24"));
    EXPECT_EQ(dlg.edBalanceLessThen->text(), QStringLiteral("3.25"));
    EXPECT_TRUE(dlg.cbBalans->isChecked());
    EXPECT_FALSE(dlg.cbBalans->isEnabled());
    EXPECT_TRUE(dlg.IsOpen());

    // A row that is not monitored is greyed but keeps its contents.
    EXPECT_TRUE(row(1).edNumber->isEnabled());
    EXPECT_FALSE(row(2).edNumber->isEnabled());
    EXPECT_FALSE(row(2).bnIssa->isEnabled());
    EXPECT_FALSE(row(2).rbTrayShow->isEnabled());
    EXPECT_EQ(row(2).edNumber->text(), QStringLiteral("9162223344"));
    QTest::mouseClick(row(1).cbMonitor, Qt::LeftButton, {}, QPoint(8, 10));
    EXPECT_FALSE(row(1).cbMonitor->isChecked());
    for (QWidget *w : {static_cast<QWidget *>(row(1).edNumber), static_cast<QWidget *>(row(1).edPassword),
                       static_cast<QWidget *>(row(1).edAlias), static_cast<QWidget *>(row(1).bnIssa),
                       static_cast<QWidget *>(row(1).bnExSetup), static_cast<QWidget *>(row(1).rbTrayShow)})
        EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();

    dlg.reject();
    EXPECT_FALSE(dlg.IsOpen());
}

TEST_F(SetupFormTest, SaveChecksNumbersThenPasswordsAndFocusesTheFirstGap)
{
    storePhones(state, {{1, phone("9161112233", "pw1")}, {2, phone("9169990000", "", false)}});
    const QByteArray stored = ReadFileBytes(InitPaths().PhonesXmlFileName);
    dlg.show();
    dlg.pages()->setCurrentIndex(2);
    row(3).cbMonitor->setChecked(true);
    row(3).edNumber->setText(QStringLiteral("   "));
    row(7).cbMonitor->setChecked(true);
    {
        MessageCatcher catcher;
        QTest::mouseClick(dlg.bnOK, Qt::LeftButton);
        ASSERT_EQ(catcher.texts, QStringList{U("Не заполнен номер телефона")});
        EXPECT_EQ(catcher.icons.value(0), QMessageBox::Critical);
    }
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_EQ(dlg.pages()->currentWidget(), dlg.phonesPage());
    EXPECT_EQ(dlg.focusWidget(), row(3).edNumber);
    EXPECT_EQ(ReadFileBytes(InitPaths().PhonesXmlFileName), stored);
    row(3).edNumber->setText(QStringLiteral("9163334455"));
    row(7).edNumber->setText(QStringLiteral("9167778899"));
    row(7).edPassword->setText(QStringLiteral("77"));
    {
        MessageCatcher catcher;
        QTest::mouseClick(dlg.bnOK, Qt::LeftButton);
        ASSERT_EQ(catcher.texts, QStringList{U("Не заполнен пароль")});
        EXPECT_EQ(catcher.icons.value(0), QMessageBox::Critical);
    }
    EXPECT_EQ(dlg.focusWidget(), row(3).edPassword);
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_EQ(ReadFileBytes(InitPaths().PhonesXmlFileName), stored);

    // A watched number that is not ten digits is refused; "+7-..." and "8-..."
    // are stored as the ten digits.
    row(3).edPassword->setText(QStringLiteral("33"));
    row(7).edNumber->setText(QStringLiteral("8-916-777"));
    {
        MessageCatcher catcher;
        QTest::mouseClick(dlg.bnOK, Qt::LeftButton);
        ASSERT_EQ(catcher.texts.size(), 1);
        EXPECT_TRUE(catcher.texts[0].contains(QStringLiteral("8-916-777"))) << catcher.texts[0].toStdString();
    }
    EXPECT_EQ(dlg.focusWidget(), row(7).edNumber);
    EXPECT_EQ(ReadFileBytes(InitPaths().PhonesXmlFileName), stored);
    row(7).edNumber->setText(QStringLiteral("+7-916-777-88-99"));
    // The unmonitored row 2 without a password is not checked, and is saved.
    MessageCatcher catcher;
    QTest::mouseClick(dlg.bnOK, Qt::LeftButton);
    EXPECT_TRUE(catcher.texts.isEmpty());
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_FALSE(dlg.isVisible());
    // Until the next load the rows keep their slots.
    EXPECT_EQ(state.Setup.Line(7).Number, QStringLiteral("9167778899"));
    TSetupModel reloaded;
    LoadPhonesInfoFromXml(reloaded, InitPaths().PhonesXmlFileName, MaxPhones);
    EXPECT_EQ(reloaded.Line(2).Number, QStringLiteral("9169990000"));
    EXPECT_FALSE(reloaded.Line(2).Monitor);
    EXPECT_EQ(reloaded.Line(3).Number, QStringLiteral("9163334455"));
    EXPECT_EQ(reloaded.Line(4).Number, QStringLiteral("9167778899"));
    EXPECT_EQ(reloaded.Line(4).Password, QStringLiteral("77"));
}

TEST_F(SetupFormTest, CancellingByButtonEscOrCloseBoxRestoresTheStoredRows)
{
    storePhones(state, {{1, phone("9161112233", "pw1", true, "A")}});
    const QByteArray stored = ReadFileBytes(InitPaths().PhonesXmlFileName);
    for (int way = 0; way < 3; ++way) {
        dlg.show();
        EXPECT_EQ(row(1).edNumber->text(), QStringLiteral("9161112233")) << way;
        row(1).edNumber->setText(QStringLiteral("000"));
        row(2).cbMonitor->setChecked(true);
        row(2).edNumber->setText(QStringLiteral("111"));
        if (way == 0)
            QTest::mouseClick(dlg.bnCancel, Qt::LeftButton);
        else if (way == 1)
            QTest::keyClick(&dlg, Qt::Key_Escape);
        else
            dlg.close();
        EXPECT_FALSE(dlg.isVisible()) << way;
        EXPECT_EQ(dlg.result(), QDialog::Rejected) << way;
        EXPECT_EQ(ReadFileBytes(InitPaths().PhonesXmlFileName), stored) << way;
        EXPECT_EQ(state.Setup.Line(1).Number, QStringLiteral("9161112233")) << way;
        EXPECT_FALSE(state.Setup.Line(2).Monitor) << way;
    }
    dlg.show();
    EXPECT_EQ(row(1).edNumber->text(), QStringLiteral("9161112233"));
    EXPECT_TRUE(row(2).edNumber->text().isEmpty());
    EXPECT_FALSE(row(2).cbMonitor->isChecked());
}

TEST_F(SetupFormTest, RunSetupDialogSavesOrRestoresTheGeneralSettings)
{
    storePhones(state, {{1, phone("9161112233", "pw1")}});
    SaveIniFile(state.IniFile, state.Setup);
    const QByteArray storedIni = ReadFileBytes(InitPaths().IniFileName);

    WhenModal<TfrmSetup>([](TfrmSetup *d) {
        d->cbExecAfterRun->setChecked(true);
        d->cbNN->setChecked(false);
        d->edTurnOffLessThen->setText(QStringLiteral("9"));
        d->cbRequestNow->setChecked(true);
        QTest::mouseClick(d->bnCancel, Qt::LeftButton);
    });
    TSetupResult result = RunSetupDialog(state, dlg);
    EXPECT_FALSE(result.Confirmed);
    EXPECT_TRUE(result.RequestNow);  // ticked as the dialog closed, whichever way
    EXPECT_EQ(ReadFileBytes(InitPaths().IniFileName), storedIni);
    EXPECT_FALSE(state.Setup.General.cbExecAfterRun);
    EXPECT_TRUE(state.Setup.General.cbNN);
    EXPECT_EQ(state.Setup.General.edTurnOffLessThen, QStringLiteral("2"));
    EXPECT_FALSE(dlg.IsOpen());

    // Showing again unticks "Сохранить и запросить баланс" and shows the stored values.
    WhenModal<TfrmSetup>([](TfrmSetup *d) {
        EXPECT_FALSE(d->cbRequestNow->isChecked());
        EXPECT_FALSE(d->cbExecAfterRun->isChecked());
        EXPECT_TRUE(d->cbNN->isChecked());
        d->cbExecAfterRun->setChecked(true);
        d->cbRefreshTime->setCurrentIndex(0);
        QTest::mouseClick(d->bnOK, Qt::LeftButton);
    });
    result = RunSetupDialog(state, dlg);
    EXPECT_TRUE(result.Confirmed);
    EXPECT_FALSE(result.RequestNow);
    TSetupModel fromFile;
    LoadIniFile(state.IniFile, fromFile);
    EXPECT_TRUE(fromFile.General.cbExecAfterRun);
    EXPECT_EQ(fromFile.General.cbRefreshTime, 0);
    EXPECT_EQ(RequestIntervalMs(state.Setup), 3 * 3600000LL);
}

TEST_F(SetupFormTest, TrayRadioGroupSpansRowsAndTheTwoButtons)
{
    dlg.show();
    EXPECT_TRUE(dlg.rbTrayNotShow->isChecked());
    dlg.reject();

    TSetupPhoneLine shown = phone("9162223344", "pw");
    shown.TrayShow = true;
    storePhones(state, {{1, phone("9161112233", "pw")}, {2, shown}});
    dlg.show();
    EXPECT_TRUE(row(2).rbTrayShow->isChecked());
    EXPECT_FALSE(dlg.rbTrayNotShow->isChecked());
    QTest::mouseClick(dlg.rbTrayShowMinimal, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_TRUE(dlg.rbTrayShowMinimal->isChecked());
    EXPECT_FALSE(row(2).rbTrayShow->isChecked());
    QTest::mouseClick(row(1).rbTrayShow, Qt::LeftButton, {}, QPoint(8, 10));
    EXPECT_TRUE(row(1).rbTrayShow->isChecked());
    EXPECT_FALSE(dlg.rbTrayShowMinimal->isChecked());
    QTest::mouseClick(dlg.bnOK, Qt::LeftButton);
    ASSERT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(state.Setup.TraySlot(), 1);
    EXPECT_FALSE(state.Setup.TrayShowMinimal());

    // "Minimal balance" saved, and shown again after a restart.
    dlg.show();
    QTest::mouseClick(dlg.rbTrayShowMinimal, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseClick(dlg.bnOK, Qt::LeftButton);
    ASSERT_EQ(dlg.result(), QDialog::Accepted);
    SaveIniFile(state.IniFile, state.Setup);
    state.Setup = TSetupModel{};  // as after a restart
    LoadPhonesInfoFromXml(state.Setup, state.Paths.PhonesXmlFileName, MaxPhones);
    LoadIniFile(state.IniFile, state.Setup);
    EXPECT_TRUE(state.Setup.TrayShowMinimal());
    dlg.show();
    EXPECT_TRUE(dlg.rbTrayShowMinimal->isChecked());
    EXPECT_FALSE(row(1).rbTrayShow->isChecked());
    QTest::mouseClick(dlg.rbTrayNotShow, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseClick(dlg.bnOK, Qt::LeftButton);
    EXPECT_TRUE(state.Setup.TrayNotShow());
}

TEST_F(SetupFormTest, RefreshCaptionsAndMarkTicks)
{
    dlg.show();
    const struct {
        const char *value, *a, *b;
    } cases[] = {{"3", "Каждые", "часа"},   {"4", "Каждые", "часа"},   {"5", "Каждые", "часов"},
                 {"12", "Каждые", "часов"}, {"24", "Каждые", "часов"}, {"3", "Каждые", "часа"}};
    for (const auto &c : cases) {
        dlg.cbRefreshTime->setCurrentIndex(dlg.cbRefreshTime->findText(QLatin1String(c.value)));
        EXPECT_EQ(dlg.lblRefresh_a->text(), U(c.a)) << c.value;
        EXPECT_EQ(dlg.lblRefresh_b->text(), U(c.b)) << c.value;
    }

    EXPECT_TRUE(dlg.edBalanceLessThen->isEnabled());
    dlg.cbMarkIfBalance->click();
    EXPECT_FALSE(dlg.edBalanceLessThen->isEnabled());
    EXPECT_TRUE(dlg.edTurnOffLessThen->isEnabled());
    dlg.cbMarkIfTurnOff->click();
    EXPECT_FALSE(dlg.edTurnOffLessThen->isEnabled());
    dlg.cbMarkIfBalance->click();
    EXPECT_TRUE(dlg.edBalanceLessThen->isEnabled());
}

TEST_F(SetupFormTest, RowButtonsOpenTheRegionAndPerPhoneDialogs)
{
    state.ServersIni.WriteString(U("Питер"), QStringLiteral("ShortName"), U("СПБ"));
    state.ServersIni.WriteString(U("Питер"), QStringLiteral("LoginURL"), QStringLiteral("http://127.0.0.1:1/x"));
    storePhones(state, {{1, phone("9161112233", "pw", true, "Дом")}});
    dlg.show();
    WhenModal<TfrmIssaUrlChoose>([](TfrmIssaUrlChoose *c) {
        EXPECT_EQ(c->SelectedShortName(), U("МСК"));
        c->cbIssaLongName->setCurrentIndex(1);
        QTest::mouseClick(c->bnChoose, Qt::LeftButton);
    });
    QTest::mouseClick(row(1).bnIssa, Qt::LeftButton);
    EXPECT_EQ(row(1).bnIssa->text(), U("СПБ"));
    EXPECT_TRUE(dlg.isVisible());

    WhenModal<TfrmExSetupPhone>([](TfrmExSetupPhone *e) {
        EXPECT_EQ(e->lblPhone->text(), U("9161112233 (Дом)"));
        e->cbIndividSetup->setChecked(true);
        e->edBalanceLessThen->setText(QStringLiteral("7.5"));
        QTest::mouseClick(e->bnOK, Qt::LeftButton);
    });
    QTest::mouseClick(row(1).bnExSetup, Qt::LeftButton);
    EXPECT_TRUE(dlg.EditedModel().Line(1).ExSettings.Individual);
    EXPECT_FALSE(state.Setup.Line(1).ExSettings.Individual);  // not before "Сохранить"
    QTest::mouseClick(dlg.bnOK, Qt::LeftButton);
    TSetupModel reloaded;
    LoadPhonesInfoFromXml(reloaded, InitPaths().PhonesXmlFileName, MaxPhones);
    EXPECT_EQ(reloaded.Line(1).Region, U("СПБ"));
    EXPECT_TRUE(reloaded.Line(1).ExSettings.Individual);
    EXPECT_FLOAT_EQ(reloaded.Line(1).ExSettings.BalanceLessThen, 7.5f);
}

TEST_F(SetupFormTest, AnUnreadablePhoneListIsKeptBeforeItIsSavedOver)
{
    const QByteArray broken = "<Phones><Phone Number=\"916\"";
    WriteFileBytes(InitPaths().PhonesXmlFileName, broken);
    dlg.show();
    EXPECT_TRUE(row(1).edNumber->text().isEmpty());
    row(1).cbMonitor->setChecked(true);
    row(1).edNumber->setText(QStringLiteral("9165550000"));
    row(1).edPassword->setText(QStringLiteral("5"));
    QTest::mouseClick(dlg.bnOK, Qt::LeftButton);
    ASSERT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(ReadFileBytes(InitPaths().PhonesXmlFileName + QStringLiteral(".bad")), broken);
    TSetupModel reloaded;
    EXPECT_EQ(LoadPhonesInfoFromXml(reloaded, InitPaths().PhonesXmlFileName, MaxPhones), TPhonesXmlState::Loaded);
    EXPECT_EQ(reloaded.Line(1).Number, QStringLiteral("9165550000"));

    // A list that stops loading at a bad element is kept as well.
    QByteArray badElement = ReadFileBytes(InitPaths().PhonesXmlFileName);
    badElement.replace("</Phones>", "<Phone Number=\"9160000001\"/></Phones>");
    WriteFileBytes(InitPaths().PhonesXmlFileName, badElement);
    dlg.show();
    EXPECT_EQ(row(1).edNumber->text(), QStringLiteral("9165550000"));
    EXPECT_TRUE(ReadFileBytes(ErrorLogFileName()).contains("SetupForm.showEvent"));
    QTest::mouseClick(dlg.bnOK, Qt::LeftButton);
    ASSERT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(ReadFileBytes(InitPaths().PhonesXmlFileName + QStringLiteral(".bad")), badElement);

    // A readable list is saved over without a copy.
    QFile::remove(InitPaths().PhonesXmlFileName + QStringLiteral(".bad"));
    dlg.show();
    QTest::mouseClick(dlg.bnOK, Qt::LeftButton);
    EXPECT_FALSE(QFile::exists(InitPaths().PhonesXmlFileName + QStringLiteral(".bad")));
}

TEST_F(SetupFormTest, AFailedSaveKeepsTheDialogOpenAndSaysSo)
{
    storePhones(state, {{1, phone("9161112233", "pw")}});
    dlg.show();
    row(1).edNumber->setText(QStringLiteral("9160000000"));
    // A folder has taken the phone list's name: the list cannot be written.
    const QString list = state.Paths.PhonesXmlFileName;
    ASSERT_TRUE(QFile::remove(list) && QDir().mkdir(list));
    MessageCatcher catcher;
    QTest::mouseClick(dlg.bnOK, Qt::LeftButton);
    QDir().rmdir(list);
    ASSERT_EQ(catcher.texts.size(), 1);
    EXPECT_TRUE(catcher.texts[0].startsWith(U("Настройки не сохранены")));
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_EQ(state.Setup.Line(1).Number, QStringLiteral("9161112233"));
    EXPECT_TRUE(ReadFileBytes(ErrorLogFileName()).contains("SetupForm.accept"));
}

TEST_F(SetupFormTest, NeverTallerThanTheScreenAndTheButtonsStayInReach)
{
    // A 1080-line screen at scale 2 less a panel leaves some 500 lines: every
    // page scrolls instead of pushing the buttons off the screen.
    for (int page = 0; page < dlg.pages()->count(); ++page) {
        dlg.pages()->setCurrentIndex(page);
        dlg.resize(dlg.width(), 320);
        EXPECT_LE(dlg.height(), 320) << "page " << page;
    }
    dlg.pages()->setCurrentIndex(0);
    // Shown from a size taller than the screen: it is fitted into the free area.
    dlg.resize(dlg.width(), 5000);
    dlg.show();
    const QRect free = dlg.screen()->availableGeometry();
    EXPECT_LE(dlg.frameGeometry().height(), free.height());
    EXPECT_TRUE(free.contains(dlg.frameGeometry())) << dlg.frameGeometry().y() << " " << dlg.frameGeometry().height();
    for (QPushButton *button : {dlg.bnOK, dlg.bnCancel}) {
        const QRect place(button->mapTo(&dlg, QPoint(0, 0)), button->size());
        EXPECT_TRUE(button->isVisible());
        EXPECT_TRUE(dlg.rect().contains(place)) << button->text().toStdString();
    }
    dlg.reject();
}

// The tick moves every password into the keyring and back at "Сохранить", and
// the dialog says where they are. It needs a Secret Service: keyring_test.sh
// runs it inside its own session; elsewhere it is skipped.
TEST_F(SetupFormTest, KeyringTickMovesThePasswordsAndSaysWhereTheyAre)
{
    if (qEnvironmentVariableIsEmpty("SALDOMAT_KEYRING_INNER"))
        GTEST_SKIP() << "run by keyring_test.sh in a session with a Secret Service";
    storePhones(state, {{1, phone("9161112233", "2718", true)}, {2, phone("9162223344", "3141", false)}});
    SetProxyCredentials(state, QStringLiteral("proxy-user"), QStringLiteral("1618"));
    auto proxyStored = [&] {
        return state.IniFile.ReadString(QStringLiteral("Connection"), QStringLiteral("ProxyPassword"), QString());
    };
    auto fileText = [] { return QString::fromLatin1(ReadFileBytes(InitPaths().PhonesXmlFileName)); };
    dlg.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return dlg.lblKeyring->text().contains(U("в связке ключей системы (")); }));
    EXPECT_TRUE(dlg.cbKeyring->isChecked());
    dlg.accept();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dlg.isVisible(); }));
    EXPECT_EQ(fileText().count(QStringLiteral("Keyring=\"True\"")), 2);
    EXPECT_EQ(fileText().count(QStringLiteral("Password=\"\"")), 2);
    EXPECT_EQ(state.Setup.Line(1).Password, QStringLiteral("2718"));
    EXPECT_TRUE(ProxyPasswordInKeyring(state));
    EXPECT_TRUE(proxyStored().isEmpty());
    EXPECT_EQ(GetProxyPassword(state), QStringLiteral("1618"));

    // Shown again, the rows show the passwords read from the keyring.
    dlg.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return row(2).edPassword->text() == QStringLiteral("3141"); }));
    EXPECT_EQ(row(1).edPassword->text(), QStringLiteral("2718"));
    dlg.cbKeyring->setChecked(false);
    EXPECT_TRUE(dlg.lblKeyring->text().contains(U("в замаскированном виде")));
    dlg.accept();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dlg.isVisible(); }));
    EXPECT_FALSE(fileText().contains(QStringLiteral("Keyring=")));
    TSetupModel back;
    LoadPhonesInfoFromXml(back, InitPaths().PhonesXmlFileName, MaxPhones);
    back.ReleasePhonesLock();
    EXPECT_EQ(back.Line(1).Password, QStringLiteral("2718"));
    EXPECT_EQ(back.Line(2).Password, QStringLiteral("3141"));
    EXPECT_FALSE(ProxyPasswordInKeyring(state));
    EXPECT_EQ(DecodePass(proxyStored()), QStringLiteral("1618"));
}
