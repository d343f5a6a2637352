#include "PhonesXml.h"
#include "ProgramState.h"

#include "ConfigHome.h"
#include "Passw.h"
#include "PasswordVault.h"
#include "Readers.h"

#include <QRegularExpression>

namespace {
class PhonesXmlTest : public ::testing::Test {
protected:
    ConfigHome home;
    QString path = home.file("phones.xml");

    static TSetupPhoneLine phone(const QString &number, const QString &password = "1111")
    {
        TSetupPhoneLine line;
        line.Number = number;
        line.Password = password;
        return line;
    }
    TSetupModel reload()
    {
        TSetupModel m;
        LoadPhonesInfoFromXml(m, path, MaxPhones);
        return m;
    }
    QString loadError()
    {
        TSetupModel m;
        try {
            LoadPhonesInfoFromXml(m, path, MaxPhones);
        } catch (const SaldomatError &e) {
            return e.message();
        }
        return QString();
    }
    // A complete element of this number, with one attribute text replaced.
    static QByteArray element(const QString &number, const QString &from = {}, const QString &to = {})
    {
        QString attrs = QStringLiteral("Number=\"%1\" Password=\"%2\" Alias=\"\" Monitor=\"True\" TrayShow=\"False\" "
                                       "Region=\"X\" Individual=\"False\" BalanceLessThen=\"1\" TurnOffLessThen=\"1\"")
                            .arg(number, EncodePass("1"));
        if (!from.isEmpty())
            attrs.replace(QRegularExpression(from), to);
        return ToCp1251(QStringLiteral("<Phone %1/>").arg(attrs));
    }
    void writeList(const QByteArray &elements) { WriteFileBytes(path, "<Phones>" + elements + "</Phones>"); }
};
}  // namespace

TEST_F(PhonesXmlTest, SavedFilesHaveTheWindowsFormAndLoadBack)
{
    TSetupModel m;
    TSetupPhoneLine a = phone("9161234567", "пароль");
    a.Alias = "Мама & <папа> \"дача\"";
    a.Monitor = a.TrayShow = true;
    a.ExSettings = {true, 2.6f, 3};
    m.SetLine(1, a);
    TSetupPhoneLine b = phone(" 9031112233 ", QString());
    b.Region = "СПб";
    b.ExSettings.BalanceLessThen = 2.5f;
    m.SetLine(3, b);
    SavePhonesInfoToXml(m, path, MaxPhones);

    static const QRegularExpression re("Password=\"([0-9A-F]{54})\"");
    QString text = QString::fromLatin1(ReadFileBytes(path));
    QStringList passwords;
    for (auto it = re.globalMatch(text); it.hasNext();)
        passwords << DecodePass(it.next().captured(1));
    EXPECT_EQ(passwords, (QStringList{"пароль", QString()}));
    EXPECT_EQ(
        text.replace(re, "Password=\"*\"").toLatin1(),
        Cp("<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n"
           "<Phones>\r\n"
           "  <Phone Number=\"9161234567\" Password=\"*\" Alias=\"Мама &amp; &lt;папа&gt; &quot;дача&quot;\" "
           "Monitor=\"True\" TrayShow=\"True\" Region=\"МСК\" Individual=\"True\" BalanceLessThen=\"2.59999990463257\" "
           "TurnOffLessThen=\"3\"/>\r\n"
           "  <Phone Number=\" 9031112233 \" Password=\"*\" Alias=\"\" Monitor=\"False\" TrayShow=\"False\" "
           "Region=\"СПб\" Individual=\"False\" BalanceLessThen=\"2.5\" TurnOffLessThen=\"0\"/>\r\n"
           "</Phones>\r\n"));

    // Every field comes back, control characters and the longest password too.
    TSetupModel all;
    const QStringList secrets{"пароль", "123456789012345", QString(), "+7-916"};
    for (int i = 0; i < secrets.size(); ++i) {
        TSetupPhoneLine l = phone(QStringLiteral("91600000%1").arg(i), secrets[i]);
        l.Alias = i == 0 ? "Ёлка\tи\nвторая строка ' \" &" : U("Дом %1").arg(i);
        l.Monitor = i % 2 == 0;
        l.Region = i == 1 ? "ЕКБ" : "МСК";
        l.ExSettings = {i == 2, 0.1f * static_cast<float>(i), -i};
        all.SetLine(i + 1, l);
    }
    all.SetTrayShow(2, true);
    SavePhonesInfoToXml(all, path, MaxPhones);
    EXPECT_EQ(reload(), all);

    m = TSetupModel();  // gaps and blank numbers are closed up
    m.SetLine(1, phone("111"));
    m.SetLine(2, phone(QString()));
    m.SetLine(3, phone("333"));
    m.SetLine(4, phone(" \t "));
    m.SetLine(6, phone(" 555 "));
    SavePhonesInfoToXml(m, path, MaxPhones);
    const TSetupModel r = reload();
    QStringList numbers;
    for (int slot = 1; slot <= 4; ++slot)
        numbers << r.Line(slot).Number;
    EXPECT_EQ(numbers, (QStringList{"111", "333", " 555 ", QString()}));

    // No file: every row empty, nothing created; an empty list is written as such.
    QFile::remove(path);
    EXPECT_EQ(LoadPhonesInfoFromXml(m, path, MaxPhones), TPhonesXmlState::Missing);
    EXPECT_TRUE(m.Line(1).Number.isEmpty());
    EXPECT_EQ(m.Line(1).Region, "МСК");
    EXPECT_FALSE(QFile::exists(path));
    SavePhonesInfoToXml(m, path, MaxPhones);
    EXPECT_EQ(ReadFileBytes(path), QByteArray("<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n<Phones/>\r\n"));
}

