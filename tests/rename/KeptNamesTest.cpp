#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "rename/KeptNames.h"

namespace {

TEST(KeepOldNamesFree, ClearsEveryFileThatWouldTakeAKeptNameAndSoOn)
{
    // The second file keeps C:\d\A; the third was to take it (in another case) and keeps C:\d\b,
    // which the first was to take; the last takes a name nobody keeps.
    std::vector<std::wstring> newPaths{L"C:\\d\\B", L"", L"C:\\d\\a", L"C:\\d\\Z"};
    const std::vector<std::wstring> oldPaths{L"C:\\d\\x", L"C:\\D\\A", L"C:\\d\\b", L"C:\\d\\y"};
    EXPECT_EQ(KeepOldNamesFree(newPaths, oldPaths), (std::vector<std::size_t>{2, 0}));
    EXPECT_EQ(newPaths, (std::vector<std::wstring>{L"", L"", L"", L"C:\\d\\Z"}));

    // A rotation where everyone moves keeps nobody.
    std::vector<std::wstring> rotation{L"C:\\d\\b", L"C:\\d\\c", L"C:\\d\\a"};
    EXPECT_TRUE(KeepOldNamesFree(rotation, {L"C:\\d\\a", L"C:\\d\\b", L"C:\\d\\c"}).empty());
    EXPECT_EQ(rotation, (std::vector<std::wstring>{L"C:\\d\\b", L"C:\\d\\c", L"C:\\d\\a"}));
}

} // namespace
