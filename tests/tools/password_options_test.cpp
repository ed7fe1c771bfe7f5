// corvanta-db's command line: passwords from standard input, the terminal or the environment
// instead of the process list, "--" and --version. The running tool is checked from outside:
// its /proc/PID/cmdline while it waits for a password, and the terminal's echo while one is typed.
#include "support/fixtures.h"
#include "support/process.h"
#include "support/pseudo_terminal.h"

#include "commands.h"
#include "password_input.h"

#include <chrono>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <poll.h>
#include <sstream>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr char kSourcePassword[] = "tide pool 42";
constexpr char kDestinationPassword[] = "kelp-forest-17";

// Passwords from a script: a map for the environment and lines for standard input.
class ScriptedPasswords : public tools::PasswordInput {
public:
    std::optional<std::string> variable(const char* name) const override {
        const auto found = variables.find(name);
        return found == variables.end() ? std::nullopt : std::optional(found->second);
    }
    std::string read(const char* prompt) override {
        prompts.emplace_back(prompt);
        return tools::readPasswordLine(input);
    }

    std::map<std::string, std::string> variables;
    std::istringstream input;
    std::vector<std::string> prompts;
};

tools::Arguments completed(const std::vector<std::string>& words, ScriptedPasswords& passwords) {
    tools::Arguments arguments = tools::parseArguments(words);
    tools::completePasswords(arguments, passwords);
    return arguments;
}

TEST(PasswordOptions, aDashReadsEachPasswordFromInputInOptionOrderAndKeepsItsBlanks) {
    ScriptedPasswords passwords;
    passwords.input.str(" first secret \r\nsecond\n");
    const auto arguments =
        completed({"copy", "a.mdb", "T", "b.mdb", "-P", "-", "-p", "-"}, passwords);
    EXPECT_EQ(arguments.password, " first secret ");
    EXPECT_EQ(arguments.destinationPassword, "second");
    EXPECT_EQ(passwords.prompts,
              (std::vector<std::string>{"Password of the source database: ",
                                        "Password of the destination database: "}));

    ScriptedPasswords unended;
    unended.input.str("last line without its end");
    EXPECT_EQ(completed({"tables", "a.mdb", "-p", "-"}, unended).password,
              "last line without its end");
    ScriptedPasswords empty;
    EXPECT_THROW(completed({"tables", "a.mdb", "-p", "-"}, empty), tools::UsageError);
}

TEST(PasswordOptions, anOptionLeftOutTakesItsVariableAndAGivenOneWins) {
    ScriptedPasswords passwords;
    passwords.variables = {{tools::kPasswordVariable, "from environment"},
                           {tools::kDestinationPasswordVariable, "second file"}};
    auto arguments = completed({"copy", "a.mdb", "T", "b.mdb"}, passwords);
    EXPECT_EQ(arguments.password, "from environment");
    EXPECT_EQ(arguments.destinationPassword, "second file");

    arguments = completed({"copy", "a.mdb", "T", "b.mdb", "-p", "typed", "-P", ""}, passwords);
    EXPECT_EQ(arguments.password, "typed");
    EXPECT_EQ(arguments.destinationPassword, "");

    ScriptedPasswords none;
    arguments = completed({"tables", "a.mdb"}, none);
    EXPECT_FALSE(arguments.password.has_value());
    EXPECT_FALSE(arguments.destinationPassword.has_value());
    EXPECT_TRUE(none.prompts.empty());
}

TEST(PasswordOptions, doubleDashEndsOptionsAndVersionAndHelpReadNoPassword) {
    const auto arguments = tools::parseArguments({"drop", "--", "-odd.mdb", "--all", "-p"});
    EXPECT_EQ(arguments.command, "drop");
    EXPECT_EQ(arguments.positional, (std::vector<std::string>{"-odd.mdb", "--all", "-p"}));
    EXPECT_FALSE(arguments.all);
    EXPECT_FALSE(arguments.password.has_value());
    EXPECT_THROW(tools::parseArguments({"tables", "a.mdb", "--al"}), tools::UsageError);

    for (const char* option : {"--version", "--help"}) {
        ScriptedPasswords passwords;  // empty input: reading it would fail the command
        std::ostringstream out;
        std::ostringstream err;
        EXPECT_EQ(
            tools::runCommandLine({"tables", "a.mdb", "-p", "-", option}, out, err, passwords), 0)
            << option;
        EXPECT_TRUE(passwords.prompts.empty()) << option;
        EXPECT_EQ(err.str(), "");
    }
    std::ostringstream out;
    std::ostringstream err;
    ScriptedPasswords passwords;
    tools::runCommandLine({"--version"}, out, err, passwords);
    EXPECT_EQ(out.str(), std::string(tools::kVersionLine) + "\n");
    EXPECT_TRUE(out.str().starts_with("corvanta-db ")) << out.str();

    // Input that ends before the password is a usage error, not a database without one.
    ScriptedPasswords ended;
    std::ostringstream usage;
    EXPECT_EQ(tools::runCommandLine({"tables", "a.mdb", "-p", "-"}, out, usage, ended), 2);
    EXPECT_NE(usage.str().find("standard input ended before the password"), std::string::npos);
}

