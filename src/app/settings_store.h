// The per-user settings store: text values addressed by application, section and key, kept
// between runs. Each application has one INI file in the user's configuration folder
// ($XDG_CONFIG_HOME, usually ~/.config), named after it ("Quillmere.conf"); a section is a group
// of that file. Every write reaches the disk before SaveSetting returns, so closing the program
// at any moment loses nothing.
//
// Passwords are kept in the store as typed, so the file is readable and writable by its owner
// only (mode 0600): it is created so, and put back so when found otherwise.
#pragma once

#include <QString>

#include <stdexcept>

namespace app {

// Where the program keeps its values.
inline constexpr char kSettingsApplication[] = "Quillmere";
inline constexpr char kSettingsSection[] = "Corvanta";
inline constexpr char kAccessMDBFileKey[] = "AccessMDBFile";
inline constexpr char kAccessPasswordKey[] = "AccessPassword";
inline constexpr char kAccessMDBFile2Key[] = "AccessMDBFile2";
inline constexpr char kAccessPassword2Key[] = "AccessPassword2";

// A store that cannot be read or refuses a write. The text names the file, never a value.
class SettingsError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The stored text, or defaultValue when the key is absent.
QString GetSetting(const QString& application, const QString& section, const QString& key,
                   const QString& defaultValue = QString());

// Stores the text, creating the file, section and key as needed and replacing any earlier value.
void SaveSetting(const QString& application, const QString& section, const QString& key,
                 const QString& value);

// The folder that holds the settings files (a SettingsError when the user has none). Tests point
// it elsewhere with setSettingsFolder; an empty text returns to the user's configuration folder.
QString settingsFolder();
void setSettingsFolder(const QString& folder);

// The file that holds an application's settings.
QString settingsFilePath(const QString& application);

}  // namespace app
