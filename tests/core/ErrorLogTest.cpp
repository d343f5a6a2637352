// The error log: one header per run, one line per failure naming every routine
// it passed, the last thousand lines kept; the log and every rewritten file
// are the owner's alone.
#include "AtomicFile.h"
#include "Common.h"
#include "Encoding.h"
#include "Failure.h"
#include "TestHome.h"

#include <QDir>
#include <QFile>
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

void failThreeDeep()
{
    guarded(THIS_ROUTINE, [] { requestInformation(); });
}

QByteArray numberedLines(int from, int to)
{
    QByteArray data;
    for (int i = from; i <= to; ++i)
        data += "line " + QByteArray::number(i) + "\r\n";
    return data;
}
}  // namespace

// A failure three routines deep names each routine; the handler of a desktop
// callback logs instead of throwing; the next run gets a header of its own.
TEST(ErrorLog, OneHeaderPerRunAndOneLabelledLinePerFailure)
{
    TestHome home;
    EXPECT_FALSE(QFile::exists(ErrorLogFileName())) << "a run without failures writes nothing";
    try {
        failThreeDeep();
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
    EXPECT_TRUE(lines[5].endsWith(": ErrorLogTest.failThreeDeep -- > ErrorLogTest.requestInformation -- > "
                                  "ErrorLogTest.webRequest -- > Access violation"))
        << lines[5].toStdString();
    EXPECT_TRUE(lines[6].endsWith(": ErrorLogTest.TrayCallBack -- > первая ошибка")) << lines[6].toStdString();
    EXPECT_EQ(lines[4] + lines[7], "");
    // The file is in the single-byte code page.
    EXPECT_TRUE(ReadFileBytes(ErrorLogFileName()).contains(ToCp1251("первая")));
    ResetLogHeaderFlag();  // as a new start of the program
    MainException("run two");
    const QString text = FromCp1251(ReadFileBytes(ErrorLogFileName()));
    EXPECT_EQ(text.count(QString(142, '*')), 2);
    EXPECT_TRUE(text.endsWith(": run two\r\n"));
}

// The last thousand lines stay; a shorter file and a missing one are left alone.
TEST(ErrorLog, TruncateKeepsExactlyTheLastThousandLines)
{
    TestHome home;
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

TEST(ErrorLog, UnwritableLogIsALabelledFailureAndMainExceptionSwallowsIt)
{
    TestHome home;
    try {
        AppendStringToFile("x", home.dir());  // a directory cannot be opened for appending
        FAIL();
    } catch (const SaldomatError &e) {
        EXPECT_TRUE(e.message().startsWith("Common.AppendStringToFile -- > "));
    }
    ASSERT_TRUE(QDir().mkdir(ErrorLogFileName()));  // the log's place is taken by a folder
    EXPECT_NO_THROW(MainException("nowhere to go"));
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
