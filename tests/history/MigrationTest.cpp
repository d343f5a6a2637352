// Bringing an older history file up to date: missing columns, a table without
// the counter, a missing index; a failure leaves the file as it was.

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

QStringList indexColumns(const QString &file)
{
    return Column(file, QStringLiteral("SELECT name FROM pragma_index_info('IX_Phones_PhoneNumber_QueryDateTime')"));
}

struct Migration : ::testing::Test {
    TestHome home;
    const QString db = HistoryDbFileName();
    const QString tmp = home.file(QStringLiteral("Saldomat.tmp"));
};
}  // namespace

TEST_F(Migration, MissingColumnsAreAddedInListOrderAndOldRowsKeepTheirValues)
{
    makeOldTable(db, {QStringLiteral("USDRate"), QStringLiteral("BalDelta"), QStringLiteral("ObPlat")});
    ExecOn(
        db,
        QStringLiteral(
            "INSERT INTO Phones (QueryDateTime, PhoneNumber, Balance, SMS) VALUES (45000.25, '9161234567', 20.5, 7)"));
    EXPECT_TRUE(AlterTablePhonesIfNeed(db));
    const QStringList cols = TableColumnNames(db, QStringLiteral("Phones"));
    ASSERT_EQ(cols.size(), 15);
    EXPECT_EQ(cols.mid(12), QStringList({"ObPlat", "BalDelta", "USDRate"}));
    EXPECT_EQ(Column(db, QStringLiteral("SELECT Balance || '/' || SMS || '/' || PhoneNumber FROM Phones")),
              QStringList({"20.5/7/9161234567"}));
    EXPECT_EQ(indexColumns(db), PerPhoneIndexColumns());
    EXPECT_FALSE(QFileInfo::exists(tmp));

    // The migrated file takes new results; a second pass changes nothing.
    TmdbStore store;
    TIssa issa;
    issa.PhoneNumber = QStringLiteral("9161234567");
    issa.USDRate = 28.5f;
    EXPECT_TRUE(store.SaveIssaToMdb(issa));
    const auto rows = HistoryAllRows(issa.PhoneNumber);
    ASSERT_EQ(rows.size(), 2);
    EXPECT_FLOAT_EQ(rows[0].USDRate, 28.5f);
    const QByteArray before = ReadFileBytes(db);
    EXPECT_TRUE(AlterTablePhonesIfNeed(db));
    EXPECT_EQ(ReadFileBytes(db), before);
    EXPECT_FALSE(QFileInfo::exists(tmp));
}

TEST_F(Migration, ColumnNamesMatchWithoutLetterCaseAndAMissingIndexIsCreated)
{
    makeOldTable(db, {}, /*lowerCaseBalance=*/true);
    ASSERT_TRUE(indexColumns(db).isEmpty());
    EXPECT_TRUE(AlterTablePhonesIfNeed(db));
    const QStringList cols = TableColumnNames(db, QStringLiteral("Phones"));
    EXPECT_EQ(cols.size(), 15);
    EXPECT_FALSE(cols.contains(QStringLiteral("Balance")));
    EXPECT_EQ(indexColumns(db).join(u',').toLower(), PerPhoneIndexColumns().join(u',').toLower());
}

TEST_F(Migration, TableWithoutCounterIsRebuiltKeepingRowsAndForeignColumns)
{
    ExecOn(db, QStringLiteral("CREATE TABLE Phones (QueryDateTime REAL, PhoneNumber TEXT, Balance REAL, Note TEXT)"));
    ExecOn(db, QStringLiteral("INSERT INTO Phones VALUES (45000.1, 'A', 1.5, 'first')"));
    ExecOn(db, QStringLiteral("INSERT INTO Phones VALUES (45000.2, 'A', 2.5, 'second')"));
    EXPECT_TRUE(AlterTablePhonesIfNeed(db));
    const QStringList cols = TableColumnNames(db, QStringLiteral("Phones"));
    ASSERT_EQ(cols.size(), 16);
    EXPECT_EQ(cols.first(), QStringLiteral("NN"));
    EXPECT_EQ(Column(db, QStringLiteral("SELECT NN || ':' || Balance || ':' || Note FROM Phones ORDER BY NN")),
              QStringList({"1:1.5:first", "2:2.5:second"}));
    InsertRaw(db, {QStringLiteral("A"), 45000.3});
    EXPECT_EQ(Column(db, QStringLiteral("SELECT MAX(NN) FROM Phones")), QStringList({"3"}));
    EXPECT_EQ(indexColumns(db), PerPhoneIndexColumns());
    EXPECT_EQ(IntegrityCheck(db), QStringLiteral("ok"));
}

