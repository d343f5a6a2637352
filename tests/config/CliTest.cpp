// saldomat-cli's configuration commands, run as real processes.

#include "ConfigHome.h"
#include "IniFile.h"
#include "Passw.h"
#include "PhonesXml.h"

#include <QProcess>

namespace {
struct CliRun {
    int status = -1;
    QString out;
    QString err;
};

class CliTest : public ::testing::Test {
protected:
    ConfigHome home;

    CliRun cli(const QStringList &args)
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("SALDOMAT_HOME"), home.dir());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.xdg());
        p.setProcessEnvironment(env);
        p.start(BinaryPath(QStringLiteral("saldomat-cli")), args);
        CliRun r;
        if (!p.waitForFinished(30000)) {
            ADD_FAILURE() << "saldomat-cli did not finish";
            p.kill();
            p.waitForFinished();
            return r;
        }
        r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        r.out = QString::fromUtf8(p.readAllStandardOutput());
        r.err = QString::fromUtf8(p.readAllStandardError());
        return r;
    }
    TSetupModel phones()
    {
        TSetupModel m;
        LoadPhonesInfoFromXml(m, PhonesXmlFileName, MaxPhones);
        return m;
    }
    // Every file of the program directory with its bytes.
    QMap<QString, QByteArray> snapshot()
    {
        QMap<QString, QByteArray> files;
        for (const QString &f : home.files())
            files.insert(f, ReadFileBytes(home.file(f)));
        return files;
    }
};
}  // namespace

TEST_F(CliTest, PhonesSetListAndRemove)
{
    CliRun r = cli({QStringLiteral("phones"), QStringLiteral("set"), QStringLiteral("1"), QStringLiteral("--number"),
                 QStringLiteral("9161234567"), QStringLiteral("--password"), QStringLiteral("271828182845904"),
                 QStringLiteral("--alias"), U("Мамин телефон"), QStringLiteral("--monitor"), QStringLiteral("yes"),
                 QStringLiteral("--tray"), QStringLiteral("yes")});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    r = cli({QStringLiteral("phones"), QStringLiteral("set"), QStringLiteral("2"), QStringLiteral("--number"),
             QStringLiteral("+7-903-000"), QStringLiteral("--region"), U("мск")});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();

    TSetupModel m = phones();
    EXPECT_EQ(m.Line(1).Password, QStringLiteral("271828182845904"));
    EXPECT_EQ(m.Line(1).Alias, U("Мамин телефон"));
    EXPECT_TRUE(m.Line(1).Monitor);
    EXPECT_EQ(m.TraySlot(), 1);
    EXPECT_EQ(m.Line(2).Region, U("МСК"));
    EXPECT_FALSE(m.Line(2).Monitor);

    r = cli({QStringLiteral("phones"), QStringLiteral("list")});
    ASSERT_EQ(r.status, 0);
    EXPECT_TRUE(r.out.contains(U("1\t9161234567\tМамин телефон\tМСК\tyes\tyes\n"))) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains(U("2\t+7-903-000\t\tМСК\tno\tno\n"))) << r.out.toStdString();
    EXPECT_FALSE(r.out.contains(QStringLiteral("271828182845904")));
    EXPECT_FALSE(r.out.contains(QStringLiteral("Password"), Qt::CaseInsensitive));

    // Changing one field keeps the others.
    r = cli({QStringLiteral("phones"), QStringLiteral("set"), QStringLiteral("1"), QStringLiteral("--monitor"), QStringLiteral("no")});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    m = phones();
    EXPECT_FALSE(m.Line(1).Monitor);
    EXPECT_EQ(m.Line(1).Password, QStringLiteral("271828182845904"));

    // Removing the first row closes the gap.
    r = cli({QStringLiteral("phones"), QStringLiteral("remove"), QStringLiteral("1")});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    m = phones();
    EXPECT_EQ(m.Line(1).Number, QStringLiteral("+7-903-000"));
    EXPECT_TRUE(m.Line(2).Number.isEmpty());
}

