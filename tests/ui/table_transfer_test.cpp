// "Send To Access #2" and "Send To Access #1" driven through the table manager over real files:
// the boxes shown, in order, and the files afterwards.
#include "ui/tables/table_transfer.h"

#include "ui/tables/command_progress.h"

#include "app/error_locations.h"
#include "engine/database.h"

#include "two_databases.h"
#include <QProgressBar>

#include <algorithm>
#include <thread>

namespace ui {
namespace {

using app::MessageAnswer;
using support::tableRows;

TEST(MakeTableStatement, joinsItsPiecesUnchanged) {
    EXPECT_EQ(makeTableStatement("Orders", R"(D:\Data\Sales.mdb)", ""),
              R"(SELECT  * INTO Orders FROM [MS Access;DATABASE=D:\Data\Sales.mdb].[Orders])");
    // Only the empty text is no password: one blank is a password, sent as it stands.
    EXPECT_EQ(makeTableStatement("Orders", "/d/s.mdb", " "),
              "SELECT  * INTO Orders FROM [MS Access;DATABASE=/d/s.mdb;PWD= ].[Orders]");
    EXPECT_EQ(makeTableStatement("Order Details", "/d/a];b.mdb", "p]w;x"),
              "SELECT  * INTO Order Details FROM [MS Access;DATABASE=/d/a];b.mdb;PWD=p]w;x]."
              "[Order Details]");
}

// Records the value the progress bar shows each time a widget is painted, while it lives.
class PaintWatch : public QObject {
public:
    PaintWatch(QWidget& widget, const QProgressBar& bar, std::vector<int>& values)
        : m_bar(bar), m_values(values) {
        widget.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) m_values.push_back(m_bar.value());
        return false;
    }

private:
    const QProgressBar& m_bar;
    std::vector<int>& m_values;
};

class Transfer : public TwoDatabases {
protected:
    void SetUp() override {
        support::makeDatabase(file1, {"Customers", "Orders", "Products"});
        support::makeDatabase(file2, {"Archive", "Invoices"});
    }

    QProgressBar& progress() { return harness.in2<QProgressBar>("ProgressBar1"); }