// The running tool, started from the build folder.
class RunningTool : public ::testing::Test {
protected:
    void SetUp() override {
        std::ostringstream out;
        std::ostringstream err;
        ScriptedPasswords none;
        ASSERT_EQ(tools::runCommandLine({"create", source.string(), "-P", kSourcePassword}, out,
                                        err, none),
                  0)
            << err.str();
        ASSERT_EQ(tools::runCommandLine({"sql", source.string(), "-p", kSourcePassword,
                                         "CREATE TABLE Tides (Place TEXT(40))"},
                                        out, err, none),
                  0)
            << err.str();
        ASSERT_EQ(tools::runCommandLine(
                      {"create", destination.string(), "-P", kDestinationPassword}, out, err, none),
                  0)
            << err.str();
    }

    static std::string tool() { return (support::buildDir() / "corvanta-db").string(); }

    // The command line of a running process: its words, NUL-separated. Right after the start
    // the kernel may not have laid out the new program's words yet (it shows none), so this
    // waits a little for them.
    static std::string commandLine(pid_t pid) {
        std::string words;
        for (int attempt = 0; attempt < 200 && words.empty(); ++attempt) {
            if (attempt > 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
            std::ifstream file("/proc/" + std::to_string(pid) + "/cmdline", std::ios::binary);
            words.assign(std::istreambuf_iterator<char>(file), {});
        }
        return words;
    }

    static void expectNoPassword(const std::string& commandLine) {
        EXPECT_NE(commandLine.find("corvanta-db"), std::string::npos) << "not the tool's";
        EXPECT_EQ(commandLine.find("tide pool"), std::string::npos);
        EXPECT_EQ(commandLine.find("kelp-forest"), std::string::npos);
    }

    support::TempDir folder;
    std::filesystem::path source = folder / "source.accdb";
    std::filesystem::path destination = folder / "destination.accdb";
};

TEST_F(RunningTool, passwordsFromInputAndEnvironmentNeverReachTheProcessList) {
    // The source's password in the environment, the destination's on standard input: the tool
    // waits for the latter, and meanwhile shows its command line to everyone.
    support::RunningProcess copy(
        {tool(), "copy", source.string(), "Tides", destination.string(), "-P", "-"},
        {.environment = {std::string(tools::kPasswordVariable) + "=" + kSourcePassword}});
    const std::string waiting = commandLine(copy.pid());
    ASSERT_TRUE(copy.running());
    expectNoPassword(waiting);
    EXPECT_NE(waiting.find(std::string("-P\0-\0", 5)), std::string::npos);
    copy.writeInput(std::string(kDestinationPassword) + "\n");
    const auto copied = copy.finish();
    EXPECT_EQ(copied.exitCode, 0) << copied.err;

    // Both passwords through standard input, one line each; the copy arrived.
    support::RunningProcess tables({tool(), "tables", destination.string(), "-p", "-"});
    expectNoPassword(commandLine(tables.pid()));
    tables.writeInput(std::string(kDestinationPassword) + "\n");
    const auto listed = tables.finish();
    EXPECT_EQ(listed.exitCode, 0) << listed.err;
    EXPECT_TRUE(listed.out.ends_with("\nTABLE\tTides\n")) << listed.out;

    support::RunningProcess wrong({tool(), "tables", destination.string(), "-p", "-"});
    wrong.writeInput(std::string(kSourcePassword) + "\n");
    const auto refused = wrong.finish();
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(refused.err.rfind("error ", 0), 0u) << refused.err;
}

TEST_F(RunningTool, onATerminalThePasswordIsAskedForAndTypedWithoutEcho) {
    support::PseudoTerminal terminal;
    ASSERT_TRUE(terminal.echoes());
    support::RunningProcess tables({tool(), "tables", source.string(), "-p", "-"},
                                   {.terminal = terminal.terminal()});
    EXPECT_NE(terminal.readUntil("Password: ").find("Password: "), std::string::npos);
    EXPECT_FALSE(terminal.echoes()) << "the echo is off while the password is typed";
    ASSERT_TRUE(terminal.type(std::string(kSourcePassword) + "\n"));
    const auto listed = tables.finish();
    EXPECT_EQ(listed.exitCode, 0);
    EXPECT_TRUE(listed.out.ends_with("\nTABLE\tTides\n")) << listed.out;
    EXPECT_EQ(terminal.readUntil("\n").find("tide pool"), std::string::npos)
        << "the typed password is not shown";
    EXPECT_TRUE(terminal.echoes()) << "the echo is back";

    // Ended by a signal while it waits: the terminal gets its echo back all the same.
    support::RunningProcess interrupted({tool(), "tables", source.string(), "-p", "-"},
                                        {.terminal = terminal.terminal()});
    terminal.readUntil("Password: ");
    ASSERT_FALSE(terminal.echoes());
    interrupted.sendSignal(SIGTERM);
    EXPECT_EQ(interrupted.finish().exitCode, 128 + SIGTERM);
    EXPECT_TRUE(terminal.echoes());
}

}  // namespace
