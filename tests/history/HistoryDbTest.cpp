#include "Common.h"
#include "Failure.h"
#include "HistoryDb.h"
#include "HistoryTestUtil.h"
#include "TestHome.h"

#include <QFileInfo>
#include <gtest/gtest.h>

namespace {
const QString kCheckFailed = QStringLiteral("Ведение истории баланса невозможно по следующей причине: ");

int countOf(const QString &text, const QString &part)
{
    return text.count(part);
}
}  // namespace

TEST(HistoryCheck, GoodFileMakesHistoryAvailableWithoutLogging)
{
    TestHome home;
    CreateHistoryDatabase();
    EXPECT_TRUE(CheckHistoryAvailable());
    EXPECT_FALSE(QFileInfo::exists(ErrorLogFileName()));
}

TEST(HistoryCheck, MissingFileIsReportedOnceAndNeverCreated)
{
    TestHome home;
    EXPECT_FALSE(CheckHistoryAvailable());
    EXPECT_FALSE(QFileInfo::exists(HistoryDbFileName()));
    EXPECT_FALSE(QFileInfo::exists(home.file(QStringLiteral("Saldomat.tmp"))));
    const QString log = LogText();
    EXPECT_EQ(countOf(log, kCheckFailed), 1);
    EXPECT_TRUE(log.contains(QStringLiteral("Saldomat.db"))) << log.toStdString();
}

TEST(HistoryCheck, UnreadableFilesMakeHistoryUnavailableWithTheReason)
{
    TestHome home;
    // Not a database at all.
    WriteFileBytes(HistoryDbFileName(), QByteArray("This is a text file, not a history.\r\n").repeated(200));
    EXPECT_FALSE(CheckHistoryAvailable());
    EXPECT_TRUE(LogText().contains(kCheckFailed + QStringLiteral("file is not a database"))) << LogText().toStdString();

    // A database without the table.
    QFile::remove(HistoryDbFileName());
    ExecOn(HistoryDbFileName(), QStringLiteral("CREATE TABLE Other (x INTEGER)"));
    EXPECT_FALSE(CheckHistoryAvailable());
    EXPECT_TRUE(LogText().contains(kCheckFailed + QStringLiteral("no such table: Phones"))) << LogText().toStdString();
    EXPECT_EQ(countOf(LogText(), kCheckFailed), 2);
}

TEST(HistoryCreate, NewFileHasEveryColumnInOrderAndThePerPhoneIndex)
{
    TestHome home;
    CreateHistoryDatabase();
    QStringList expected;
    for (const QString &entry : PhonesColumnList())
        expected << entry.section(QLatin1Char('='), 0, 0);
    EXPECT_EQ(expected.size(), 15);
    EXPECT_EQ(TableColumnNames(HistoryDbFileName(), QStringLiteral("Phones")), expected);
    EXPECT_EQ(Column(HistoryDbFileName(), QStringLiteral("SELECT type FROM pragma_table_info('Phones')")),
              QStringList({"INTEGER", "REAL", "TEXT", "TEXT", "TEXT", "REAL", "REAL", "REAL", "REAL", "INTEGER",
                           "INTEGER", "REAL", "INTEGER", "INTEGER", "REAL"}));
    EXPECT_EQ(Column(HistoryDbFileName(),
                     QStringLiteral("SELECT name FROM pragma_index_info('IX_Phones_PhoneNumber_QueryDateTime')")),
              PerPhoneIndexColumns());
    EXPECT_TRUE(CheckHistoryAvailable());
    // The counter numbers rows by itself.
    InsertRaw(HistoryDbFileName(), {QStringLiteral("1"), 45000.5});
    InsertRaw(HistoryDbFileName(), {QStringLiteral("2"), 45000.6});
    EXPECT_EQ(Column(HistoryDbFileName(), QStringLiteral("SELECT NN FROM Phones ORDER BY NN")), QStringList({"1", "2"}));
    EXPECT_FALSE(QFileInfo::exists(HistoryDbFileName() + QStringLiteral(".new")));
}

TEST(HistoryCreate, RefusesToOverwriteAnExistingFile)
{
    TestHome home;
    const QByteArray old("an existing file that must survive");
    WriteFileBytes(HistoryDbFileName(), old);
    try {
        CreateHistoryDatabase();
        FAIL() << "an existing file was overwritten";
    } catch (const SaldomatError &e) {
        EXPECT_TRUE(e.message().startsWith(QStringLiteral("HistoryDb.CreateHistoryDatabase -- > "))) << e.what();
        EXPECT_TRUE(e.message().contains(QStringLiteral("already exists"))) << e.what();
    }
    EXPECT_EQ(ReadFileBytes(HistoryDbFileName()), old);
}
