#include "AlterTable.h"
#include "Common.h"
#include "Failure.h"
#include "HistoryDb.h"
#include "HistoryQueries.h"
#include "HistoryTestUtil.h"
#include "StoreMDB.h"
#include "TestHome.h"

#include <QFileInfo>
#include <gtest/gtest.h>

namespace {
// An older Phones table: every column except those named, in the usual order.
void makeOldTable(const QString &file, const QStringList &without, bool lowerCaseBalance = false)
{
    QStringList defs;
    for (const QString &entry : PhonesColumnList()) {
        QString name = entry.section(QLatin1Char('='), 0, 0);
        if (without.contains(name))
            continue;
        if (lowerCaseBalance && name == QLatin1String("Balance"))
            name = QStringLiteral("balance");
        defs << name + QLatin1Char(' ') + SqliteColumnType(entry.section(QLatin1Char('='), 1));
    }
    ExecOn(file, QStringLiteral("CREATE TABLE Phones (") + defs.join(QStringLiteral(", ")) + QLatin1Char(')'));
}

QString tmpOf(const TestHome &home) { return home.file(QStringLiteral("Saldomat.tmp")); }

QStringList indexColumns(const QString &file)
{
    return Column(file, QStringLiteral("SELECT name FROM pragma_index_info('IX_Phones_PhoneNumber_QueryDateTime')"));
}
}  // namespace

TEST(Migration, UpToDateTableIsLeftAloneAndTheCopyDeleted)
{
    TestHome home;
    CreateHistoryDatabase();
    InsertRaw(HistoryDbFileName(), {QStringLiteral("9161234567"), 45000.5, 12.5});
    const QStringList before = TableColumnNames(HistoryDbFileName(), QStringLiteral("Phones"));
    EXPECT_TRUE(AlterTablePhonesIfNeed(HistoryDbFileName()));
    EXPECT_FALSE(QFileInfo::exists(tmpOf(home)));
    EXPECT_EQ(TableColumnNames(HistoryDbFileName(), QStringLiteral("Phones")), before);
    EXPECT_EQ(Column(HistoryDbFileName(), QStringLiteral("SELECT Balance FROM Phones")), QStringList({"12.5"}));
}

TEST(Migration, MissingColumnsAreAddedInListOrderAndOldRowsKeepTheirValues)
{
    TestHome home;
    const QString db = HistoryDbFileName();
    makeOldTable(db, {QStringLiteral("USDRate"), QStringLiteral("BalDelta"), QStringLiteral("ObPlat")});
    ExecOn(db, QStringLiteral("INSERT INTO Phones (QueryDateTime, PhoneNumber, Balance, SMS) VALUES (45000.25, '9161234567', 20.5, 7)"));
    EXPECT_TRUE(AlterTablePhonesIfNeed(db));
    const QStringList cols = TableColumnNames(db, QStringLiteral("Phones"));
    ASSERT_EQ(cols.size(), 15);
    EXPECT_EQ(cols.mid(12), QStringList({"ObPlat", "BalDelta", "USDRate"}));
    EXPECT_EQ(Column(db, QStringLiteral("SELECT Balance || '/' || SMS || '/' || PhoneNumber FROM Phones")),
              QStringList({"20.5/7/9161234567"}));
    EXPECT_EQ(Column(db, QStringLiteral("SELECT COUNT(*) FROM Phones WHERE ObPlat IS NULL AND BalDelta IS NULL AND USDRate IS NULL")),
              QStringList({"1"}));
    EXPECT_EQ(indexColumns(db), PerPhoneIndexColumns());
    EXPECT_FALSE(QFileInfo::exists(tmpOf(home)));

    // The migrated file takes new results.
    TmdbStore store;
    TIssa issa;
    issa.PhoneNumber = QStringLiteral("9161234567");
    issa.USDRate = 28.5f;
    issa.ObPlat = 3;
    EXPECT_TRUE(store.SaveIssaToMdb(issa));
    const auto rows = HistoryAllRows(issa.PhoneNumber);
    ASSERT_EQ(rows.size(), 2);
    EXPECT_FLOAT_EQ(rows[0].USDRate, 28.5f);
    EXPECT_FLOAT_EQ(rows[0].ObPlat, 3.0f);
}

TEST(Migration, ColumnNamesMatchWithoutLetterCase)
{
    TestHome home;
    const QString db = HistoryDbFileName();
    makeOldTable(db, {QStringLiteral("Minutes")}, /*lowerCaseBalance=*/true);
    EXPECT_TRUE(AlterTablePhonesIfNeed(db));
    const QStringList cols = TableColumnNames(db, QStringLiteral("Phones"));
    EXPECT_EQ(cols.size(), 15);
    EXPECT_TRUE(cols.contains(QStringLiteral("balance")));
    EXPECT_FALSE(cols.contains(QStringLiteral("Balance")));
    EXPECT_EQ(cols.last(), QStringLiteral("Minutes"));
}

