// The history file: its check at start-up, its creation, and bringing an older
// file up to date (missing columns, a table without the counter, a missing
// index); a failed migration leaves the file as it was.
#include "AlterTable.h"
#include "Common.h"
#include "Failure.h"
#include "HistoryDb.h"
#include "HistoryTestUtil.h"
#include "StoreMDB.h"
#include "TestHome.h"

#include <QFileInfo>
#include <gtest/gtest.h>

namespace {
// An older Phones table: every column except those named, in the usual order.
QString oldTable(const QStringList &without, bool lowerCaseBalance = false)
{
    QStringList defs;
    for (const QString &entry : PhonesColumnList()) {
        const QString name = entry.section('=', 0, 0);
        if (!without.contains(name))
            defs << (lowerCaseBalance && name == "Balance" ? name.toLower() : name) + ' '
                    + SqliteColumnType(entry.section('=', 1));
    }
    return "CREATE TABLE Phones (" + defs.join(", ") + ')';
}

// The columns of the per-phone index, lower case.
QString indexColumns(const QString &file)
{
    return Sql(file, "SELECT lower(group_concat(name)) FROM pragma_index_info('IX_Phones_PhoneNumber_QueryDateTime')")
        .value(0);
}
const QString kIndexColumns
    = "phonenumber,querydatetime,nn,balance,obplat,baldelta,average,turnoff,jeansexpired,recomend,sms,minutes,usdrate";

// A call that must fail with the failure label prefix; the failure's message.
template <typename Call> QString failure(Call call, const QString &prefix)
{
    try {
        call();
        ADD_FAILURE() << "no failure";
    } catch (const SaldomatError &e) {
        EXPECT_TRUE(e.message().startsWith(prefix)) << e.what();
        return e.message();
    }
    return {};
}

struct HistoryFile : ::testing::Test {
    TestHome home;
    const QString db = HistoryDbFileName();
    const QString tmp = home.file("Saldomat.tmp");
};
}  // namespace

TEST_F(HistoryFile, MissingFileIsNotMadeByTheCheckANewOneIsCompleteAndNeverOverwritten)
{
    EXPECT_FALSE(CheckHistoryAvailable());
    EXPECT_FALSE(QFileInfo::exists(db));
    EXPECT_TRUE(LogText().contains("Ведение истории баланса невозможно по следующей причине: ")
                && LogText().contains("Saldomat.db"))
        << LogText().toStdString();
    QFile::remove(ErrorLogFileName());
    CreateHistoryDatabase();
    EXPECT_EQ(MissingColumns(db, "Phones", PhonesColumnList()), QStringList());
    EXPECT_EQ(indexColumns(db), kIndexColumns);
    EXPECT_TRUE(CheckHistoryAvailable());
    EXPECT_FALSE(QFileInfo::exists(ErrorLogFileName()));
    InsertRaw(db, {"1", 45000.5});
    InsertRaw(db, {"2", 45000.6});
    EXPECT_EQ(Sql(db, "SELECT NN FROM Phones ORDER BY NN"), QStringList({"1", "2"}));
    const QByteArray before = ReadFileBytes(db);
    EXPECT_TRUE(
        failure([] { CreateHistoryDatabase(); }, "HistoryDb.CreateHistoryDatabase -- > ").contains("already exists"));
    EXPECT_EQ(ReadFileBytes(db), before);

    // Columns are added to any table; an unknown type is refused.
    Sql(db, "CREATE TABLE Extra (A INTEGER)");
    const QStringList list{"a=smallint", "B=char(20)", "C=single"};
    EXPECT_EQ(MissingColumns(db, "Extra", list), QStringList({"B=char(20)", "C=single"}));
    AddNewColumns(db, "Extra", list);
    failure([&] { AddNewColumns(db, "Extra", {"D=blob(3)"}); }, "AlterTable.AddNewColumns -- > ");
    EXPECT_EQ(Sql(db, "SELECT group_concat(name) FROM pragma_table_info('Extra')"), QStringList{"A,B,C"});
}