// A view cannot take a column; a table holding the index's name fails after
// the columns were added. Either way the file is as before and the copy stays.
TEST_F(Migration, FailureRestoresTheFileReportsTheBoxTextAndKeepsTheCopy)
{
    ExecOn(db, QStringLiteral("CREATE TABLE OldPhones (QueryDateTime REAL, PhoneNumber TEXT, Balance REAL)"));
    ExecOn(db, QStringLiteral("CREATE VIEW Phones AS SELECT * FROM OldPhones"));
    QByteArray before = ReadFileBytes(db);
    QString box;
    try {
        AlterTablePhonesIfNeed(db, &box);
        FAIL() << "the migration of a view succeeded";
    } catch (const SaldomatError &e) {
        const QString outer = QStringLiteral("AlterTable.AlterTablePhonesIfNeed -- > ");
        EXPECT_TRUE(e.message().startsWith(outer + QStringLiteral("AlterTable.AddNewColumns -- > "))) << e.what();
        EXPECT_EQ(box,
                  QStringLiteral("Невозможно преобразовать базу данных с историей баланса в новый формат.\r\n"
                                 "Пожалуйста, свяжитесь с авторами !!! support@saldomat.ru\r\n\r\nОшибка: \r\n")
                      + e.message().mid(outer.size()));
    }
    EXPECT_EQ(ReadFileBytes(db), before);
    EXPECT_EQ(ReadFileBytes(tmp), before);

    QFile::remove(db);
    QFile::remove(tmp);
    makeOldTable(db, {QStringLiteral("ObPlat"), QStringLiteral("USDRate")});
    ExecOn(db, QStringLiteral("INSERT INTO Phones (QueryDateTime, PhoneNumber, Balance) VALUES (45000.5, 'A', 3.25)"));
    ExecOn(db, QStringLiteral("CREATE TABLE IX_Phones_PhoneNumber_QueryDateTime (x INTEGER)"));
    before = ReadFileBytes(db);
    EXPECT_THROW(AlterTablePhonesIfNeed(db, &box), SaldomatError);
    EXPECT_TRUE(box.contains(QStringLiteral("IX_Phones_PhoneNumber_QueryDateTime"))) << box.toStdString();
    EXPECT_EQ(ReadFileBytes(db), before);
    EXPECT_EQ(TableColumnNames(db, QStringLiteral("Phones")).size(), 13);
    EXPECT_EQ(IntegrityCheck(db), QStringLiteral("ok"));
    EXPECT_TRUE(QFileInfo::exists(tmp));
}

TEST_F(Migration, AddNewColumnsWorksOnAnyTableAndListsWhatIsMissing)
{
    ExecOn(db, QStringLiteral("CREATE TABLE Extra (A INTEGER)"));
    const QStringList list{QStringLiteral("a=smallint"), QStringLiteral("B=char(20)"), QStringLiteral("C=single")};
    EXPECT_EQ(MissingColumns(db, QStringLiteral("Extra"), list), QStringList({"B=char(20)", "C=single"}));
    AddNewColumns(db, QStringLiteral("Extra"), list);
    EXPECT_EQ(TableColumnNames(db, QStringLiteral("Extra")), QStringList({"A", "B", "C"}));
    try {
        AddNewColumns(db, QStringLiteral("Extra"), {QStringLiteral("D=blob(3)")});
        FAIL() << "an unknown type was accepted";
    } catch (const SaldomatError &e) {
        EXPECT_TRUE(e.message().startsWith(QStringLiteral("AlterTable.AddNewColumns -- > "))) << e.what();
    }
    EXPECT_EQ(TableColumnNames(db, QStringLiteral("Extra")).size(), 3);
}