// The command-line load stops at a bad element with the labels; the tray
// program's load skips the bad element alone and names it by its number.
TEST_F(PhonesXmlTest, BadElementStopsTheLoadOrIsSkippedAndNamed)
{
    const QByteArray lacking = element("222", "TurnOffLessThen=\"1\"", QString());
    const QByteArray badPassword = element("222", "Password=\"[0-9A-F]+\"", "Password=\"ABC\"");
    const struct {
        QByteArray list;
        const char *label;
        QStringList problemNumbers;
    } cases[] = {
        {element("111") + lacking + element("333"), "", {"№ 2"}},
        {element("111") + badPassword + element("333") + lacking, "Passw.DecodePass -- > ", {"№ 2", "№ 4"}},
    };
    for (const auto &c : cases) {
        writeList(c.list);
        TSetupModel m;
        m.SetLine(3, phone("old"));
        EXPECT_THROW(LoadPhonesInfoFromXml(m, path, MaxPhones), SaldomatError);
        EXPECT_EQ(m.Line(1).Number, "111");
        EXPECT_TRUE(m.Line(2).Number.isEmpty());  // not half-filled
        EXPECT_TRUE(m.Line(3).Number.isEmpty());  // emptied, not left as before
        const QString error = loadError();
        EXPECT_TRUE(
            error.startsWith("PhonesXml.LoadPhonesInfoFromXml -- > PhonesXml.readPhone -- > " + QLatin1String(c.label)))
            << error.toStdString();

        QStringList problems;
        m.SetLine(3, phone("old"));
        EXPECT_EQ(LoadPhonesInfoFromXml(m, path, MaxPhones, &problems), TPhonesXmlState::Loaded);
        EXPECT_EQ(m.Line(1).Number, "111");
        EXPECT_TRUE(m.Line(2).Number.isEmpty());
        EXPECT_EQ(m.Line(3).Number, "333");
        ASSERT_EQ(problems.size(), c.problemNumbers.size());
        for (int i = 0; i < problems.size(); ++i)
            EXPECT_TRUE(problems[i].contains(path) && problems[i].contains(c.problemNumbers[i]))
                << qPrintable(problems[i]);
        EXPECT_TRUE(problems.last().contains("TurnOffLessThen"));
        if (!*c.label) {
            EXPECT_TRUE(error.contains("TurnOffLessThen"));
        }
    }
}

