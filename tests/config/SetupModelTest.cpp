#include "Setup.h"

#include "ConfigHome.h"
#include "Readers.h"

namespace {
class SetupModelTest : public ::testing::Test {
protected:
    ConfigHome home;
    TSetupModel &m = SetupModel();

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

TEST_F(SetupModelTest, TrayButtonsFormOneRadioGroup)
{
    EXPECT_TRUE(m.TrayNotShow());
    m.SetTrayShow(3, true);
    m.SetTrayShow(7, true);
    EXPECT_FALSE(ShowTrayChecked(3));
    EXPECT_TRUE(ShowTrayChecked(7));
    EXPECT_FALSE(m.TrayNotShow());
    m.SetTrayShowMinimal(true);
    EXPECT_EQ(m.TraySlot(), 0);
    EXPECT_TRUE(m.TrayShowMinimal());
    m.SetTrayShow(5, true);
    EXPECT_FALSE(m.TrayShowMinimal());
    EXPECT_EQ(m.TraySlot(), 5);
    m.SetTrayNotShow(true);
    EXPECT_EQ(m.TraySlot(), 0);
    EXPECT_TRUE(m.TrayNotShow());
    // A row replaced with its tray button on takes the group as well.
    m.SetTrayShow(2, true);
    TSetupPhoneLine line;
    line.TrayShow = true;
    m.SetLine(9, line);
    EXPECT_EQ(m.TraySlot(), 9);
    EXPECT_FALSE(ShowTrayChecked(2));
}

TEST_F(SetupModelTest, BalanceMarkingUsesTheRowsOrTheCommonThreshold)
{
    IssaArray[1].Balance = 2.5f;
    EXPECT_TRUE(NeedMarkBalance(1));  // equal to the default 2.5
    IssaArray[1].Balance = 2.6f;
    EXPECT_FALSE(NeedMarkBalance(1));
    m.General.edBalanceLessThen = QStringLiteral("2.6");
    EXPECT_TRUE(NeedMarkBalance(1));  // compared as 32-bit floats
    m.General.edBalanceLessThen = QStringLiteral("abc");
    IssaArray[1].Balance = 2.5f;
    EXPECT_TRUE(NeedMarkBalance(1));  // not a number: 2.5
    m.General.edBalanceLessThen = QStringLiteral("-10");
    EXPECT_FALSE(NeedMarkBalance(1));
    m.Line(1).ExSettings = {true, 100.f, 0};
    EXPECT_TRUE(NeedMarkBalance(1));
    m.Line(1).ExSettings.Individual = false;  // own values kept but not used
    EXPECT_FALSE(NeedMarkBalance(1));
}

TEST_F(SetupModelTest, TurnOffMarking)
{
    IssaArray[2].TurnOff = 0;
    m.General.edTurnOffLessThen = QStringLiteral("100");
    EXPECT_FALSE(NeedMarkTurnOff(2));  // 0 means unknown
    IssaArray[2].TurnOff = 2;
    m.General.edTurnOffLessThen = QStringLiteral("2");
    EXPECT_TRUE(NeedMarkTurnOff(2));
    IssaArray[2].TurnOff = 3;
    EXPECT_FALSE(NeedMarkTurnOff(2));
    m.General.edTurnOffLessThen = QStringLiteral("3.5");  // not an integer: 2
    EXPECT_FALSE(NeedMarkTurnOff(2));
    IssaArray[2].TurnOff = -1;
    EXPECT_TRUE(NeedMarkTurnOff(2));
    m.Line(2).ExSettings = {true, 0, 10};
    IssaArray[2].TurnOff = 10;
    EXPECT_TRUE(NeedMarkTurnOff(2));
    m.Line(2).ExSettings.TurnOffLessThen = 9;
    EXPECT_FALSE(NeedMarkTurnOff(2));
}

TEST_F(SetupModelTest, RowQueries)
{
    TSetupPhoneLine a;
    a.Number = QStringLiteral("9161234567");
    a.Password = U("пароль");
    a.Alias = U("Дача");
    a.Monitor = true;
    m.SetLine(4, a);
    a.Monitor = false;
    m.SetLine(5, a);
    a.Monitor = true;
    m.SetLine(MaxPhones, a);
    EXPECT_EQ(MonitorPhonesCount(), 2);
    EXPECT_TRUE(MonitorPhoneEnabled(4));
    EXPECT_FALSE(MonitorPhoneEnabled(5));
    EXPECT_EQ(UserPhone(4), QStringLiteral("9161234567"));
    EXPECT_EQ(Password(4), U("пароль"));
    EXPECT_EQ(Alias(4), U("Дача"));
    EXPECT_TRUE(UserPhone(IssaSlots).isEmpty());  // the spare rows exist and stay empty
    EXPECT_TRUE(failure([] { UserPhone(0); }).startsWith(QStringLiteral("Setup.UserPhone -- > ")));
    EXPECT_FALSE(failure([] { MonitorPhoneEnabled(IssaSlots + 1); }).isEmpty());
    EXPECT_FALSE(failure([] { NeedMarkBalance(-3); }).isEmpty());
}

TEST_F(SetupModelTest, SaveChecksFindTheFirstMonitoredRowMissingAField)
{
    EXPECT_EQ(m.FirstMonitoredWithoutNumber(), 0);
    m.Line(2).Password = QString();  // not monitored: not checked
    m.Line(3).Monitor = true;
    m.Line(3).Number = QStringLiteral(" \t");
    m.Line(3).Password = QStringLiteral("1");
    m.Line(7).Monitor = true;
    m.Line(7).Password = QStringLiteral("1");
    EXPECT_EQ(m.FirstMonitoredWithoutNumber(), 3);
    m.Line(3).Number = QStringLiteral("1");
    m.Line(7).Number = QStringLiteral("2");
    EXPECT_EQ(m.FirstMonitoredWithoutNumber(), 0);
    EXPECT_EQ(m.FirstMonitoredWithoutPassword(), 0);
    m.Line(7).Password = QStringLiteral("  ");
    EXPECT_EQ(m.FirstMonitoredWithoutPassword(), 7);
}

TEST_F(SetupModelTest, ClearingARowKeepsItsOwnThresholds)
{
    TSetupPhoneLine a;
    a.Number = QStringLiteral("1");
    a.Region = U("ЮГ");
    a.Monitor = true;
    a.ExSettings = {true, 1.5f, 4};
    m.SetLine(6, a);
    m.SetTrayShow(6, true);
    m.ClearPhoneInfo(6);
    EXPECT_TRUE(m.Line(6).Number.isEmpty());
    EXPECT_FALSE(m.Line(6).Monitor);
    EXPECT_FALSE(m.Line(6).TrayShow);
    EXPECT_EQ(m.Line(6).Region, U("МСК"));
    EXPECT_EQ(m.Line(6).ExSettings, (TPhoneExSettings{true, 1.5f, 4}));
}

TEST_F(SetupModelTest, FieldTexts)
{
    EXPECT_TRUE(IsPhoneFieldText(QStringLiteral("+7-916-123")));
    EXPECT_TRUE(IsPhoneFieldText(QString()));
    EXPECT_FALSE(IsPhoneFieldText(QStringLiteral("916 123")));
    EXPECT_FALSE(IsPhoneFieldText(QStringLiteral("a")));
    EXPECT_FALSE(IsPhoneFieldText(QStringLiteral("1/2")));
    EXPECT_FALSE(IsPhoneFieldText(U("１")));  // a full-width digit
    EXPECT_EQ(TrimControls(QStringLiteral("\t\r a b \n\x01")), QStringLiteral("a b"));
}
