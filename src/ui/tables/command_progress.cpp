#include "ui/tables/command_progress.h"

#include <QCoreApplication>
#include <QProgressBar>

#include <algorithm>
#include <cmath>

namespace ui {

CommandProgress::CommandProgress(QProgressBar& bar, int tables) : m_bar(bar), m_tables(tables) {}

void CommandProgress::rowsDone(uint64_t done, uint64_t total) {
    // A table may hold more rows than its count says; its share never goes past one table.
    const double share = total == 0 ? 0.0 : std::min(1.0, static_cast<double>(done) / total);
    show(m_tablesDone + share);
}

void CommandProgress::tableDone() {
    ++m_tablesDone;
    show(m_tablesDone);
}

void CommandProgress::show(double tablesDone) {
    if (m_tables <= 0) {
        return;
    }
    const double share = std::clamp(tablesDone / m_tables, 0.0, 1.0);
    const int value =
        m_bar.minimum() + static_cast<int>(std::floor(share * (m_bar.maximum() - m_bar.minimum())));
    if (value == m_bar.value()) {
        return;
    }
    if (m_sinceShown.isValid() && m_sinceShown.elapsed() < kRepaintInterval.count()) {
        return;
    }
    m_sinceShown.start();
    m_bar.setValue(value);
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

}  // namespace ui
