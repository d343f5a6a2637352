// The error log (one header per run, one line per failure naming every routine
// it passed, the last thousand lines kept), files that are the owner's alone,
// dates as stored, and the code pages of the pages, the log and the settings.
#include "Common.h"
#include "AtomicFile.h"
#include "Encoding.h"
#include "Failure.h"
#include "OleDate.h"
#include "TestHome.h"

#include <QDir>
#include <QFile>
#include <QStringDecoder>
#include <QStringEncoder>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {
void webRequest()
{
    guarded(THIS_ROUTINE, [] { throw std::runtime_error("Access violation"); });
}

void requestInformation()
{
    guarded(THIS_ROUTINE, [] { webRequest(); });
}

QByteArray numberedLines(int from, int to)
{
    QByteArray data;
    for (int i = from; i <= to; ++i)
        data += "line " + QByteArray::number(i) + "\r\n";
    return data;
}
}  // namespace

// A failure two routines deep names each routine; the handler of a desktop
// callback logs instead of throwing; the next run gets a header of its own;
// a log that cannot be written does not make a failure of its own; the log is
// cut to its last thousand lines.
TEST(ErrorLog, OneHeaderPerRunOneLabelledLinePerFailureAndTheLastThousandLines)
{
    TestHome home;
    EXPECT_FALSE(QFile::exists(ErrorLogFileName())) << "a run without failures writes nothing";
    try {
        requestInformation();
        FAIL() << "no failure came out";
    } catch (const std::exception &e) {
        MainException(e);
    }
    EXPECT_NO_THROW(runHandler(ROUTINE("TrayCallBack"), [] { throw SaldomatError("первая ошибка"); }));
    const QStringList lines = FromCp1251(ReadFileBytes(ErrorLogFileName())).split("\r\n");
    // empty, stars, name, system line, empty, two entries, and the final break
    ASSERT_EQ(lines.size(), 8) << lines.join('|').toStdString();
    EXPECT_EQ(lines.mid(0, 3), QStringList({"", QString(142, '*'), "Saldomat " SALDOMAT_VERSION}));
    EXPECT_TRUE(lines[3].startsWith("WVI: MajorVersion=") && lines[3].contains("CSDVersion=Linux"))
        << lines[3].toStdString();
    // The unit is the file's name, the routine the function's own.
    EXPECT_TRUE(lines[5].endsWith(": CommonTest.requestInformation -- > CommonTest.webRequest -- > Access violation"))
        << lines[5].toStdString();
    EXPECT_TRUE(lines[6].endsWith(": CommonTest.TrayCallBack -- > первая ошибка"));
    EXPECT_EQ(lines[4] + lines[7], "");
    ResetLogHeaderFlag();  // as a new start of the program
    MainException("run two");
    const QString text = FromCp1251(ReadFileBytes(ErrorLogFileName()));
    EXPECT_TRUE(text.count(QString(142, '*')) == 2 && text.endsWith(": run two\r\n"));
    // An unwritable log is a labelled failure, which the outermost handler swallows.
    EXPECT_THROW(AppendStringToFile("x", home.dir()), SaldomatError);  // a folder cannot be appended to
    QFile::remove(ErrorLogFileName());
    ASSERT_TRUE(QDir().mkdir(ErrorLogFileName()));  // the log's place is taken by a folder
    EXPECT_NO_THROW(MainException("nowhere to go"));
    QDir().rmdir(ErrorLogFileName());
    // The last thousand lines stay; a shorter file and a missing one are left alone.
    const struct {
        QByteArray before, after;
    } cases[] = {{numberedLines(1, 1500), numberedLines(501, 1500)},
                 {numberedLines(1, 1000), numberedLines(1, 1000)},
                 {numberedLines(1, 1000) + "tail", numberedLines(2, 1000) + "tail"}};  // 1001 lines, the last unbroken
    for (const auto &c : cases) {
        WriteFileBytes(ErrorLogFileName(), c.before);
        TruncateFile(ErrorLogFileName());
        EXPECT_EQ(ReadFileBytes(ErrorLogFileName()), c.after);
    }
    const QString missing = home.file("none.err");
    EXPECT_NO_THROW(TruncateFile(missing));
    EXPECT_FALSE(QFile::exists(missing));
}

// The log and every rewritten file are the owner's alone, whatever the umask
// and whatever mode an old file had; a missing program folder is made private.
TEST(PrivateFiles, LogRewritesAndNewFolderAreOwnerOnlyUnderAnOpenUmask)
{
    TestHome home;
    const auto mode = [](const QString &path) {
        struct stat st { };
        ::stat(QFile::encodeName(path).constData(), &st);
        return st.st_mode & 07777;
    };
    const QString rewritten = home.file("phones.xml"), ini = home.file("servers.ini"), folder = home.file("a/b");
    const mode_t oldMask = ::umask(0);
    WriteFileBytes(rewritten, "old");
    ::chmod(QFile::encodeName(rewritten).constData(), 0604);
    AppendStringToFile("line", ErrorLogFileName());
    WriteFileAtomically(rewritten, "new");
    WriteFileAtomically(ini, "[x]");
    MakePrivateDirectory(folder);
    ::umask(oldMask);
    for (const QString &file : {ErrorLogFileName(), rewritten, ini})
        EXPECT_EQ(mode(file), 0600u) << file.toStdString();
    EXPECT_EQ(mode(folder), 0700u);

    const QString loose = home.file("Saldomat.db");
    WriteFileBytes(loose, "db");
    ::chmod(QFile::encodeName(loose).constData(), 0640);
    EXPECT_EQ(MakeFilesPrivate({loose, rewritten, home.file("missing")}), QStringList{loose});
    EXPECT_EQ(mode(loose), 0600u);
}

