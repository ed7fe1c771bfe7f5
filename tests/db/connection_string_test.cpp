#include "db/connection_string.h"

#include "ado/object_factory.h"
#include "db/engine_check.h"
#include "support/app/scripted_modal_boxes.h"

#include "doubles.h"

#include <gtest/gtest.h>

namespace db {
namespace {

constexpr char kAce[] = "Provider=Microsoft.ACE.OLEDB.12.0;Data Source=";
constexpr char kJet[] = "PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source=";
constexpr char kPasswordClause[] = ";JET OLEDB:Database Password=";

QString expected(const char* provider, const QString& path, const QString& password) {
    return QString::fromLatin1(provider) + path + QString::fromLatin1(kPasswordClause) + password;
}

// The provider follows database #1's path, whichever database the text is for.
TEST(GetConnectionString, choosesTheProviderFromTheLastFiveLettersOfDatabaseOnesPath) {
    struct Case {
        const char* firstPath;
        const char* provider;
    };
    for (const Case& c : {Case{"/data/Sales.ACCDB", kAce}, Case{"/data/Salesaccdb", kAce},
                          Case{"/data/Sales.AcCdB", kAce}, Case{"/data/Sales.accdb ", kJet},
                          Case{"/data/Sales.acc", kJet}, Case{"/data/Sales.mdb", kJet},
                          Case{"accdb", kAce}, Case{"ccdb", kJet}, Case{"", kJet}}) {
        support::FixedTexts texts;
        texts.path1 = QString::fromLatin1(c.firstPath);
        EXPECT_EQ(
            GetConnectionString(texts, QStringLiteral("/other/Two.mdb"), QStringLiteral("pw")),
            expected(c.provider, QStringLiteral("/other/Two.mdb"), QStringLiteral("pw")))
            << c.firstPath;
    }
}

TEST(GetConnectionString, opensDatabaseTwoWithTheProviderOfDatabaseOne) {
    support::FixedTexts texts;
    texts.path1 = QStringLiteral("/data/one.accdb");
    EXPECT_EQ(GetConnectionString(texts, QStringLiteral("/data/two.mdb"), QString()),
              expected(kAce, QStringLiteral("/data/two.mdb"), QString()));
    texts.path1 = QStringLiteral("/data/one.mdb");
    EXPECT_EQ(GetConnectionString(texts, QStringLiteral("/data/two.accdb"), QString()),
              expected(kJet, QStringLiteral("/data/two.accdb"), QString()));
}

TEST(GetConnectionString, alwaysEndsWithThePasswordClauseAndKeepsTextsAsTyped) {
    support::FixedTexts texts;
    texts.path1 = QStringLiteral("/data/one.mdb");
    EXPECT_TRUE(GetConnectionString(texts, QStringLiteral("/data/one.mdb"), QString())
                    .endsWith(QString::fromLatin1(kPasswordClause)));
    EXPECT_EQ(
        GetConnectionString(texts, QStringLiteral(" /my data/a;b.mdb "), QStringLiteral(" p;w ")),
        expected(kJet, QStringLiteral(" /my data/a;b.mdb "), QStringLiteral(" p;w ")));
}

TEST(GetConnectionString, takesDatabaseOneForAnEmptyPathAndIgnoresThePasswordGiven) {
    support::FixedTexts texts;
    texts.path1 = QStringLiteral("/data/one.mdb");
    texts.password1 = QStringLiteral("first");
    texts.path2 = QStringLiteral("/data/two.mdb");
    texts.password2 = QStringLiteral("second");
    EXPECT_EQ(GetConnectionString(texts, QString(), QStringLiteral("second")),
              expected(kJet, QStringLiteral("/data/one.mdb"), QStringLiteral("first")));
}

TEST(CheckEngineInstalled, saysOnceThatAccessIsMissingWhenNoConnectionCanBeCreated) {
    ado::ObjectFactory factory;
    factory.setConnectionClassAbsent(true);
    support::ScriptedModalBoxes boxes;
    boxes.answerMessage();
    CheckEngineInstalled(boxes, factory);
    ASSERT_EQ(boxes.messages().size(), 1u);
    EXPECT_EQ(
        boxes.messages()[0],
        (app::MessageBoxRequest{
            .text = QStringLiteral("Access is not installed on this computer. You need to "
                                   "have it installed to use this software without error.")}));
}

TEST(CheckEngineInstalled, saysNothingWhenTheConnectionClassIsThere) {
    const ado::ObjectFactory factory;
    support::ScriptedModalBoxes boxes;
    CheckEngineInstalled(boxes, factory);
    EXPECT_TRUE(boxes.shown().empty());
}

}  // namespace
}  // namespace db
