#include "IniFile.h"

#include "ConfigHome.h"

#include <sys/stat.h>

namespace {
class IniFileTest : public ::testing::Test {
protected:
    ConfigHome home;
    QString path = home.file(QStringLiteral("test.ini"));
    TIniFile ini{path};
};
}  // namespace

TEST_F(IniFileTest, MissingFileReadsDefaultsAndIsCreatedByTheFirstWrite)
{
    EXPECT_EQ(ini.ReadString(QStringLiteral("A"), QStringLiteral("k"), QStringLiteral("def")), QStringLiteral("def"));
    EXPECT_EQ(ini.ReadInteger(QStringLiteral("A"), QStringLiteral("k"), -7), -7);
    EXPECT_TRUE(ini.ReadBool(QStringLiteral("A"), QStringLiteral("k"), true));
    EXPECT_TRUE(ini.ReadSections().isEmpty());
    EXPECT_FALSE(QFile::exists(path));
    ini.EraseSection(QStringLiteral("A"));
    ini.DeleteKey(QStringLiteral("A"), QStringLiteral("k"));
    EXPECT_FALSE(QFile::exists(path));

    ini.WriteString(U("Сеть"), U("Ключ"), U("Значение"));
    ini.WriteInteger(U("Сеть"), QStringLiteral("n"), -42);
    ini.WriteBool(QStringLiteral("Flags"), QStringLiteral("on"), true);
    ini.WriteString(U("Сеть"), U("Ключ"), U("Другое"));
    EXPECT_EQ(ReadFileBytes(path), Cp("[Сеть]\r\nКлюч=Другое\r\nn=-42\r\n\r\n[Flags]\r\non=1\r\n"));
}

TEST_F(IniFileTest, NamesCompareWithoutLetterCaseCyrillicIncluded)
{
    ini.WriteString(U("Регион Юг"), QStringLiteral("ShortName"), U("юг"));
    EXPECT_EQ(ini.ReadString(U("РЕГИОН ЮГ"), QStringLiteral("shortname"), QString()), U("юг"));
    ini.WriteString(U("регион юг"), QStringLiteral("SHORTNAME"), U("ЮГ"));
    EXPECT_EQ(ini.ReadSections(), QStringList{U("Регион Юг")});
    EXPECT_EQ(ini.ReadSection(U("регион ЮГ")), QStringList{QStringLiteral("ShortName")});
    EXPECT_EQ(ReadFileBytes(path), Cp("[Регион Юг]\r\nShortName=ЮГ\r\n"));
}

TEST_F(IniFileTest, HandWrittenFilesReadAsPrivateProfileReadsDo)
{
    WriteFileBytes(path, QByteArray("\xEF\xBB\xBF") +
                             QString::fromUtf8("orphan=1\n"
                                               "; a comment\n"
                                               "\n"
                                               "  [ Mark ]  \n"
                                               "  edBalanceLessThen =  3.5  \n"
                                               ";cbMarkIfBalance=0\n"
                                               "cbMarkIfBalance=1\n"
                                               "cbMarkIfBalance=0\n"
                                               "quoted=\"  spaced  \"\n"
                                               "single='x'\n"
                                               "half=\"x\n"
                                               "no equals sign\n"
                                               "[Регион]\r\n"
                                               "ShortName=РГН\n"
                                               "[mark]\n"
                                               "late=1\n"
                                               "edBalanceLessThen=9\n")
                                 .toUtf8());
    EXPECT_EQ(ini.ReadString(QStringLiteral("Mark"), QStringLiteral("edBalanceLessThen"), QString()), QStringLiteral("3.5"));
    EXPECT_TRUE(ini.ReadBool(QStringLiteral("Mark"), QStringLiteral("cbMarkIfBalance"), false));
    EXPECT_EQ(ini.ReadString(QStringLiteral("Mark"), QStringLiteral("quoted"), QString()), QStringLiteral("  spaced  "));
    EXPECT_EQ(ini.ReadString(QStringLiteral("Mark"), QStringLiteral("single"), QString()), QStringLiteral("x"));
    EXPECT_EQ(ini.ReadString(QStringLiteral("Mark"), QStringLiteral("half"), QString()), QStringLiteral("\"x"));
    EXPECT_EQ(ini.ReadString(QStringLiteral("Mark"), QStringLiteral("late"), QStringLiteral("-")), QStringLiteral("-"));
    EXPECT_EQ(ini.ReadString(QString(), QStringLiteral("orphan"), QStringLiteral("-")), QStringLiteral("-"));
    EXPECT_EQ(ini.ReadString(U("регион"), QStringLiteral("ShortName"), QString()), U("РГН"));
    EXPECT_EQ(ini.ReadSections(), (QStringList{QStringLiteral("Mark"), U("Регион")}));
    EXPECT_EQ(ini.ReadSection(QStringLiteral("Mark")),
              (QStringList{QStringLiteral("edBalanceLessThen"), QStringLiteral("cbMarkIfBalance"), QStringLiteral("quoted"),
                           QStringLiteral("single"), QStringLiteral("half")}));
}

