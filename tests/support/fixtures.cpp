#include "support/fixtures.h"

#include <algorithm>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <stdexcept>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace support {

std::filesystem::path fixturesDir() {
    if (const char* overridden = std::getenv("CORVANTA_FIXTURES")) {
        return overridden;
    }
    return std::filesystem::path(CORVANTA_FIXTURES_DIR);
}

std::filesystem::path fixture(const std::string& relative) {
    auto path = fixturesDir() / relative;
    if (!std::filesystem::exists(path)) {
        throw std::runtime_error("missing fixture " + path.string());
    }
    return path;
}

std::vector<std::string> allFixtures() {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(fixturesDir())) {
        auto extension = entry.path().extension().string();
        if (entry.is_regular_file() && (extension == ".mdb" || extension == ".accdb")) {
            names.push_back(std::filesystem::relative(entry.path(), fixturesDir()).string());
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string fixturePassword(const std::string& relative) {
    const bool protectedFile = relative.find("with-password") != std::string::npos ||
                               relative.find("encrypted") != std::string::npos;
    return protectedFile ? "password" : "";
}

std::filesystem::path buildDir() { return std::filesystem::path(CORVANTA_BUILD_DIR); }

std::vector<uint8_t> bytesOf(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "corvanta-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot create a temporary folder");
    }
    m_path = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

std::filesystem::path TempDir::copyFixture(const std::string& relative,
                                           const std::string& name) const {
    auto source = fixture(relative);
    auto target = m_path / (name.empty() ? source.filename().string() : name);
    std::filesystem::copy_file(source, target, std::filesystem::copy_options::overwrite_existing);
    std::filesystem::permissions(target, std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add);
    return target;
}

namespace {

// Sets or clears the file's immutable flag; false when the system does not let it be done.
bool setImmutable(const std::filesystem::path& path, bool immutable) {
    const int descriptor = ::open(path.c_str(), O_RDONLY);
    if (descriptor < 0) return false;
    int flags = 0;
    bool done = ::ioctl(descriptor, FS_IOC_GETFLAGS, &flags) == 0;
    if (done) {
        flags = immutable ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        done = ::ioctl(descriptor, FS_IOC_SETFLAGS, &flags) == 0;
    }
    ::close(descriptor);
    return done;
}

}  // namespace

ImmutableFile::ImmutableFile(std::filesystem::path path)
    : m_path(std::move(path)), m_made(setImmutable(m_path, true)) {}

ImmutableFile::~ImmutableFile() {
    if (m_made) {
        EXPECT_TRUE(setImmutable(m_path, false)) << m_path;
    }
}

}  // namespace support
