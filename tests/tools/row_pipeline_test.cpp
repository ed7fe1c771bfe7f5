// Rows handed from the reading thread to a second one: all of them, in order, with memory
// bounded by what is in flight, and errors from either side reported after the rows before them.
#include "row_pipeline.h"

#include <atomic>
#include <gtest/gtest.h>
#include <stdexcept>

namespace tools {
namespace {

using engine::format::Value;

// A source of `rows` numbered rows, each with a text of `textBytes` bytes, that throws on the
// row numbered `failAt`; it keeps count of the rows handed out.
struct CountingSource {
    int rows = 0;
    size_t textBytes = 0;
    int failAt = -1;
    std::atomic<int> handedOut{0};

    bool operator()(std::vector<Value>& row) {
        const int number = handedOut.load();
        if (number == failAt) throw std::runtime_error("damaged page");
        if (number == rows) return false;
        row = {Value(int32_t{number}), Value(std::string(textBytes, 'a' + number % 26))};
        handedOut.store(number + 1);
        return true;
    }
};

RowSource sourceOf(CountingSource& source) {
    return [&](std::vector<Value>& row) { return source(row); };
}

// On a second thread and, for machines with one processor, on the calling thread itself.
class RowPipeline : public testing::TestWithParam<bool> {
protected:
    void pipe(const RowSource& next, const RowSink& take) { pipeRows(next, take, GetParam()); }
};

TEST_P(RowPipeline, everyRowArrivesOnceInOrderWithFewInFlight) {
    // Small rows fill batches by count; rows of a megabyte end a batch each.
    for (const auto& [rows, textBytes, mostInFlight] : {std::tuple{5000, size_t{3}, 3 * 512},
                                                        {12, size_t{1} << 20, 3},
                                                        {0, size_t{0}, 0},
                                                        {1, size_t{0}, 1}}) {
        CountingSource source{.rows = rows, .textBytes = textBytes};
        int taken = 0;
        int inFlight = 0;
        pipe(sourceOf(source), [&](const std::vector<Value>& row) {
            ASSERT_EQ(row.size(), 2u);
            EXPECT_EQ(std::get<int32_t>(row[0]), taken);
            EXPECT_EQ(std::get<std::string>(row[1]),
                      std::string(textBytes, static_cast<char>('a' + taken % 26)));
            inFlight = std::max(inFlight, source.handedOut.load() - taken);
            ++taken;
        });
        EXPECT_EQ(taken, rows);
        EXPECT_LE(inFlight, mostInFlight) << rows << " rows of " << textBytes << " bytes";
    }
}

TEST_P(RowPipeline, rowsReadBeforeAReadingErrorArriveAndTheErrorFollows) {
    for (int failAt : {0, 1, 511, 512, 513, 2000}) {
        CountingSource source{.rows = 5000, .failAt = failAt};
        int taken = 0;
        try {
            pipe(sourceOf(source), [&](const std::vector<Value>&) { ++taken; });
            ADD_FAILURE() << "no error for a failure at row " << failAt;
        } catch (const std::runtime_error& error) {
            EXPECT_STREQ(error.what(), "damaged page");
        }
        EXPECT_EQ(taken, failAt);
    }
}

TEST_P(RowPipeline, anErrorWhileTakingStopsTheReadingAndIsReported) {
    CountingSource source{.rows = 1000000};
    int taken = 0;
    EXPECT_THROW(pipe(sourceOf(source),
                      [&](const std::vector<Value>&) {
                          if (++taken == 700) throw std::length_error("disk full");
                      }),
                 std::length_error);
    EXPECT_EQ(taken, 700);
    // Reading stops at the end of the batch it was in, a few batches past the failing row.
    EXPECT_LT(source.handedOut.load(), 700 + 4 * 512);

    // When both sides fail, the taking side's error is the one reported: it came first, and
    // it is why the rows stop.
    CountingSource failing{.rows = 1000000, .failAt = 10};
    EXPECT_THROW(pipe(sourceOf(failing),
                      [&](const std::vector<Value>&) { throw std::length_error("disk full"); }),
                 std::length_error);
}

INSTANTIATE_TEST_SUITE_P(BothThreadings, RowPipeline, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& info) {
                             return std::string(info.param ? "SecondThread" : "SameThread");
                         });

}  // namespace
}  // namespace tools
