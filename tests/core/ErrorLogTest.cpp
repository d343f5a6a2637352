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
QStringList logLines(const QString &path)
{
    return FromCp1251(ReadFileBytes(path)).split(QStringLiteral("\r\n"));
}

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

QByteArray numberedLines(int count)
{
    QByteArray data;
    for (int i = 1; i <= count; ++i)
        data += "line " + QByteArray::number(i) + "\r\n";
    return data;
}
}  // namespace

TEST(ErrorLog, OneHeaderPerRunAndOneLinePerFailure)
{
    TestHome home;
    EXPECT_FALSE(QFile::exists(ErrorLogFileName())) << "a run without failures writes nothing";
    MainException(QStringLiteral("первая ошибка"));
    MainException(QStringLiteral("second"));
    const QStringList lines = logLines(ErrorLogFileName());
    // empty, stars, name, system line, empty, two entries, and the final break
    ASSERT_EQ(lines.size(), 8) << lines.join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(lines[0].isEmpty());
    EXPECT_EQ(lines[1], QString(142, QLatin1Char('*')));
    EXPECT_EQ(lines[2], QStringLiteral("Saldomat " SALDOMAT_VERSION));
    EXPECT_TRUE(lines[3].startsWith(QStringLiteral("WVI: MajorVersion="))) << lines[3].toStdString();
    EXPECT_TRUE(lines[3].contains(QStringLiteral("CSDVersion=Linux")));
    EXPECT_TRUE(lines[4].isEmpty());
    EXPECT_TRUE(lines[5].endsWith(QStringLiteral(": первая ошибка")));
    EXPECT_TRUE(lines[6].endsWith(QStringLiteral(": second")));
    EXPECT_TRUE(lines[7].isEmpty());
    // The file is in the single-byte code page.
    EXPECT_TRUE(ReadFileBytes(ErrorLogFileName()).contains(ToCp1251(QStringLiteral("первая"))));
}

// A failure three routines deep names each routine; the handler of a desktop
// callback logs instead of throwing; the next run gets a header of its own.
TEST(ErrorLog, LabelChainsHandlersAndTheNextRunsHeader)
{
    TestHome home;
    try {
        failThreeDeep();
        FAIL() << "no failure came out";
    } catch (const std::exception &e) {
        MainException(e);
    }
    EXPECT_NO_THROW(runHandler(ROUTINE("TrayCallBack"), [] { throw SaldomatError(QStringLiteral("boom")); }));
    ResetLogHeaderFlag();  // as a new start of the program
    MainException(QStringLiteral("run two"));
    const QString text = FromCp1251(ReadFileBytes(ErrorLogFileName()));
    // The unit is the file's name, the routine the function's own.
    EXPECT_TRUE(text.contains(QStringLiteral(": ErrorLogTest.failThreeDeep -- > ErrorLogTest.requestInformation -- > "
                                             "ErrorLogTest.webRequest -- > Access violation\r\n")))
        << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("ErrorLogTest.TrayCallBack -- > boom")));
    EXPECT_EQ(text.count(QString(142, QLatin1Char('*'))), 2);
    EXPECT_LT(text.indexOf(QStringLiteral("boom")), text.indexOf(QStringLiteral("run two")));
}

// The last thousand lines stay; a shorter file and a missing one are left alone.
TEST(ErrorLog, TruncateKeepsExactlyTheLastThousandLines)
{
    TestHome home;
    WriteFileBytes(ErrorLogFileName(), numberedLines(1500));
    TruncateFile(ErrorLogFileName());
    const QByteArray data = ReadFileBytes(ErrorLogFileName());
    EXPECT_EQ(data.count('\n'), 1000);
    EXPECT_TRUE(data.startsWith("line 501\r\n"));
    EXPECT_TRUE(data.endsWith("line 1500\r\n"));
    const QByteArray exact = numberedLines(1000);
    WriteFileBytes(ErrorLogFileName(), exact);
    TruncateFile(ErrorLogFileName());
    EXPECT_EQ(ReadFileBytes(ErrorLogFileName()), exact);

    // 1001 lines, the last one without its line break, loses exactly its first line.
    QByteArray unterminated = numberedLines(1000) + "tail";
    WriteFileBytes(ErrorLogFileName(), unterminated);
    TruncateFile(ErrorLogFileName());
    const QByteArray cut = ReadFileBytes(ErrorLogFileName());
    EXPECT_TRUE(cut.startsWith("line 2\r\n"));
    EXPECT_TRUE(cut.endsWith("tail"));

    const QString missing = home.file(QStringLiteral("none.err"));
    EXPECT_NO_THROW(TruncateFile(missing));
    EXPECT_FALSE(QFile::exists(missing));
}

TEST(ErrorLog, UnwritableLogIsALabelledFailureAndMainExceptionSwallowsIt)
{
    TestHome home;
    const QString dirAsFile = home.dir();  // a directory cannot be opened for appending
    try {
        AppendStringToFile(QStringLiteral("x"), dirAsFile);
        FAIL();
    } catch (const SaldomatError &e) {
        EXPECT_TRUE(e.message().startsWith(QStringLiteral("Common.AppendStringToFile -- > ")));
    }
    ASSERT_TRUE(QDir().mkdir(ErrorLogFileName()));  // the log's place is taken by a folder
    EXPECT_NO_THROW(MainException(QStringLiteral("nowhere to go")));
}

// The log and every rewritten file are the owner's alone, whatever the umask
// and whatever mode an old file had; a missing program folder is made private.
TEST(PrivateFiles, LogRewritesAndNewFolderAreOwnerOnlyUnderAnOpenUmask)
{
    TestHome home;
    const mode_t oldMask = ::umask(0);
    const QString rewritten = home.file(QStringLiteral("phones.xml"));
    WriteFileBytes(rewritten, "old");
    QFile::setPermissions(rewritten, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther);
    AppendStringToFile(QStringLiteral("line"), ErrorLogFileName());
    WriteFileAtomically(rewritten, "new");
    WriteFileAtomically(home.file(QStringLiteral("servers.ini")), "[x]");
    const QString folder = home.file(QStringLiteral("a/b"));
    MakePrivateDirectory(folder);
    ::umask(oldMask);
    const auto mode = [](const QString &path) {
        struct stat st { };
        ::stat(QFile::encodeName(path).constData(), &st);
        return st.st_mode & 07777;
    };
    EXPECT_EQ(mode(ErrorLogFileName()), 0600u);
    EXPECT_EQ(mode(rewritten), 0600u);
    EXPECT_EQ(mode(home.file(QStringLiteral("servers.ini"))), 0600u);
    EXPECT_EQ(mode(folder), 0700u);

    const QString loose = home.file(QStringLiteral("Saldomat.db"));
    WriteFileBytes(loose, "db");
    QFile::setPermissions(loose, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup);
    EXPECT_EQ(MakeFilesPrivate({loose, rewritten, home.file(QStringLiteral("missing"))}), QStringList{loose});
    EXPECT_EQ(mode(loose), 0600u);
}
