// write-icon-theme FOLDER SIZE...: writes the application icon for the desktop's icon theme, as
// FOLDER/NxN/apps/corvanta.png for each size N, the layout of a freedesktop.org icon theme
// (installed into the "hicolor" theme, which every desktop falls back to).
#include "ui/layouts/application_icon.h"

#include <QDir>
#include <QImage>
#include <QString>

#include <iostream>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::cerr << "usage: write-icon-theme FOLDER SIZE...\n";
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    for (int index = 2; index < argc; ++index) {
        bool isNumber = false;
        const int size = QString::fromLatin1(argv[index]).toInt(&isNumber);
        if (!isNumber || size <= 0) {
            std::cerr << "write-icon-theme: not a size: " << argv[index] << '\n';
            return 2;
        }
        const QString apps = QStringLiteral("%1/%2x%2/apps").arg(folder).arg(size);
        const QString path = apps + QStringLiteral("/corvanta.png");
        if (!QDir().mkpath(apps) || !ui::applicationIconImage(size).save(path, "PNG")) {
            std::cerr << "write-icon-theme: cannot write " << path.toStdString() << '\n';
            return 1;
        }
    }
    return 0;
}
