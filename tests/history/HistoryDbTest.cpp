// The history file: its check at start-up and its creation.

#include "HistoryDb.h"
#include "Common.h"
#include "Failure.h"
#include "HistoryTestUtil.h"
#include "TestHome.h"

#include <QFileInfo>
#include <gtest/gtest.h>

TEST(HistoryCheck, MissingOrUnreadableFilesTurnTheHistoryOffWithTheReason)
{
    TestHome home;
    const QString failed = QStringLiteral("Ведение истории баланса невозможно по следующей причине: ");
    EXPECT_FALSE(CheckHistoryAvailable());
    EXPECT_FALSE(QFileInfo::exists(HistoryDbFileName()));  // never created by the check
    EXPECT_TRUE(LogText().contains(QStringLiteral("Saldomat.db"))) << LogText().toStdString();

    WriteFileBytes(HistoryDbFileName(), QByteArray("This is a text file, not a history.\r\n").repeated(200));
    EXPECT_FALSE(CheckHistoryAvailable());
    EXPECT_TRUE(LogText().contains(failed + QStringLiteral("file is not a database"))) << LogText().toStdString();

    QFile::remove(HistoryDbFileName());
    ExecOn(HistoryDbFileName(), QStringLiteral("CREATE TABLE Other (x INTEGER)"));
    EXPECT_FALSE(CheckHistoryAvailable());
    EXPECT_TRUE(LogText().contains(failed + QStringLiteral("no such table: Phones"))) << LogText().toStdString();
    EXPECT_EQ(LogText().count(failed), 3);
}

TEST(HistoryCreate, NewFileHasEveryColumnTheIndexAndACounterAndIsNeverOverwritten)
{
    TestHome home;
    CreateHistoryDatabase();
    QStringList expected;
    for (const QString &entry : PhonesColumnList())
        expected << entry.section(QLatin1Char('='), 0, 0);
    EXPECT_EQ(TableColumnNames(HistoryDbFileName(), QStringLiteral("Phones")), expected);
    EXPECT_EQ(Column(HistoryDbFileName(),
                     QStringLiteral("SELECT name FROM pragma_index_info('IX_Phones_PhoneNumber_QueryDateTime')")),
              PerPhoneIndexColumns());
    EXPECT_TRUE(CheckHistoryAvailable());
    EXPECT_FALSE(QFileInfo::exists(ErrorLogFileName()));
    InsertRaw(HistoryDbFileName(), {QStringLiteral("1"), 45000.5});
    InsertRaw(HistoryDbFileName(), {QStringLiteral("2"), 45000.6});
    EXPECT_EQ(Column(HistoryDbFileName(), QStringLiteral("SELECT NN FROM Phones ORDER BY NN")),
              QStringList({"1", "2"}));

    const QByteArray before = ReadFileBytes(HistoryDbFileName());
    try {
        CreateHistoryDatabase();
        FAIL() << "an existing file was overwritten";
    } catch (const SaldomatError &e) {
        EXPECT_TRUE(e.message().startsWith(QStringLiteral("HistoryDb.CreateHistoryDatabase -- > "))) << e.what();
        EXPECT_TRUE(e.message().contains(QStringLiteral("already exists"))) << e.what();
    }
    EXPECT_EQ(ReadFileBytes(HistoryDbFileName()), before);
}
