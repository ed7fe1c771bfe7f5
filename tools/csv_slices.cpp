#include "csv_slices.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <system_error>

namespace tools {

namespace {

std::unique_ptr<std::istream> openFile(const std::string& path) {
    auto in = std::make_unique<std::ifstream>(path, std::ios::binary);
    if (!*in) throw CsvError(1, "the file could not be read");
    return in;
}

}  // namespace

CsvSlices::CsvSlices(const std::string& path, uint64_t start, uint64_t startLine, size_t width,
                     const std::function<std::unique_ptr<Records>()>& makeRecords, unsigned workers)
    : m_start(start), m_width(width), m_offset(start), m_line(startLine) {
    std::error_code error;
    m_size = std::filesystem::file_size(path, error);
    if (error) throw CsvError(1, "the file could not be read");
    m_slices = m_size > start ? (m_size - start + kSliceBytes - 1) / kSliceBytes : 1;
    m_in = openFile(path);
    // One slice read by each worker, one handed back, one read by the calling thread or
    // waiting.
    m_held.resize(workers == 0 ? 1 : workers + 2);
    for (Held& held : m_held) held.records = makeRecords();
    // Every worker's stream is opened before any worker starts, so that a failure to open one
    // leaves no thread running.
    std::vector<std::unique_ptr<std::istream>> streams;
    for (unsigned at = 0; at < workers; ++at) streams.push_back(openFile(path));
    try {
        for (auto& stream : streams) {
            m_workers.emplace_back([this, in = std::move(stream)]() mutable { work(*in); });
        }
    } catch (const std::system_error&) {
        // Fewer threads than asked for: those started do the work, or next() alone.
    }
}

CsvSlices::~CsvSlices() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
    for (std::thread& worker : m_workers) worker.join();
}

uint64_t CsvSlices::endOf(uint64_t index) const {
    if (index + 1 >= m_slices) return std::numeric_limits<uint64_t>::max();
    return m_start + (index + 1) * kSliceBytes;
}

uint64_t CsvSlices::supposedBegin(std::istream& in, uint64_t index) const {
    if (index == 0) return m_start;
    // A record may begin on the stretch's first byte: the line end before it counts.
    uint64_t at = m_start + index * kSliceBytes - 1;
    in.clear();
    in.seekg(static_cast<std::streamoff>(at));
    char buffer[4096];
    while (in) {
        in.read(buffer, sizeof buffer);
        const auto count = static_cast<size_t>(in.gcount());
        if (count == 0) break;
        if (const void* found = std::memchr(buffer, '\n', count)) {
            return at + static_cast<uint64_t>(static_cast<const char*>(found) - buffer) + 1;
        }
        at += count;
    }
    return m_size;
}

void CsvSlices::read(std::istream& in, uint64_t begin, Held& held) const {
    held.records->clear();
    held.begin = begin;
    held.stoppedAt = begin;
    held.lines = 0;
    held.error = nullptr;
    held.errorLine = 0;
    const uint64_t end = endOf(held.index);
    if (begin >= end || begin >= m_size) return;
    in.clear();
    in.seekg(static_cast<std::streamoff>(begin));
    CsvReader reader(in, CsvReader::Inside{});
    std::vector<CsvField> fields;
    try {
        while (begin + reader.offset() < end && reader.next(fields)) {
            if (fields.size() != m_width) {
                throw CsvError(reader.line(), "the record has " + std::to_string(fields.size()) +
                                                  " fields, the first line " +
                                                  std::to_string(m_width));
            }
            held.records->add(fields, reader.line());
        }
    } catch (...) {
        held.error = std::current_exception();
        held.errorLine = reader.line();
    }
    held.stoppedAt = begin + reader.offset();
    held.lines = reader.nextLine() - 1;
}

void CsvSlices::work(std::istream& in) {
    for (;;) {
        Held* taken = nullptr;
        {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [&] {
                if (m_stopping || m_nextToRead == m_slices) return true;
                return std::any_of(m_held.begin(), m_held.end(),
                                   [](const Held& held) { return held.state == State::Free; });
            });
            if (m_stopping || m_nextToRead == m_slices) return;
            for (Held& held : m_held) {
                if (held.state == State::Free) {
                    taken = &held;
                    break;
                }
            }
            taken->state = State::Reading;
            taken->index = m_nextToRead++;
        }
        try {
            read(in, supposedBegin(in, taken->index), *taken);
        } catch (...) {
            taken->error = std::current_exception();  // no memory left, for one
        }
        {
            std::lock_guard lock(m_mutex);
            taken->state = State::Read;
        }
        m_changed.notify_all();
    }
}

const CsvSlices::Slice* CsvSlices::next() {
    {
        std::lock_guard lock(m_mutex);
        if (m_current) m_current->state = State::Free;
    }
    m_current = nullptr;
    m_changed.notify_all();
    if (m_nextToHand == m_slices) return nullptr;

    Held* held = nullptr;
    {
        // While the slice wanted is not read, this thread reads the next one no worker has
        // begun rather than wait (the wanted one from where it truly begins).
        std::unique_lock lock(m_mutex);
        for (;;) {
            for (Held& candidate : m_held) {
                if (candidate.state == State::Read && candidate.index == m_nextToHand) {
                    held = &candidate;
                }
            }
            if (held) break;
            const auto free = std::find_if(m_held.begin(), m_held.end(), [](const Held& candidate) {
                return candidate.state == State::Free;
            });
            if (free == m_held.end() || m_nextToRead == m_slices) {
                m_changed.wait(lock);
                continue;
            }
            Held& taken = *free;
            taken.state = State::Reading;
            taken.index = m_nextToRead++;
            lock.unlock();
            read(*m_in, taken.index == m_nextToHand ? m_offset : supposedBegin(*m_in, taken.index),
                 taken);
            lock.lock();
            taken.state = State::Read;
        }
    }
    m_current = held;
    ++m_nextToHand;
    if (held->begin != m_offset) {
        // The line end it began after lay inside a quoted field (or the slice before ran
        // past its whole stretch): it is read again from where its first record truly begins.
        read(*m_in, m_offset, *held);
    }
    Slice& slice = held->slice;
    slice = Slice{.records = held->records.get(), .firstLine = m_line, .end = held->stoppedAt};
    if (held->error) {
        slice.errorLine = m_line + held->errorLine - 1;
        try {
            std::rethrow_exception(held->error);
        } catch (const CsvError& error) {
            slice.error =
                std::make_exception_ptr(CsvError(m_line + error.line() - 1, error.reason()));
        } catch (...) {
            slice.error = held->error;
        }
    }
    m_offset = held->stoppedAt;
    m_line += held->lines;
    return &slice;
}

}  // namespace tools