// Malformed files load as an empty list and stay untouched. A small file
// whose attributes refer to a large entity many times must not be expanded
// into gigabytes; references cannot reach outside the file.
TEST_F(PhonesXmlTest, MalformedAndHostileFilesAreNeitherReadNorTouched)
{
    const QByteArray files[] = {
        QByteArray(),
        QByteArray("<Phones><Phone Number=\"1\""),
        QByteArray("\x00\x01\x02garbage", 10),
        QByteArray("<Phones/><Second/>"),
        // well-formed, but the external entity is neither loaded nor a phone
        QByteArray(
            "<?xml version=\"1.0\"?><!DOCTYPE x [<!ENTITY e SYSTEM \"file:///etc/passwd\">]><Phones>&e;</Phones>"),
    };
    for (const QByteArray &bytes : files) {
        SCOPED_TRACE(bytes.toStdString());
        WriteFileBytes(path, bytes);
        TSetupModel m;
        m.SetLine(1, phone("999"));
        EXPECT_EQ(LoadPhonesInfoFromXml(m, path, MaxPhones),
                  bytes.contains("ENTITY") ? TPhonesXmlState::Loaded : TPhonesXmlState::Malformed);
        EXPECT_TRUE(m.Line(1).Number.isEmpty());
        EXPECT_EQ(ReadFileBytes(path), bytes);
    }

    const QByteArray refs = QByteArray("&e;").repeated(3000);
    WriteFileBytes(path,
                   "<?xml version=\"1.0\"?><!DOCTYPE Phones [<!ENTITY e \"" + QByteArray(100000, 'x') + "\">]><Phones>"
                       + element("111")
                       + element("222", "Alias=\"\"", QStringLiteral("Alias=\"%1\"").arg(QLatin1String(refs)))
                       + "</Phones>");
    QStringList problems;
    TSetupModel m;
    EXPECT_EQ(LoadPhonesInfoFromXml(m, path, MaxPhones, &problems), TPhonesXmlState::Loaded);
    EXPECT_EQ(m.Line(1).Number, "111");
    EXPECT_TRUE(m.Line(2).Number.isEmpty());
    ASSERT_EQ(problems.size(), 1);
    EXPECT_TRUE(problems[0].contains("Alias")) << problems[0].toStdString();

    // Nested entities: libxml2's amplification limit refuses the document.
    QByteArray laughs = "<!ENTITY a0 \"xxxxxxxxxx\">";
    for (int i = 1; i <= 9; ++i)
        laughs += "<!ENTITY a" + QByteArray::number(i) + " \"" + ("&a" + QByteArray::number(i - 1) + ";").repeated(10)
            + "\">";
    WriteFileBytes(path, "<!DOCTYPE Phones [" + laughs + "]><Phones>" + element("&a9;") + "</Phones>");
    EXPECT_NE(LoadPhonesInfoFromXml(m, path, MaxPhones, &problems), TPhonesXmlState::Loaded);
    EXPECT_TRUE(m.Line(1).Number.isEmpty());

    // Over 1 MB: not read at all, with a clear word; the file stays.
    const QByteArray large = "<Phones>" + element("111") + "<!--" + QByteArray(PhonesXmlMaxBytes, ' ') + "--></Phones>";
    WriteFileBytes(path, large);
    problems.clear();
    EXPECT_EQ(LoadPhonesInfoFromXml(m, path, MaxPhones, &problems), TPhonesXmlState::Malformed);
    EXPECT_TRUE(m.Line(1).Number.isEmpty());
    EXPECT_EQ(problems, QStringList{PhonesFileTooLargeProblem(path, large.size())});
    EXPECT_TRUE(problems[0].contains("больше допустимого"));
    EXPECT_THROW(LoadPhonesInfoFromXml(m, path, MaxPhones), SaldomatError);
    EXPECT_EQ(ReadFileBytes(path), large);
}

TEST_F(PhonesXmlTest, AttributeTextsReadAsTheWindowsProgramReadsThem)
{
    const struct {
        const char *tail;  // replaces the attributes from Monitor on
        bool monitor, individual;
        float balance;
        int turnOff;
    } cases[] = {
        {"Monitor=\"True\" Individual=\"yes\" BalanceLessThen=\"abc\" TurnOffLessThen=\"\"", true, true, 2.5f, 1},
        {"Monitor=\"false\" Individual=\"on\" BalanceLessThen=\"1,5\" TurnOffLessThen=\"3.5\"", false, false, 2.5f, 1},
        {"Monitor=\"1\" Individual=\"TRUE\" BalanceLessThen=\" -1.25 \" TurnOffLessThen=\"-4\"", true, true, -1.25f,
         -4},
        {"Monitor=\"0\" Individual=\"1\" BalanceLessThen=\"1e3\" TurnOffLessThen=\"0x10\"", false, true, 1000.f, 16},
        {"Monitor=\"2\" Individual=\"0\" BalanceLessThen=\"1e300\" TurnOffLessThen=\"99999999999\"", true, false, 2.5f,
         1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.tail);
        writeList(element("1", "Monitor=.*", "TrayShow=\"False\" Region=\"X\" " + QLatin1String(c.tail)));
        const TSetupPhoneLine l = reload().Line(1);
        EXPECT_EQ(l.Monitor, c.monitor);
        EXPECT_EQ(l.ExSettings.Individual, c.individual);
        EXPECT_EQ(l.ExSettings.BalanceLessThen, c.balance);
        EXPECT_EQ(l.ExSettings.TurnOffLessThen, c.turnOff);
    }
    // A flag that is neither a boolean word nor a number stops the load.
    writeList(element("1", "Monitor=\"True\"", "Monitor=\"maybe\""));
    EXPECT_TRUE(loadError().contains("maybe"));

    // UTF-8 without a declaration, comments, text and other element names
    // between: only the order of the elements counts. The last tray button wins.
    const QString tray = "TrayShow=\"False\"", shown = "TrayShow=\"True\"";
    QString second = QString::fromLatin1(element("222", tray, shown)).replace("\"X\"", "\"Юг\"");
    const QString text = QChar(0xFEFF)
        + QStringLiteral("<List>\n  <!-- first -->\n  %1\n  text\n  %2\n</List>\n")
              .arg(QString::fromLatin1(element("111", tray, shown)), second.replace("<Phone", "<Other"));
    WriteFileBytes(path, text.toUtf8());
    TSetupModel m;
    m.SetTrayShowMinimal(true);
    LoadPhonesInfoFromXml(m, path, MaxPhones);
    EXPECT_EQ(m.Line(2).Number, "222");
    EXPECT_EQ(m.Line(2).Region, "Юг");
    EXPECT_EQ(m.Line(2).Password, "1");
    EXPECT_EQ(m.TraySlot(), 2);
    EXPECT_FALSE(m.TrayShowMinimal());
}