TEST(Common, OleDatesRoundTripAndMatchTheEpoch)
{
    EXPECT_EQ(ToOleDate(QDateTime(QDate(1899, 12, 30), QTime(0, 0))), 0.0);
    EXPECT_EQ(ToOleDate(QDateTime(QDate(1900, 1, 1), QTime(12, 0))), 2.5);
    EXPECT_EQ(ToOleDate(QDateTime(QDate(2026, 12, 7), QTime(6, 0))), 46363.25);
    const QDateTime t(QDate(2024, 2, 29), QTime(23, 59, 59, 999));
    EXPECT_EQ(FromOleDate(ToOleDate(t)), t);
    // A value a hair below midnight rounds onto the next day, not to 24:00.
    EXPECT_EQ(FromOleDate(46363.9999999999), QDateTime(QDate(2026, 12, 8), QTime(0, 0)));
}

// The code page table against the system's conversion library, byte by byte
// both ways; what it cannot hold becomes one "?" each.
TEST(Common, CodePagesAgreeWithTheConversionLibraryAndMarkWhatTheyCannotHold)
{
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(char(b));
    const QString decoded = FromCp1251(all);
    EXPECT_EQ(decoded, QStringDecoder("windows-1251", QStringConverter::Flag::Stateless).decode(all));
    bool lossless = false;
    EXPECT_TRUE(ToCp1251(decoded, &lossless) == all && lossless);
    QStringEncoder reference("windows-1251", QStringConverter::Flag::Stateless);
    for (char16_t c = 1; c < 0xD800; ++c) {
        const QString one(QChar{c});
        const QByteArray expected = reference.encode(one);
        const bool mapped = expected.size() == 1 && (expected[0] != '\x1A' || c == 0x1A);
        ASSERT_EQ(ToCp1251(one, &lossless), mapped ? expected : QByteArray("?")) << int(c);
        ASSERT_EQ(lossless, mapped) << int(c);
    }
    // A Chinese character, an emoji (one surrogate pair), a Latin letter with accent,
    // a lone surrogate; NUL stays NUL.
    EXPECT_TRUE(ToCp1251(QString::fromUtf8("a\u4e2d\U0001F600\u00e9z") + QChar(0xD800) + QChar(u'\0'), &lossless)
                    == QByteArray("a???z?\0", 7)
                && !lossless);

    // Charsets by name, with a fall-back, and from the meta tag.
    EXPECT_EQ(DecodeByCharset("\xC1", "no-such-charset"), "Б");
    EXPECT_EQ(DecodeByCharset("\xD0\x91", "UTF-8"), "Б");
    EXPECT_EQ(DecodeByCharset("\xC1", " CP1251 "), "Б");
    EXPECT_TRUE(IsKnownCharset("Windows-1251") && IsKnownCharset("utf-8") && !IsKnownCharset("no-such-charset")
                && !IsKnownCharset(""));
    EXPECT_TRUE(EncodeByCharset("Ж", "windows-1251", &lossless) == "\xC6" && lossless);
    EXPECT_EQ(EncodeByCharset("Ж", "no-such-charset", &lossless), QByteArray("\xD0\x96"));
    EXPECT_TRUE(EncodeByCharset(QString::fromUtf8("\u4e2d"), "koi8-r", &lossless).size() == 1 && !lossless);
    // A page that the code page cannot hold is saved as UTF-8 with its mark.
    const QString cyrillic = "<body>Баланс: 12,50 руб.</body>", wider = "<body>Баланс € ✓ 😀</body>";
    EXPECT_EQ(PageFileBytes(cyrillic), QByteArray(reference.encode(cyrillic)));
    EXPECT_EQ(PageFileBytes(wider), "\xEF\xBB\xBF" + wider.toUtf8());
    // The first declaration of a meta tag (the usual ones and the size limit
    // are read through the saved-page tests); a later "charset" of the same tag
    // counts when the first is no declaration; none outside a meta tag.
    const std::pair<QByteArray, QByteArray> metas[] = {{"<meta\ncharset=\n\"utf-8\">", "utf-8"},
                                                       {"<meta name=charset content=x charset=utf-8>", "utf-8"},
                                                       {"<p>charset=utf-8</p>", ""},
                                                       {"<meta name=x>charset=utf-8", ""}};
    for (const auto &[page, charset] : metas)
        EXPECT_EQ(MetaCharset(page), charset) << page.toStdString();
}
