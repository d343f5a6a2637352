#include "PhonesXml.h"

#include "ConfigHome.h"
#include "Passw.h"
#include "PasswordVault.h"
#include "Readers.h"

#include <QRegularExpression>

namespace {
class PhonesXmlTest : public ::testing::Test {
protected:
    ConfigHome home;
    QString path = home.file(QStringLiteral("phones.xml"));

    TSetupPhoneLine phone(const QString &number, const QString &password = QStringLiteral("1111"))
    {
        TSetupPhoneLine line;
        line.Number = number;
        line.Password = password;
        return line;
    }
    TSetupModel reload(int count = MaxPhones)
    {
        TSetupModel m;
        LoadPhonesInfoFromXml(m, path, count);
        return m;
    }
    // The file with every Password value replaced by "*", and the decoded passwords.
    QByteArray maskPasswords(QByteArray bytes, QStringList *passwords)
    {
        static const QRegularExpression re(QStringLiteral("Password=\"([0-9A-F]{54})\""));
        QString text = QString::fromLatin1(bytes);
        for (auto it = re.globalMatch(text); it.hasNext();)
            passwords->append(DecodePass(it.next().captured(1)));
        text.replace(re, QStringLiteral("Password=\"*\""));
        return text.toLatin1();
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
    QByteArray element(const QString &attrs) { return ToCp1251(QStringLiteral("<Phone %1/>").arg(attrs)); }
    QString attrs(const QString &number, const QString &extra = QString())
    {
        return QStringLiteral(
                   "Number=\"%1\" Password=\"%2\" Alias=\"\" Monitor=\"True\" TrayShow=\"False\" Region=\"X\" "
                   "Individual=\"False\" BalanceLessThen=\"1\" TurnOffLessThen=\"1\" %3")
            .arg(number, EncodePass(QStringLiteral("1")), extra);
    }
};
}  // namespace

TEST_F(PhonesXmlTest, SmallFileHasTheExactBytesOfTheWindowsForm)
{
    TSetupModel m;
    TSetupPhoneLine a = phone(QStringLiteral("9161234567"), U("пароль"));
    a.Alias = U("Мама & <папа> \"дача\"");
    a.Monitor = true;
    a.TrayShow = true;
    a.ExSettings = {true, 2.6f, 3};
    m.SetLine(1, a);
    TSetupPhoneLine b = phone(QStringLiteral(" 9031112233 "), QString());
    b.Region = U("СПб");
    b.ExSettings.BalanceLessThen = 2.5f;
    m.SetLine(3, b);
    SavePhonesInfoToXml(m, path, MaxPhones);

    QStringList passwords;
    const QByteArray masked = maskPasswords(ReadFileBytes(path), &passwords);
    EXPECT_EQ(
        masked,
        Cp("<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n"
           "<Phones>\r\n"
           "  <Phone Number=\"9161234567\" Password=\"*\" Alias=\"Мама &amp; &lt;папа&gt; &quot;дача&quot;\" "
           "Monitor=\"True\" TrayShow=\"True\" Region=\"МСК\" Individual=\"True\" BalanceLessThen=\"2.59999990463257\" "
           "TurnOffLessThen=\"3\"/>\r\n"
           "  <Phone Number=\" 9031112233 \" Password=\"*\" Alias=\"\" Monitor=\"False\" TrayShow=\"False\" "
           "Region=\"СПб\" Individual=\"False\" BalanceLessThen=\"2.5\" TurnOffLessThen=\"0\"/>\r\n"
           "</Phones>\r\n"));
    EXPECT_EQ(passwords, (QStringList{U("пароль"), QString()}));
}

TEST_F(PhonesXmlTest, RoundTripKeepsEveryField)
{
    TSetupModel m;
    const QStringList passwords{U("пароль"), QStringLiteral("123456789012345"), QString(), QStringLiteral("+7-916")};
    for (int i = 0; i < passwords.size(); ++i) {
        TSetupPhoneLine l = phone(QStringLiteral("91600000%1").arg(i), passwords[i]);
        l.Alias = i == 0 ? U("Ёлка\tи\nвторая строка ' \" &") : U("Дом %1").arg(i);
        l.Monitor = i % 2 == 0;
        l.Region = i == 1 ? U("ЕКБ") : U("МСК");
        l.ExSettings = {i == 2, 0.1f * static_cast<float>(i), -i};
        m.SetLine(i + 1, l);
    }
    m.SetTrayShow(2, true);
    SavePhonesInfoToXml(m, path, MaxPhones);
    EXPECT_EQ(reload(), m);
}

TEST_F(PhonesXmlTest, SavingClosesGapsAndSkipsBlankNumbers)
{
    TSetupModel m;
    m.SetLine(1, phone(QStringLiteral("111")));
    m.SetLine(2, phone(QString()));
    m.SetLine(3, phone(QStringLiteral("333")));
    m.SetLine(4, phone(QStringLiteral(" \t ")));
    TSetupPhoneLine unmonitored = phone(QStringLiteral(" 555 "));
    unmonitored.Monitor = false;
    m.SetLine(6, unmonitored);
    SavePhonesInfoToXml(m, path, MaxPhones);
    EXPECT_EQ(ReadFileBytes(path).count("<Phone "), 3);
    const TSetupModel r = reload();
    EXPECT_EQ(r.Line(1).Number, QStringLiteral("111"));
    EXPECT_EQ(r.Line(2).Number, QStringLiteral("333"));
    EXPECT_EQ(r.Line(3).Number, QStringLiteral(" 555 "));
    EXPECT_FALSE(r.Line(3).Monitor);
    EXPECT_TRUE(r.Line(4).Number.isEmpty());

    // No file: every row empty, nothing created; an empty list is written as such.
    QFile::remove(path);
    m.SetLine(4, phone(QStringLiteral("123")));
    EXPECT_EQ(LoadPhonesInfoFromXml(m, path, MaxPhones), TPhonesXmlState::Missing);
    EXPECT_TRUE(m.Line(4).Number.isEmpty());
    EXPECT_EQ(m.Line(4).Region, U("МСК"));
    EXPECT_FALSE(QFile::exists(path));
    SavePhonesInfoToXml(m, path, MaxPhones);
    EXPECT_EQ(ReadFileBytes(path), QByteArray("<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n<Phones/>\r\n"));
}

TEST_F(PhonesXmlTest, MalformedFilesLoadAsAnEmptyListAndStayUntouched)
{
    const QList<QByteArray> files{
        QByteArray(),
        QByteArray("<Phones><Phone Number=\"1\""),
        QByteArray("\x00\x01\x02garbage", 10),
        QByteArray(
            "<?xml version=\"1.0\"?><!DOCTYPE x [<!ENTITY e SYSTEM \"file:///etc/passwd\">]><Phones>&e;</Phones>"),
        QByteArray("<Phones/><Second/>"),
    };
    for (const QByteArray &bytes : files) {
        WriteFileBytes(path, bytes);
        TSetupModel m;
        m.SetLine(1, phone(QStringLiteral("999")));
        // The external entity is well-formed but neither loaded nor a phone.
        const TPhonesXmlState want = bytes.contains("ENTITY") ? TPhonesXmlState::Loaded : TPhonesXmlState::Malformed;
        EXPECT_EQ(LoadPhonesInfoFromXml(m, path, MaxPhones), want) << bytes.toStdString();
        EXPECT_TRUE(m.Line(1).Number.isEmpty()) << bytes.toStdString();
        EXPECT_EQ(ReadFileBytes(path), bytes);
    }
}

TEST_F(PhonesXmlTest, BadElementStopsTheLoadThereWithTheLabels)
{
    const QByteArray first = element(attrs(QStringLiteral("111")));
    const QByteArray third = element(attrs(QStringLiteral("333")));
    // The second element lacks TurnOffLessThen.
    QString lacking = attrs(QStringLiteral("222"));
    lacking.remove(QStringLiteral("TurnOffLessThen=\"1\""));
    WriteFileBytes(path, "<Phones>" + first + element(lacking) + third + "</Phones>");
    TSetupModel m;
    m.SetLine(3, phone(QStringLiteral("old")));
    EXPECT_THROW(LoadPhonesInfoFromXml(m, path, MaxPhones), SaldomatError);
    EXPECT_EQ(m.Line(1).Number, QStringLiteral("111"));
    EXPECT_TRUE(m.Line(2).Number.isEmpty());  // not half-filled
    EXPECT_TRUE(m.Line(3).Number.isEmpty());  // emptied, not left as before
    EXPECT_TRUE(
        loadError().startsWith(QStringLiteral("PhonesXml.LoadPhonesInfoFromXml -- > PhonesXml.readPhone -- > ")))
        << loadError().toStdString();
    EXPECT_TRUE(loadError().contains(QStringLiteral("TurnOffLessThen")));

    // The tray program's load skips the bad element alone and names it.
    QStringList problems;
    m.SetLine(3, phone(QStringLiteral("old")));
    EXPECT_EQ(LoadPhonesInfoFromXml(m, path, MaxPhones, &problems), TPhonesXmlState::Loaded);
    EXPECT_EQ(m.Line(1).Number, QStringLiteral("111"));
    EXPECT_TRUE(m.Line(2).Number.isEmpty());
    EXPECT_EQ(m.Line(3).Number, QStringLiteral("333"));
    ASSERT_EQ(problems.size(), 1);
    EXPECT_TRUE(problems[0].contains(path) && problems[0].contains(QStringLiteral("№ 2"))
                && problems[0].contains(QStringLiteral("TurnOffLessThen")))
        << problems[0].toStdString();

    QString badPassword = attrs(QStringLiteral("222"));
    badPassword.replace(QRegularExpression(QStringLiteral("Password=\"[0-9A-F]+\"")),
                        QStringLiteral("Password=\"ABC\""));
    WriteFileBytes(path, "<Phones>" + first + element(badPassword) + third + element(lacking) + "</Phones>");
    EXPECT_TRUE(loadError().startsWith(
        QStringLiteral("PhonesXml.LoadPhonesInfoFromXml -- > PhonesXml.readPhone -- > Passw.DecodePass -- > ")))
        << loadError().toStdString();
    problems.clear();
    LoadPhonesInfoFromXml(m, path, MaxPhones, &problems);
    EXPECT_EQ(m.Line(3).Number, QStringLiteral("333"));
    ASSERT_EQ(problems.size(), 2);
    EXPECT_TRUE(problems[0].contains(QStringLiteral("№ 2")));
    EXPECT_TRUE(problems[1].contains(QStringLiteral("№ 4")));
}

// A small file whose attributes refer to a large entity many times must not
// be expanded into gigabytes; references cannot reach outside the file.
TEST_F(PhonesXmlTest, EntitiesAreNeverExpandedAndLargeFilesAreRefused)
{
    const QByteArray big(100000, 'x');
    const QByteArray refs = QByteArray("&e;").repeated(3000);
    QString expanding = attrs(QStringLiteral("222"));
    expanding.replace(QStringLiteral("Alias=\"\""), QStringLiteral("Alias=\"%1\"").arg(QLatin1String(refs)));
    WriteFileBytes(path,
                   "<?xml version=\"1.0\"?><!DOCTYPE Phones [<!ENTITY e \"" + big + "\">]><Phones>"
                       + element(attrs(QStringLiteral("111"))) + element(expanding) + "</Phones>");
    QStringList problems;
    TSetupModel m;
    EXPECT_EQ(LoadPhonesInfoFromXml(m, path, MaxPhones, &problems), TPhonesXmlState::Loaded);
    EXPECT_EQ(m.Line(1).Number, QStringLiteral("111"));
    EXPECT_TRUE(m.Line(2).Number.isEmpty());
    ASSERT_EQ(problems.size(), 1);
    EXPECT_TRUE(problems[0].contains(QStringLiteral("Alias"))) << problems[0].toStdString();

    // Nested entities: libxml2's amplification limit refuses the document.
    QByteArray laughs = "<!ENTITY a0 \"xxxxxxxxxx\">";
    for (int i = 1; i <= 9; ++i)
        laughs += "<!ENTITY a" + QByteArray::number(i) + " \"" + ("&a" + QByteArray::number(i - 1) + ";").repeated(10)
            + "\">";
    WriteFileBytes(path,
                   "<!DOCTYPE Phones [" + laughs + "]><Phones>" + element(attrs(QStringLiteral("&a9;"))) + "</Phones>");
    problems.clear();
    EXPECT_NE(LoadPhonesInfoFromXml(m, path, MaxPhones, &problems), TPhonesXmlState::Loaded);
    EXPECT_TRUE(m.Line(1).Number.isEmpty());

    // Over 1 MB: not read at all, with a clear word; the file stays.
    const QByteArray large = "<Phones>" + element(attrs(QStringLiteral("111"))) + "<!--"
        + QByteArray(PhonesXmlMaxBytes, ' ') + "--></Phones>";
    WriteFileBytes(path, large);
    problems.clear();
    EXPECT_EQ(LoadPhonesInfoFromXml(m, path, MaxPhones, &problems), TPhonesXmlState::Malformed);
    EXPECT_TRUE(m.Line(1).Number.isEmpty());
    ASSERT_EQ(problems.size(), 1);
    EXPECT_EQ(problems[0], PhonesFileTooLargeProblem(path, large.size()));
    EXPECT_TRUE(problems[0].contains(QStringLiteral("больше допустимого")));
    EXPECT_THROW(LoadPhonesInfoFromXml(m, path, MaxPhones), SaldomatError);
    EXPECT_EQ(ReadFileBytes(path), large);
}

TEST_F(PhonesXmlTest, AttributeTextsReadAsTheWindowsProgramReadsThem)
{
    struct Case {
        const char *extra;  // replaces the tail of the attributes
        bool monitor;
        bool individual;
        float balance;
        int turnOff;
    };
    const Case cases[] = {
        {"Monitor=\"True\" Individual=\"yes\" BalanceLessThen=\"abc\" TurnOffLessThen=\"\"", true, true, 2.5f, 1},
        {"Monitor=\"false\" Individual=\"on\" BalanceLessThen=\"1,5\" TurnOffLessThen=\"3.5\"", false, false, 2.5f, 1},
        {"Monitor=\"1\" Individual=\"TRUE\" BalanceLessThen=\" -1.25 \" TurnOffLessThen=\"-4\"", true, true, -1.25f,
         -4},
        {"Monitor=\"0\" Individual=\"1\" BalanceLessThen=\"1e3\" TurnOffLessThen=\"0x10\"", false, true, 1000.f, 16},
        {"Monitor=\"2\" Individual=\"0\" BalanceLessThen=\"1e300\" TurnOffLessThen=\"99999999999\"", true, false, 2.5f,
         1},
    };
    for (const Case &c : cases) {
        const QString a = QStringLiteral("Number=\"1\" Password=\"%1\" Alias=\"\" TrayShow=\"False\" Region=\"X\" %2")
                              .arg(EncodePass(QString()), QLatin1String(c.extra));
        WriteFileBytes(path, "<Phones>" + element(a) + "</Phones>");
        const TSetupModel m = reload();
        EXPECT_EQ(m.Line(1).Monitor, c.monitor) << c.extra;
        EXPECT_EQ(m.Line(1).ExSettings.Individual, c.individual) << c.extra;
        EXPECT_EQ(m.Line(1).ExSettings.BalanceLessThen, c.balance) << c.extra;
        EXPECT_EQ(m.Line(1).ExSettings.TurnOffLessThen, c.turnOff) << c.extra;
    }
    // A flag that is neither a boolean word nor a number stops the load.
    WriteFileBytes(path,
                   "<Phones>"
                       + element(attrs(QStringLiteral("1"))
                                     .replace(QStringLiteral("Monitor=\"True\""), QStringLiteral("Monitor=\"maybe\"")))
                       + "</Phones>");
    EXPECT_TRUE(loadError().contains(QStringLiteral("maybe")));

    // UTF-8 without a declaration, comments, text and other element names
    // between: only the order of the elements counts. The last tray button wins.
    const QString text = QString(QChar(0xFEFF))
        + QStringLiteral("<List>\n  <!-- first -->\n  <Phone %1/>\n  text\n  <Other %2/>\n</List>\n")
              .arg(attrs(U("111")).replace(QStringLiteral("TrayShow=\"False\""), QStringLiteral("TrayShow=\"True\"")),
                   attrs(U("222"))
                       .replace(QStringLiteral("Region=\"X\""), U("Region=\"Юг\""))
                       .replace(QStringLiteral("TrayShow=\"False\""), QStringLiteral("TrayShow=\"True\"")));
    WriteFileBytes(path, text.toUtf8());
    TSetupModel m;
    m.SetTrayShowMinimal(true);
    LoadPhonesInfoFromXml(m, path, MaxPhones);
    EXPECT_EQ(m.Line(2).Number, QStringLiteral("222"));
    EXPECT_EQ(m.Line(2).Region, U("Юг"));
    EXPECT_EQ(m.Line(2).Password, QStringLiteral("1"));
    EXPECT_EQ(m.TraySlot(), 2);
    EXPECT_FALSE(m.TrayShowMinimal());
}

// A row kept in the keyring is written without its password and comes back
// marked and unread; without a keyring a save masks every known password but
// leaves a marked row that was never read as it is, so that nothing is lost.
TEST_F(PhonesXmlTest, RowsKeptInTheKeyringHoldNoPasswordAndAreNeverLost)
{
    TSetupModel m;
    TSetupPhoneLine kept = phone(QStringLiteral("9161110001"), QStringLiteral("271828"));
    kept.InKeyring = true;
    m.SetLine(1, kept);
    m.SetLine(2, phone(QStringLiteral("9161110002"), QStringLiteral("314159")));
    SavePhonesInfoToXml(m, path, MaxPhones);
    const QByteArray bytes = ReadFileBytes(path);
    EXPECT_FALSE(bytes.contains("271828"));
    EXPECT_TRUE(bytes.contains("Number=\"9161110001\" Password=\"\""));
    EXPECT_EQ(bytes.count("Keyring=\"True\""), 1);
    TSetupModel r = reload();
    EXPECT_TRUE(r.Line(1).InKeyring && r.Line(1).KeyringUnread);
    EXPECT_TRUE(r.Line(1).Password.isEmpty());
    EXPECT_EQ(r.Line(2).Password, QStringLiteral("314159"));
    EXPECT_FALSE(r.Line(2).InKeyring);

    // No session bus: no keyring; the save is done before SavePhones returns.
    const QByteArray bus = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    r.Line(2).Password = QStringLiteral("161803");
    TProgramState state(InitPaths());
    TPasswordVault vault(state);
    bool done = false;
    vault.SavePhones(r, path, MaxPhones, true, [&](const TSetupModel &saved, const QString &error) {
        done = true;
        EXPECT_TRUE(error.isEmpty()) << error.toStdString();
        EXPECT_TRUE(saved.Line(1).InKeyring);
        EXPECT_FALSE(saved.Line(2).InKeyring);
    });
    if (!bus.isEmpty())
        qputenv("DBUS_SESSION_BUS_ADDRESS", bus);
    ASSERT_TRUE(done);
    EXPECT_EQ(vault.Answers(), std::optional<bool>(false));
    r = reload();
    EXPECT_TRUE(r.Line(1).InKeyring && r.Line(1).KeyringUnread) << "the unread entry keeps its mark";
    EXPECT_EQ(r.Line(2).Password, QStringLiteral("161803"));
    // A marked row whose entry cannot be read loads with an empty password.
    bool loaded = false;
    vault.Load(r, [&] { loaded = true; });
    EXPECT_TRUE(loaded);
    EXPECT_TRUE(r.Line(1).Password.isEmpty() && r.Line(1).KeyringUnread);
    EXPECT_TRUE(FromCp1251(ReadFileBytes(ErrorLogFileName())).contains(U("Пароль телефона 9161110001 не прочитан")));
}

TEST_F(PhonesXmlTest, InterruptedSaveLeavesTheOldFileIntact)
{
    TSetupModel m;
    m.SetLine(1, phone(QStringLiteral("111")));
    SavePhonesInfoToXml(m, path, MaxPhones);
    const QByteArray before = ReadFileBytes(path);
    for (int slot = 2; slot <= 40; ++slot)
        m.SetLine(slot, phone(QString::number(slot)));
    {
        FileSizeLimit limit(static_cast<rlim_t>(before.size()) + 10);
        EXPECT_THROW(SavePhonesInfoToXml(m, path, MaxPhones), SaldomatError);
    }
    EXPECT_EQ(ReadFileBytes(path), before);
    EXPECT_EQ(home.files(), QStringList{QStringLiteral("phones.xml")});
}
TEST(Readers, FloatsAreWrittenInTheGeneralFormOfFifteenDigits)
{
    EXPECT_EQ(FloatToText(2.5), QStringLiteral("2.5"));
    EXPECT_EQ(FloatToText(static_cast<double>(2.6f)), QStringLiteral("2.59999990463257"));
    EXPECT_EQ(FloatToText(0), QStringLiteral("0"));
    EXPECT_EQ(FloatToText(-1.25), QStringLiteral("-1.25"));
    EXPECT_EQ(FloatToText(1e20), QStringLiteral("1E20"));
    EXPECT_EQ(FloatToText(123456789012345.0), QStringLiteral("123456789012345"));
    EXPECT_EQ(FloatToText(0.0001), QStringLiteral("0.0001"));
    EXPECT_EQ(FloatToText(static_cast<double>(1e-6f)), QStringLiteral("9.99999997475243E-7"));
    EXPECT_EQ(TextToFloat(QStringLiteral("1,5")), std::nullopt);
    EXPECT_EQ(TextToFloat(QStringLiteral("inf")), std::nullopt);
    EXPECT_EQ(TextToFloat(QStringLiteral("1 000")), std::nullopt);
    EXPECT_EQ(TextToFloat(QStringLiteral(" 1.5 ")), 1.5);
}