TEST_F(CliTest, PhonesBadInputChangesNothing)
{
    ASSERT_EQ(cli({QStringLiteral("phones"), QStringLiteral("set"), QStringLiteral("1"), QStringLiteral("--number"),
                   QStringLiteral("111"), QStringLiteral("--password"), QStringLiteral("1")})
                  .status,
              0);
    const auto before = snapshot();
    const QList<QStringList> bad{
        {QStringLiteral("set"), QStringLiteral("0"), QStringLiteral("--number"), QStringLiteral("1")},
        {QStringLiteral("set"), QStringLiteral("101"), QStringLiteral("--number"), QStringLiteral("1")},
        {QStringLiteral("set"), QStringLiteral("x"), QStringLiteral("--number"), QStringLiteral("1")},
        {QStringLiteral("set"), QStringLiteral("1"), QStringLiteral("--region"), QStringLiteral("NOPE")},
        {QStringLiteral("set"), QStringLiteral("1"), QStringLiteral("--password"), QStringLiteral("1234567890123456")},
        {QStringLiteral("set"), QStringLiteral("1"), QStringLiteral("--password"), QStringLiteral("abc")},
        {QStringLiteral("set"), QStringLiteral("1"), QStringLiteral("--number"), QStringLiteral("916 123")},
        {QStringLiteral("set"), QStringLiteral("1"), QStringLiteral("--monitor"), QStringLiteral("maybe")},
        {QStringLiteral("set"), QStringLiteral("1"), QStringLiteral("--colour"), QStringLiteral("red")},
        {QStringLiteral("set"), QStringLiteral("1"), QStringLiteral("--alias")},
        {QStringLiteral("set"), QStringLiteral("2"), QStringLiteral("--alias"), QStringLiteral("no number")},
        {QStringLiteral("remove"), QStringLiteral("5")},
        {QStringLiteral("remove")},
        {QStringLiteral("frobnicate")},
    };
    for (const QStringList &args : bad) {
        const CliRun r = cli(QStringList{QStringLiteral("phones")} + args);
        EXPECT_NE(r.status, 0) << args.join(QLatin1Char(' ')).toStdString();
        EXPECT_FALSE(r.err.trimmed().isEmpty()) << args.join(QLatin1Char(' ')).toStdString();
        EXPECT_EQ(snapshot(), before) << args.join(QLatin1Char(' ')).toStdString();
    }
    // A monitored phone needs its password, as the setup dialog demands.
    const CliRun r = cli({QStringLiteral("phones"), QStringLiteral("set"), QStringLiteral("2"), QStringLiteral("--number"),
                       QStringLiteral("222"), QStringLiteral("--monitor"), QStringLiteral("yes")});
    EXPECT_NE(r.status, 0);
    EXPECT_TRUE(r.err.contains(U("Не заполнен пароль"))) << r.err.toStdString();
    EXPECT_EQ(snapshot(), before);
}

TEST_F(CliTest, PhonesFileThatCannotBeReadIsNotSavedOver)
{
    const QByteArray bad = "<Phones><Phone Number=\"1\" Password=\"XYZ\" Alias=\"\" Monitor=\"True\" TrayShow=\"False\" "
                           "Region=\"X\" Individual=\"False\" BalanceLessThen=\"1\" TurnOffLessThen=\"1\"/></Phones>";
    WriteFileBytes(PhonesXmlFileName, bad);
    const CliRun r = cli({QStringLiteral("phones"), QStringLiteral("set"), QStringLiteral("2"), QStringLiteral("--number"), QStringLiteral("2")});
    EXPECT_NE(r.status, 0);
    EXPECT_TRUE(r.err.contains(QStringLiteral("Passw.DecodePass"))) << r.err.toStdString();
    EXPECT_EQ(ReadFileBytes(PhonesXmlFileName), bad);
}

