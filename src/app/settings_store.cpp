#include "app/settings_store.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace app {
namespace {

constexpr QFile::Permissions kOwnerOnly = QFile::ReadOwner | QFile::WriteOwner;
// The permission bits of the file itself (QFile also reports what the current user may do).
constexpr QFile::Permissions kModeBits = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                         QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup |
                                         QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;

QString& replacedSettingsFolder() {
    static QString folder;
    return folder;
}

[[noreturn]] void fail(const QString& text) { throw SettingsError(text.toStdString()); }

QString keyPath(const QString& section, const QString& key) {
    return section + QLatin1Char('/') + key;
}

void limitToOwner(const QString& path) {
    if ((QFileInfo(path).permissions() & kModeBits) == kOwnerOnly) {
        return;
    }
    if (!QFile::setPermissions(path, kOwnerOnly)) {
        fail(QStringLiteral("The access rights of the settings file %1 cannot be limited to its "
                            "owner.")
                 .arg(path));
    }
}

// Makes sure the file exists with owner-only access before any value is written into it.
void preparePrivateFile(const QString& path) {
    const QFileInfo info(path);
    if (!QDir().mkpath(info.absolutePath())) {
        fail(QStringLiteral("The settings folder %1 cannot be created.").arg(info.absolutePath()));
    }
    if (!info.exists()) {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly, kOwnerOnly)) {
            fail(QStringLiteral("The settings file %1 cannot be created.").arg(path));
        }
        return;
    }
    if (!info.isFile()) {
        fail(QStringLiteral("The settings file %1 is not a plain file.").arg(path));
    }
    limitToOwner(path);
}

// A write QSettings cannot make stays pending in the file's shared state, where every later
// QSettings of the file tries it again and reports an access error even for a read. So a write is
// tried only where it can be made: the file opens for writing (an immutable file or a read-only
// mount refuses), and its folder takes QSettings's lock file and the replacement file.
void requireWritable(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite) ||
        !QFileInfo(QFileInfo(path).absolutePath()).isWritable()) {
        fail(QStringLiteral("The settings file %1 cannot be written.").arg(path));
    }
}

// Whether the file, if there is one, opens for reading.
bool readable(const QString& path) {
    QFile file(path);
    return !file.exists() || file.open(QIODevice::ReadOnly);
}

}  // namespace

QString settingsFolder() {
    if (!replacedSettingsFolder().isEmpty()) {
        return replacedSettingsFolder();
    }
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (folder.isEmpty()) {
        fail(QStringLiteral("There is no configuration folder for the settings."));
    }
    return folder;
}

void setSettingsFolder(const QString& folder) { replacedSettingsFolder() = folder; }

QString settingsFilePath(const QString& application) {
    if (application.isEmpty() || application.contains(QLatin1Char('/')) ||
        application.startsWith(QLatin1Char('.'))) {
        fail(QStringLiteral("\"%1\" cannot name a settings file.").arg(application));
    }
    return QDir(settingsFolder()).filePath(application + QStringLiteral(".conf"));
}

QString GetSetting(const QString& application, const QString& section, const QString& key,
                   const QString& defaultValue) {
    const QString path = settingsFilePath(application);
    QSettings settings(path, QSettings::IniFormat);
    // An access error is also what QSettings reports for a write it failed to make earlier; the
    // values are then those read from the file, with that write's on top.
    if (settings.status() == QSettings::AccessError && !readable(path)) {
        fail(QStringLiteral("The settings file %1 cannot be read.").arg(path));
    }
    return settings.value(keyPath(section, key), defaultValue).toString();
}

void SaveSetting(const QString& application, const QString& section, const QString& key,
                 const QString& value) {
    const QString path = settingsFilePath(application);
    preparePrivateFile(path);
    requireWritable(path);
    QSettings settings(path, QSettings::IniFormat);
    settings.setValue(keyPath(section, key), value);
    settings.sync();
    if (settings.status() != QSettings::NoError) {
        fail(QStringLiteral("The settings file %1 cannot be written.").arg(path));
    }
    // Writing replaces the file; keep the replacement private as well.
    limitToOwner(path);
}

}  // namespace app
