// The history chooser: stored values, the period rules, the key filter and
// the phone rows.
#include "History.h"
#include "HistoryPhone.h"
#include "ModalWatcher.h"
#include "UiHistoryTestUtil.h"

#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTest>

namespace {
const QString kSection = QStringLiteral("History Form");

template <class T> T *child(QWidget *w, const QString &name)
{
    T *found = w->findChild<T *>(name);
    EXPECT_NE(found, nullptr) << name.toStdString();
    return found;
}

void setPeriod(TfrmHistory &h, const char *radio, const char *edit = nullptr, const QString &text = QString())
{
    child<QRadioButton>(&h, QString::fromLatin1(radio))->setChecked(true);
    if (edit)
        child<QLineEdit>(&h, QString::fromLatin1(edit))->setText(text);
}

class ChooserTest : public UiHistoryTest { };
}  // namespace

TEST_F(ChooserTest, DefaultsWithoutStoredValues)
{
    TfrmHistory h(state);
    EXPECT_EQ(child<QLineEdit>(&h, "edLastRequest")->text(), "50");
    EXPECT_EQ(child<QLineEdit>(&h, "edLastDays")->text(), "2");
    EXPECT_TRUE(child<QRadioButton>(&h, "rbShowLastRequest")->isChecked());
    const HistoryRequest r = h.RequestPeriod();
    EXPECT_EQ(r.mode, HistoryPeriod::LastCount);
    EXPECT_EQ(r.n, 50);
}

TEST_F(ChooserTest, StoredValuesAreCheckedAndWrittenBack)
{
    state.IniFile.WriteString(kSection, QStringLiteral("edLastRequest"), QStringLiteral("abc"));
    state.IniFile.WriteString(kSection, QStringLiteral("edLastDays"), QStringLiteral("1.5"));
    state.IniFile.WriteInteger(kSection, QStringLiteral("Height"), 420);
    state.IniFile.WriteInteger(kSection, QStringLiteral("Left"), 30);
    state.IniFile.WriteInteger(kSection, QStringLiteral("Top"), 40);
    {
        TfrmHistory h(state);
        EXPECT_EQ(child<QLineEdit>(&h, "edLastRequest")->text(), "50");
        EXPECT_EQ(child<QLineEdit>(&h, "edLastDays")->text(), "1.5");  // a number, shown as it is
        EXPECT_EQ(h.height(), 420);
        EXPECT_EQ(h.pos(), QPoint(30, 40));

        // 1.5 is not a whole number: the request takes 2 days.
        setPeriod(h, "rbShowLastDays");
        EXPECT_EQ(h.RequestPeriod().mode, HistoryPeriod::LastDays);
        EXPECT_EQ(h.RequestPeriod().n, 2);
        setPeriod(h, "rbShowLastDays", "edLastDays", QStringLiteral("9"));
        EXPECT_EQ(h.RequestPeriod().n, 9);
        setPeriod(h, "rbShowLastRequest", "edLastRequest", QStringLiteral("7.5"));
        EXPECT_EQ(h.RequestPeriod().mode, HistoryPeriod::LastCount);
        EXPECT_EQ(h.RequestPeriod().n, 50);
        setPeriod(h, "rbShowLastRequest", "edLastRequest", QStringLiteral("12"));
        EXPECT_EQ(h.RequestPeriod().n, 12);
        setPeriod(h, "rbShowAll");
        EXPECT_EQ(h.RequestPeriod().mode, HistoryPeriod::All);
        EXPECT_EQ(h.RequestPeriod().n, 0);
        h.resize(275, 500);
        h.move(60, 70);
    }
    EXPECT_EQ(state.IniFile.ReadString(kSection, QStringLiteral("edLastRequest"), QString()), "12");
    EXPECT_EQ(state.IniFile.ReadString(kSection, QStringLiteral("edLastDays"), QString()), "9");
    EXPECT_EQ(state.IniFile.ReadInteger(kSection, QStringLiteral("Height"), 0), 500);
    EXPECT_EQ(state.IniFile.ReadInteger(kSection, QStringLiteral("Left"), 0), 60);
    EXPECT_EQ(state.IniFile.ReadInteger(kSection, QStringLiteral("Top"), 0), 70);

    // A place far off every screen is not taken.
    state.IniFile.WriteInteger(kSection, QStringLiteral("Left"), 50000);
    TfrmHistory again(state);
    EXPECT_NE(again.pos().x(), 50000);
    EXPECT_EQ(again.height(), 500);
}

TEST_F(ChooserTest, KeyFilterTurnsCommaIntoPointAndDropsOtherCharacters)
{
    TfrmHistory h(state);
    for (const char *name : {"edLastRequest", "edLastDays"}) {
        auto *ed = child<QLineEdit>(&h, QString::fromLatin1(name));
        ed->setText(QString());
        QTest::keyClicks(ed, QStringLiteral("1,5a b-x9"));
        EXPECT_EQ(ed->text(), "1.59") << name;
        QTest::keyClick(ed, Qt::Key_Backspace);
        EXPECT_EQ(ed->text(), "1.59") << name;
        QTest::keyClick(ed, Qt::Key_Home);
        QTest::keyClick(ed, Qt::Key_Delete);  // not a character: left to the edit
        EXPECT_EQ(ed->text(), ".59") << name;
    }
}