TEST_F(CliTest, TrayRowSwitchesTheStoredMinimumOff)
{
    ASSERT_EQ(cli({QStringLiteral("settings"), QStringLiteral("set"), QStringLiteral("Phones"),
                   QStringLiteral("rbTrayShowMinimal"), QStringLiteral("1")})
                  .status,
              0);
    ASSERT_EQ(cli({QStringLiteral("phones"), QStringLiteral("set"), QStringLiteral("1"), QStringLiteral("--number"),
                   QStringLiteral("1"), QStringLiteral("--tray"), QStringLiteral("yes")})
                  .status,
              0);
    EXPECT_FALSE(IniFile.ReadBool(QStringLiteral("Phones"), QStringLiteral("rbTrayShowMinimal"), true));
    TSetupModel m = phones();
    LoadIniFile(m);
    EXPECT_EQ(m.TraySlot(), 1);
}

TEST_F(CliTest, Regions)
{
    CliRun r = cli({QStringLiteral("regions"), QStringLiteral("add"), U("Корвет - Урал"), U("ЕКБ"),
                 QStringLiteral(" https://ekb.example/cgi-bin/cgi.exe?function=is_newlog&lang=2 ")});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(ServersIni.ReadString(U("Корвет - Урал"), QStringLiteral("LoginURL"), QString()),
              QStringLiteral("https://ekb.example/cgi-bin/cgi.exe?function=is_login"));
    r = cli({QStringLiteral("regions"), QStringLiteral("list")});
    ASSERT_EQ(r.status, 0);
    EXPECT_TRUE(r.out.contains(U("Корвет - Москва\tМСК\thttps://issa.korvet-mobile.example/")));
    EXPECT_TRUE(r.out.contains(U("Корвет - Урал\tЕКБ\thttps://ekb.example/cgi-bin/cgi.exe?function=is_login\n")));
    EXPECT_LT(r.out.indexOf(U("Москва")), r.out.indexOf(U("Урал")));

    // A row may now use the region by its short name in any case.
    r = cli({QStringLiteral("phones"), QStringLiteral("set"), QStringLiteral("1"), QStringLiteral("--number"),
             QStringLiteral("1"), QStringLiteral("--region"), U("екб")});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(phones().Line(1).Region, U("ЕКБ"));

    const auto before = snapshot();
    const QList<QStringList> bad{
        {QStringLiteral("add"), U("Своя"), U("мск"), QStringLiteral("https://x.example/")},
        {QStringLiteral("add"), U("Другая"), U("ЕКБ"), QStringLiteral("https://x.example/")},
        {QStringLiteral("add"), U("Длинная"), QStringLiteral("ABCDE"), QStringLiteral("https://x.example/")},
        {QStringLiteral("add"), QStringLiteral(" "), QStringLiteral("AB"), QStringLiteral("https://x.example/")},
        {QStringLiteral("add"), QStringLiteral("[x]"), QStringLiteral("AB"), QStringLiteral("https://x.example/")},
        {QStringLiteral("add"), QStringLiteral("Two")},
        {QStringLiteral("remove"), QStringLiteral("x")},
    };
    for (const QStringList &args : bad) {
        const CliRun b = cli(QStringList{QStringLiteral("regions")} + args);
        EXPECT_NE(b.status, 0) << args.join(QLatin1Char(' ')).toStdString();
        EXPECT_EQ(snapshot(), before) << args.join(QLatin1Char(' ')).toStdString();
    }
    EXPECT_TRUE(cli({QStringLiteral("regions"), QStringLiteral("add"), U("Своя"), U("мск"), QStringLiteral("https://x.example/")})
                    .err.contains(U("Такое короткое название уже существует")));
}

