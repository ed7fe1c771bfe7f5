// Random mutations of good statements: whatever the parser is given, it either returns a tree
// or throws EngineError, and a statement it accepts never carries a second one.
#include "engine/error.h"
#include "engine/sql/parser.h"

#include <gtest/gtest.h>
#include <random>
#include <string>
#include <vector>

namespace engine::sql {
namespace {

const std::vector<std::string> kSeeds = {
    "SELECT  * INTO Orders FROM [MS Access;DATABASE=D:\\Data\\Sales.mdb].[Orders]",
    "SELECT  * INTO Orders FROM [MS Access;DATABASE=D:\\Data\\Sales.mdb;PWD=pw].[Orders]",
    "SELECT a1.* INTO `NEW` FROM `OLD` AS a1;",
    "DROP TABLE `NAME`",
    "DROP TABLE `NAME`;",
    "SELECT DISTINCT a, [b c] AS d FROM T WHERE (a = 1 OR NOT b LIKE 'x*') AND c IS NOT NULL",
    "CREATE TABLE T (a TEXT(50) NOT NULL, b DECIMAL(10,2), c NATIONAL CHAR VARYING(5))",
    "INSERT INTO T (a, b) VALUES (-1.5E3, 'it''s', #1/2/2003 10:00 PM#, {guid "
    "{00112233-4455-6677-8899-aabbccddeeff}}, NULL, TRUE)",
    "SELECT * INTO Copy IN 'x.mdb' FROM [;DATABASE=y.accdb].[Müller]",
    "CREATE UNIQUE INDEX [By Day] ON T (Due DESC, Qty) WITH IGNORE NULL",
    "ALTER TABLE T ADD CONSTRAINT k PRIMARY KEY (a, [b c])",
    "ALTER TABLE T DROP COLUMN a; ",
};

// Pieces a mutation inserts: the characters that matter to the lexer, and whole words.
const std::vector<std::string> kPieces = {
    "[",
    "]",
    "`",
    "'",
    "\"",
    ";",
    ".",
    ",",
    "(",
    ")",
    "*",
    "#",
    "{",
    "}",
    "=",
    "<",
    ">",
    "-",
    "+",
    " ",
    "\t",
    "\n",
    std::string(1, '\0'),
    "\x01",
    "\xff",
    "\xc3",
    "\xc3\xa9",
    "\xe2\x80\x80",
    "0",
    "9",
    "e",
    "_",
    "SELECT",
    "INTO",
    "FROM",
    "WHERE",
    "AND",
    "OR",
    "NOT",
    "NULL",
    "IS",
    "LIKE",
    "DROP",
    "TABLE",
    "CREATE",
    "INSERT",
    "VALUES",
    "IN",
    "AS",
    "MS Access;",
    "DATABASE=",
    "PWD=",
    "guid",
    "TEXT",
    "DECIMAL",
    "Order",
    "((((((",
    "))))))",
};

std::string mutate(std::string text, std::mt19937& random) {
    const auto pick = [&](size_t count) {
        return std::uniform_int_distribution<size_t>(0, count - 1)(random);
    };
    const int steps = 1 + static_cast<int>(pick(4));
    for (int step = 0; step < steps; ++step) {
        const size_t at = pick(text.size() + 1);
        switch (pick(4)) {
            case 0:
                text.insert(at, kPieces[pick(kPieces.size())]);
                break;
            case 1:
                text.erase(at, pick(8));
                break;
            case 2:
                if (!text.empty()) text[pick(text.size())] = static_cast<char>(pick(256));
                break;
            default:
                text.insert(at, text.substr(pick(text.size() + 1), pick(16)));
                break;
        }
    }
    return text;
}

bool endsWithSemicolon(const std::string& text) {
    const size_t last = text.find_last_not_of(" \t\r\n");
    return last != std::string::npos && text[last] == ';';
}

TEST(Mutation, everyInputParsesOrFailsWithAnEngineError) {
    std::mt19937 random(20240521);
    int accepted = 0;
    int refused = 0;
    for (int round = 0; round < 40000; ++round) {
        const std::string& seed = kSeeds[round % kSeeds.size()];
        const std::string text = mutate(seed, random);
        try {
            parseStatement(text);
            ++accepted;
        } catch (const EngineError&) {
            ++refused;
            continue;
        } catch (...) {
            ADD_FAILURE() << "not an EngineError for: " << testing::PrintToString(text);
            continue;
        }
        // A second statement after an accepted one is always refused.
        const std::string second =
            text + (endsWithSemicolon(text) ? " DROP TABLE x" : "; DROP TABLE x");
        try {
            parseStatement(second);
            ADD_FAILURE() << "a second statement was accepted: " << testing::PrintToString(second);
        } catch (const EngineError& error) {
            EXPECT_EQ(error.code(), ErrorCode::TrailingCharacters)
                << testing::PrintToString(second) << "\n  " << error.what();
        }
    }
    // Both outcomes must occur, or the mutations test nothing.
    EXPECT_GT(accepted, 1000);
    EXPECT_GT(refused, 1000);
}

}  // namespace
}  // namespace engine::sql