TEST_F(ChooserTest, OneRowPerMonitoredPhoneInSlotOrder)
{
    phone(3, QStringLiteral("9031110003"), QStringLiteral("Дом"));
    phone(7, QStringLiteral("9031110007"));
    phone(12, QStringLiteral("9031110012"), QStringLiteral("Офис"));
    MonitorPhone(state.Setup, 5, QStringLiteral("9031110005"));
    TSetupPhoneLine off = state.Setup.Line(5);
    off.Monitor = false;
    state.Setup.SetLine(5, off);

    TfrmHistory h(state);
    EXPECT_EQ(h.PhoneSlots(), (QList<int>{3, 7, 12}));
    EXPECT_EQ(h.findChild<QRadioButton *>(QStringLiteral("rbPhone_5")), nullptr);
    auto *rb3 = child<QRadioButton>(&h, "rbPhone_3");
    auto *rb12 = child<QRadioButton>(&h, "rbPhone_12");
    EXPECT_EQ(rb3->text(), "(903) 111-0003 [Дом]");

    EXPECT_TRUE(rb3->isChecked());
    EXPECT_EQ(h.SelectedPhone(), 3);
    h.show();
    QTest::mouseClick(rb12, Qt::LeftButton);
    EXPECT_EQ(h.SelectedPhone(), 12);
    EXPECT_TRUE(rb12->isChecked());
    EXPECT_FALSE(rb3->isChecked());
}

TEST_F(ChooserTest, NoMonitoredPhoneLeavesTheAreaEmptyAndTheButtonsOff)
{
    TfrmHistory h(state);
    EXPECT_TRUE(h.PhoneSlots().isEmpty());
    EXPECT_EQ(h.SelectedPhone(), 0);
    EXPECT_TRUE(h.findChildren<QRadioButton *>(QRegularExpression(QStringLiteral("^rbPhone_"))).isEmpty());
    EXPECT_FALSE(child<QPushButton>(&h, "bnShow")->isEnabled());
    EXPECT_FALSE(child<QPushButton>(&h, "bnExcel")->isEnabled());
}

TEST_F(ChooserTest, ShowAndDoubleClickOpenTheGridOfTheChosenPhoneForThePeriod)
{
    phone(2, QStringLiteral("9032220002"), QStringLiteral("Первый"));
    phone(4, QStringLiteral("9032220004"), QStringLiteral("Второй"));
    const TDateTime now = NowOle();
    for (int i = 0; i < 5; ++i)
        StoreRow(db, {QStringLiteral("9032220004"), now - i * 0.1, 10.0 + i});
    StoreRow(db, {QStringLiteral("9032220002"), now, 99});

    TfrmHistory h(state);
    h.show();
    ModalWatcher watcher;
    int rowsShown = -1;
    watcher.onWindow([&](QWidget *w) {
        if (auto *grid = qobject_cast<TfrmHistoryPhone *>(w))
            rowsShown = grid->grid()->rowCount();
    });
    setPeriod(h, "rbShowLastRequest", "edLastRequest", QStringLiteral("3"));
    QTest::mouseClick(child<QRadioButton>(&h, "rbPhone_4"), Qt::LeftButton);
    QTest::mouseClick(child<QPushButton>(&h, "bnShow"), Qt::LeftButton);
    ASSERT_EQ(watcher.seen().size(), 1);
    EXPECT_EQ(watcher.seen()[0].className, "TfrmHistoryPhone");
    EXPECT_EQ(watcher.seen()[0].text, "Телефон (903) 222-0004 [Второй]");
    EXPECT_EQ(rowsShown, 3);

    // Double-click: the click selects slot 2, then its grid opens.
    QTest::mouseDClick(child<QRadioButton>(&h, "rbPhone_2"), Qt::LeftButton);
    QTRY_COMPARE(watcher.seen().size(), 2);
    EXPECT_EQ(h.SelectedPhone(), 2);
    EXPECT_EQ(watcher.seen()[1].text, "Телефон (903) 222-0002 [Первый]");
    EXPECT_EQ(rowsShown, 1);
}

TEST_F(ChooserTest, ShowHistoryOpensOneChooser)
{
    ModalWatcher watcher;
    bool wasInstance = false;
    watcher.onWindow([&](QWidget *w) {
        wasInstance = TfrmHistory::Instance() == w;
        ShowHistory(state);  // a second choice while open: no second chooser
    });
    ShowHistory(state);
    ASSERT_EQ(watcher.seen().size(), 1);
    EXPECT_EQ(watcher.seen()[0].className, "TfrmHistory");
    EXPECT_TRUE(wasInstance);
    EXPECT_EQ(TfrmHistory::Instance(), nullptr);
}

TEST_F(ChooserTest, EscapeClosesTheChooserAlsoFromAnEdit)
{
    TfrmHistory h(state);
    h.show();
    auto *ed = child<QLineEdit>(&h, "edLastDays");
    ed->setFocus();
    QTest::keyClick(ed, Qt::Key_Escape);
    EXPECT_FALSE(h.isVisible());
    EXPECT_EQ(h.result(), QDialog::Rejected);
}

TEST_F(ChooserTest, PhonesWindowOpensTheGridOfASlotWithTheNewestRows)
{
    phone(6, QStringLiteral("9035550006"), QStringLiteral("Шестой"));
    const TDateTime now = NowOle();
    for (int i = 0; i < 60; ++i)
        StoreRow(db, {QStringLiteral("9035550006"), now - i * 0.01, 1.0 * i});
    ModalWatcher watcher;
    int rows = -1;
    QString newest;
    watcher.onWindow([&](QWidget *w) {
        auto *grid = qobject_cast<TfrmHistoryPhone *>(w);
        ASSERT_NE(grid, nullptr);
        rows = grid->grid()->rowCount();
        newest = grid->grid()->item(0, 2)->text();
    });
    ShowHistoryPhone(state, 6);
    ASSERT_EQ(watcher.seen().size(), 1);
    EXPECT_EQ(watcher.seen()[0].text, "Телефон (903) 555-0006 [Шестой]");
    EXPECT_EQ(rows, 50);
    EXPECT_EQ(newest, "0.00");
}