// A row kept in the keyring is written without its password and comes back
// marked and unread; without a keyring a save masks every known password but
// leaves a marked row that was never read as it is, so that nothing is lost.
TEST_F(PhonesXmlTest, RowsKeptInTheKeyringHoldNoPasswordAndAreNeverLost)
{
    TSetupModel m;
    TSetupPhoneLine kept = phone("9161110001", "271828");
    kept.InKeyring = true;
    m.SetLine(1, kept);
    m.SetLine(2, phone("9161110002", "314159"));
    SavePhonesInfoToXml(m, path, MaxPhones);
    const QByteArray bytes = ReadFileBytes(path);
    EXPECT_FALSE(bytes.contains("271828"));
    EXPECT_TRUE(bytes.contains("Number=\"9161110001\" Password=\"\""));
    EXPECT_EQ(bytes.count("Keyring=\"True\""), 1);
    TSetupModel r = reload();
    EXPECT_TRUE(r.Line(1).InKeyring && r.Line(1).KeyringUnread && r.Line(1).Password.isEmpty());
    EXPECT_EQ(r.Line(2).Password, "314159");
    EXPECT_FALSE(r.Line(2).InKeyring);

    // No session bus: no keyring; the save is done before SavePhones returns.
    const QByteArray bus = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    r.Line(2).Password = "161803";
    TProgramState state(InitPaths());
    TPasswordVault vault(state);
    bool done = false;
    vault.SavePhones(r, path, MaxPhones, true, [&](const TSetupModel &saved, const QString &error) {
        done = true;
        EXPECT_TRUE(error.isEmpty()) << error.toStdString();
        EXPECT_TRUE(saved.Line(1).InKeyring && !saved.Line(2).InKeyring);
    });
    if (!bus.isEmpty())
        qputenv("DBUS_SESSION_BUS_ADDRESS", bus);
    ASSERT_TRUE(done);
    EXPECT_EQ(vault.Answers(), std::optional<bool>(false));
    r = reload();
    EXPECT_TRUE(r.Line(1).InKeyring && r.Line(1).KeyringUnread) << "the unread entry keeps its mark";
    EXPECT_EQ(r.Line(2).Password, "161803");
    // A marked row whose entry cannot be read loads with an empty password.
    bool loaded = false;
    vault.Load(r, [&] { loaded = true; });
    EXPECT_TRUE(loaded);
    EXPECT_TRUE(r.Line(1).Password.isEmpty() && r.Line(1).KeyringUnread);
    EXPECT_TRUE(FromCp1251(ReadFileBytes(ErrorLogFileName())).contains("Пароль телефона 9161110001 не прочитан"));
}

TEST_F(PhonesXmlTest, InterruptedSaveLeavesTheOldFileIntact)
{
    TSetupModel m;
    m.SetLine(1, phone("111"));
    SavePhonesInfoToXml(m, path, MaxPhones);
    const QByteArray before = ReadFileBytes(path);
    for (int slot = 2; slot <= 40; ++slot)
        m.SetLine(slot, phone(QString::number(slot)));
    {
        FileSizeLimit limit(static_cast<rlim_t>(before.size()) + 10);
        EXPECT_THROW(SavePhonesInfoToXml(m, path, MaxPhones), SaldomatError);
    }
    EXPECT_EQ(ReadFileBytes(path), before);
    EXPECT_EQ(home.files(), QStringList{"phones.xml"});
}

TEST(Readers, FloatsAreWrittenInTheGeneralFormOfFifteenDigits)
{
    const std::pair<double, const char *> written[] = {{2.5, "2.5"},
                                                       {0, "0"},
                                                       {-1.25, "-1.25"},
                                                       {1e20, "1E20"},
                                                       {123456789012345.0, "123456789012345"},
                                                       {0.0001, "0.0001"},
                                                       {static_cast<double>(1e-6f), "9.99999997475243E-7"}};
    for (const auto &[value, text] : written)
        EXPECT_EQ(FloatToText(value), QLatin1String(text));
    for (const char *bad : {"1,5", "inf", "1 000"})
        EXPECT_EQ(TextToFloat(QLatin1String(bad)), std::nullopt) << bad;
    EXPECT_EQ(TextToFloat(" 1.5 "), 1.5);
}
