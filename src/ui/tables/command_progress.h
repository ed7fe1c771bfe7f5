// How far a long command of the table manager is, on the window's progress bar: the tables done
// of the tables the command is to work on, and within a table the rows copied of the rows it
// holds.
//
// Each time the bar moves, at most once every kRepaintInterval, the window is repainted and the
// window system's other requests (exposure, moves) are answered, but no input is taken: a key
// or click made meanwhile waits until the command has ended. So the window stays painted while
// the command runs on alone, on the one thread, as it would without the bar.
#pragma once

#include <QElapsedTimer>

#include <chrono>
#include <cstdint>

class QProgressBar;

namespace ui {

class CommandProgress {
public:
    static constexpr std::chrono::milliseconds kRepaintInterval{50};

    // tables: how many tables the command is to work on.
    CommandProgress(QProgressBar& bar, int tables);

    // The table being worked on is this far: rows done of the rows it holds (a copy's progress,
    // engine::CopyProgress).
    void rowsDone(uint64_t done, uint64_t total);
    // One more table is done.
    void tableDone();

private:
    // Moves the bar to the share of the work done, when it is time to.
    void show(double tablesDone);

    QProgressBar& m_bar;
    int m_tables;
    int m_tablesDone = 0;
    QElapsedTimer m_sinceShown;
};

}  // namespace ui
