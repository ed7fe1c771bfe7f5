#include "app/settings_store.h"

#include "app/handler_guard.h"
#include "support/app/replaced_folders.h"
#include "support/app/scripted_modal_boxes.h"
#include "support/fixtures.h"

#include <QSettings>

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>

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

// A file that can be read but not written (immutable here; a read-only folder or mount is the
// same to the store): each write is refused and leaves the file as it was, and every value is
// read, before and after a refused write.
TEST_F(SettingsStore, anImmutableFileRefusesWritesAndIsStillRead) {
    const QString first = QString::fromLatin1(kAccessMDBFileKey);
    const QString second = QString::fromLatin1(kAccessMDBFile2Key);
    SaveSetting(kApplication, kSection, first, QStringLiteral("/one.mdb"));
    SaveSetting(kApplication, kSection, second, QStringLiteral("/two.mdb"));
    {
        support::ImmutableFile immutable(m_file);
        if (!immutable.made()) GTEST_SKIP() << "this system cannot make a file immutable";
        EXPECT_EQ(GetSetting(kApplication, kSection, first), QStringLiteral("/one.mdb"));
        for (int attempt = 0; attempt < 2; ++attempt) {
            EXPECT_THROW(SaveSetting(kApplication, kSection, first, QStringLiteral("/new.mdb")),
                         SettingsError);
            EXPECT_EQ(GetSetting(kApplication, kSection, second), QStringLiteral("/two.mdb"));
            EXPECT_EQ(GetSetting(kApplication, kSection, first), QStringLiteral("/one.mdb"));
        }
    }
    std::ifstream in(m_file);
    const std::string stored{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    EXPECT_NE(stored.find("/one.mdb"), std::string::npos) << stored;
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