    // Whether both files pass the integrity check.
    void expectSound() {
        EXPECT_EQ(support::integrityProblems(file1), "");
        EXPECT_EQ(support::integrityProblems(file2), "");
    }
};

TEST_F(Transfer, anEmptySourceListOnlyAsksForATable) {
    remake(file1, {});
    remake(file2, {});
    start();
    harness.boxes.answerMessage();
    click("PushButton3");
    EXPECT_EQ(harness.boxes.messages(), std::vector{note("Please select a table.")});
    EXPECT_EQ(harness.form2().cursor().shape(), Qt::ArrowCursor) << "no hourglass was set";
}

TEST_F(Transfer, aCurrentEntryWithoutSelectionRereadsTheSourceListAndCopiesNothing) {
    start();
    list("List1").addItem(QStringLiteral("Stale"));
    list("List2").addItem(QStringLiteral("Stale"));
    progress().setValue(40);
    click("PushButton3");
    EXPECT_TRUE(harness.boxes.shown().empty());
    EXPECT_EQ(entries("List1"), (std::vector<QString>{"Customers", "Orders", "Products"}));
    EXPECT_EQ(list("List1").currentRow(), 0);
    EXPECT_EQ(entries("List2"), (std::vector<QString>{"Archive", "Invoices", "Stale"}))
        << "the destination list is not re-read";
    EXPECT_EQ(support::userTables(file2), (std::vector<std::string>{"Archive", "Invoices"}));
    EXPECT_EQ(progress().value(), 0);
    EXPECT_EQ(harness.form2().cursor().shape(), Qt::ArrowCursor);
}

TEST_F(Transfer, copiesTheSelectedTablesFromTheLastUpAskingBeforeEachReplacement) {
    remake(file2, {"Archive", "Customers", "Products"});
    const std::vector<std::vector<engine::format::Value>> extra{{int32_t{4}, std::string("kept")}};
    support::openForWriting(file2)->insertRows("Products", support::RowFeed(extra));
    start();
    select("List1", {"Customers", "Orders", "Products"});
    std::vector<Qt::CursorShape> pointers;
    harness.boxes.whileShown = [&] { pointers.push_back(harness.form2().cursor().shape()); };
    harness.boxes.answerMessage(MessageAnswer::No);   // Products
    harness.boxes.answerMessage(MessageAnswer::Yes);  // Customers
    click("PushButton3");

    EXPECT_EQ(harness.boxes.messages(),
              (std::vector{overwrite("Products"), overwrite("Customers")}));
    EXPECT_EQ(pointers, (std::vector{Qt::WaitCursor, Qt::WaitCursor}));
    EXPECT_EQ(harness.form2().cursor().shape(), Qt::ArrowCursor);
    // Orders is added, then Customers after its old entry was removed; Products stays as it was.
    EXPECT_EQ(entries("List2"),
              (std::vector<QString>{"Archive", "Products", "Orders", "Customers"}));
    EXPECT_EQ(support::userTables(file2),
              (std::vector<std::string>{"Archive", "Customers", "Orders", "Products"}));
    EXPECT_EQ(tableRows(file2, "Customers"), tableRows(file1, "Customers"));
    EXPECT_EQ(exported(file2, "Orders"), exported(file1, "Orders"));
    EXPECT_EQ(exported(file2, "Customers"), exported(file1, "Customers"));
    EXPECT_EQ(tableRows(file2, "Products").size(), 4u) << "No kept the destination's table";
    expectSound();
}

TEST_F(Transfer, sendsTheOtherWayWithTheSecondDatabasesTextsAndRefillsItsList) {
    start();
    select("List2", {"Invoices"});
    list("List1").item(0)->setSelected(true);
    click("PushButton8");
    EXPECT_TRUE(harness.boxes.shown().empty());
    EXPECT_EQ(entries("List1"),
              (std::vector<QString>{"Customers", "Orders", "Products", "Invoices"}));
    EXPECT_TRUE(list("List1").item(0)->isSelected()) << "the destination list keeps its marks";
    EXPECT_EQ(entries("List2"), (std::vector<QString>{"Archive", "Invoices"}));
    EXPECT_FALSE(list("List2").item(1)->isSelected()) << "the source list was re-read";
    EXPECT_EQ(exported(file1, "Invoices"), exported(file2, "Invoices"));
    expectSound();
}

// The engine drops the destination table whatever the letter case of its name, so its entry
// goes with it: the list holds one entry per table.
TEST_F(Transfer, aDestinationNameInOtherLetterCaseIsReplacedWithItsEntry) {
    remake(file2, {"ORDERS"});
    start();
    select("List1", {"Orders"});
    harness.boxes.answerMessage(MessageAnswer::Yes);
    click("PushButton3");
    EXPECT_EQ(harness.boxes.messages(), std::vector{overwrite("Orders")});
    EXPECT_EQ(entries("List2"), std::vector<QString>{"Orders"});
    EXPECT_EQ(support::userTables(file2), std::vector<std::string>{"Orders"});
    EXPECT_EQ(tableRows(file2, "Orders"), tableRows(file1, "Orders"));
    expectSound();
}

// The commands of one list: click its entry Products, Delete Table(s), Select All, Send To. The
// click makes the entry current, the deletion leaves no entry current, and Select All makes the
// last entry current again, so the copy goes ahead.
struct ListSideCommands {
    const char* list;
    const char* deleteTables;
    const char* selectAll;
    const char* send;
};

class DeleteThenSelectAll : public Transfer {
protected:
    void run(const ListSideCommands& side, const std::filesystem::path& from,
             const std::filesystem::path& to) {
        remake(from, {"Customers", "Orders", "Products"});
        remake(to, {"Archive"});
        start();

        clickEntry(side.list, "Products");
        click(side.deleteTables);
        ASSERT_EQ(list(side.list).currentRow(), -1);
        click(side.selectAll);
        EXPECT_EQ(list(side.list).currentRow(), 1);
        click(side.send);

        EXPECT_TRUE(harness.boxes.shown().empty()) << "no \"Please select a table.\"";
        EXPECT_EQ(support::userTables(to),
                  (std::vector<std::string>{"Archive", "Customers", "Orders"}));
        EXPECT_EQ(support::userTables(from), (std::vector<std::string>{"Customers", "Orders"}));
        EXPECT_EQ(exported(to, "Customers"), exported(from, "Customers"));
        EXPECT_EQ(exported(to, "Orders"), exported(from, "Orders"));
        expectSound();
    }
};

TEST_F(DeleteThenSelectAll, copiesEveryTableLeftInListOne) {
    run({"List1", "PushButton4", "PushButton1", "PushButton3"}, file1, file2);
}

TEST_F(DeleteThenSelectAll, copiesEveryTableLeftInListTwo) {
    run({"List2", "PushButton9", "PushButton6", "PushButton8"}, file2, file1);
}

// Sanitizers make the copy many times slower; half the rows still take several repaint
// intervals.
#if defined(__SANITIZE_ADDRESS__)
constexpr int32_t kLargeTableRows = 100'000;
#else
constexpr int32_t kLargeTableRows = 200'000;
#endif

// While one large table is copied, the bar moves forward with the rows copied, each step
// painted, and the command ends it at 0.
TEST_F(Transfer, theProgressBarMovesWithTheRowsOfALargeTableAndEndsAtZero) {
    {
        std::filesystem::remove(file1);
        auto database = engine::Database::create(file1, {});
        database->createTable(
            "Large",
            {{.name = "ID", .type = engine::format::ColumnType::Long},
             {.name = "Name", .type = engine::format::ColumnType::Text, .size = 40}},
            [next = int32_t{0}](std::vector<engine::format::Value>& row) mutable {
                if (next == kLargeTableRows) return false;
                ++next;
                row = {next, "row " + std::to_string(next)};
                return true;
            });
    }
    start();
    select("List1", {"Large"});
    // Each move of the bar also asks for the Help button to be painted again, as an exposure of
    // the window would: it is painted while the command still runs.
    QPushButton& help = harness.in2<QPushButton>("PushButton12");
    std::vector<int> values;
    QObject::connect(&progress(), &QProgressBar::valueChanged, [&](int value) {
        values.push_back(value);
        help.update();
        // The bar moves at most once a repaint interval. Holding up its first moves for longer
        // than that lets it move several times however fast the copy itself has become.
        if (value > 0 && values.size() < 3) {
            std::this_thread::sleep_for(ui::CommandProgress::kRepaintInterval * 6 / 5);
        }
    });
    std::vector<int> barPainted;
    std::vector<int> helpPainted;
    PaintWatch watchBar(progress(), progress(), barPainted);
    PaintWatch watchHelp(help, progress(), helpPainted);

    click("PushButton3");

    ASSERT_GE(values.size(), 3u) << "the bar moved during the copy";
    EXPECT_EQ(values.back(), 0);
    const std::vector<int> moving(values.begin(), values.end() - 1);
    EXPECT_GT(moving.front(), 0);
    EXPECT_LT(moving.front(), 100) << "the first step comes within the table's rows";
    EXPECT_TRUE(std::is_sorted(moving.begin(), moving.end()));
    const auto duringTheCopy = [](const std::vector<int>& painted) {
        return std::any_of(painted.begin(), painted.end(),
                           [](int value) { return value > 0 && value < 100; });
    };
    EXPECT_TRUE(duringTheCopy(barPainted)) << "the bar was painted while the rows were copied";
    EXPECT_TRUE(duringTheCopy(helpPainted)) << "so was the rest of the window";
    EXPECT_EQ(progress().value(), 0);
    EXPECT_EQ(tableRows(file2, "Large").size(), static_cast<size_t>(kLargeTableRows));
    expectSound();
}

TEST_F(Transfer, namesTheStatementCannotCarryAreReportedAndStillListed) {
    remake(file1, {"Order Details", "Select"});
    start();
    select("List1", {"Order Details", "Select"});
    harness.boxes.answerMessage();
    harness.boxes.answerMessage();
    click("PushButton3");
    ASSERT_EQ(harness.boxes.messages().size(), 2u);
    for (const auto& message : harness.boxes.messages()) {
        EXPECT_TRUE(message.text.startsWith(QStringLiteral("Run-time error: -2147217900 ")))
            << qs(message.text);
        EXPECT_EQ(message.buttons, app::MessageButtons::Ok);
    }
    EXPECT_EQ(entries("List2"),
              (std::vector<QString>{"Archive", "Invoices", "Select", "Order Details"}));
    EXPECT_EQ(support::userTables(file2), (std::vector<std::string>{"Archive", "Invoices"}));
    expectSound();
}

TEST_F(Transfer, aSourcePathWithABracketGoesUnescapedAndItsFailureIsReported) {
    std::filesystem::create_directories(harness.folder / "x]y");
    file1 = harness.folder / "x]y" / "one.mdb";
    path1 = support::ProgramHarness::qpath(file1);
    support::makeDatabase(file1, {"Orders"});
    start();
    select("List1", {"Orders"});
    harness.boxes.answerMessage();
    click("PushButton3");
    ASSERT_EQ(harness.boxes.messages().size(), 1u);
    EXPECT_TRUE(harness.boxes.messages()[0].text.startsWith(QStringLiteral("Run-time error: ")));
    EXPECT_EQ(entries("List2"), (std::vector<QString>{"Archive", "Invoices", "Orders"}));
    EXPECT_EQ(support::userTables(file2), (std::vector<std::string>{"Archive", "Invoices"}));
    expectSound();
}

TEST_F(Transfer, aPasswordOfOneBlankIsAPassword) {
    remake(file1, {"Orders"}, " ");
    start(QStringLiteral(" "));
    select("List1", {"Orders"});
    click("PushButton3");
    EXPECT_TRUE(harness.boxes.shown().empty());
    EXPECT_EQ(tableRows(file2, "Orders"), tableRows(file1, "Orders", " "));
    EXPECT_EQ(support::integrityProblems(file1, " "), "");
    EXPECT_EQ(support::integrityProblems(file2), "");
}

TEST_F(Transfer, aWrongSourcePasswordIsReportedAtEachUseAndTheNameStillListed) {
    remake(file1, {"Orders"}, "secret");
    start(QStringLiteral("secret"));
    setText("Text2", QStringLiteral("wrong"));
    select("List1", {"Orders"});
    for (int box = 0; box < 5; ++box) harness.boxes.answerMessage();
    click("PushButton3");

    const char* location = app::location::kForm2PushButton3Click;
    const QString invalid = QStringLiteral("Not a valid password.");
    EXPECT_EQ(harness.boxes.messages(),
              (std::vector{report(invalid, location, 120),
                           note(QStringLiteral("Run-time error: -2147217843 ") + invalid),
                           note(path1 + QStringLiteral("\r\n") + invalid),
                           note(QStringLiteral("Unable to access the database")),
                           report(QStringLiteral("Operation is not allowed when the object is "
                                                 "closed."),
                                  location, 184)}));
    EXPECT_EQ(entries("List1"), std::vector<QString>{"Orders"}) << "a failed refill keeps the list";
    EXPECT_EQ(entries("List2"), (std::vector<QString>{"Archive", "Invoices", "Orders"}));
    EXPECT_EQ(support::userTables(file2), (std::vector<std::string>{"Archive", "Invoices"}));
}

TEST_F(Transfer, failuresGoingToTheFirstDatabaseCarryThatCommandsLinesAndLocation) {
    start();
    select("List2", {"Archive"});
    std::filesystem::remove(file1);
    for (int box = 0; box < 3; ++box) harness.boxes.answerMessage();
    click("PushButton8");

    const char* location = app::location::kForm2PushButton8Click;
    ASSERT_EQ(harness.boxes.messages().size(), 3u);
    EXPECT_EQ(harness.boxes.messages()[0].text.section(QStringLiteral("\r\n"), 1),
              report({}, location, 120).text.section(QStringLiteral("\r\n"), 1))
        << "opening database #1 fails under its own number in either direction";
    EXPECT_EQ(harness.boxes.messages()[1],
              note(QStringLiteral("Run-time error: 3704 Operation is not allowed when the object "
                                  "is closed.")));
    EXPECT_EQ(harness.boxes.messages()[2],
              report(QStringLiteral("Operation is not allowed when the object is closed."),
                     location, 190));
    EXPECT_EQ(entries("List1"),
              (std::vector<QString>{"Customers", "Orders", "Products", "Archive"}));
}

// Both databases one file: a selected table found in the destination list is its own source.
class TransferOntoItself : public Transfer {
protected:
    void expectNothingLost() {
        EXPECT_EQ(support::userTables(file1),
                  (std::vector<std::string>{"Customers", "Orders", "Products"}));
        EXPECT_EQ(tableRows(file1, "Orders").size(), 3u);
        EXPECT_EQ(support::integrityProblems(file1), "");
    }
    void transferOrdersAndProducts() {
        select("List1", {"Orders", "Products"});
        harness.boxes.answerMessage();
        harness.boxes.answerMessage();
        click("PushButton3");
        const auto ontoItself = [](const char* name) {
            return note(QStringLiteral("The table ") + QString::fromLatin1(name) +
                        QStringLiteral(" cannot be copied onto itself: database #1 and database "
                                       "#2 are the same file."));
        };
        EXPECT_EQ(harness.boxes.messages(),
                  (std::vector{ontoItself("Products"), ontoItself("Orders")}));
        EXPECT_EQ(entries("List2"), (std::vector<QString>{"Customers", "Orders", "Products"}));
        expectNothingLost();
    }
};

TEST_F(TransferOntoItself, isRefusedForTheSamePath) {
    file2 = file1;
    path2 = path1;
    start();
    transferOrdersAndProducts();
}

TEST_F(TransferOntoItself, isRefusedForAnotherSpellingOfThePath) {
    std::filesystem::create_directories(harness.folder / "sub");
    std::filesystem::create_symlink(file1, harness.folder / "link.mdb");
    file2 = file1;
    path2 = support::ProgramHarness::qpath(harness.folder / "sub" / ".." / "." / "one.mdb");
    start();
    transferOrdersAndProducts();

    harness.boxes.clearShown();
    setText("Text3", support::ProgramHarness::qpath(harness.folder / "link.mdb"));
    transferOrdersAndProducts();
}

TEST_F(TransferOntoItself, aTableMissingFromAStaleDestinationListIsNotReplaced) {
    file2 = file1;
    path2 = path1;
    start();
    delete list("List2").takeItem(1);  // Orders
    select("List1", {"Orders"});
    harness.boxes.answerMessage();
    click("PushButton3");
    ASSERT_EQ(harness.boxes.messages().size(), 1u);
    EXPECT_EQ(harness.boxes.messages()[0].text,
              QStringLiteral("Run-time error: -2147217900 Table 'Orders' already exists."));
    expectNothingLost();
}

using engine::storage::FileFormat;

struct Side {
    FileFormat format;
    std::string password;
    const char* extension;
    // mdbtools reads Jet files with or without a password and plain ACE files, not AES.
    bool readableByMdbtools() const { return !engine::storage::isAce(format) || password.empty(); }
};

struct FormatPair {
    Side one;
    Side two;
};

void PrintTo(const FormatPair& pair, std::ostream* out) {
    *out << engine::storage::formatName(pair.one.format) << "(" << pair.one.password << ") and "
         << engine::storage::formatName(pair.two.format) << "(" << pair.two.password << ")";
}

// Database #1 chooses the provider for both connections, so it is the ACE file whenever there
// is one.
class TransferBetweenFormats : public TwoDatabases,
                               public ::testing::WithParamInterface<FormatPair> {};

TEST_P(TransferBetweenFormats, copiesArriveIntactInBothDirections) {
    const FormatPair& pair = GetParam();
    file1 = harness.folder / (std::string("one.") + pair.one.extension);
    file2 = harness.folder / (std::string("two.") + pair.two.extension);
    path1 = support::ProgramHarness::qpath(file1);
    path2 = support::ProgramHarness::qpath(file2);
    support::makeDatabase(file1, {"Customers", "Orders"}, pair.one.password, pair.one.format);
    support::makeDatabase(file2, {"Invoices"}, pair.two.password, pair.two.format);
    start(QString::fromStdString(pair.one.password), QString::fromStdString(pair.two.password));

    select("List1", {"Customers", "Orders"});
    click("PushButton3");
    select("List2", {"Invoices"});
    click("PushButton8");
    EXPECT_TRUE(harness.boxes.shown().empty());
    EXPECT_EQ(entries("List1"), (std::vector<QString>{"Customers", "Orders", "Invoices"}));
    EXPECT_EQ(entries("List2"), (std::vector<QString>{"Customers", "Invoices", "Orders"}))
        << "re-read in name order";

    for (const auto& [from, fromSide, to, toSide, table] :
         {std::tuple{file1, pair.one, file2, pair.two, "Orders"},
          std::tuple{file1, pair.one, file2, pair.two, "Customers"},
          std::tuple{file2, pair.two, file1, pair.one, "Invoices"}}) {
        EXPECT_EQ(tableRows(to, table, toSide.password), tableRows(from, table, fromSide.password))
            << table;
        if (fromSide.readableByMdbtools() && toSide.readableByMdbtools()) {
            EXPECT_EQ(exported(to, table), exported(from, table)) << table;
        }
    }
    EXPECT_EQ(support::integrityProblems(file1, pair.one.password), "");
    EXPECT_EQ(support::integrityProblems(file2, pair.two.password), "");
}

INSTANTIATE_TEST_SUITE_P(
    , TransferBetweenFormats,
    ::testing::Values(FormatPair{{FileFormat::Jet4, "", "mdb"}, {FileFormat::Jet4, "pw 2", "mdb"}},
                      FormatPair{{FileFormat::Ace12, "", "accdb"}, {FileFormat::Jet4, "", "mdb"}},
                      FormatPair{{FileFormat::Ace14, "Geheim \xC3\x9F", "accdb"},
                                 {FileFormat::Jet4, "pw,2!", "mdb"}},
                      FormatPair{{FileFormat::Ace16, "", "accdb"},
                                 {FileFormat::Ace14, "p a s s", "accdb"}},
                      FormatPair{{FileFormat::Jet4, "", "mdb"}, {FileFormat::Jet3, "pw 97", "mdb"}},
                      FormatPair{{FileFormat::Ace14, "", "accdb"}, {FileFormat::Jet3, "", "mdb"}}));

TEST_F(TwoDatabases, theSampleGoesIntoANewDatabaseAndBack) {
    file1 = harness.folder / "sample.mdb";
    path1 = support::ProgramHarness::qpath(file1);
    std::filesystem::copy_file(support::buildDir() / "Samples" / "sample.mdb", file1);
    const auto original = support::userTables(file1);
    support::makeDatabase(file2, {});
    start();

    click("PushButton1");  // Select All
    click("PushButton3");
    for (const std::string& table : original) {
        EXPECT_EQ(exported(file2, table), exported(file1, table)) << table;
    }
    // The lists' entries are picked as a user picks them, which also makes one current.
    clickEntry("List1", "Orders");
    clickEntry("List1", "Products");
    click("PushButton4");  // delete them from the sample
    clickEntry("List2", "Orders");
    clickEntry("List2", "Products");
    click("PushButton8");  // and bring them back
    EXPECT_EQ(support::userTables(file1), original);

    clickEntry("List2", "Customers");
    harness.boxes.answerInput(QStringLiteral("Clients"));
    click("PushButton10");
    EXPECT_EQ(exported(file2, "Clients"), exported(file1, "Customers"));
    EXPECT_TRUE(harness.boxes.messages().empty());
    EXPECT_EQ(support::integrityProblems(file1), "");
    EXPECT_EQ(support::integrityProblems(file2), "");
    QStringList tables =
        QString::fromStdString(support::runProcess({"mdb-tables", "-1", file2.string()}).out)
            .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    tables.sort();
    EXPECT_EQ(tables, (QStringList{"Clients", "OrderDetails", "Orders", "Products"}));
}

// An Access 97 file as database #2 takes the sample's tables, loses the ones deleted and renames
// one, all through the table manager.
TEST_F(TwoDatabases, anAccess97FileTakesDeletesAndRenamesTables) {
    file1 = harness.folder / "sample.mdb";
    path1 = support::ProgramHarness::qpath(file1);
    std::filesystem::copy_file(support::buildDir() / "Samples" / "sample.mdb", file1);
    const auto original = support::userTables(file1);
    support::makeDatabase(file2, {"Archive"}, "", FileFormat::Jet3);
    start();

    click("PushButton1");  // Select All
    click("PushButton3");  // Send To Access #2
    for (const std::string& table : original) {
        EXPECT_EQ(exported(file2, table), exported(file1, table)) << table;
    }
    clickEntry("List2", "Archive");
    clickEntry("List2", "Orders");
    click("PushButton9");  // Delete Table(s)
    clickEntry("List2", "Customers");
    harness.boxes.answerInput(QStringLiteral("Clients"));
    click("PushButton10");  // Rename Table
    EXPECT_TRUE(harness.boxes.messages().empty());
    EXPECT_EQ(exported(file2, "Clients"), exported(file1, "Customers"));
    EXPECT_EQ(support::integrityProblems(file2), "");
    EXPECT_EQ(support::runProcess({"mdb-ver", file2.string()}).out, "JET3\n");
    QStringList tables =
        QString::fromStdString(support::runProcess({"mdb-tables", "-1", file2.string()}).out)
            .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    tables.sort();
    EXPECT_EQ(tables, (QStringList{"Clients", "OrderDetails", "Products"}));
}

}  // namespace
}  // namespace ui
