#include "ui/selection/web_site_draw.h"

#include <QDesktopServices>
#include <QTime>
#include <QUrl>

namespace ui {

void TimeSeededRandom::seedFromTimeOfDay() {
    m_generator.seed(
        static_cast<std::mt19937::result_type>(QTime::currentTime().msecsSinceStartOfDay()));
}

double TimeSeededRandom::next() {
    // Every 32-bit value over 2^32 is exact in a double and below 1.
    return m_generator() / 4294967296.0;
}

void DesktopAddressOpener::open(const QString& address) {
    QDesktopServices::openUrl(QUrl(address));
}

void webSiteDraw(RandomSource& random, AddressOpener& opener) {
    random.seedFromTimeOfDay();
    const int number = static_cast<int>(random.next() * 100) + 1;
    if (number == kWebSiteNumber) {
        opener.open(QString::fromLatin1(kMakerWebSite));
    }
}

}  // namespace ui
