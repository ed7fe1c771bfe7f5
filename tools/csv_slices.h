// Reading the records of a CSV file on several threads at once, handed back in file order.
//
// The records after the first line are cut into slices by where they begin: slice k holds the
// records that begin in the k-th stretch of kSliceBytes. A worker reads a slice from the first
// line end in its stretch (or just before it), supposing a record begins after it. That holds
// unless the line end lies inside a quoted field, so each slice is checked as it is handed back:
// it counts only when it began where the slice before it ended, and is read again from there
// otherwise, on the calling thread. Lines are counted from each slice's first record and made
// the file's own on hand-back, so what is handed back is what one reader, reading the whole
// file in turn, would have read, errors and their lines included.
//
// At most a few slices are held at a time, whatever the length of the file.
#pragma once

#include "csv_reader.h"

#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tools {

class CsvSlices {
public:
    static constexpr uint64_t kSliceBytes = uint64_t{1} << 19;

    // What a worker does with the records of one slice: one object per slice held, reused
    // from slice to slice.
    class Records {
    public:
        virtual ~Records() = default;
        // A slice begins: what the last one left goes.
        virtual void clear() = 0;
        // One record of the slice; line is the line it begins on, counted from the slice's
        // first record (1). Fields may be taken. What it throws ends the slice: the error is
        // handed back after the records before it.
        virtual void add(std::vector<CsvField>& fields, uint64_t line) = 0;
    };

    struct Slice {
        Records* records = nullptr;
        uint64_t firstLine = 0;  // the file's line the slice's line 1 is
        uint64_t end = 0;        // how many bytes of the file its records and all before take
        // What ended the slice early, if anything: a CsvError names the file's line; for any
        // other error, errorLine is the file's line of the record that threw.
        std::exception_ptr error;
        uint64_t errorLine = 0;
    };

    // Reads the file at path from offset start, where a record begins on line startLine.
    // Every record must hold width fields. makeRecords gives each slice held its Records.
    // workers is how many threads read besides the one calling next(), which reads too.
    CsvSlices(const std::string& path, uint64_t start, uint64_t startLine, size_t width,
              const std::function<std::unique_ptr<Records>()>& makeRecords, unsigned workers);
    // Stops the workers, each at the end of the slice it reads, and waits for them.
    ~CsvSlices();
    CsvSlices(const CsvSlices&) = delete;
    CsvSlices& operator=(const CsvSlices&) = delete;

    // The next slice in file order, or null after the last. While it is not read, the calling
    // thread reads the next slices no worker has begun. The slice returned before goes back to
    // the workers, and its records with it.
    const Slice* next();
    // The file's length in bytes.
    uint64_t size() const { return m_size; }

private:
    enum class State { Free, Reading, Read };
    struct Held {
        std::unique_ptr<Records> records;
        State state = State::Free;
        uint64_t index = 0;      // the slice it holds
        uint64_t begin = 0;      // where its first record was supposed to begin
        uint64_t stoppedAt = 0;  // where the record after its last begins
        uint64_t lines = 0;      // the lines its records take
        std::exception_ptr error;
        uint64_t errorLine = 0;  // counted from the slice's first record
        Slice slice;
    };

    uint64_t endOf(uint64_t index) const;
    // Where slice index supposedly begins: after the first line end in its stretch.
    uint64_t supposedBegin(std::istream& in, uint64_t index) const;
    // Reads slice index of held from begin, with in, which may stand anywhere.
    void read(std::istream& in, uint64_t begin, Held& held) const;
    // A worker: reads slices with in until none is left or it is stopped.
    void work(std::istream& in);

    uint64_t m_start;
    uint64_t m_size = 0;
    uint64_t m_slices = 0;
    size_t m_width;
    std::vector<Held> m_held;

    std::mutex m_mutex;
    std::condition_variable m_changed;
    uint64_t m_nextToRead = 0;  // under the mutex, as every Held's state and index
    bool m_stopping = false;
    std::vector<std::thread> m_workers;

    // The calling thread's own.
    std::unique_ptr<std::istream> m_in;  // for the slices this thread reads
    Held* m_current = nullptr;
    uint64_t m_nextToHand = 0;
    uint64_t m_offset;  // where the next slice's first record truly begins
    uint64_t m_line;    // and its line
};

}  // namespace tools
