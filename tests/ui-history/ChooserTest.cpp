// The history chooser: stored values, the period rules, the key filter and
// the phone rows.
#include "History.h"
#include "UiHistoryTestUtil.h"

#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTest>

namespace {
const QString kSection = QStringLiteral("History Form");

template <class T> T *child(QWidget *w, const char *name)
{
    T *found = w->findChild<T *>(QString::fromLatin1(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
}

class ChooserTest : public UiHistoryTest {
protected:
    void ini(const char *key, const QString &value)
    {
        state.IniFile.WriteString(kSection, QString::fromLatin1(key), value);
    }
    QString ini(const char *key) { return state.IniFile.ReadString(kSection, QString::fromLatin1(key), QString()); }
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
        EXPECT_EQ(h.SelectedPhone(), 0);
        EXPECT_FALSE(child<QPushButton>(&h, "bnShow")->isEnabled());
        EXPECT_FALSE(child<QPushButton>(&h, "bnExcel")->isEnabled());
    }
    ini("edLastRequest", "abc");
    ini("edLastDays", "1.5");
    ini("Height", "420");
    ini("Left", "30");
    ini("Top", "40");
    {
        TfrmHistory h(state);
        EXPECT_EQ(child<QLineEdit>(&h, "edLastRequest")->text(), "50");
        EXPECT_EQ(child<QLineEdit>(&h, "edLastDays")->text(), "1.5");  // a number, shown as it is
        EXPECT_EQ(h.height(), 420);
        EXPECT_EQ(h.pos(), QPoint(30, 40));
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
        h.resize(275, 500);
        h.move(60, 70);
    }
    EXPECT_EQ(QStringList({ini("edLastRequest"), ini("edLastDays"), ini("Height"), ini("Left"), ini("Top")}),
              QStringList({"12", "9", "500", "60", "70"}));

    ini("Left", "50000");  // a place far off every screen is not taken
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
    MonitorPhone(state.Setup, 3, QStringLiteral("9032220003"));
    TSetupPhoneLine off = state.Setup.Line(3);
    off.Monitor = false;
    state.Setup.SetLine(3, off);
    const TDateTime now = NowOle();
    for (int i = 0; i < 5; ++i)
        StoreRow(db, {QStringLiteral("9032220004"), now - i * 0.1, 10.0 + i});
    StoreRow(db, {QStringLiteral("9032220002"), now, 99});

    TfrmHistory h(state);
    EXPECT_EQ(h.PhoneSlots(), (QList<int>{2, 4}));
    auto *rb2 = child<QRadioButton>(&h, "rbPhone_2");
    auto *rb4 = child<QRadioButton>(&h, "rbPhone_4");
    EXPECT_EQ(rb2->text(), "(903) 222-0002 [Первый]");
    EXPECT_TRUE(rb2->isChecked());
    EXPECT_EQ(h.SelectedPhone(), 2);
    h.show();
    ModalWatcher watcher;
    int rowsShown = -1;
    watcher.onWindow = [&](QWidget *w) {
        if (auto *grid = qobject_cast<TfrmHistoryPhone *>(w))
            rowsShown = grid->grid()->rowCount();
    };
    child<QLineEdit>(&h, "edLastRequest")->setText(QStringLiteral("3"));
    QTest::mouseClick(rb4, Qt::LeftButton);
    EXPECT_EQ(h.SelectedPhone(), 4);
    EXPECT_FALSE(rb2->isChecked());
    QTest::mouseClick(child<QPushButton>(&h, "bnShow"), Qt::LeftButton);
    EXPECT_EQ(watcher.texts(), QStringList{"Телефон (903) 222-0004 [Второй]"});
    EXPECT_EQ(watcher.seen[0].className, "TfrmHistoryPhone");
    EXPECT_EQ(rowsShown, 3);

    // Double-click: the click selects slot 2, then its grid opens.
    QTest::mouseDClick(rb2, Qt::LeftButton);
    QTRY_COMPARE(watcher.seen.size(), 2);
    EXPECT_EQ(h.SelectedPhone(), 2);
    EXPECT_EQ(watcher.seen[1].text, "Телефон (903) 222-0002 [Первый]");
    EXPECT_EQ(rowsShown, 1);
}

TEST_F(ChooserTest, ShowHistoryOpensOneChooserAndThePhonesWindowTheNewestRows)
{
    phone(6, QStringLiteral("9035550006"), QStringLiteral("Шестой"));
    const TDateTime now = NowOle();
    for (int i = 0; i < 60; ++i)
        StoreRow(db, {QStringLiteral("9035550006"), now - i * 0.01, 1.0 * i});
    ModalWatcher watcher;
    bool wasInstance = false;
    watcher.onWindow = [&](QWidget *w) {
        wasInstance = TfrmHistory::Instance() == w;
        ShowHistory(state);  // a second choice while open: no second chooser
    };
    ShowHistory(state);
    ASSERT_EQ(watcher.seen.size(), 1);
    EXPECT_EQ(watcher.seen[0].className, "TfrmHistory");
    EXPECT_TRUE(wasInstance);
    EXPECT_EQ(TfrmHistory::Instance(), nullptr);

    int rows = -1;
    QString newest;
    watcher.onWindow = [&](QWidget *w) {
        auto *grid = qobject_cast<TfrmHistoryPhone *>(w);
        ASSERT_NE(grid, nullptr);
        rows = grid->grid()->rowCount();
        newest = grid->grid()->item(0, 2)->text();
    };
    ShowHistoryPhone(state, 6);
    EXPECT_EQ(watcher.texts().mid(1), QStringList{"Телефон (903) 555-0006 [Шестой]"});
    EXPECT_EQ(rows, 50);
    EXPECT_EQ(newest, "0.00");
}
