// The history chooser: stored values, the period rules, the key filter and
// the phone rows.
#include "History.h"
#include "UiHistoryTestUtil.h"

#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

namespace {
template <class T> T *child(QWidget *w, const char *name)
{
    T *found = w->findChild<T *>(QString::fromLatin1(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
}

class ChooserTest : public UiHistoryTest {
protected:
    // The stored values: the two edits and the window's place.
    const QStringList keys{"edLastRequest", "edLastDays", "Height", "Left", "Top"};
    void store(const QStringList &values)
    {
        for (int i = 0; i < keys.size(); ++i)
            state.IniFile.WriteString(QStringLiteral("History Form"), keys[i], values[i]);
    }
    QStringList stored()
    {
        QStringList values;
        for (const QString &key : keys)
            values << state.IniFile.ReadString(QStringLiteral("History Form"), key, QString());
        return values;
    }
};
}  // namespace

TEST_F(ChooserTest, DefaultsThenStoredValuesAreCheckedAndWrittenBack)
{
    {
        TfrmHistory h(state);  // nothing stored, no phone
        EXPECT_EQ(child<QLineEdit>(&h, "edLastDays")->text(), "2");
        EXPECT_EQ(h.RequestPeriod().mode, HistoryPeriod::LastCount);
        EXPECT_EQ(h.RequestPeriod().n, 50);
        EXPECT_TRUE(h.PhoneSlots().isEmpty());
        EXPECT_FALSE(child<QPushButton>(&h, "bnShow")->isEnabled() || child<QPushButton>(&h, "bnExcel")->isEnabled());
    }
    store({"abc", "1.5", "420", "30", "40"});
    {
        TfrmHistory h(state);
        EXPECT_EQ(child<QLineEdit>(&h, "edLastRequest")->text(), "50");
        EXPECT_EQ(child<QLineEdit>(&h, "edLastDays")->text(), "1.5");  // a number, shown as it is
        EXPECT_EQ(h.geometry().topLeft(), QPoint(30, 40));
        EXPECT_EQ(h.height(), 420);
        const struct {
            const char *radio, *edit, *text;
            HistoryPeriod mode;
            int n;
        } rows[] = {
            {"rbShowLastDays", "edLastDays", nullptr, HistoryPeriod::LastDays, 2},  // 1.5 is not whole
            {"rbShowLastDays", "edLastDays", "9", HistoryPeriod::LastDays, 9},
            {"rbShowLastRequest", "edLastRequest", "7.5", HistoryPeriod::LastCount, 50},
            {"rbShowLastRequest", "edLastRequest", "12", HistoryPeriod::LastCount, 12},
            {"rbShowAll", "edLastDays", nullptr, HistoryPeriod::All, 0},
        };
        for (const auto &row : rows) {
            SCOPED_TRACE(std::string(row.radio) + " " + (row.text ? row.text : ""));
            child<QRadioButton>(&h, row.radio)->setChecked(true);
            if (row.text)
                child<QLineEdit>(&h, row.edit)->setText(QString::fromLatin1(row.text));
            EXPECT_EQ(h.RequestPeriod().mode, row.mode);
            EXPECT_EQ(h.RequestPeriod().n, row.n);
        }
        h.setGeometry(60, 70, 275, 500);
    }
    EXPECT_EQ(stored(), QStringList({"12", "9", "500", "60", "70"}));

    store({"12", "9", "500", "50000", "70"});  // a place far off every screen is not taken
    TfrmHistory again(state);
    EXPECT_NE(again.pos().x(), 50000);
    EXPECT_EQ(again.height(), 500);
}

TEST_F(ChooserTest, KeyFilterTurnsCommaIntoPointDropsOtherCharactersAndEscapeCloses)
{
    TfrmHistory h(state);
    h.show();
    for (const char *name : {"edLastRequest", "edLastDays"}) {
        auto *ed = child<QLineEdit>(&h, name);
        ed->setText(QString());
        QTest::keyClicks(ed, QStringLiteral("1,5a b-x9"));
        EXPECT_EQ(ed->text(), "1.59") << name;
        QTest::keyClick(ed, Qt::Key_Backspace);
        EXPECT_EQ(ed->text(), "1.59") << name;
        QTest::keyClick(ed, Qt::Key_Home);
        QTest::keyClick(ed, Qt::Key_Delete);  // not a character: left to the edit
        EXPECT_EQ(ed->text(), ".59") << name;
    }
    QTest::keyClick(child<QLineEdit>(&h, "edLastDays"), Qt::Key_Escape);
    EXPECT_FALSE(h.isVisible());
    EXPECT_EQ(h.result(), QDialog::Rejected);
}

TEST_F(ChooserTest, RowsOfMonitoredPhonesShowAndDoubleClickOpenTheGridForThePeriod)
{
    phone(4, QStringLiteral("9032220004"), QStringLiteral("Второй"));
    phone(2, QStringLiteral("9032220002"), QStringLiteral("Первый"));
    phone(3, QStringLiteral("9032220003"));
    TSetupPhoneLine off = state.Setup.Line(3);
    off.Monitor = false;
    state.Setup.SetLine(3, off);
    for (int i = 0; i < 5; ++i)
        StoreRow(db, {QStringLiteral("9032220004"), NowOle() - i * 0.1, 10.0 + i});
    StoreRow(db, {QStringLiteral("9032220002"), NowOle(), 99});

    TfrmHistory h(state);
    EXPECT_EQ(h.PhoneSlots(), (QList<int>{2, 4}));
    auto *rb2 = child<QRadioButton>(&h, "rbPhone_2");
    EXPECT_EQ(rb2->text(), "(903) 222-0002 [Первый]");
    EXPECT_TRUE(rb2->isChecked());
    EXPECT_EQ(h.SelectedPhone(), 2);
    h.show();
    ModalWatcher watcher;
    child<QLineEdit>(&h, "edLastRequest")->setText(QStringLiteral("3"));
    QTest::mouseClick(child<QRadioButton>(&h, "rbPhone_4"), Qt::LeftButton);
    EXPECT_EQ(h.SelectedPhone(), 4);
    EXPECT_FALSE(rb2->isChecked());
    QTest::mouseClick(child<QPushButton>(&h, "bnShow"), Qt::LeftButton);
    EXPECT_EQ(watcher.seen, QStringList{"Телефон (903) 222-0004 [Второй] | 3 | 10.00"});

    QTest::mouseDClick(rb2, Qt::LeftButton);  // the click selects slot 2, then its grid opens
    QTRY_COMPARE(watcher.seen.size(), 2);
    EXPECT_EQ(h.SelectedPhone(), 2);
    EXPECT_EQ(watcher.seen[1], "Телефон (903) 222-0002 [Первый] | 1 | 99.00");
}

TEST_F(ChooserTest, ShowHistoryOpensOneChooserAndThePhonesWindowTheNewestRows)
{
    phone(6, QStringLiteral("9035550006"), QStringLiteral("Шестой"));
    for (int i = 0; i < 60; ++i)
        StoreRow(db, {QStringLiteral("9035550006"), NowOle() - i * 0.01, 1.0 * i});
    ModalWatcher watcher;
    bool wasInstance = false;
    watcher.onWindow = [&](QWidget *w) {
        wasInstance = TfrmHistory::Instance() == w;
        ShowHistory(state);  // a second choice while open: no second chooser
    };
    ShowHistory(state);
    EXPECT_EQ(watcher.seen, QStringList{"TfrmHistory"});
    EXPECT_TRUE(wasInstance);
    EXPECT_EQ(TfrmHistory::Instance(), nullptr);

    watcher.onWindow = nullptr;
    ShowHistoryPhone(state, 6);
    EXPECT_EQ(watcher.seen.mid(1), QStringList{"Телефон (903) 555-0006 [Шестой] | 50 | 0.00"});
}
