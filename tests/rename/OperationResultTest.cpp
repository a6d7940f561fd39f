#include <gtest/gtest.h>

#include "rename/OperationResult.h"

namespace {

TEST(OperationResult, StartsEmptyAndEachSetReplacesEveryValueButTheEntries)
{
    OperationResult result;
    EXPECT_EQ(result.message, L"");
    EXPECT_TRUE(result.entries.empty());

    result.entries.push_back(L"kept");
    SetOperationResult(result, SomeFilesFailed, FilesRename, L"2 files failed to rename.", 3, 2);
    EXPECT_EQ(result.statusCode, 3);
    EXPECT_EQ(result.operationCode, 12);
    EXPECT_EQ(result.message, L"2 files failed to rename.");
    EXPECT_EQ(result.succeededCount, 3);
    EXPECT_EQ(result.failedCount, 2);

    SetOperationResult(result, UserDeclined, FilesRename, L"", 0, 5);
    EXPECT_EQ(result.statusCode, 6);
    EXPECT_EQ(result.message, L"");
    EXPECT_EQ(result.succeededCount, 0);
    EXPECT_EQ(result.failedCount, 5);
    ASSERT_EQ(result.entries.size(), 1u);
    EXPECT_EQ(result.entries[0], L"kept");
}

} // namespace
