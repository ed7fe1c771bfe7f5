// The lock file's name beside a database, as Access names it.
#include "engine/storage/access_lock_file.h"

#include <gtest/gtest.h>

namespace engine::storage {
namespace {

TEST(AccessLockFileName, followsTheDatabasesExtension) {
    EXPECT_EQ(AccessLockFile::pathFor("/data/sales.mdb"), "/data/sales.ldb");
    EXPECT_EQ(AccessLockFile::pathFor("/data/SALES.MDB"), "/data/SALES.ldb");
    EXPECT_EQ(AccessLockFile::pathFor("/data/sales.mde"), "/data/sales.ldb");
    EXPECT_EQ(AccessLockFile::pathFor("/data/sales.accdb"), "/data/sales.laccdb");
    EXPECT_EQ(AccessLockFile::pathFor("/data/Sales.ACCDE"), "/data/Sales.laccdb");
    EXPECT_EQ(AccessLockFile::pathFor("/data/sales"), "/data/sales.ldb");
    EXPECT_EQ(AccessLockFile::pathFor("/data/my.sales.accdb"), "/data/my.sales.laccdb");
    // A database named like a lock file would be its own lock file: it gets none.
    EXPECT_EQ(AccessLockFile::pathFor("/data/odd.ldb"), "/data/odd.ldb");
}

}  // namespace
}  // namespace engine::storage
