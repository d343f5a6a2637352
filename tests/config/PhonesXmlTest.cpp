#include "PhonesXml.h"

#include "ConfigHome.h"
#include "Passw.h"
#include "PasswordVault.h"
#include "Readers.h"

#include <QRegularExpression>
#include <QSet>

namespace {
class PhonesXmlTest : public ConfigTest {
protected:
    QString path = file("phones.xml");

    static TSetupPhoneLine phone(const QString &number, const QString &password = "1111", bool inKeyring = false)
    {
        TSetupPhoneLine line;
        line.Number = number;
        line.Password = password;
        line.InKeyring = inKeyring;
        return line;
    }
    TSetupModel reload()
    {
        TSetupModel m;
        LoadPhonesInfoFromXml(m, path, MaxPhones);
        return m;
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
    a.Alias = "Мама & <папа> \"дача\"\t'\n";
    a.Monitor = a.TrayShow = true;
    a.ExSettings = {true, 2.6f, -3};
    m.SetLine(1, a);
    m.SetLine(2, phone(" \t "));  // blank numbers and gaps are closed up
    TSetupPhoneLine b = phone(" 9031112233 ", QString());
    b.Region = "СПб";
    b.ExSettings.BalanceLessThen = 2.5f;
    m.SetLine(4, b);
    SavePhonesInfoToXml(m, path, MaxPhones);
    // Every password masked (the round trip below shows they are the right ones).
    static const QRegularExpression re("Password=\"[0-9A-F]{54}\"");
    EXPECT_EQ(QString::fromLatin1(ReadFileBytes(path)).replace(re, "Password=\"*\"").toLatin1(),
              ReadFileBytes(TestDataPath("config/phones-saved.xml")));
    m.SetLine(2, b);
    m.SetLine(4, TSetupPhoneLine{});
    EXPECT_EQ(reload(), m);
    // No file: every row empty, nothing created; an empty list is written as such.
    QFile::remove(path);
    EXPECT_EQ(LoadPhonesInfoFromXml(m, path, MaxPhones), TPhonesXmlState::Missing);
    EXPECT_TRUE(m.Line(1).Number.isEmpty() && m.Line(4).Region == "МСК");
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
    for (const auto &[list, error, numbers] :
         {std::tuple{element("111") + lacking + element("333"), "У элемента \"Phone\" нет атрибута",
                     QStringList{"№ 2"}},
          {element("111") + badPassword + element("333") + lacking, "Passw.DecodePass -- > ", {"№ 2", "№ 4"}}}) {
        writeList(list);
        TSetupModel m;
        m.SetLine(3, phone("old"));
        const QString thrown = FailureOf([&] { LoadPhonesInfoFromXml(m, path, MaxPhones); });
        EXPECT_TRUE(
            thrown.startsWith("PhonesXml.LoadPhonesInfoFromXml -- > PhonesXml.readPhone -- > " + QString(error)))
            << thrown.toStdString();
        // Row 2 not half-filled, row 3 emptied, not left as before.
        EXPECT_EQ(QStringList({m.Line(1).Number, m.Line(2).Number, m.Line(3).Number}), QStringList({"111", "", ""}));
        QStringList problems;
        m.SetLine(3, phone("old"));
        EXPECT_EQ(LoadPhonesInfoFromXml(m, path, MaxPhones, &problems), TPhonesXmlState::Loaded);
        EXPECT_EQ(QStringList({m.Line(1).Number, m.Line(2).Number, m.Line(3).Number}), QStringList({"111", "", "333"}));
        ASSERT_EQ(problems.size(), numbers.size());
        for (int i = 0; i < problems.size(); ++i)
            EXPECT_TRUE(problems[i].contains(path) && problems[i].contains(numbers[i])
                        && !problems[i].contains(" -- > "))
                << qPrintable(problems[i]);
        EXPECT_TRUE(problems.last().contains("TurnOffLessThen"));
    }
}

// Malformed files load as an empty list and stay untouched; entities are neither
// expanded into gigabytes nor read from outside the file.
TEST_F(PhonesXmlTest, MalformedAndHostileFilesAreNeitherReadNorTouched)
{
    // The last is well-formed, but its external entity is neither loaded nor a phone.
    for (const QByteArray &bytes : {QByteArray(), QByteArray("<Phones><Phone Number=\"1\""),
                                    QByteArray("\x00\x01\x02garbage", 10), QByteArray("<Phones/><Second/>"),
                                    QByteArray("<?xml version=\"1.0\"?><!DOCTYPE x [<!ENTITY e SYSTEM "
                                               "\"file:///etc/passwd\">]><Phones>&e;</Phones>")}) {
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
    EXPECT_TRUE(m.Line(1).Number == "111" && m.Line(2).Number.isEmpty());
    EXPECT_TRUE(problems.size() == 1 && problems[0].contains("Alias")) << problems.join('\n').toStdString();
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
    EXPECT_THROW(LoadPhonesInfoFromXml(m, path, MaxPhones), SaldomatError);
    EXPECT_EQ(ReadFileBytes(path), large);
}

TEST_F(PhonesXmlTest, AttributeTextsReadAsTheWindowsProgramReadsThem)
{
    // Monitor, Individual, BalanceLessThen, TurnOffLessThen as read.
    for (const auto &[tail, want] : {
             std::pair{"Monitor=\"True\" Individual=\"yes\" BalanceLessThen=\"abc\" TurnOffLessThen=\"\"", "1 1 2.5 1"},
             {"Monitor=\"false\" Individual=\"on\" BalanceLessThen=\"1,5\" TurnOffLessThen=\"3.5\"", "0 0 2.5 1"},
             {"Monitor=\"1\" Individual=\"TRUE\" BalanceLessThen=\" -1.25 \" TurnOffLessThen=\"-4\"", "1 1 -1.25 -4"},
             {"Monitor=\"0\" Individual=\"1\" BalanceLessThen=\"1e3\" TurnOffLessThen=\"0x10\"", "0 1 1000 16"},
             {"Monitor=\"2\" Individual=\"0\" BalanceLessThen=\"1e300\" TurnOffLessThen=\"99999999999\"", "1 0 2.5 1"},
         }) {
        writeList(element("1", "Monitor=.*", "TrayShow=\"False\" Region=\"X\" " + QLatin1String(tail)));
        const TSetupPhoneLine l = reload().Line(1);
        const TPhoneExSettings &x = l.ExSettings;
        EXPECT_EQ(QString::asprintf("%d %d %g %d", l.Monitor, x.Individual, x.BalanceLessThen, x.TurnOffLessThen), want)
            << tail;
    }
    // A flag that is neither a boolean word nor a number stops the load.
    writeList(element("1", "Monitor=\"True\"", "Monitor=\"maybe\""));
    EXPECT_TRUE(FailureOf([&] { reload(); }).contains("maybe"));
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
    EXPECT_EQ(QStringList({m.Line(2).Number, m.Line(2).Region, m.Line(2).Password}), QStringList({"222", "Юг", "1"}));
    EXPECT_TRUE(m.TraySlot() == 2 && !m.TrayShowMinimal());
}

// A row kept in the keyring is written without its password and comes back marked and
// unread; without a keyring a save masks the known passwords and keeps the unread marks.
TEST_F(PhonesXmlTest, RowsKeptInTheKeyringHoldNoPasswordAndAreNeverLost)
{
    TSetupModel m;
    m.SetLine(1, phone("9161110001", "271828", true));
    m.SetLine(2, phone("9161110002", "314159"));
    SavePhonesInfoToXml(m, path, MaxPhones);
    const QByteArray bytes = ReadFileBytes(path);
    EXPECT_TRUE(!bytes.contains("271828") && bytes.contains("Number=\"9161110001\" Password=\"\"")
                && bytes.count("Keyring=\"True\"") == 1);
    TSetupModel r = reload();
    EXPECT_TRUE(r.Line(1).InKeyring && r.Line(1).KeyringUnread && r.Line(1).Password.isEmpty()
                && r.Line(2).Password == "314159" && !r.Line(2).InKeyring);
    // No session bus: no keyring; the save is done before SavePhones returns.
    const QByteArray bus = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    r.Line(2).Password = "161803";
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
    EXPECT_TRUE(r.Line(1).InKeyring && r.Line(1).KeyringUnread && r.Line(2).Password == "161803");
    // A marked row whose entry cannot be read loads with an empty password.
    bool loaded = false;
    vault.Load(r, [&] { loaded = true; });
    EXPECT_TRUE(loaded && r.Line(1).Password.isEmpty() && r.Line(1).KeyringUnread);
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
    EXPECT_EQ(files(), QStringList{"phones.xml"});
}

TEST(Readers, FloatsAreWrittenInTheGeneralFormOfFifteenDigits)
{
    QStringList written;
    for (const double value : {2.5, 0., -1.25, 1e20, 123456789012345.0, 0.0001, static_cast<double>(1e-6f)})
        written << FloatToText(value);
    EXPECT_EQ(written.join(' '), "2.5 0 -1.25 1E20 123456789012345 0.0001 9.99999997475243E-7");
}

// 54 upper-case hexadecimal digits whatever the password (the empty one too),
// the length at position 4, a new key each time, cut to fifteen characters.
TEST(Passw, RoundTripsAndDecodesTheStoredLayout)
{
    for (const QString &p : {QString(), QString("1"), QString("ЁжикЪ-+09 z"), QString("123456789012345"),
                             QString("\x7f\x01 ~"), QString("1234567890123456"), QString("абвгдеёжзийклмнопр")}) {
        const QString encoded = EncodePass(p);
        EXPECT_TRUE(QRegularExpression("^[0-9A-F]{54}$").match(encoded).hasMatch()) << encoded.toStdString();
        EXPECT_EQ(encoded.at(3), QLatin1Char("0123456789ABCDEF"[std::min(p.size(), qsizetype(15))]));
        EXPECT_EQ(DecodePass(encoded), p.left(15)) << p.toStdString();
    }
    QSet<QString> seen;
    for (int i = 0; i < 20; ++i)
        seen.insert(EncodePass("555"));
    EXPECT_GT(seen.size(), 15);
    // K1 = 0x10, filler 7, n = 3; "1" ^ K2, "2" ^ K1, "3" ^ K2; K2 = 0x20; then
    // anything: nothing after K2 is read, nor position 3; windows-1251 bytes.
    const QString layout = "107311221320";
    for (const QString &encoded :
         {layout + QString(42, u'E'), (layout + QString(42, u'E')).toLower(), layout + "zz!", QString("10x311221320")})
        EXPECT_EQ(DecodePass(encoded), "123") << encoded.toStdString();
    EXPECT_EQ(DecodePass("0001FF00"), "я");
    for (const char *bad : {"ABC", "", "1073112213", "G073112213AB", "10731122X3AB", "1073112213Z0", "107Z112213AB"})
        EXPECT_TRUE(FailureOf([&] { DecodePass(bad); }).startsWith("Passw.DecodePass -- > ")) << bad;
}
