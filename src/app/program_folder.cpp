#include "app/program_folder.h"

#include <QCoreApplication>
#include <QDir>

#include <cassert>

namespace app {
namespace {

QString& replacedFolder() {
    static QString folder;
    return folder;
}

}  // namespace

QString programFolder() {
    if (!replacedFolder().isEmpty()) {
        return replacedFolder();
    }
    assert(QCoreApplication::instance() != nullptr);
    return QDir::toNativeSeparators(QCoreApplication::applicationDirPath());
}

void setProgramFolder(const QString& folder) { replacedFolder() = folder; }

QString pathBesideProgram(const QString& relative) {
    return QDir::toNativeSeparators(QDir::fromNativeSeparators(programFolder()) + QLatin1Char('/') +
                                    relative);
}

}  // namespace app
