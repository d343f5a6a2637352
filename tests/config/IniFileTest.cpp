#include "IniFile.h"

#include "ConfigHome.h"

#include <sys/stat.h>

namespace {
class IniFileTest : public ::testing::Test {
protected:
    ConfigHome home;
    QString path = home.file(QStringLiteral("test.ini"));
    TIniFile ini{path};
    QString read(const QString &section, const char *key)
    {
        return ini.ReadString(section, QLatin1String(key), QStringLiteral("-"));
    }
};
}  // namespace

// Writes: the file made by the first, names without letter case (Cyrillic
// too), lines not written kept as they were, CR LF, the file's own encoding.
TEST_F(IniFileTest, WritesKeepWhatTheyDoNotChange)
{
    EXPECT_EQ(ini.ReadInteger(QStringLiteral("A"), QStringLiteral("k"), -7), -7);
    ini.EraseSection(QStringLiteral("A"));
    ini.DeleteKey(QStringLiteral("A"), QStringLiteral("k"));
    EXPECT_FALSE(QFile::exists(path));
    ini.WriteString(U("Регион Юг"), U("Ключ"), U("юг"));
    ini.WriteInteger(U("РЕГИОН ЮГ"), QStringLiteral("n"), -42);
    ini.WriteBool(QStringLiteral("Flags"), QStringLiteral("on"), true);
    ini.WriteString(U("регион юг"), U("КЛЮЧ"), U("Другое"));
    EXPECT_EQ(ini.ReadSection(U("регион ЮГ")), (QStringList{U("Ключ"), QStringLiteral("n")}));
    EXPECT_EQ(ReadFileBytes(path), Cp("[Регион Юг]\r\nКлюч=Другое\r\nn=-42\r\n\r\n[Flags]\r\non=1\r\n"));

    WriteFileBytes(path, Cp("; настройки\n[A]\nx = 1 ; note\ny=2\n\n; about B\n[B]\nz=3\n\n[a]\nm=4\n"));
    ini.WriteString(QStringLiteral("a"), QStringLiteral("Y"), QStringLiteral("20"));
    ini.WriteString(QStringLiteral("C"), QStringLiteral("w"), QString());
    ini.DeleteKey(QStringLiteral("b"), QStringLiteral("Z"));
    EXPECT_EQ(ReadFileBytes(path),
              Cp("; настройки\r\n[A]\r\nx = 1 ; note\r\ny=20\r\n\r\n; about "
                 "B\r\n[B]\r\n\r\n[a]\r\nm=4\r\n\r\n[C]\r\nw=\r\n"));
    ini.EraseSection(QStringLiteral("A"));
    EXPECT_EQ(ini.ReadSections(), (QStringList{QStringLiteral("B"), QStringLiteral("C")}));

    WriteFileBytes(path, QByteArray("\xEF\xBB\xBF[A]\nk=日本\n"));
    ini.WriteString(QStringLiteral("A"), QStringLiteral("j"), U("ж"));
    EXPECT_EQ(ReadFileBytes(path), QByteArray("\xEF\xBB\xBF") + U("[A]\r\nk=日本\r\nj=ж\r\n").toUtf8());
}

TEST_F(IniFileTest, HandWrittenAndMalformedFilesReadAsPrivateProfileReadsDo)
{
    WriteFileBytes(path,
                   QByteArray("\xEF\xBB\xBF")
                       + QString::fromUtf8("orphan=1\n; a comment\n  [ Mark ]  \n"
                                           "  edBalanceLessThen =  3.5  \n;x=0\nx=1\nx=0\n"
                                           "quoted=\"  spaced  \"\nsingle='x'\nhalf=\"x\n"
                                           "no equals sign\n[Регион]\r\nShortName=РГН\n"
                                           "[mark]\nlate=1\n")
                             .toUtf8());
    EXPECT_EQ(read(QStringLiteral("Mark"), "edBalanceLessThen"), QStringLiteral("3.5"));
    EXPECT_EQ(read(QStringLiteral("Mark"), "x"), QStringLiteral("1"));  // the first of a key counts
    EXPECT_EQ(read(QStringLiteral("Mark"), "quoted"), QStringLiteral("  spaced  "));
    EXPECT_EQ(read(QStringLiteral("Mark"), "single"), QStringLiteral("x"));
    EXPECT_EQ(read(QStringLiteral("Mark"), "half"), QStringLiteral("\"x"));
    EXPECT_EQ(read(QStringLiteral("Mark"), "late"), QStringLiteral("-"));  // a repeated section is not read
    EXPECT_EQ(read(QString(), "orphan"), QStringLiteral("-"));
    EXPECT_EQ(read(U("регион"), "ShortName"), U("РГН"));
    EXPECT_EQ(ini.ReadSections(), (QStringList{QStringLiteral("Mark"), U("Регион")}));

    WriteFileBytes(path,
                   "[N]\nhex=0x1F\nneg=-5\nplus=+7\nbad=12abc\nempty=\nhuge=99999999999\nmin=-2147483648\n"
                   "float=3.5\nb2=2\nb0=0\nbyes=yes\n");
    const std::pair<const char *, int> ints[]
        = {{"hex", 31},  {"neg", -5}, {"plus", 7}, {"bad", 77}, {"empty", 77}, {"huge", 77}, {"min", -2147483647 - 1},
           {"float", 77}};
    for (const auto &[key, want] : ints)
        EXPECT_EQ(ini.ReadInteger(QStringLiteral("N"), QLatin1String(key), 77), want) << key;
    EXPECT_TRUE(ini.ReadBool(QStringLiteral("N"), QStringLiteral("b2"), false));
    EXPECT_FALSE(ini.ReadBool(QStringLiteral("N"), QStringLiteral("b0"), true));
    EXPECT_FALSE(ini.ReadBool(QStringLiteral("N"), QStringLiteral("byes"), false));  // not a number: the default

    WriteFileBytes(path, QByteArray("\x00\x01\xff[\n", 5) + QByteArray("[broken\nk=v\n]\n=novalue\n\xff\xfe"));
    EXPECT_EQ(read(QStringLiteral("broken"), "k"), QStringLiteral("v"));
    ini.WriteString(QStringLiteral("broken"), QStringLiteral("k"), QStringLiteral("w"));
    EXPECT_EQ(read(QStringLiteral("broken"), "k"), QStringLiteral("w"));
}

