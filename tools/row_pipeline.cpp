#include "row_pipeline.h"

#include <array>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>

namespace tools {

// A batch rows travel in.
struct RowBatch {
    // The rows keep their storage from batch to batch; only the first `count` are this batch's.
    std::vector<std::vector<engine::format::Value>> rows;
    size_t count = 0;
};

// What the two threads share, always under the mutex.
struct RowHandover {
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<RowBatch*> full;   // read, in order, waiting to be taken
    std::deque<RowBatch*> empty;  // free for reading into
    bool readingDone = false;
    bool takingStopped = false;
    std::exception_ptr takingError;
};

namespace {

using engine::format::Value;

// One batch is being read, one taken, one waits in between.
constexpr size_t kBatches = 3;
constexpr size_t kBatchRows = 512;
// Long texts and binary values end a batch early, so three batches of big memos or pictures
// stay a few megabytes.
constexpr size_t kBatchBytes = size_t{1} << 20;

size_t heldBytes(const std::vector<Value>& row) {
    size_t bytes = 0;
    for (const Value& value : row) {
        if (const auto* text = std::get_if<std::string>(&value)) {
            bytes += text->size();
        } else if (const auto* data = std::get_if<engine::format::ByteString>(&value)) {
            bytes += data->size();
        }
    }
    return bytes;
}

// Takes full batches until reading is done and none is left, or take throws.
void takeBatches(RowHandover& handover, const RowSink& take) {
    try {
        for (;;) {
            RowBatch* batch;
            {
                std::unique_lock lock(handover.mutex);
                handover.changed.wait(
                    lock, [&] { return !handover.full.empty() || handover.readingDone; });
                if (handover.full.empty()) return;
                batch = handover.full.front();
                handover.full.pop_front();
            }
            for (size_t index = 0; index < batch->count; ++index) take(batch->rows[index]);
            {
                std::lock_guard lock(handover.mutex);
                handover.empty.push_back(batch);
            }
            handover.changed.notify_all();
        }
    } catch (...) {
        {
            std::lock_guard lock(handover.mutex);
            handover.takingError = std::current_exception();
            handover.takingStopped = true;
        }
        handover.changed.notify_all();
    }
}

// Reads batches until next has no more rows, throws, or the taking side stopped. Returns
// next's error, if it threw.
std::exception_ptr readBatches(RowHandover& handover, const RowSource& next) {
    std::exception_ptr readingError;
    try {
        for (bool more = true; more;) {
            RowBatch* batch;
            {
                std::unique_lock lock(handover.mutex);
                handover.changed.wait(
                    lock, [&] { return !handover.empty.empty() || handover.takingStopped; });
                if (handover.takingStopped) break;
                batch = handover.empty.front();
                handover.empty.pop_front();
            }
            batch->count = 0;
            size_t bytes = 0;
            try {
                while (batch->count < kBatchRows && bytes < kBatchBytes) {
                    if (batch->rows.size() == batch->count) batch->rows.emplace_back();
                    if (!next(batch->rows[batch->count])) {
                        more = false;
                        break;
                    }
                    bytes += heldBytes(batch->rows[batch->count]);
                    ++batch->count;
                }
            } catch (...) {
                // The rows read so far still go out, ahead of the error.
                readingError = std::current_exception();
                more = false;
            }
            {
                std::lock_guard lock(handover.mutex);
                handover.full.push_back(batch);
            }
            handover.changed.notify_all();
        }
    } catch (...) {
        if (!readingError) readingError = std::current_exception();
    }
    return readingError;
}

// Each row taken as soon as it is read, on this thread.
void takeEachRow(const RowSource& next, const RowSink& take) {
    std::vector<Value> row;
    while (next(row)) take(row);
}

}  // namespace

void pipeRows(const RowSource& next, const RowSink& take) {
    pipeRows(next, take, std::thread::hardware_concurrency() != 1);
}

void pipeRows(const RowSource& next, const RowSink& take, bool onSecondThread) {
    if (!onSecondThread) {
        takeEachRow(next, take);
        return;
    }
    std::array<RowBatch, kBatches> batches;
    RowHandover handover;
    for (RowBatch& batch : batches) handover.empty.push_back(&batch);

    std::thread taker;
    try {
        taker = std::thread(takeBatches, std::ref(handover), std::cref(take));
    } catch (const std::system_error&) {
        // No second thread to be had.
        takeEachRow(next, take);
        return;
    }
    const std::exception_ptr readingError = readBatches(handover, next);
    {
        std::lock_guard lock(handover.mutex);
        handover.readingDone = true;
    }
    handover.changed.notify_all();
    taker.join();

    if (handover.takingError) std::rethrow_exception(handover.takingError);
    if (readingError) std::rethrow_exception(readingError);
}

}  // namespace tools
