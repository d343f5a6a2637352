// A workbook goes to a temporary file beside the target and takes the
// target's place only when complete.
#include "Failure.h"
#include "HistoryWorkbook.h"
#include "TestHome.h"
#include "XlsxReadBack.h"
#include "XlsxWorkbook.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {
QStringList folderEntries(const QString &dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

QVector<HistoryRow> someRows(int count)
{
    QVector<HistoryRow> rows;
    for (int i = 0; i < count; ++i) {
        HistoryRow r;
        r.QueryDateTime = 46000.5 - i * 0.25;
        r.Balance = 100.0f - i;
        r.USDRate = 28.5f;
        rows.append(r);
    }
    return rows;
}
}  // namespace

TEST(SafeWrite, OverwritingReplacesTheContentKeepsThePermissionsAndLeavesNothingElse)
{
    TestHome home;
    const QString out = home.file(QStringLiteral("book.xlsx"));
    WriteFileBytes(out, "old workbook");
    QFile::setPermissions(out, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup);
    const QFileDevice::Permissions permissions = QFileInfo(out).permissions();
    ASSERT_FALSE(permissions & QFileDevice::ReadOther);
    const QStringList before = folderEntries(home.dir());

    WriteHistoryWorkbook(out, someRows(3));
    ReadBackSheet sheet(out);
    ASSERT_TRUE(sheet.ok());
    EXPECT_EQ(sheet.maxRow(), 4);
    EXPECT_EQ(QFileInfo(out).permissions(), permissions);
    EXPECT_EQ(folderEntries(home.dir()), before);
}

// A new workbook is the user's document: it gets the mode the umask gives.
TEST(SafeWrite, NewWorkbookFollowsTheUmask)
{
    TestHome home;
    for (const mode_t mask : {mode_t(022), mode_t(077)}) {
        const QString out = home.file(QStringLiteral("book%1.xlsx").arg(mask));
        const mode_t oldMask = ::umask(mask);
        WriteHistoryWorkbook(out, someRows(1));
        ::umask(oldMask);
        struct stat st {};
        ASSERT_EQ(::stat(QFile::encodeName(out).constData(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask) << mask;
    }
}

TEST(SafeWrite, FailureHalfWayKeepsTheOldFileAndRemovesTheTemporaryOne)
{
    TestHome home;
    const QString out = home.file(QStringLiteral("book.xlsx"));
    WriteFileBytes(out, "old workbook");
    const QStringList before = folderEntries(home.dir());
    try {
        XlsxFileWriter writer(out);
        writer.write(0, 0, QString(QStringLiteral("Дата")));
        EXPECT_EQ(folderEntries(home.dir()).size(), before.size() + 1);  // the temporary file beside it
        writer.write(1, 0, 12.5);
        throw SaldomatError(QStringLiteral("disk gone"));
    } catch (const SaldomatError &) {
    }
    EXPECT_EQ(ReadFileBytes(out), QByteArray("old workbook"));
    EXPECT_EQ(folderEntries(home.dir()), before);

    // A new file is not created at all.
    const QString fresh = home.file(QStringLiteral("fresh.xlsx"));
    try {
        XlsxFileWriter writer(fresh);
        writer.write(0, 0, 1.0);
        throw SaldomatError(QStringLiteral("stop"));
    } catch (const SaldomatError &) {
    }
    EXPECT_FALSE(QFileInfo::exists(fresh));
    EXPECT_EQ(folderEntries(home.dir()), before);
}

TEST(SafeWrite, TargetThatCannotBeReplacedFailsLabelledAndLeavesNoTemporaryFile)
{
    TestHome home;
    const QString taken = home.file(QStringLiteral("taken.xlsx"));
    ASSERT_TRUE(QDir().mkpath(taken));
    WriteFileBytes(taken + QStringLiteral("/inside"), "x");
    const QStringList before = folderEntries(home.dir());
    EXPECT_FALSE(CanReplaceFile(taken));
    try {
        WriteHistoryWorkbook(taken, someRows(2));
        FAIL() << "no failure";
    } catch (const SaldomatError &e) {
        EXPECT_TRUE(e.message().startsWith(QStringLiteral("TdmExcel.SavePhoneDataToExcel -- > "))) << e.message().toStdString();
    }
    EXPECT_TRUE(QFileInfo(taken).isDir());
    EXPECT_EQ(folderEntries(home.dir()), before);

    const QString nowhere = home.file(QStringLiteral("missing/book.xlsx"));
    EXPECT_FALSE(CanReplaceFile(nowhere));
    EXPECT_THROW(WriteHistoryWorkbook(nowhere, someRows(1)), SaldomatError);
    EXPECT_FALSE(QFileInfo::exists(home.file(QStringLiteral("missing"))));
    EXPECT_TRUE(CanReplaceFile(home.file(QStringLiteral("new.xlsx"))));
}
