#include "IniFile.h"

#include "ConfigHome.h"

#include <sys/stat.h>

namespace {
class IniFileTest : public ConfigTest {
protected:
    QString path = file("test.ini");
    TIniFile ini{path};
    QString read(const char *section, const char *key) { return ini.ReadString(section, key, "-"); }
};
}  // namespace

// Writes: the file made by the first, names without letter case (Cyrillic
// too), lines not written kept as they were, CR LF, the file's own encoding.
TEST_F(IniFileTest, WritesKeepWhatTheyDoNotChange)
{
    EXPECT_EQ(ini.ReadInteger("A", "k", -7), -7);
    ini.EraseSection("A");
    ini.DeleteKey("A", "k");
    EXPECT_FALSE(QFile::exists(path));
    ini.WriteString("Регион Юг", "Ключ", "юг");
    ini.WriteInteger("РЕГИОН ЮГ", "n", -42);
    ini.WriteBool("Flags", "on", true);
    ini.WriteString("регион юг", "КЛЮЧ", "Другое");
    EXPECT_EQ(ini.ReadSection("регион ЮГ"), (QStringList{"Ключ", "n"}));
    EXPECT_EQ(ReadFileBytes(path), Cp("[Регион Юг]\r\nКлюч=Другое\r\nn=-42\r\n\r\n[Flags]\r\non=1\r\n"));
    WriteFileBytes(path, Cp("; настройки\n[A]\nx = 1 ; note\ny=2\n\n; about B\n[B]\nz=3\n\n[a]\nm=4\n"));
    ini.WriteString("a", "Y", "20");
    ini.WriteString("C", "w", QString());
    ini.DeleteKey("b", "Z");
    EXPECT_EQ(ReadFileBytes(path),
              Cp("; настройки\r\n[A]\r\nx = 1 ; note\r\ny=20\r\n\r\n; about "
                 "B\r\n[B]\r\n\r\n[a]\r\nm=4\r\n\r\n[C]\r\nw=\r\n"));
    ini.EraseSection("A");
    EXPECT_EQ(ini.ReadSections(), (QStringList{"B", "C"}));
    WriteFileBytes(path, QByteArray("\xEF\xBB\xBF[A]\nk=日本\n"));
    ini.WriteString("A", "j", "ж");
    EXPECT_EQ(ReadFileBytes(path), QByteArray("\xEF\xBB\xBF[A]\r\nk=日本\r\nj=ж\r\n"));
}

TEST_F(IniFileTest, HandWrittenAndMalformedFilesReadAsPrivateProfileReadsDo)
{
    WriteFileBytes(path,
                   "\xEF\xBB\xBF"
                   "orphan=1\n; a comment\n  [ Mark ]  \n  edBalanceLessThen =  3.5  \n;x=0\nx=1\nx=0\n"
                   "quoted=\"  spaced  \"\nsingle='x'\nhalf=\"x\nno equals sign\n[Регион]\r\nShortName=РГН\n"
                   "[mark]\nlate=1\n");
    // The first of a key counts; a repeated section is not read.
    QStringList got;
    for (const char *key : {"edBalanceLessThen", "x", "quoted", "single", "half", "late"})
        got << read("Mark", key);
    EXPECT_EQ(got, QStringList({"3.5", "1", "  spaced  ", "x", "\"x", "-"}));
    EXPECT_EQ(read("", "orphan") + read("регион", "ShortName"), "-РГН");
    EXPECT_EQ(ini.ReadSections(), (QStringList{"Mark", "Регион"}));
    WriteFileBytes(path,
                   "[N]\nhex=0x1F\nneg=-5\nplus=+7\nbad=12abc\nempty=\nhuge=99999999999\nmin=-2147483648\n"
                   "float=3.5\nb2=2\nb0=0\nbyes=yes\n");
    got.clear();
    for (const char *key : {"hex", "neg", "plus", "bad", "empty", "huge", "min", "float"})
        got << QString::number(ini.ReadInteger("N", key, 77));
    EXPECT_EQ(got.join(' '), "31 -5 7 77 77 77 -2147483648 77");
    // Yes/no as numbers; "yes" is not a number: the default.
    EXPECT_TRUE(ini.ReadBool("N", "b2", false) && !ini.ReadBool("N", "b0", true) && !ini.ReadBool("N", "byes", false));
    WriteFileBytes(path, QByteArray("\x00\x01\xff[\n", 5) + QByteArray("[broken\nk=v\n]\n=novalue\n\xff\xfe"));
    EXPECT_EQ(read("broken", "k"), "v");
    ini.WriteString("broken", "k", "w");
    EXPECT_EQ(read("broken", "k"), "w");
}

// Input that would break the file is refused; a full disk or a batch left without
// commit leaves the old file; a write that changes nothing does not rewrite it.
TEST_F(IniFileTest, TheFileIsWrittenWholeOrNotAtAll)
{
    ini.WriteString("A", "k", "v");
    const QByteArray before = ReadFileBytes(path);
    for (const char *bad :
         {"A|k|v\r\n[B]\r\nx=1", "A]\r\n[B|k|v", "A|k=j|v", "A||v", "A|k|日本"}) {  // section|key|value
        const QStringList f = QString(bad).split('|');
        EXPECT_THROW(ini.WriteString(f[0], f[1], f[2]), SaldomatError) << bad;
    }
    {
        FileSizeLimit limit(40);  // as on a full disk
        EXPECT_THROW(ini.WriteString("A", "big", QString(500, u'x')), SaldomatError);
    }
    EXPECT_EQ(read("A", "big"), "-");
    {
        TIniUpdate update(ini);
        ini.WriteString("A", "k", "new");
        EXPECT_EQ(read("A", "k"), "new");
    }  // left without commit(), as when an exception passes
    EXPECT_EQ(ReadFileBytes(path), before);
    EXPECT_EQ(files(), QStringList{"test.ini"});  // no temporary file left behind
    const auto inode = [&] {
        struct stat st { };
        ::stat(QFile::encodeName(path).constData(), &st);
        return st.st_ino;
    };
    const auto id = inode();
    for (const bool change : {false, true}) {
        {
            TIniUpdate update(ini);
            ini.WriteString("A", "k", change ? "new" : "v");
            if (change)
                ini.WriteString("B", "j", "1");
            EXPECT_EQ(ReadFileBytes(path), before);  // nothing written before the commit
            update.commit();
        }
        EXPECT_EQ(inode() != id, change) << "rewritten, or left alone when nothing changed";
    }
    EXPECT_EQ(ReadFileBytes(path), QByteArray("[A]\r\nk=new\r\n\r\n[B]\r\nj=1\r\n"));
}

// The parsed file is kept between reads, but a replacement, a file created or
// deleted behind the reader's back and a hand edit are read.
TEST_F(IniFileTest, ReadsSeeWhatOtherWritersDid)
{
    EXPECT_EQ(read("A", "k"), "-");
    TIniFile{path}.WriteString("A", "k", "2");
    EXPECT_EQ(read("A", "k"), "2");
    WriteFileBytes(path, "[A]\r\nk=33\r\n");  // in place, as an editor may save
    EXPECT_EQ(read("A", "k"), "33");
    QFile::remove(path);
    EXPECT_EQ(read("A", "k"), "-");
    WriteFileBytes(path, "[B]\r\nj=x\r\n");
    ini.WriteString("A", "k", "4");
    EXPECT_EQ(ReadFileBytes(path), QByteArray("[B]\r\nj=x\r\n\r\n[A]\r\nk=4\r\n"));
}