// Missing columns are added in list order, names match without letter case, a
// table without the counter is rebuilt keeping its rows and foreign columns;
// the index is made, the copy removed, new results can be stored and a second
// pass changes nothing.
TEST_F(HistoryFile, OlderTablesAreBroughtUpToDateKeepingTheirRows)
{
    const QString names = "SELECT group_concat(name) FROM pragma_table_info('Phones')";
    const struct {
        QStringList setUp;
        QList<std::pair<QString, QString>> checks;  // a query and its one row, joined
    } cases[]
        = {{{oldTable({"USDRate", "BalDelta", "ObPlat"}),
             "INSERT INTO Phones (QueryDateTime, PhoneNumber, Balance, SMS) VALUES (45000.25, 'A', 20.5, 7)"},
            {{names + " WHERE cid >= 12", "ObPlat,BalDelta,USDRate"},
             {"SELECT Balance || '/' || SMS || '/' || PhoneNumber FROM Phones", "20.5/7/A"}}},
           {{oldTable({}, /*lowerCaseBalance=*/true)}, {{names + " WHERE name = 'Balance'", ""}}},
           {{"CREATE TABLE Phones (QueryDateTime REAL, PhoneNumber TEXT, Balance REAL, Note TEXT)",
             "INSERT INTO Phones VALUES (45000.1, 'A', 1.5, 'first'), (45000.2, 'A', 2.5, 'second')"},
            {{names + " WHERE cid = 0 OR name = 'Note'", "NN,Note"},
             {"SELECT group_concat(NN || ':' || Balance || ':' || Note) FROM Phones", "1:1.5:first,2:2.5:second"}}}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.setUp.join(';').toStdString());
        QFile::remove(db);
        for (const QString &sql : c.setUp)
            Sql(db, sql);
        ASSERT_TRUE(AlterTablePhonesIfNeed(db));
        for (const auto &[query, row] : c.checks)
            EXPECT_EQ(Sql(db, query).join(','), row) << query.toStdString();
        EXPECT_EQ(MissingColumns(db, "Phones", PhonesColumnList()), QStringList());
        EXPECT_EQ(indexColumns(db), kIndexColumns);
        EXPECT_FALSE(QFileInfo::exists(tmp));
        TIssa issa;
        issa.PhoneNumber = "A";
        issa.USDRate = 28.5f;
        EXPECT_TRUE(TmdbStore().SaveIssaToMdb(issa));
        EXPECT_EQ(Sql(db, "SELECT USDRate || '/' || NN FROM Phones ORDER BY NN DESC LIMIT 1"),
                  QStringList{"28.5/" + QString::number(CountRows(db))});
        const QByteArray before = ReadFileBytes(db);
        EXPECT_TRUE(AlterTablePhonesIfNeed(db));
        EXPECT_EQ(ReadFileBytes(db), before);
    }
}

// A view cannot take a column; a table holding the index's name fails after
// the columns were added. Either way the file is as before and the copy stays.
TEST_F(HistoryFile, FailedMigrationRestoresTheFileReportsTheBoxTextAndKeepsTheCopy)
{
    const QString outer = "AlterTable.AlterTablePhonesIfNeed -- > ";
    for (const bool view : {true, false}) {
        QFile::remove(db);
        QFile::remove(tmp);
        for (const QString &sql : view
                 ? QStringList{"CREATE TABLE OldPhones (QueryDateTime REAL, PhoneNumber TEXT, Balance REAL)",
                               "CREATE VIEW Phones AS SELECT * FROM OldPhones"}
                 : QStringList{oldTable({"ObPlat", "USDRate"}),
                               "INSERT INTO Phones (QueryDateTime, PhoneNumber, Balance) VALUES (45000.5, 'A', 3.25)",
                               "CREATE TABLE IX_Phones_PhoneNumber_QueryDateTime (x INTEGER)"})
            Sql(db, sql);
        const QByteArray before = ReadFileBytes(db);
        QString box;
        const QString message = failure([&] { AlterTablePhonesIfNeed(db, &box); }, outer);
        EXPECT_EQ(box,
                  "Невозможно преобразовать базу данных с историей баланса в новый формат.\r\n"
                  "Пожалуйста, свяжитесь с авторами !!! support@saldomat.ru\r\n\r\nОшибка: \r\n"
                      + message.mid(outer.size()));
        EXPECT_TRUE(view ? message.startsWith(outer + "AlterTable.AddNewColumns -- > ")
                         : message.contains("IX_Phones_PhoneNumber_QueryDateTime"));
        EXPECT_EQ(ReadFileBytes(db), before);
        EXPECT_EQ(ReadFileBytes(tmp), before);
    }
    EXPECT_EQ(Sql(db, "PRAGMA integrity_check"), QStringList{"ok"});
}
