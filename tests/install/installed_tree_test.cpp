// The installed program, seen from outside: the build folder installed with `cmake --install`
// into a scratch prefix, or, when CORVANTA_INSTALLED_TREE names one, a tree unpacked from the
// Debian package (the package check of ./test points it at the unpacked usr/).
#include "support/fixtures.h"
#include "support/process.h"

#include <chrono>
#include <csignal>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <sstream>
#include <thread>

namespace {

namespace fs = std::filesystem;

std::string contents(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

// The "name: value" lines of the program probe; a name given more than once keeps every value.
std::multimap<std::string, std::string> reportLines(const std::string& text) {
    std::multimap<std::string, std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        const size_t colon = line.find(": ");
        if (colon != std::string::npos)
            lines.emplace(line.substr(0, colon), line.substr(colon + 2));
    }
    return lines;
}

std::string reported(const std::multimap<std::string, std::string>& lines, const char* name) {
    const auto found = lines.find(name);
    return found == lines.end() ? "<none>" : found->second;
}

class InstalledTree : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (const char* given = std::getenv("CORVANTA_INSTALLED_TREE")) {
            s_prefix = given;
            return;
        }
        s_scratch = std::make_unique<support::TempDir>();
        s_prefix = *s_scratch / "usr";
        s_installed =
            support::runProcess({CORVANTA_CMAKE_COMMAND, "--install", support::buildDir().string(),
                                 "--prefix", s_prefix.string()});
    }
    static void TearDownTestSuite() { s_scratch.reset(); }

    void SetUp() override {
        ASSERT_EQ(s_installed.exitCode, 0) << s_installed.out << s_installed.err;
    }

    static fs::path programFolder() { return s_prefix / "lib/corvanta"; }

    static fs::path s_prefix;
    static std::unique_ptr<support::TempDir> s_scratch;
    static support::ProcessResult s_installed;

    support::TempDir scratch;
};

fs::path InstalledTree::s_prefix;
std::unique_ptr<support::TempDir> InstalledTree::s_scratch;
support::ProcessResult InstalledTree::s_installed{.exitCode = 0};

TEST_F(InstalledTree, putsBothProgramsAndTheirOptionalFilesInOneFolderWithRelativeLinksInBin) {
    for (const char* program : {"corvanta", "corvanta-db"}) {
        const fs::path link = s_prefix / "bin" / program;
        ASSERT_TRUE(fs::is_symlink(link)) << link;
        // Relative, so the tree works wherever it is unpacked.
        EXPECT_EQ(fs::read_symlink(link), fs::path("../lib/corvanta") / program);
        EXPECT_EQ(fs::canonical(link), fs::canonical(programFolder() / program));
        EXPECT_NE(fs::status(link).permissions() & fs::perms::others_exec, fs::perms::none);
    }
    EXPECT_EQ(contents(programFolder() / "HAND-M.CUR"),
              contents(support::buildDir() / "HAND-M.CUR"));
    EXPECT_EQ(contents(programFolder() / "Samples/sample.mdb").substr(4, 15), "Standard Jet DB");
}

TEST_F(InstalledTree, hasTheMenuEntryTheIconsTheMetainfoTheFileTypeTheManualsAndTheDocuments) {
    const std::string entry = contents(s_prefix / "share/applications/corvanta.desktop");
    EXPECT_NE(entry.find("\nExec=corvanta\n"), std::string::npos) << "no arguments, no %f";
    EXPECT_NE(entry.find("\nIcon=corvanta\n"), std::string::npos);
    // The program opens no file it is given, so the entry claims no file type.
    EXPECT_EQ(entry.find("\nMimeType="), std::string::npos);

    // Each icon is a PNG of its folder's size (width and height in the IHDR chunk).
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const std::string folder = std::to_string(size) + "x" + std::to_string(size);
        const std::string png =
            contents(s_prefix / "share/icons/hicolor" / folder / "apps/corvanta.png");
        ASSERT_GE(png.size(), 24u) << folder;
        EXPECT_EQ(png.substr(1, 3), "PNG");
        const auto byte = [&](size_t at) { return static_cast<unsigned char>(png[at]); };
        EXPECT_EQ((byte(18) << 8) | byte(19), size) << folder << " width";
        EXPECT_EQ((byte(22) << 8) | byte(23), size) << folder << " height";
    }

    const std::string metainfo =
        contents(s_prefix / "share/metainfo/example.quillmere.corvanta.metainfo.xml");
    EXPECT_NE(metainfo.find("<launchable type=\"desktop-id\">corvanta.desktop</launchable>"),
              std::string::npos);
    EXPECT_NE(metainfo.find("<screenshot type=\"default\">"), std::string::npos);
    EXPECT_NE(contents(s_prefix / "share/mime/packages/corvanta.xml").find("*.accdb"),
              std::string::npos);
    for (const char* compressed :
         {"share/man/man1/corvanta.1.gz", "share/man/man1/corvanta-db.1.gz",
          "share/doc/corvanta/changelog.gz"}) {
        const std::string manual = contents(s_prefix / compressed);
        ASSERT_GE(manual.size(), 2u) << compressed;
        EXPECT_EQ(manual.substr(0, 2), "\x1f\x8b") << compressed << " is compressed with gzip";
    }
    EXPECT_NE(contents(s_prefix / "share/doc/corvanta/copyright").find("Copyright: "),
              std::string::npos);
}

