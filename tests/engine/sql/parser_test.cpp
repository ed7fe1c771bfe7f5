#include "engine/sql/parser.h"

#include "engine/error.h"

#include "tree_text.h"

#include <gtest/gtest.h>

namespace engine::sql {
namespace {

using testing::statementText;

struct Shape {
    const char* statement;
    const char* tree;
};

void expectShapes(const std::vector<Shape>& shapes) {
    for (const Shape& shape : shapes) {
        try {
            EXPECT_EQ(statementText(parseStatement(shape.statement)), shape.tree)
                << shape.statement;
        } catch (const EngineError& error) {
            ADD_FAILURE() << shape.statement << "\n  failed: " << error.number() << " "
                          << error.what();
        }
    }
}

TEST(Parser, readsTheStatementsTheProgramSends) {
    expectShapes({
        // Copy a table from another file, without and with a password.
        {R"(SELECT  * INTO Orders FROM [MS Access;DATABASE=D:\Data\Sales.mdb].[Orders])",
         R"(SELECT * INTO <Orders> FROM <Orders>@<D:\Data\Sales.mdb>)"},
        {R"(SELECT  * INTO Orders FROM [MS Access;DATABASE=D:\Data\Sales.mdb;PWD=secret].[Orders])",
         R"(SELECT * INTO <Orders> FROM <Orders>@<D:\Data\Sales.mdb>#<secret>)"},
        // A password of one blank is a password.
        {"SELECT  * INTO T FROM [MS Access;DATABASE=/data/a.accdb;PWD= ].[T]",
         "SELECT * INTO <T> FROM <T>@</data/a.accdb>#< >"},
        {"SELECT  * INTO Kunden FROM [MS Access;DATABASE=/home/anna/Müller & Söhne/daten.accdb;"
         "PWD=pä ss].[Kunden]",
         "SELECT * INTO <Kunden> FROM <Kunden>@</home/anna/Müller & Söhne/daten.accdb>#<pä ss>"},
        {"SELECT  * INTO Straße FROM [MS Access;DATABASE=x.mdb].[Straße]",
         "SELECT * INTO <Straße> FROM <Straße>@<x.mdb>"},
        // The source table's name may be anything a bracket can hold.
        {"SELECT  * INTO Sales2019 FROM [MS Access;DATABASE=C:\\a b\\c.mdb].[Sales 2019 (old)]",
         "SELECT * INTO <Sales2019> FROM <Sales 2019 (old)>@<C:\\a b\\c.mdb>"},
        // Rename: copy under the new name, drop with and without a semicolon.
        {"SELECT a1.* INTO `NEW` FROM `OLD` AS a1;", "SELECT <a1>.* INTO <NEW> FROM <OLD> AS <a1>"},
        {"SELECT a1.* INTO `Order Details (2)` FROM `Order Details` AS a1;",
         "SELECT <a1>.* INTO <Order Details (2)> FROM <Order Details> AS <a1>"},
        {"SELECT a1.* INTO `Select` FROM `Table` AS a1;",
         "SELECT <a1>.* INTO <Select> FROM <Table> AS <a1>"},
        {"DROP TABLE `NAME`", "DROP TABLE <NAME>"},
        {"DROP TABLE `NAME`;", "DROP TABLE <NAME>"},
        {"DROP TABLE `Order Details`;", "DROP TABLE <Order Details>"},
        {"DROP TABLE `Café ☕`", "DROP TABLE <Café ☕>"},
    });
}

TEST(Parser, readsConnectStringsInTheirVariants) {
    expectShapes({
        {"select * into T from [ms access;database=x.mdb;pwd=p].[T]",
         "SELECT * INTO <T> FROM <T>@<x.mdb>#<p>"},
        {"SELECT * FROM [;DATABASE=x.mdb].[T]", "SELECT * FROM <T>@<x.mdb>"},
        {"SELECT * FROM [ MS Access ; DATABASE =x.mdb; Pwd=p;].[T]",
         "SELECT * FROM <T>@<x.mdb>#<p>"},
        {"SELECT * FROM [MS Access;PWD=p;DATABASE=x.mdb].[T]", "SELECT * FROM <T>@<x.mdb>#<p>"},
        // Values are verbatim: blanks and "=" belong to them.
        {"SELECT * FROM [MS Access;DATABASE= C:\\a=b\\x.mdb ;PWD=a=b].[T]",
         "SELECT * FROM <T>@< C:\\a=b\\x.mdb >#<a=b>"},
        // An empty password is none.
        {"SELECT * FROM [MS Access;DATABASE=x.mdb;PWD=].[T]", "SELECT * FROM <T>@<x.mdb>"},
        {"SELECT * FROM [MS Access;DATABASE=x.mdb].`T`", "SELECT * FROM <T>@<x.mdb>"},
        {"SELECT * FROM [MS Access;DATABASE=x.mdb].T AS s", "SELECT * FROM <T>@<x.mdb> AS <s>"},
    });
}

TEST(Parser, readsSelectStatements) {
    expectShapes({
        {"SELECT * FROM Orders", "SELECT * FROM <Orders>"},
        {"SELECT * FROM [Order]", "SELECT * FROM <Order>"},
        {"SELECT DISTINCT City FROM Customers", "SELECT DISTINCT <City> FROM <Customers>"},
        {"SELECT ALL City FROM Customers", "SELECT <City> FROM <Customers>"},
        {"SELECT c.Name, [Unit Price] AS Price, 'x' AS Letter, 12 FROM Items c",
         "SELECT <c>.<Name>, <Unit Price> AS <Price>, 'x' AS <Letter>, 12 FROM <Items> AS <c>"},
        {"SELECT t.*, Id FROM T AS t", "SELECT <t>.*, <Id> FROM <T> AS <t>"},
        {"SELECT * INTO Copy IN '/data/other.mdb' FROM Orders",
         "SELECT * INTO <Copy>@</data/other.mdb> FROM <Orders>"},
        {"SELECT * FROM T WHERE A = 1 AND B <> 'x' OR NOT C IS NULL",
         "SELECT * FROM <T> WHERE (((<A> = 1) AND (<B> <> 'x')) OR (NOT (<C> IS NULL)))"},
        {"SELECT * FROM T WHERE (A < 1 OR A >= 2) AND B <= -3.5 AND C > +4",
         "SELECT * FROM <T> WHERE ((((<A> < 1) OR (<A> >= 2)) AND (<B> <= -3.5)) AND (<C> > 4))"},
        {"SELECT * FROM T WHERE Name LIKE 'A*' AND Code NOT LIKE \"B?\" AND X IS NOT NULL",
         "SELECT * FROM <T> WHERE (((<Name> LIKE 'A*') AND (<Code> NOT LIKE 'B?')) AND (<X> IS NOT "
         "NULL))"},
        {"SELECT * FROM T WHERE NOT NOT (A)", "SELECT * FROM <T> WHERE (NOT (NOT <A>))"},
        {"SELECT * FROM T WHERE Flag = TRUE OR Flag = FALSE OR Flag = NULL",
         "SELECT * FROM <T> WHERE (((<Flag> = TRUE) OR (<Flag> = FALSE)) OR (<Flag> = NULL))"},
        {"SELECT * FROM T WHERE D = #2000-01-01 12:00#",
         "SELECT * FROM <T> WHERE (<D> = #36526.5#)"},
        {"SELECT TOP 3 DISTINCT City, COUNT(*) AS N, Sum(t.Qty), min(Price) FROM T AS t "
         "WHERE Qty > 0 GROUP BY City, t.Region ORDER BY COUNT(*) DESC, City ASC, MAX(Price)",
         "SELECT DISTINCT TOP 3 <City>, COUNT(*) AS <N>, SUM(<t>.<Qty>), MIN(<Price>) FROM <T> AS "
         "<t> WHERE (<Qty> > 0) GROUP BY <City>, <t>.<Region> ORDER BY COUNT(*) DESC, <City>, "
         "MAX(<Price>)"},
        // A bracketed name is never an aggregate.
        {"SELECT [Sum], [Count] FROM T ORDER BY [Avg] DESC",
         "SELECT <Sum>, <Count> FROM <T> ORDER BY <Avg> DESC"},
        // Blanks are spaces, tabs and line breaks; one ";" and blanks may end the statement.
        {"\r\n\tSELECT\n*\tFROM\r\nT ; \n", "SELECT * FROM <T>"},
    });
}

TEST(Parser, readsCreateTableStatements) {
    expectShapes({
        {"CREATE TABLE T (a TEXT(50) NOT NULL, b TEXT, c VARCHAR, d CHAR(10), e MEMO)",
         "CREATE TABLE <T> (<a> Text(50) NOT NULL, <b> Memo, <c> Text, <d> Text(10), <e> Memo)"},
        {"create table [My Table] (Id COUNTER, n LONG, s SHORT, b BYTE, i INT, r REAL, f FLOAT)",
         "CREATE TABLE <My Table> (<Id> Counter, <n> Long, <s> Integer, <b> Byte, <i> Long, "
         "<r> Single, <f> Double)"},
        {"CREATE TABLE T (a CURRENCY, b MONEY, c DATETIME, d DATE, e YESNO, f BIT, g GUID)",
         "CREATE TABLE <T> (<a> Currency, <b> Currency, <c> DateTime, <d> DateTime, <e> Boolean, "
         "<f> Boolean, <g> Guid)"},
        {"CREATE TABLE T (a DECIMAL, b NUMERIC(10, 2), c DEC(28,28), d DOUBLE PRECISION)",
         "CREATE TABLE <T> (<a> Decimal(18,0), <b> Decimal(10,2), <c> Decimal(28,28), <d> Double)"},
        {"CREATE TABLE T (a BINARY(16), b VARBINARY, c LONGBINARY, d OLEOBJECT, e IMAGE, f BIGINT)",
         "CREATE TABLE <T> (<a> Binary(16), <b> Binary, <c> OleObject, <d> OleObject, "
         "<e> OleObject, <f> BigInt)"},
        {"CREATE TABLE T (a NATIONAL CHARACTER VARYING(20), b BIT VARYING(8), c AUTOINCREMENT);",
         "CREATE TABLE <T> (<a> Text(20), <b> Binary(8), <c> Counter)"},
        {"CREATE TABLE `x y` ([Order] SMALLINT, `Date` TIME, c LONGTEXT, d UNIQUEIDENTIFIER)",
         "CREATE TABLE <x y> (<Order> Integer, <Date> DateTime, <c> Memo, <d> Guid)"},
        {"CREATE TABLE T (Id COUNTER PRIMARY KEY, a TEXT(9) UNIQUE NOT NULL, b LONG NOT NULL "
         "CONSTRAINT bk UNIQUE, CONSTRAINT [two fields] UNIQUE (a, b))",
         "CREATE TABLE <T> (<Id> Counter, <a> Text(9) NOT NULL, <b> Long NOT NULL, CONSTRAINT <> "
         "PRIMARY KEY (<Id>), CONSTRAINT <> UNIQUE (<a>), CONSTRAINT <bk> UNIQUE (<b>), "
         "CONSTRAINT <two fields> UNIQUE (<a>, <b>))"},
    });
}

TEST(Parser, readsDropIndexInsertUpdateAndDeleteStatements) {
    expectShapes({
        {"UPDATE Orders SET Qty = 2", "UPDATE <Orders> SET <Qty> = 2"},
        {"update [Order Details] set Note = NULL, [Due Date] = #1/2/2003#, Sent = TRUE "
         "where Qty >= 10;",
         "UPDATE <Order Details> SET <Note> = NULL, <Due Date> = #37623#, <Sent> = TRUE "
         "WHERE (<Qty> >= 10)"},
        {"DROP TABLE Orders", "DROP TABLE <Orders>"},
        {"DELETE FROM Orders", "DELETE FROM <Orders>"},
        {"delete * from [Order Details] where Qty < 2 or Note is null;",
         "DELETE FROM <Order Details> WHERE ((<Qty> < 2) OR (<Note> IS NULL))"},
        {"drop table [Order Details] ;", "DROP TABLE <Order Details>"},
        {"CREATE INDEX ByName ON Orders (Name)", "CREATE INDEX <ByName> ON <Orders> (<Name>)"},
        {"create unique index [By Day] on [Order Details] (Due desc, Qty asc, Note) "
         "with ignore null;",
         "CREATE UNIQUE INDEX <By Day> ON <Order Details> (<Due> DESC, <Qty>, <Note>) "
         "WITH IGNORE NULL"},
        {"CREATE INDEX Id ON T (Id) WITH PRIMARY", "CREATE INDEX <Id> ON <T> (<Id>) WITH PRIMARY"},
        {"CREATE INDEX Id ON T (Id) WITH DISALLOW NULL",
         "CREATE INDEX <Id> ON <T> (<Id>) WITH DISALLOW NULL"},
        {"drop index [By Day] on [Order Details];", "DROP INDEX <By Day> ON <Order Details>"},
        {"ALTER TABLE Orders ADD COLUMN Note TEXT(20) NOT NULL",
         "ALTER TABLE <Orders> ADD COLUMN <Note> NOT NULL"},
        {"alter table Orders add Id counter primary key;",
         "ALTER TABLE <Orders> ADD COLUMN <Id> CONSTRAINT <> PRIMARY KEY (<Id>)"},
        {"ALTER TABLE Orders ADD CONSTRAINT Pair UNIQUE (a, [b c])",
         "ALTER TABLE <Orders> ADD CONSTRAINT <Pair> UNIQUE (<a>, <b c>)"},
        {"ALTER TABLE Orders DROP COLUMN Note", "ALTER TABLE <Orders> DROP COLUMN <Note>"},
        {"ALTER TABLE Orders DROP Note", "ALTER TABLE <Orders> DROP COLUMN <Note>"},
        {"ALTER TABLE Orders DROP CONSTRAINT Pair", "ALTER TABLE <Orders> DROP CONSTRAINT <Pair>"},
        {"INSERT INTO T VALUES (1, -2, 3.25, 'it''s', \"say \"\"hi\"\"\", NULL, TRUE, FALSE)",
         "INSERT INTO <T> VALUES (1, -2, 3.25, 'it''s', 'say \"hi\"', NULL, TRUE, FALSE)"},
        {"INSERT INTO [T] (a, [b c], `d`) VALUES (#1/2/2003#, {guid "
         "{00112233-4455-6677-8899-AABBCCDDEEFF}}, '');",
         "INSERT INTO <T> (<a>, <b c>, <d>) VALUES (#37623#, "
         "{33221100554477668899aabbccddeeff}, '')"},
        {"INSERT INTO T (a, b) SELECT TOP 2 x, y FROM [MS Access;DATABASE=/d/o.mdb].[U] "
         "ORDER BY x;",
         "INSERT INTO <T> (<a>, <b>) SELECT TOP 2 <x>, <y> FROM <U>@</d/o.mdb> ORDER BY <x>"},
    });
}

TEST(Parser, keepsNumbersExactAndTyped) {
    const auto insert = std::get<InsertStatement>(
        parseStatement("INSERT INTO T VALUES (-2147483649, 0.1, 1E3, 9223372036854775808)"));
    ASSERT_EQ(insert.values.size(), 4u);
    const auto& large = std::get<Number>(insert.values[0]);
    EXPECT_EQ(large.text, "-2147483649");
    EXPECT_EQ(large.integer, -2147483649LL);
    const auto& tenth = std::get<Number>(insert.values[1]);
    EXPECT_EQ(tenth.text, "0.1");
    EXPECT_DOUBLE_EQ(tenth.value, 0.1);
    EXPECT_FALSE(tenth.integer);
    EXPECT_DOUBLE_EQ(std::get<Number>(insert.values[2]).value, 1000.0);
    EXPECT_FALSE(std::get<Number>(insert.values[2]).integer);
    // Too large for 64 bits: a double, with its digits kept.
    const auto& huge = std::get<Number>(insert.values[3]);
    EXPECT_FALSE(huge.integer);
    EXPECT_EQ(huge.text, "9223372036854775808");
}

TEST(Parser, acceptsNamesUpToTheEnginesLimit) {
    const std::string longest(64, 'n');
    const auto drop = std::get<DropTableStatement>(parseStatement("DROP TABLE " + longest));
    EXPECT_EQ(drop.table, longest);
    const std::string wide = "[" + std::string(63, 'x') + "é]";  // 64 characters, 65 bytes
    EXPECT_EQ(std::get<DropTableStatement>(parseStatement("DROP TABLE " + wide)).table.size(), 65u);
}

TEST(Parser, acceptsConditionsUpToTheNestingLimit) {
    std::string deep = "SELECT * FROM T WHERE " + std::string(kMaxNesting, '(') + "A = 1" +
                       std::string(kMaxNesting, ')');
    EXPECT_NO_THROW(parseStatement(deep));
    std::string chain = "SELECT * FROM T WHERE A = 1";
    for (int i = 1; i < kMaxNesting - 1; ++i) chain += " AND A = 1";
    EXPECT_NO_THROW(parseStatement(chain));
}

}  // namespace
}  // namespace engine::sql
