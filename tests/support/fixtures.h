// Where the test data lives, and scratch folders for tests that write.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace support {

// The folder of database files made by the real product (read-only).
std::filesystem::path fixturesDir();
std::filesystem::path fixture(const std::string& relative);
// Every fixture file, as paths relative to fixturesDir(), sorted.
std::vector<std::string> allFixtures();
// The password of a fixture ("password" for the protected ones, as their README says; else
// empty).
std::string fixturePassword(const std::string& relative);
// The build folder (for the built programs).
std::filesystem::path buildDir();

// Every byte of a file (none when it cannot be read).
std::vector<uint8_t> bytesOf(const std::filesystem::path& path);

// A fresh, empty folder removed again when the object dies.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    std::filesystem::path operator/(const std::string& name) const { return m_path / name; }
    // Copies a fixture into this folder (tests never write to the fixtures themselves).
    std::filesystem::path copyFixture(const std::string& relative,
                                      const std::string& name = "") const;

private:
    std::filesystem::path m_path;
};

// Makes a file immutable (no write, rename or removal, not even by root) for the object's life.
// made() is false where the system does not let the test do so (a file system without the flag,
// no right to set it): the test is then skipped.
class ImmutableFile {
public:
    explicit ImmutableFile(std::filesystem::path path);
    ~ImmutableFile();
    ImmutableFile(const ImmutableFile&) = delete;
    ImmutableFile& operator=(const ImmutableFile&) = delete;

    bool made() const { return m_made; }

private:
    std::filesystem::path m_path;
    bool m_made = false;
};

}  // namespace support
