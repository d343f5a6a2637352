// A workbook goes to a temporary file beside the target and takes the
// target's place only when complete.
#include "CsvSheet.h"
#include "ExportTarget.h"
#include "Failure.h"
#include "HistoryDb.h"
#include "HistoryWorkbook.h"
#include "TestHome.h"
#include "XlsxReadBack.h"
#include "XlsxWorkbook.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <limits>
#include <unistd.h>

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

// A failure half way keeps the old file; a complete write replaces its content
// and keeps its permissions; neither leaves anything else behind.
TEST(SafeWrite, FailureHalfWayKeepsTheOldFileSuccessReplacesItKeepingThePermissions)
{
    TestHome home;
    const QString out = home.file(QStringLiteral("book.xlsx"));
    WriteFileBytes(out, "old workbook");
    QFile::setPermissions(out, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup);
    const QFileDevice::Permissions permissions = QFileInfo(out).permissions();
    const QStringList before = folderEntries(home.dir());
    const QString fresh = home.file(QStringLiteral("fresh.xlsx"));
    for (const QString &target : {out, fresh}) {
        try {
            XlsxFileWriter writer(target);
            writer.write(0, 0, QString(QStringLiteral("Дата")));
            EXPECT_EQ(folderEntries(home.dir()).size(), before.size() + 1);  // the temporary file beside it
            writer.write(1, 0, 12.5);
            throw SaldomatError(QStringLiteral("disk gone"));
        } catch (const SaldomatError &) {
        }
        EXPECT_EQ(folderEntries(home.dir()), before) << target.toStdString();
    }
    EXPECT_EQ(ReadFileBytes(out), QByteArray("old workbook"));

    WriteHistoryWorkbook(out, someRows(3));
    ReadBackSheet sheet(out);
    ASSERT_TRUE(sheet.ok());
    EXPECT_EQ(sheet.maxRow(), 4);
    EXPECT_EQ(QFileInfo(out).permissions(), permissions);
    EXPECT_EQ(folderEntries(home.dir()), before);
}

// A new export, workbook or CSV, is the user's document: it gets the mode the
// umask gives.
TEST(SafeWrite, NewExportsFollowTheUmask)
{
    TestHome home;
    for (const mode_t mask : {mode_t(022), mode_t(077)}) {
        const QString book = home.file(QStringLiteral("book%1.xlsx").arg(mask));
        const QString csv = home.file(QStringLiteral("sheet%1.csv").arg(mask));
        const mode_t oldMask = ::umask(mask);
        WriteHistoryWorkbook(book, someRows(1));
        WriteCsvFile(csv, XlsxSheet{{XlsxCell(QStringLiteral("a"))}});
        ::umask(oldMask);
        for (const QString &out : {book, csv}) {
            struct stat st { };
            ASSERT_EQ(::stat(QFile::encodeName(out).constData(), &st), 0);
            EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask) << mask << " " << out.toStdString();
        }
    }
}

TEST(SafeWrite, OnlyPlainFilesOutsideTheProgramFilesAreEverWritten)
{
    TestHome home;
    const QString taken = home.file(QStringLiteral("taken.xlsx"));
    ASSERT_TRUE(QDir().mkpath(taken));
    WriteFileBytes(taken + QStringLiteral("/inside"), "x");
    WriteFileBytes(HistoryDbFileName(), "the whole history");
    QTemporaryDir elsewhere;
    const QString outside = elsewhere.filePath(QStringLiteral("outside.xlsx"));
    WriteFileBytes(outside, "someone else's file");
    const QString linkOut = home.file(QStringLiteral("link-out.xlsx"));
    ASSERT_TRUE(QFile::link(outside, linkOut));
    const QString hardLink = home.file(QStringLiteral("history-copy.xlsx"));
    ASSERT_EQ(::link(QFile::encodeName(HistoryDbFileName()).constData(), QFile::encodeName(hardLink).constData()), 0);
    const QStringList before = folderEntries(home.dir());

    const QStringList refused{taken,
                              home.file(QStringLiteral("missing/book.xlsx")),
                              HistoryDbFileName(),
                              home.dir() + QStringLiteral("./phones.xml"),  // not there yet, still the program's
                              home.file(QStringLiteral("SALDOMAT.INI")),
                              hardLink,
                              linkOut,
                              QStringLiteral("/dev/null")};
    for (const QString &target : refused) {
        const ExportTargetCheck check = CheckExportTarget(target);
        EXPECT_EQ(check.state, ExportTargetState::Refused) << target.toStdString();
        EXPECT_FALSE(check.reason.isEmpty());
        try {
            WriteHistoryWorkbook(target, someRows(2));
            ADD_FAILURE() << "written: " << target.toStdString();
        } catch (const SaldomatError &e) {
            EXPECT_TRUE(e.message().startsWith(QStringLiteral("HistoryWorkbook.WriteHistoryWorkbook -- > ")))
                << e.message().toStdString();
        }
        EXPECT_THROW(WriteCsvFile(target, HistorySheet(someRows(1))), SaldomatError) << target.toStdString();
    }
    EXPECT_TRUE(QFileInfo(taken).isDir());
    EXPECT_EQ(ReadFileBytes(HistoryDbFileName()), QByteArray("the whole history"));
    EXPECT_EQ(ReadFileBytes(outside), QByteArray("someone else's file"));
    EXPECT_EQ(folderEntries(home.dir()), before);
    EXPECT_FALSE(QFileInfo::exists(home.file(QStringLiteral("missing"))));

    EXPECT_EQ(CheckExportTarget(home.file(QStringLiteral("new.xlsx"))).state, ExportTargetState::New);
    WriteFileBytes(home.file(QStringLiteral("old.csv")), "old");
    EXPECT_EQ(CheckExportTarget(home.file(QStringLiteral("old.csv"))).state, ExportTargetState::Existing);
    const QString linkIn = home.file(QStringLiteral("link-in.csv"));
    ASSERT_TRUE(QFile::link(home.file(QStringLiteral("old.csv")), linkIn));
    EXPECT_EQ(CheckExportTarget(linkIn).state, ExportTargetState::Existing);
}

// A figure that reads as infinity or NaN leaves its cell empty: "INF" in a
// workbook makes the file unreadable.
TEST(SafeWrite, FiguresThatAreNotFiniteAreEmptyCells)
{
    TestHome home;
    QVector<HistoryRow> rows = someRows(2);
    rows[0].Balance = std::numeric_limits<float>::infinity();
    rows[1].USDRate = std::numeric_limits<float>::quiet_NaN();
    const QString book = home.file(QStringLiteral("inf.xlsx"));
    WriteHistoryWorkbook(book, rows);
    ReadBackSheet sheet(book);
    ASSERT_TRUE(sheet.ok());
    EXPECT_TRUE(sheet.cell(2, 3).value.isNull()) << sheet.dump().toStdString();
    EXPECT_EQ(sheet.cell(3, 3).value.toDouble(), 99.0);
    EXPECT_TRUE(sheet.cell(3, 10).value.isNull());

    const QString csv = home.file(QStringLiteral("inf.csv"));
    WriteCsvFile(csv, HistorySheet(rows));
    const QList<QByteArray> lines = ReadFileBytes(csv).split('\n');
    EXPECT_EQ(lines[1].split(',')[2], QByteArray());
    EXPECT_EQ(lines[2].split(',')[9], QByteArray("\r"));
}
