// Points the program folder or the settings folder at a test's own folder for the life of the
// object, and back to the real one afterwards.
#pragma once

#include "app/program_folder.h"
#include "app/settings_store.h"

#include <QString>

#include <filesystem>

namespace support {

class ReplacedProgramFolder {
public:
    explicit ReplacedProgramFolder(const std::filesystem::path& folder) {
        app::setProgramFolder(QString::fromStdString(folder.string()));
    }
    ~ReplacedProgramFolder() { app::setProgramFolder(QString()); }
    ReplacedProgramFolder(const ReplacedProgramFolder&) = delete;
    ReplacedProgramFolder& operator=(const ReplacedProgramFolder&) = delete;
};

class ReplacedSettingsFolder {
public:
    explicit ReplacedSettingsFolder(const std::filesystem::path& folder) {
        app::setSettingsFolder(QString::fromStdString(folder.string()));
    }
    ~ReplacedSettingsFolder() { app::setSettingsFolder(QString()); }
    ReplacedSettingsFolder(const ReplacedSettingsFolder&) = delete;
    ReplacedSettingsFolder& operator=(const ReplacedSettingsFolder&) = delete;
};

}  // namespace support