TEST_F(IniFileTest, WritesKeepTheLinesTheyDoNotChange)
{
    WriteFileBytes(path, Cp("; настройки\n[A]\nx = 1 ; note\ny=2\n\n; about B\n[B]\nz=3\n"));
    ini.WriteString(QStringLiteral("a"), QStringLiteral("Y"), QStringLiteral("20"));
    ini.WriteString(QStringLiteral("A"), QStringLiteral("new"), U("новое"));
    ini.WriteString(QStringLiteral("C"), QStringLiteral("w"), QString());
    EXPECT_EQ(ReadFileBytes(path),
              Cp("; настройки\r\n[A]\r\nx = 1 ; note\r\ny=20\r\nnew=новое\r\n\r\n; about B\r\n[B]\r\nz=3\r\n\r\n[C]\r\nw=\r\n"));
}

TEST_F(IniFileTest, IntegersAndBooleans)
{
    WriteFileBytes(path, "[N]\nhex=0x1F\nHEX=0XFF\nneg=-5\nplus=+7\nbad=12abc\nempty=\nhuge=99999999999\n"
                         "min=-2147483648\nfloat=3.5\nb2=2\nb0=0\nbyes=yes\n");
    auto readInt = [&](const char *key) { return ini.ReadInteger(QStringLiteral("N"), QLatin1String(key), 77); };
    EXPECT_EQ(readInt("hex"), 31);
    EXPECT_EQ(readInt("neg"), -5);
    EXPECT_EQ(readInt("plus"), 7);
    EXPECT_EQ(readInt("bad"), 77);
    EXPECT_EQ(readInt("empty"), 77);
    EXPECT_EQ(readInt("huge"), 77);
    EXPECT_EQ(readInt("min"), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(readInt("float"), 77);
    EXPECT_TRUE(ini.ReadBool(QStringLiteral("N"), QStringLiteral("b2"), false));
    EXPECT_FALSE(ini.ReadBool(QStringLiteral("N"), QStringLiteral("b0"), true));
    EXPECT_TRUE(ini.ReadBool(QStringLiteral("N"), QStringLiteral("byes"), true));
    EXPECT_FALSE(ini.ReadBool(QStringLiteral("N"), QStringLiteral("byes"), false));
}

TEST_F(IniFileTest, EraseSectionAndDeleteKey)
{
    WriteFileBytes(path, "[A]\nk=1\n\n[B]\nk=2\nj=3\n\n[a]\nm=4\n");
    ini.EraseSection(QStringLiteral("A"));
    EXPECT_EQ(ini.ReadSections(), QStringList{QStringLiteral("B")});
    EXPECT_FALSE(ini.ValueExists(QStringLiteral("A"), QStringLiteral("m")));
    ini.DeleteKey(QStringLiteral("b"), QStringLiteral("K"));
    EXPECT_EQ(ReadFileBytes(path), QByteArray("[B]\r\nj=3\r\n\r\n"));
    EXPECT_TRUE(ini.SectionExists(QStringLiteral("B")));
}

TEST_F(IniFileTest, InputThatWouldBreakTheFileIsRefused)
{
    ini.WriteString(QStringLiteral("A"), QStringLiteral("k"), QStringLiteral("v"));
    const QByteArray before = ReadFileBytes(path);
    EXPECT_THROW(ini.WriteString(QStringLiteral("A"), QStringLiteral("k"), QStringLiteral("v\r\n[B]\r\nx=1")), SaldomatError);
    EXPECT_THROW(ini.WriteString(QStringLiteral("A]\r\n[B"), QStringLiteral("k"), QStringLiteral("v")), SaldomatError);
    EXPECT_THROW(ini.WriteString(QStringLiteral("A"), QStringLiteral("k=j"), QStringLiteral("v")), SaldomatError);
    EXPECT_THROW(ini.WriteString(QStringLiteral("A"), QString(), QStringLiteral("v")), SaldomatError);
    EXPECT_THROW(ini.WriteString(QStringLiteral("A"), QStringLiteral("k"), U("日本")), SaldomatError);
    EXPECT_EQ(ReadFileBytes(path), before);
}

TEST_F(IniFileTest, Utf8FileWithByteOrderMarkStaysUtf8)
{
    WriteFileBytes(path, QByteArray("\xEF\xBB\xBF[A]\nk=日本\n"));
    ini.WriteString(QStringLiteral("A"), QStringLiteral("j"), U("ж"));
    EXPECT_EQ(ReadFileBytes(path), QByteArray("\xEF\xBB\xBF") + U("[A]\r\nk=日本\r\nj=ж\r\n").toUtf8());
    EXPECT_EQ(ini.ReadString(QStringLiteral("A"), QStringLiteral("k"), QString()), U("日本"));
}

TEST_F(IniFileTest, MalformedFilesDoNotStopReading)
{
    WriteFileBytes(path, QByteArray("\x00\x01\xff[\n", 5) + QByteArray("[broken\nk=v\n]\n=novalue\n\xff\xfe"));
    EXPECT_EQ(ini.ReadString(QStringLiteral("broken"), QStringLiteral("k"), QString()), QStringLiteral("v"));
    EXPECT_NO_THROW(ini.ReadSections());
    ini.WriteString(QStringLiteral("broken"), QStringLiteral("k"), QStringLiteral("w"));
    EXPECT_EQ(ini.ReadString(QStringLiteral("broken"), QStringLiteral("k"), QString()), QStringLiteral("w"));
}

TEST_F(IniFileTest, BatchedWritesAreAllOrNothing)
{
    ini.WriteString(QStringLiteral("A"), QStringLiteral("k"), QStringLiteral("old"));
    const QByteArray before = ReadFileBytes(path);
    {
        TIniUpdate update(ini);
        ini.WriteString(QStringLiteral("A"), QStringLiteral("k"), QStringLiteral("new"));
        ini.WriteString(QStringLiteral("B"), QStringLiteral("j"), QStringLiteral("1"));
        EXPECT_EQ(ini.ReadString(QStringLiteral("A"), QStringLiteral("k"), QString()), QStringLiteral("new"));
        EXPECT_EQ(ReadFileBytes(path), before);  // nothing written yet
        // left without commit(), as when an exception passes
    }
    EXPECT_EQ(ReadFileBytes(path), before);
    {
        TIniUpdate update(ini);
        ini.WriteString(QStringLiteral("A"), QStringLiteral("k"), QStringLiteral("new"));
        ini.WriteString(QStringLiteral("B"), QStringLiteral("j"), QStringLiteral("1"));
        update.commit();
    }
    EXPECT_EQ(ReadFileBytes(path), QByteArray("[A]\r\nk=new\r\n\r\n[B]\r\nj=1\r\n"));
}

TEST_F(IniFileTest, InterruptedWriteLeavesTheOldFileIntact)
{
    ini.WriteString(QStringLiteral("A"), QStringLiteral("k"), QStringLiteral("old"));
    const QByteArray before = ReadFileBytes(path);
    {
        FileSizeLimit limit(64);  // as on a full disk
        EXPECT_THROW(ini.WriteString(QStringLiteral("A"), QStringLiteral("big"), QString(500, QLatin1Char('x'))), SaldomatError);
    }
    EXPECT_EQ(ReadFileBytes(path), before);
    EXPECT_EQ(home.files(), QStringList{QStringLiteral("test.ini")});  // no temporary file left behind
    EXPECT_EQ(ini.ReadString(QStringLiteral("A"), QStringLiteral("big"), QStringLiteral("-")), QStringLiteral("-"));
}

// The parsed file is kept between reads, but whatever another program writes
// is read: a replacement (as every writer here does), a file created or
// deleted behind the reader's back, a hand edit that changes the size.
TEST_F(IniFileTest, ReadsSeeWhatOtherWritersDid)
{
    EXPECT_EQ(ini.ReadString(QStringLiteral("A"), QStringLiteral("k"), QStringLiteral("-")), QStringLiteral("-"));
    TIniFile other{path};
    other.WriteString(QStringLiteral("A"), QStringLiteral("k"), QStringLiteral("1"));
    EXPECT_EQ(ini.ReadString(QStringLiteral("A"), QStringLiteral("k"), QStringLiteral("-")), QStringLiteral("1"));
    other.WriteString(QStringLiteral("A"), QStringLiteral("k"), QStringLiteral("2"));
    EXPECT_EQ(ini.ReadString(QStringLiteral("A"), QStringLiteral("k"), QStringLiteral("-")), QStringLiteral("2"));
    WriteFileBytes(path, "[A]\r\nk=33\r\n");  // in place, as an editor may save
    EXPECT_EQ(ini.ReadString(QStringLiteral("A"), QStringLiteral("k"), QStringLiteral("-")), QStringLiteral("33"));
    QFile::remove(path);
    EXPECT_EQ(ini.ReadString(QStringLiteral("A"), QStringLiteral("k"), QStringLiteral("-")), QStringLiteral("-"));
    // A write after all that starts from the file as it is now.
    WriteFileBytes(path, "[B]\r\nj=x\r\n");
    ini.WriteString(QStringLiteral("A"), QStringLiteral("k"), QStringLiteral("4"));
    EXPECT_EQ(ReadFileBytes(path), QByteArray("[B]\r\nj=x\r\n\r\n[A]\r\nk=4\r\n"));
}

// Writing the values a file already holds, alone or in a batch, leaves the
// file as it is: not even rewritten with the same bytes.
TEST_F(IniFileTest, WritesThatChangeNothingLeaveTheFileAlone)
{
    ini.WriteString(QStringLiteral("A"), QStringLiteral("k"), QStringLiteral("v"));
    ini.WriteInteger(QStringLiteral("A"), QStringLiteral("n"), 5);
    const auto inode = [&] {
        struct stat st {};
        ::stat(QFile::encodeName(path).constData(), &st);
        return st.st_ino;
    };
    const auto id = inode();
    ini.WriteString(QStringLiteral("A"), QStringLiteral("k"), QStringLiteral("v"));
    {
        TIniUpdate update(ini);
        ini.WriteString(QStringLiteral("A"), QStringLiteral("k"), QStringLiteral("v"));
        ini.WriteInteger(QStringLiteral("A"), QStringLiteral("n"), 5);
        update.commit();
    }
    EXPECT_EQ(inode(), id) << "the file was rewritten";
    {
        TIniUpdate update(ini);
        ini.WriteInteger(QStringLiteral("A"), QStringLiteral("n"), 6);
        update.commit();
    }
    EXPECT_NE(inode(), id);
    EXPECT_EQ(ReadFileBytes(path), QByteArray("[A]\r\nk=v\r\nn=6\r\n"));
}
