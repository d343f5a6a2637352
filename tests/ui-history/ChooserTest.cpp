// The history chooser: stored values, period rules, key filter, phone rows.
#include "UiHistoryTestUtil.h"

namespace {
std::pair<HistoryPeriod, int> period(const TfrmHistory &h)
{
    return {h.RequestPeriod().mode, h.RequestPeriod().n};
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

TEST_F(ChooserTest, DefaultsKeyFilterAndEscapeThenStoredValuesAreCheckedAndWrittenBack)
{
    {
        TfrmHistory h(state);  // nothing stored, no phone
        EXPECT_EQ(child<QLineEdit>(&h, "edLastDays")->text(), "2");
        EXPECT_EQ(period(h), std::pair(HistoryPeriod::LastCount, 50));
        EXPECT_TRUE(h.PhoneSlots().isEmpty());
        EXPECT_FALSE(child<QPushButton>(&h, "bnShow")->isEnabled() || child<QPushButton>(&h, "bnExcel")->isEnabled());
        h.show();  // the key filter: "," enters ".", other characters and Backspace are dropped: "1.59"
        for (const char *name : {"edLastRequest", "edLastDays"}) {
            auto *ed = child<QLineEdit>(&h, name);
            ed->setText(QString());
            QTest::keyClicks(ed, QStringLiteral("1,5a b-x9"));
            QTest::keyClick(ed, Qt::Key_Backspace);
            QTest::keyClick(ed, Qt::Key_Home);
            QTest::keyClick(ed, Qt::Key_Delete);  // not a character: left to the edit
            EXPECT_EQ(ed->text(), ".59") << name;
        }
        QTest::keyClick(child<QLineEdit>(&h, "edLastDays"), Qt::Key_Escape);  // closes, also from an edit
        EXPECT_FALSE(h.isVisible());
        EXPECT_EQ(h.result(), QDialog::Rejected);
    }
    store({"abc", "1.5", "420", "30", "40"});  // edLastRequest is not a number
    {
        TfrmHistory h(state);
        EXPECT_EQ(child<QLineEdit>(&h, "edLastRequest")->text(), "50");
        EXPECT_EQ(child<QLineEdit>(&h, "edLastDays")->text(), "1.5");  // a number, shown as it is
        EXPECT_EQ(h.geometry().topLeft(), QPoint(30, 40));
        EXPECT_EQ(h.height(), 420);
        for (auto [radio, edit, text, mode, n] :
             {std::tuple{"rbShowLastDays", "edLastDays", "", HistoryPeriod::LastDays, 2},  // 1.5 is not whole
              {"rbShowLastDays", "edLastDays", "9", HistoryPeriod::LastDays, 9},
              {"rbShowLastRequest", "edLastRequest", "7.5", HistoryPeriod::LastCount, 50},
              {"rbShowLastRequest", "edLastRequest", "12", HistoryPeriod::LastCount, 12},
              {"rbShowAll", "", "", HistoryPeriod::All, 0}}) {
            SCOPED_TRACE(std::string(radio) + " " + text);
            child<QRadioButton>(&h, radio)->setChecked(true);
            if (*text)
                child<QLineEdit>(&h, edit)->setText(QString::fromLatin1(text));
            EXPECT_EQ(period(h), std::pair(mode, n));
        }
        h.setGeometry(60, 70, 275, 500);
    }
    EXPECT_EQ(stored(), QStringList({"12", "9", "500", "60", "70"}));

    store({"12", "9", "500", "50000", "70"});  // a place far off every screen is not taken
    TfrmHistory again(state);
    EXPECT_NE(again.pos().x(), 50000);
    EXPECT_EQ(again.height(), 500);
}

TEST_F(ChooserTest, OneChooserItsPhoneRowsShowDoubleClickAndThePhonesWindowOpenTheGrid)
{
    phone(4, QStringLiteral("9032220004"), QStringLiteral("Второй"));
    phone(2, QStringLiteral("9032220002"), QStringLiteral("Первый"));
    phone(3, QStringLiteral("9032220003"));
    TSetupPhoneLine off = state.Setup.Line(3);
    off.Monitor = false;
    state.Setup.SetLine(3, off);
    for (int i = 0; i < 60; ++i)
        StoreRow(db, {QStringLiteral("9032220004"), NowOle() - i * 0.01, 10.0 + i});
    StoreRow(db, {QStringLiteral("9032220002"), NowOle(), 99});

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

    TfrmHistory h(state);
    EXPECT_EQ(h.PhoneSlots(), (QList<int>{2, 4}));
    auto *rb2 = child<QRadioButton>(&h, "rbPhone_2");
    EXPECT_EQ(h.SelectedPhone(), 2);
    h.show();
    child<QLineEdit>(&h, "edLastRequest")->setText(QStringLiteral("3"));
    QTest::mouseClick(child<QRadioButton>(&h, "rbPhone_4"), Qt::LeftButton);
    EXPECT_EQ(h.SelectedPhone(), 4);
    QTest::mouseClick(child<QPushButton>(&h, "bnShow"), Qt::LeftButton);
    EXPECT_EQ(watcher.seen.mid(1), QStringList{"Телефон (903) 222-0004 [Второй] | 3 | 10.00"});

    QTest::mouseDClick(rb2, Qt::LeftButton);  // the click selects slot 2, then its grid opens
    QTRY_COMPARE(watcher.seen.size(), 3);
    EXPECT_EQ(h.SelectedPhone(), 2);
    EXPECT_EQ(watcher.seen[2], "Телефон (903) 222-0002 [Первый] | 1 | 99.00");

    ShowHistoryPhone(state, 4);  // the phones window: the newest 50
    EXPECT_EQ(watcher.seen.mid(3), QStringList{"Телефон (903) 222-0004 [Второй] | 50 | 10.00"});
}
