// A CSV file read in slices, on worker threads or none: the records and lines handed back, and
// the first fault with its line, are those one reader reading the whole file in turn finds,
// wherever the slices' supposed starts fall (inside quoted fields of many lines, inside a field
// longer than a slice, on a record's first byte).
#include "csv_slices.h"

#include "support/fixtures.h"

#include <fstream>
#include <gtest/gtest.h>
#include <random>
#include <sstream>

namespace tools {
namespace {

constexpr size_t kWidth = 3;

struct Record {
    uint64_t line = 0;
    std::vector<std::string> fields;
    bool operator==(const Record&) const = default;
};

// What was read: every record, then the fault that ended the reading ("" for none).
struct Reading {
    std::vector<Record> records;
    std::string fault;
};

class Collected : public CsvSlices::Records {
public:
    void clear() override { records.clear(); }
    void add(std::vector<CsvField>& fields, uint64_t line) override {
        Record record{.line = line};
        for (const auto& field : fields) record.fields.emplace_back(field.text);
        records.push_back(std::move(record));
    }
    std::vector<Record> records;
};

Reading readWhole(const std::string& file) {
    std::istringstream in(file);
    CsvReader reader(in);
    std::vector<CsvField> fields;
    reader.next(fields);  // the first line names the columns
    Reading reading;
    try {
        while (reader.next(fields)) {
            if (fields.size() != kWidth) {
                throw CsvError(reader.line(), "the record has " + std::to_string(fields.size()) +
                                                  " fields, the first line " +
                                                  std::to_string(kWidth));
            }
            Record record{.line = reader.line()};
            for (const auto& field : fields) record.fields.emplace_back(field.text);
            reading.records.push_back(std::move(record));
        }
    } catch (const CsvError& error) {
        reading.fault = error.what();
    }
    return reading;
}

Reading readInSlices(const std::filesystem::path& path, const std::string& file, unsigned workers) {
    const size_t header = file.find('\n') + 1;
    CsvSlices slices(
        path.string(), header, 2, kWidth, [] { return std::make_unique<Collected>(); }, workers);
    Reading reading;
    try {
        while (const CsvSlices::Slice* slice = slices.next()) {
            for (Record record : static_cast<Collected*>(slice->records)->records) {
                record.line += slice->firstLine - 1;
                reading.records.push_back(std::move(record));
            }
            if (slice->error) std::rethrow_exception(slice->error);
        }
    } catch (const CsvError& error) {
        reading.fault = error.what();
    }
    return reading;
}

// A file of several slices: short records, quoted fields of many lines, now and then one field
// longer than a slice, and (when faultAt is not 0) a record of four fields after faultAt bytes.
std::string makeFile(uint32_t seed, size_t faultAt) {
    std::mt19937 random(seed);
    std::string file = "A,B,C\n";
    bool faulted = false;
    while (file.size() < 5 * CsvSlices::kSliceBytes) {
        for (size_t at = 0; at < kWidth; ++at) {
            if (at > 0) file += ',';
            const auto kind = random() % 100;
            if (kind < 60) {
                file += std::to_string(random());
            } else if (kind < 99) {
                file += '"';
                const size_t lines = random() % 4;
                for (size_t line = 0; line < lines; ++line) file += "a, \"\"quoted\"\" line\n";
                file += "end\"";
            } else if (random() % 20 == 0) {
                file += '"' + std::string(CsvSlices::kSliceBytes + random() % 1000, 'x') + "\n\"";
            }
        }
        if (faultAt != 0 && !faulted && file.size() > faultAt) {
            file += ",extra";
            faulted = true;
        }
        file += random() % 2 ? "\n" : "\r\n";
    }
    return file;
}

TEST(CsvSlices, handBackWhatOneReaderReadsWithTheSameFaultAndLine) {
    support::TempDir folder;
    const auto path = folder / "sliced.csv";
    int compared = 0;
    for (uint32_t seed = 1; seed <= 4; ++seed) {
        for (const size_t faultAt : {size_t{0}, 3 * CsvSlices::kSliceBytes + seed * 1000}) {
            const std::string file = makeFile(seed, faultAt);
            std::ofstream(path, std::ios::binary) << file;
            const Reading whole = readWhole(file);
            EXPECT_EQ(whole.fault.empty(), faultAt == 0) << whole.fault;
            for (const unsigned workers : {0u, 1u, 2u, 4u}) {
                SCOPED_TRACE("seed " + std::to_string(seed) + ", fault after " +
                             std::to_string(faultAt) + ", " + std::to_string(workers) + " workers");
                const Reading sliced = readInSlices(path, file, workers);
                EXPECT_EQ(sliced.fault, whole.fault);
                ASSERT_EQ(sliced.records.size(), whole.records.size());
                EXPECT_TRUE(sliced.records == whole.records);
                ++compared;
            }
        }
    }
    EXPECT_EQ(compared, 32);
}

}  // namespace
}  // namespace tools