TEST_F(CliTest, SettingsGetAndSet)
{
    CliRun r = cli({QStringLiteral("settings"), QStringLiteral("get"), QStringLiteral("Mark"), QStringLiteral("edBalanceLessThen")});
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(r.out, QStringLiteral("2.5\n"));
    r = cli({QStringLiteral("settings"), QStringLiteral("set"), QStringLiteral("Mark"), QStringLiteral("edBalanceLessThen"),
             QStringLiteral("4.25")});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    r = cli({QStringLiteral("settings"), QStringLiteral("get"), QStringLiteral("mark"), QStringLiteral("EDBALANCELESSTHEN")});
    EXPECT_EQ(r.out, QStringLiteral("4.25\n"));
    // A settings save writes the whole set of keys, as the dialog does.
    EXPECT_TRUE(IniFile.ValueExists(QStringLiteral("Hint Window"), QStringLiteral("cbNN")));
    EXPECT_TRUE(IniFile.ValueExists(QStringLiteral("Debug"), QStringLiteral("SaveLogFiles")));

    ASSERT_EQ(cli({QStringLiteral("settings"), QStringLiteral("set"), QStringLiteral("Debug"), QStringLiteral("SaveLogFiles"),
                   QStringLiteral("1")})
                  .status,
              0);
    ASSERT_EQ(cli({QStringLiteral("settings"), QStringLiteral("set"), QStringLiteral("Connection"),
                   QStringLiteral("cbRefreshTime"), QStringLiteral("7")})
                  .status,
              0);
    EXPECT_TRUE(IniFile.ReadBool(QStringLiteral("Debug"), QStringLiteral("SaveLogFiles"), false));  // kept by the save
    EXPECT_EQ(RequestIntervalMs([] {
                  TSetupModel m;
                  LoadIniFile(m);
                  return m;
              }()),
              86400000);

    ASSERT_EQ(cli({QStringLiteral("settings"), QStringLiteral("set"), QStringLiteral("Connection"),
                   QStringLiteral("ProxyUserName"), QStringLiteral(" proxyuser ")})
                  .status,
              0);
    ASSERT_EQ(cli({QStringLiteral("settings"), QStringLiteral("set"), QStringLiteral("Connection"),
                   QStringLiteral("ProxyPassword"), U("секрет")})
                  .status,
              0);
    EXPECT_EQ(GetProxyUserName(), QStringLiteral("proxyuser"));
    EXPECT_EQ(GetProxyPassword(), U("секрет"));
    EXPECT_FALSE(ReadFileBytes(IniFileName).contains(Cp("секрет")));  // stored masked
    ASSERT_EQ(cli({QStringLiteral("settings"), QStringLiteral("set"), QStringLiteral("History Form"), QStringLiteral("Left"),
                   QStringLiteral("-20")})
                  .status,
              0);
    EXPECT_EQ(IniFile.ReadInteger(QStringLiteral("History Form"), QStringLiteral("Left"), NoValue), -20);

    const auto before = snapshot();
    const QList<QStringList> bad{
        {QStringLiteral("set"), QStringLiteral("Mark"), QStringLiteral("edBalanceLessThen"), QStringLiteral("1,5")},
        {QStringLiteral("set"), QStringLiteral("Mark"), QStringLiteral("edTurnOffLessThen"), QStringLiteral("3.5")},
        {QStringLiteral("set"), QStringLiteral("Connection"), QStringLiteral("cbRefreshTime"), QStringLiteral("8")},
        {QStringLiteral("set"), QStringLiteral("Hint Window"), QStringLiteral("cbNN"), QStringLiteral("maybe")},
        {QStringLiteral("set"), QStringLiteral("Debug"), QStringLiteral("SaveLogFiles"), QStringLiteral("2x")},
        {QStringLiteral("set"), QStringLiteral("History Form"), QStringLiteral("Left"), QStringLiteral("left")},
        {QStringLiteral("set"), QStringLiteral("Nowhere"), QStringLiteral("key"), QStringLiteral("1")},
        {QStringLiteral("set"), QStringLiteral("Mark")},
        {QStringLiteral("get"), QStringLiteral("Nowhere"), QStringLiteral("key")},
        {QStringLiteral("get")},
    };
    for (const QStringList &args : bad) {
        const CliRun b = cli(QStringList{QStringLiteral("settings")} + args);
        EXPECT_NE(b.status, 0) << args.join(QLatin1Char(' ')).toStdString();
        EXPECT_FALSE(b.err.trimmed().isEmpty()) << args.join(QLatin1Char(' ')).toStdString();
        EXPECT_EQ(snapshot(), before) << args.join(QLatin1Char(' ')).toStdString();
    }
}
