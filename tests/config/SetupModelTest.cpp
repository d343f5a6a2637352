#include "Setup.h"

#include "ConfigHome.h"
#include "Readers.h"

namespace {
class SetupModelTest : public ::testing::Test {
protected:
    ConfigHome home;
    TProgramState &state = home.state;
    TSetupModel &m = state.Setup;

    QString failure(const std::function<void()> &f)
    {
        try {
            f();
        } catch (const SaldomatError &e) {
            return e.message();
        }
        return QString();
    }
};
}  // namespace

TEST_F(SetupModelTest, TrayButtonsFormOneRadioGroupAndClearingKeepsTheThresholds)
{
    EXPECT_TRUE(m.TrayNotShow());
    m.SetTrayShow(3, true);
    m.SetTrayShow(7, true);
    EXPECT_FALSE(ShowTrayChecked(state, 3));
    EXPECT_TRUE(ShowTrayChecked(state, 7));
    m.SetTrayShowMinimal(true);
    EXPECT_EQ(m.TraySlot(), 0);
    m.SetTrayShow(5, true);
    EXPECT_FALSE(m.TrayShowMinimal());
    m.SetTrayNotShow(true);
    EXPECT_EQ(m.TraySlot(), 0);
    // A row replaced with its tray button on takes the group as well.
    TSetupPhoneLine line;
    line.Number = QStringLiteral("1");
    line.Region = U("ЮГ");
    line.Monitor = line.TrayShow = true;
    line.ExSettings = {true, 1.5f, 4};
    m.SetLine(9, line);
    EXPECT_EQ(m.TraySlot(), 9);
    m.ClearPhoneInfo(9);
    EXPECT_TRUE(m.Line(9).Number.isEmpty());
    EXPECT_FALSE(m.Line(9).Monitor || m.Line(9).TrayShow);
    EXPECT_EQ(m.Line(9).Region, U("МСК"));
    EXPECT_EQ(m.Line(9).ExSettings, (TPhoneExSettings{true, 1.5f, 4}));
}

TEST_F(SetupModelTest, MarkingUsesTheRowsOrTheCommonThresholds)
{
    state.IssaArray[1].Balance = 2.5f;
    EXPECT_TRUE(NeedMarkBalance(state, 1));  // equal to the default 2.5
    state.IssaArray[1].Balance = 2.6f;
    EXPECT_FALSE(NeedMarkBalance(state, 1));
    m.General.edBalanceLessThen = QStringLiteral("2.6");
    EXPECT_TRUE(NeedMarkBalance(state, 1));  // compared as 32-bit floats
    m.General.edBalanceLessThen = QStringLiteral("abc");
    state.IssaArray[1].Balance = 2.5f;
    EXPECT_TRUE(NeedMarkBalance(state, 1));  // not a number: 2.5
    m.Line(1).ExSettings = {true, -10.f, 0};
    EXPECT_FALSE(NeedMarkBalance(state, 1));
    m.Line(1).ExSettings.Individual = false;  // own values kept but not used
    EXPECT_TRUE(NeedMarkBalance(state, 1));

    state.IssaArray[2].TurnOff = 0;
    m.General.edTurnOffLessThen = QStringLiteral("100");
    EXPECT_FALSE(NeedMarkTurnOff(state, 2));  // 0 means unknown
    state.IssaArray[2].TurnOff = 2;
    m.General.edTurnOffLessThen = QStringLiteral("2");
    EXPECT_TRUE(NeedMarkTurnOff(state, 2));
    state.IssaArray[2].TurnOff = 3;
    m.General.edTurnOffLessThen = QStringLiteral("3.5");  // not an integer: 2
    EXPECT_FALSE(NeedMarkTurnOff(state, 2));
    state.IssaArray[2].TurnOff = -1;
    EXPECT_TRUE(NeedMarkTurnOff(state, 2));
    m.Line(2).ExSettings = {true, 0, 9};
    state.IssaArray[2].TurnOff = 10;
    EXPECT_FALSE(NeedMarkTurnOff(state, 2));
}

TEST_F(SetupModelTest, RowQueriesAndSaveChecks)
{
    TSetupPhoneLine a;
    a.Number = QStringLiteral("9161234567");
    a.Password = U("пароль");
    a.Alias = U("Дача");
    a.Monitor = true;
    m.SetLine(4, a);
    a.Monitor = false;
    m.SetLine(5, a);
    EXPECT_EQ(MonitorPhonesCount(state), 1);
    EXPECT_FALSE(MonitorPhoneEnabled(state, 5));
    EXPECT_EQ(QStringList({UserPhone(state, 4), Password(state, 4), Alias(state, 4)}),
              QStringList({a.Number, a.Password, a.Alias}));
    EXPECT_TRUE(UserPhone(state, IssaSlots).isEmpty());  // the spare rows exist and stay empty
    EXPECT_TRUE(failure([&] { UserPhone(state, 0); }).startsWith(QStringLiteral("Setup.UserPhone -- > ")));
    EXPECT_FALSE(failure([&] { MonitorPhoneEnabled(state, IssaSlots + 1); }).isEmpty());

    EXPECT_EQ(m.FirstMonitoredWithoutNumber(), 0);
    m.Line(3).Monitor = m.Line(7).Monitor = true;
    m.Line(3).Number = QStringLiteral(" \t");
    m.Line(3).Password = m.Line(7).Password = QStringLiteral("1");
    EXPECT_EQ(m.FirstMonitoredWithoutNumber(), 3);
    m.Line(3).Number = m.Line(7).Number = QStringLiteral("1");
    EXPECT_EQ(m.FirstMonitoredWithoutNumber(), 0);
    EXPECT_EQ(m.FirstMonitoredWithoutPassword(), 0);
    m.Line(7).Password = QStringLiteral("  ");
    EXPECT_EQ(m.FirstMonitoredWithoutPassword(), 7);

    for (const QString &ok : {QStringLiteral("+7-916-123"), QString()})
        EXPECT_TRUE(IsPhoneFieldText(ok)) << ok.toStdString();
    for (const QString &bad : {QStringLiteral("916 123"), QStringLiteral("1/2"), U("１")})
        EXPECT_FALSE(IsPhoneFieldText(bad)) << bad.toStdString();
    EXPECT_EQ(TrimControls(QStringLiteral("\t\r a b \n\x01")), QStringLiteral("a b"));
}