TEST_F(InstalledTree, theToolRunsThroughItsLinkOnTheInstalledSample) {
    const std::string tool = (s_prefix / "bin/corvanta-db").string();
    const auto version = support::runProcess({tool, "--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out.rfind("corvanta-db ", 0), 0u) << version.out;
    const auto help = support::runProcess({tool, "--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_EQ(help.out.rfind("usage: corvanta-db", 0), 0u) << help.out;

    const auto tables =
        support::runProcess({tool, "tables", (programFolder() / "Samples/sample.mdb").string()});
    EXPECT_EQ(tables.exitCode, 0) << tables.err;
    EXPECT_NE(tables.out.find("TABLE\tCustomers\n"), std::string::npos) << tables.out;
}

// The program's own start-up, put beside the installed program and started through links: a
// relative link in bin/, and an absolute link elsewhere that points to that one.
TEST_F(InstalledTree, theProgramFindsItsSampleAndHandPointerThroughLinks) {
    const fs::path probe = programFolder() / "program-probe";
    const fs::path binLink = s_prefix / "bin/program-probe";
    fs::copy_file(support::buildDir() / "program-probe", probe,
                  fs::copy_options::overwrite_existing);
    fs::remove(binLink);
    fs::create_symlink("../lib/corvanta/program-probe", binLink);
    fs::create_symlink(binLink, scratch / "elsewhere");
    fs::create_directories(scratch / "settings");

    const fs::path folder = fs::canonical(programFolder());
    for (const fs::path& start : {binLink, scratch / "elsewhere"}) {
        SCOPED_TRACE(start.string());
        const auto run = support::runProcess({start.string(), (scratch / "settings").string()});
        ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
        const auto lines = reportLines(run.out);
        EXPECT_EQ(reported(lines, "program folder"), folder.string());
        EXPECT_EQ(reported(lines, "hand pointer"), "loaded");
        EXPECT_EQ(reported(lines, "sample"), (folder / "Samples/sample.mdb").string());
        EXPECT_NE(reported(lines, "tables").find("Customers"), std::string::npos);
        EXPECT_EQ(reported(lines, "table manager"), "shown");
        EXPECT_EQ(lines.count("box"), 0u) << reported(lines, "box");
    }
    fs::remove(binLink);
    fs::remove(probe);
}

// The installed program itself, offscreen, with the installed sample remembered in both places
// so that start-up opens it and moves on to the table manager. It must keep running (windows
// open, no crash, no missing library) until it is told to stop.
TEST_F(InstalledTree, theInstalledProgramStartsOffscreenAndKeepsRunning) {
    const fs::path home = scratch / "home";
    const fs::path sample = programFolder() / "Samples/sample.mdb";
    fs::create_directories(home / ".config");
    std::ofstream(home / ".config/Quillmere.conf")
        << "[Corvanta]\nAccessMDBFile=" << sample.string() << "\nAccessMDBFile2=" << sample.string()
        << '\n';
    fs::create_directories(scratch / "no-programs");

    // An empty PATH: were the start-up's web-site draw to come up, no browser is found.
    support::RunningProcess program(
        {(s_prefix / "bin/corvanta").string()},
        {.environment = {"QT_QPA_PLATFORM=offscreen", "HOME=" + home.string(),
                         "XDG_CONFIG_HOME=" + (home / ".config").string(),
                         "PATH=" + (scratch / "no-programs").string()}});
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    const bool stillRunning = program.running();
    program.sendSignal(SIGTERM);
    const auto ended = program.finish();
    EXPECT_TRUE(stillRunning) << "exit " << ended.exitCode << ": " << ended.err;
    EXPECT_EQ(ended.exitCode, 128 + SIGTERM) << ended.err;
}

}  // namespace
