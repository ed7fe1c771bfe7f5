#include "engine/sql/reserved_words.h"

#include <gtest/gtest.h>

namespace engine::sql {
namespace {

TEST(ReservedWords, knowsTheEnginesWordsInAnyLetterCase) {
    for (const char* word : {"Order", "Table", "Select", "From", "Into", "Where", "Drop", "Create",
                             "Insert", "Values", "ABSOLUTE", "zone", "current_timestamp", "Level",
                             "TableID", "Date", "Text", "Password", "Value"}) {
        EXPECT_TRUE(isReservedWord(word)) << word;
    }
}

TEST(ReservedWords, leavesOrdinaryNamesAlone) {
    for (const char* word : {"Orders", "Tables", "Name", "Customers", "a1", "NEW", "OLD", "Zones",
                             "Orde", "", "Ordér", "CURRENT_TIMESTAMPS", "Kunden"}) {
        EXPECT_FALSE(isReservedWord(word)) << word;
    }
}

}  // namespace
}  // namespace engine::sql
