#include "app/settings_store.h"

#include "app/handler_guard.h"
#include "support/app/replaced_folders.h"
#include "support/app/scripted_modal_boxes.h"
#include "support/fixtures.h"

#include <QSettings>

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace app {
namespace {

const QString kApplication = QString::fromLatin1(kSettingsApplication);
const QString kSection = QString::fromLatin1(kSettingsSection);

mode_t modeOf(const std::filesystem::path& path) {
    struct stat status {};
    EXPECT_EQ(::stat(path.c_str(), &status), 0) << path;
    return status.st_mode & 07777;
}

class SettingsStore : public ::testing::Test {
protected:
    support::TempDir m_folder;
    support::ReplacedSettingsFolder m_replaced{m_folder.path()};
    std::filesystem::path m_file = m_folder / "Quillmere.conf";
};

TEST_F(SettingsStore, anAbsentKeyGivesTheDefaultOrTheEmptyText) {
    EXPECT_EQ(GetSetting(kApplication, kSection, QString::fromLatin1(kAccessMDBFileKey)),
              QString());
    EXPECT_EQ(GetSetting(kApplication, kSection, QStringLiteral("Other"), QStringLiteral("d")),
              QStringLiteral("d"));
    EXPECT_FALSE(std::filesystem::exists(m_file)) << "reading must not create the file";
}

TEST_F(SettingsStore, valuesSurviveInTheFileAsTyped) {
    const std::pair<const char*, QString> values[] = {
        {kAccessMDBFileKey, QStringLiteral("/home/ann/My Databases/Bücher & Co, 2015.mdb")},
        {kAccessPasswordKey, QStringLiteral(" p@ss w;rd, \"quoted\" = \\ #1 ")},
        {kAccessMDBFile2Key, QStringLiteral("@Variant(nothing)")},
        {kAccessPassword2Key, QStringLiteral("Пароль-密码-ß")},
    };
    for (const auto& [key, value] : values) {
        SaveSetting(kApplication, kSection, QString::fromLatin1(key), value);
    }
    for (const auto& [key, value] : values) {
        EXPECT_EQ(GetSetting(kApplication, kSection, QString::fromLatin1(key)), value) << key;
    }

    // Qt caches the files it has read within one process; a copy under another name is read
    // afresh, from what is on disk.
    const auto copy = m_folder / "copy.conf";
    std::filesystem::copy_file(m_file, copy);
    QSettings fresh(QString::fromStdString(copy.string()), QSettings::IniFormat);
    for (const auto& [key, value] : values) {
        EXPECT_EQ(fresh.value(kSection + QLatin1Char('/') + QString::fromLatin1(key)).toString(),
                  value)
            << key;
    }
}

TEST_F(SettingsStore, aLaterValueReplacesAnEarlierOneAndTheEmptyTextIsAValue) {
    const QString key = QString::fromLatin1(kAccessMDBFileKey);
    for (const auto* typed : {"/", "/d", "/da", "/dat", "/data.mdb"}) {
        SaveSetting(kApplication, kSection, key, QString::fromLatin1(typed));
    }
    EXPECT_EQ(GetSetting(kApplication, kSection, key), QStringLiteral("/data.mdb"));

    SaveSetting(kApplication, kSection, key, QString());
    EXPECT_EQ(GetSetting(kApplication, kSection, key, QStringLiteral("absent")), QString());
}

TEST_F(SettingsStore, theFileIsReadableByItsOwnerOnly) {
    SaveSetting(kApplication, kSection, QString::fromLatin1(kAccessPasswordKey),
                QStringLiteral("secret"));
    EXPECT_EQ(modeOf(m_file), 0600u);
    SaveSetting(kApplication, kSection, QString::fromLatin1(kAccessPasswordKey),
                QStringLiteral("other"));
    EXPECT_EQ(modeOf(m_file), 0600u);

    // A file left readable by others is made private before the next value goes in.
    std::filesystem::permissions(m_file, std::filesystem::perms(0644));
    SaveSetting(kApplication, kSection, QString::fromLatin1(kAccessPasswordKey),
                QStringLiteral("third"));
    EXPECT_EQ(modeOf(m_file), 0600u);
    EXPECT_EQ(GetSetting(kApplication, kSection, QString::fromLatin1(kAccessPasswordKey)),
              QStringLiteral("third"));
}

TEST_F(SettingsStore, aRefusedWriteThrowsWithoutTheValue) {
    std::filesystem::create_directory(m_file);
    try {
        SaveSetting(kApplication, kSection, QString::fromLatin1(kAccessPasswordKey),
                    QStringLiteral("hunter2"));
        FAIL() << "the write should have been refused";
    } catch (const SettingsError& error) {
        EXPECT_NE(std::string(error.what()).find("Quillmere.conf"), std::string::npos);
        EXPECT_EQ(std::string(error.what()).find("hunter2"), std::string::npos);
    }

    std::filesystem::remove(m_file);
    std::ofstream(m_folder / "plain") << "x";
    support::ReplacedSettingsFolder underAFile(m_folder / "plain" / "sub");
    EXPECT_THROW(SaveSetting(kApplication, kSection, QStringLiteral("k"), QStringLiteral("v")),
                 SettingsError);
}

TEST_F(SettingsStore, aRefusedWriteInATextChangeHandlerIsToldWithoutTheValue) {
    std::filesystem::create_directory(m_file);
    support::ScriptedModalBoxes boxes;
    HandlerGuard guard(boxes);
    guard.run([] {
        SaveSetting(kApplication, kSection, QString::fromLatin1(kAccessPasswordKey),
                    QStringLiteral("hunter2"));
    });
    ASSERT_EQ(boxes.notices().size(), 1u);
    EXPECT_TRUE(boxes.notices()[0].text.contains(QStringLiteral("Quillmere.conf")));
    EXPECT_FALSE(boxes.notices()[0].text.contains(QStringLiteral("hunter2")));
}

// Sets or clears the file's immutable flag; false when this system does not let the test do so.
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

TEST_F(SettingsStore, anImmutableFileRefusesTheWriteAndKeepsItsValue) {
    SaveSetting(kApplication, kSection, QString::fromLatin1(kAccessMDBFileKey),
                QStringLiteral("/kept.mdb"));
    if (!setImmutable(m_file, true)) {
        GTEST_SKIP() << "this system does not let the test make a file immutable";
    }
    EXPECT_THROW(SaveSetting(kApplication, kSection, QString::fromLatin1(kAccessMDBFileKey),
                             QStringLiteral("/new.mdb")),
                 SettingsError);
    ASSERT_TRUE(setImmutable(m_file, false));
    std::ifstream in(m_file);
    const std::string stored{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    EXPECT_NE(stored.find("/kept.mdb"), std::string::npos) << stored;
    EXPECT_EQ(stored.find("/new.mdb"), std::string::npos) << stored;
}

TEST_F(SettingsStore, anApplicationNameCannotLeaveTheSettingsFolder) {
    EXPECT_THROW(
        SaveSetting(QStringLiteral("../x"), kSection, QStringLiteral("k"), QStringLiteral("v")),
        SettingsError);
    EXPECT_THROW(GetSetting(QString(), kSection, QStringLiteral("k")), SettingsError);
}

}  // namespace
}  // namespace app