TEST(Migration, TableWithoutCounterIsRebuiltKeepingRowsAndForeignColumns)
{
    TestHome home;
    const QString db = HistoryDbFileName();
    ExecOn(db, QStringLiteral("CREATE TABLE Phones (QueryDateTime REAL, PhoneNumber TEXT, Balance REAL, Note TEXT)"));
    ExecOn(db, QStringLiteral("INSERT INTO Phones VALUES (45000.1, 'A', 1.5, 'first')"));
    ExecOn(db, QStringLiteral("INSERT INTO Phones VALUES (45000.2, 'A', 2.5, 'second')"));
    EXPECT_TRUE(AlterTablePhonesIfNeed(db));
    const QStringList cols = TableColumnNames(db, QStringLiteral("Phones"));
    ASSERT_EQ(cols.size(), 16);
    EXPECT_EQ(cols.first(), QStringLiteral("NN"));
    EXPECT_TRUE(cols.contains(QStringLiteral("Note")));
    EXPECT_EQ(Column(db, QStringLiteral("SELECT NN || ':' || Balance || ':' || Note FROM Phones ORDER BY NN")),
              QStringList({"1:1.5:first", "2:2.5:second"}));
    InsertRaw(db, {QStringLiteral("A"), 45000.3});
    EXPECT_EQ(Column(db, QStringLiteral("SELECT MAX(NN) FROM Phones")), QStringList({"3"}));
    EXPECT_EQ(indexColumns(db), PerPhoneIndexColumns());
    EXPECT_EQ(IntegrityCheck(db), QStringLiteral("ok"));
}

TEST(Migration, MissingIndexIsCreated)
{
    TestHome home;
    const QString db = HistoryDbFileName();
    makeOldTable(db, {});
    ASSERT_TRUE(indexColumns(db).isEmpty());
    EXPECT_TRUE(AlterTablePhonesIfNeed(db));
    EXPECT_EQ(indexColumns(db), PerPhoneIndexColumns());
}

TEST(Migration, FailureRestoresTheFileReportsTheBoxTextAndKeepsTheCopy)
{
    TestHome home;
    const QString db = HistoryDbFileName();
    // "Phones" is a view here: it can be read, but no column can be added to it.
    ExecOn(db, QStringLiteral("CREATE TABLE OldPhones (QueryDateTime REAL, PhoneNumber TEXT, Balance REAL)"));
    ExecOn(db, QStringLiteral("INSERT INTO OldPhones VALUES (45000.1, 'A', 1.5)"));
    ExecOn(db, QStringLiteral("CREATE VIEW Phones AS SELECT * FROM OldPhones"));
    const QByteArray before = ReadFileBytes(db);
    QString box;
    try {
        AlterTablePhonesIfNeed(db, &box);
        FAIL() << "the migration of a view succeeded";
    } catch (const SaldomatError &e) {
        EXPECT_TRUE(e.message().startsWith(QStringLiteral("AlterTable.AlterTablePhonesIfNeed -- > AlterTable.AddNewColumns -- > ")))
            << e.what();
        const QString inner = e.message().mid(QStringLiteral("AlterTable.AlterTablePhonesIfNeed -- > ").size());
        EXPECT_EQ(box, QStringLiteral("Невозможно преобразовать базу данных с историей баланса в новый формат.\r\n"
                                      "Пожалуйста, свяжитесь с авторами !!! support@saldomat.ru\r\n\r\nОшибка: \r\n")
                           + inner);
    }
    EXPECT_EQ(ReadFileBytes(db), before);
    ASSERT_TRUE(QFileInfo::exists(tmpOf(home)));
    EXPECT_EQ(ReadFileBytes(tmpOf(home)), before);
}

TEST(Migration, AddNewColumnsWorksOnAnyTableAndListsWhatIsMissing)
{
    TestHome home;
    const QString db = HistoryDbFileName();
    ExecOn(db, QStringLiteral("CREATE TABLE Extra (A INTEGER)"));
    const QStringList list{QStringLiteral("a=smallint"), QStringLiteral("B=char(20)"), QStringLiteral("C=single")};
    EXPECT_EQ(MissingColumns(db, QStringLiteral("Extra"), list), QStringList({"B=char(20)", "C=single"}));
    AddNewColumns(db, QStringLiteral("Extra"), list);
    EXPECT_EQ(TableColumnNames(db, QStringLiteral("Extra")), QStringList({"A", "B", "C"}));
    EXPECT_TRUE(MissingColumns(db, QStringLiteral("Extra"), list).isEmpty());
    try {
        AddNewColumns(db, QStringLiteral("Extra"), {QStringLiteral("D=blob(3)")});
        FAIL() << "an unknown type was accepted";
    } catch (const SaldomatError &e) {
        EXPECT_TRUE(e.message().startsWith(QStringLiteral("AlterTable.AddNewColumns -- > "))) << e.what();
    }
    EXPECT_EQ(TableColumnNames(db, QStringLiteral("Extra")).size(), 3);
}

TEST(Migration, FailureAfterColumnsWereAddedLeavesTheOldFile)
{
    TestHome home;
    const QString db = HistoryDbFileName();
    makeOldTable(db, {QStringLiteral("ObPlat"), QStringLiteral("USDRate")});
    ExecOn(db, QStringLiteral("INSERT INTO Phones (QueryDateTime, PhoneNumber, Balance) VALUES (45000.5, 'A', 3.25)"));
    // A table holding the index's name: the columns are added, then the index fails.
    ExecOn(db, QStringLiteral("CREATE TABLE IX_Phones_PhoneNumber_QueryDateTime (x INTEGER)"));
    const QByteArray before = ReadFileBytes(db);
    QString box;
    EXPECT_THROW(AlterTablePhonesIfNeed(db, &box), SaldomatError);
    EXPECT_TRUE(box.contains(QStringLiteral("IX_Phones_PhoneNumber_QueryDateTime"))) << box.toStdString();
    EXPECT_EQ(ReadFileBytes(db), before);
    EXPECT_EQ(TableColumnNames(db, QStringLiteral("Phones")).size(), 13);
    EXPECT_EQ(Column(db, QStringLiteral("SELECT Balance FROM Phones")), QStringList({"3.25"}));
    EXPECT_EQ(IntegrityCheck(db), QStringLiteral("ok"));
    EXPECT_TRUE(QFileInfo::exists(home.file(QStringLiteral("Saldomat.tmp"))));
}