// Input that would break the file is refused; a write that fails (a full
// disk), or a batch left without commit, leaves the old file; a write that
// changes nothing does not even rewrite it.
TEST_F(IniFileTest, TheFileIsWrittenWholeOrNotAtAll)
{
    ini.WriteString(QStringLiteral("A"), QStringLiteral("k"), QStringLiteral("v"));
    const QByteArray before = ReadFileBytes(path);
    for (const auto &[section, key, value] : {std::tuple{"A", "k", "v\r\n[B]\r\nx=1"},
                                              {"A]\r\n[B", "k", "v"},
                                              {"A", "k=j", "v"},
                                              {"A", "", "v"},
                                              {"A", "k", "日本"}})
        EXPECT_THROW(ini.WriteString(QString::fromUtf8(section), QString::fromUtf8(key), QString::fromUtf8(value)),
                     SaldomatError)
            << section << " " << key << " " << value;
    {
        FileSizeLimit limit(40);  // as on a full disk
        EXPECT_THROW(ini.WriteString(QStringLiteral("A"), QStringLiteral("big"), QString(500, QLatin1Char('x'))),
                     SaldomatError);
    }
    EXPECT_EQ(read(QStringLiteral("A"), "big"), QStringLiteral("-"));
    {
        TIniUpdate update(ini);
        ini.WriteString(QStringLiteral("A"), QStringLiteral("k"), QStringLiteral("new"));
        EXPECT_EQ(read(QStringLiteral("A"), "k"), QStringLiteral("new"));
    }  // left without commit(), as when an exception passes
    EXPECT_EQ(ReadFileBytes(path), before);
    EXPECT_EQ(home.files(), QStringList{QStringLiteral("test.ini")});  // no temporary file left behind

    const auto inode = [&] {
        struct stat st { };
        ::stat(QFile::encodeName(path).constData(), &st);
        return st.st_ino;
    };
    const auto id = inode();
    {
        TIniUpdate update(ini);
        ini.WriteString(QStringLiteral("A"), QStringLiteral("k"), QStringLiteral("v"));
        update.commit();
    }
    EXPECT_EQ(inode(), id) << "the file was rewritten";
    {
        TIniUpdate update(ini);
        ini.WriteString(QStringLiteral("A"), QStringLiteral("k"), QStringLiteral("new"));
        ini.WriteString(QStringLiteral("B"), QStringLiteral("j"), QStringLiteral("1"));
        EXPECT_EQ(ReadFileBytes(path), before);  // nothing written before the commit
        update.commit();
    }
    EXPECT_NE(inode(), id);
    EXPECT_EQ(ReadFileBytes(path), QByteArray("[A]\r\nk=new\r\n\r\n[B]\r\nj=1\r\n"));
}

// The parsed file is kept between reads, but whatever another program writes
// is read: a replacement (as every writer here does), a file created or
// deleted behind the reader's back, a hand edit that changes the size.
TEST_F(IniFileTest, ReadsSeeWhatOtherWritersDid)
{
    EXPECT_EQ(read(QStringLiteral("A"), "k"), QStringLiteral("-"));
    TIniFile other{path};
    other.WriteString(QStringLiteral("A"), QStringLiteral("k"), QStringLiteral("1"));
    EXPECT_EQ(read(QStringLiteral("A"), "k"), QStringLiteral("1"));
    other.WriteString(QStringLiteral("A"), QStringLiteral("k"), QStringLiteral("2"));
    EXPECT_EQ(read(QStringLiteral("A"), "k"), QStringLiteral("2"));
    WriteFileBytes(path, "[A]\r\nk=33\r\n");  // in place, as an editor may save
    EXPECT_EQ(read(QStringLiteral("A"), "k"), QStringLiteral("33"));
    QFile::remove(path);
    EXPECT_EQ(read(QStringLiteral("A"), "k"), QStringLiteral("-"));
    WriteFileBytes(path, "[B]\r\nj=x\r\n");
    ini.WriteString(QStringLiteral("A"), QStringLiteral("k"), QStringLiteral("4"));
    EXPECT_EQ(ReadFileBytes(path), QByteArray("[B]\r\nj=x\r\n\r\n[A]\r\nk=4\r\n"));
}
