// Files moved aside, and files left under a temporary name, follow the folders of the batch that
// move after them: by path text alone, so these need no files.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "rename/MovedFiles.h"
#include "rename/StrandedFiles.h"
#include "support/DiagnosticCapture.h"

namespace {

class MovedFilesTest : public ::testing::Test {
protected:
    void MoveAside(const std::wstring& from, const std::wstring& to)
    {
        oldNames.push_back(from);
        temporaryNames.push_back(to);
        moved.Added();
    }

    std::vector<std::wstring> temporaryNames;
    std::vector<std::wstring> oldNames;
    MovedFiles moved{temporaryNames, oldNames};
};

TEST_F(MovedFilesTest, WhatWasMovedAsideInAFolderFollowsItAtEveryDepth)
{
    MoveAside(L"C:\\d\\X\\Y\\f.txt", L"C:\\d\\X\\Y\\qms1.tmp");
    MoveAside(L"C:\\d\\x\\g", L"C:\\d\\x\\qms2.tmp");
    // A folder whose name only begins like X's is another folder.
    MoveAside(L"C:\\d\\XY\\h", L"C:\\d\\XY\\qms3.tmp");
    MoveAside(L"C:\\d\\X\\Y", L"C:\\d\\X\\qms4.tmp");
    MoveAside(L"C:\\D\\X", L"C:\\D\\qms5.tmp");

    EXPECT_EQ(temporaryNames, (std::vector<std::wstring>{L"C:\\D\\qms5.tmp\\qms4.tmp\\qms1.tmp",
                                                         L"C:\\D\\qms5.tmp\\qms2.tmp", L"C:\\d\\XY\\qms3.tmp",
                                                         L"C:\\D\\qms5.tmp\\qms4.tmp", L"C:\\D\\qms5.tmp"}));
    EXPECT_EQ(oldNames, (std::vector<std::wstring>{L"C:\\D\\qms5.tmp\\qms4.tmp\\f.txt", L"C:\\D\\qms5.tmp\\g",
                                                   L"C:\\d\\XY\\h", L"C:\\D\\qms5.tmp\\Y", L"C:\\D\\X"}));
    EXPECT_TRUE(moved.HoldsAny(L"C:\\d\\QMS5.TMP"));
    EXPECT_TRUE(moved.HoldsAny(L"C:\\d"));
    EXPECT_FALSE(moved.HoldsAny(L"C:\\d\\X"));
    EXPECT_FALSE(moved.HoldsAny(L"C:\\d\\qms5.tmp\\qms1.tmp"));
}

TEST_F(MovedFilesTest, AFolderStaysOutOfReachWhenAPathInsideWouldOutgrowTheLimit)
{
    MoveAside(L"C:\\d\\X\\long name.txt", L"C:\\d\\X\\qms1.tmp");
    // 20 units now, "C:\d\qms2.tmp\long name.txt" after X moves: 27.
    EXPECT_TRUE(moved.KeepsInReach(L"C:\\d\\X", L"C:\\d\\qms2.tmp", 27));
    EXPECT_FALSE(moved.KeepsInReach(L"C:\\d\\X", L"C:\\d\\qms2.tmp", 26));
    EXPECT_TRUE(moved.KeepsInReach(L"C:\\d\\Z", L"C:\\d\\qms2.tmp", 1));
}

TEST(StrandedFiles, EachLineSaysWhereTheFileEndedAfterItsFoldersMoved)
{
    DiagnosticCapture diagnostics;
    StrandedFiles stranded;
    stranded.Add(L"C:\\d\\qms1.tmp\\qms2.tmp", L"C:\\d\\qms1.tmp\\f.txt");
    stranded.Add(L"C:\\d\\XY\\qms3.tmp", L"C:\\d\\XY\\g");
    stranded.FollowMovedFolder(L"C:\\d\\QMS1.tmp", L"C:\\d\\B");
    stranded.FollowMovedFolder(L"C:\\d\\X", L"C:\\d\\C");
    stranded.Report();
    EXPECT_EQ(diagnostics.Text(),
              L"FilesRenamer::Rename: File left under a temporary name: C:\\d\\B\\qms2.tmp (old name: C:\\d\\B\\f.txt)\n"
              L"FilesRenamer::Rename: File left under a temporary name: C:\\d\\XY\\qms3.tmp (old name: C:\\d\\XY\\g)\n");
    // Reported once: a second report says nothing.
    const std::wstring reported = diagnostics.Text();
    stranded.FollowMovedFolder(L"C:\\d\\B", L"C:\\d\\E");
    stranded.Report();
    EXPECT_EQ(diagnostics.Text(), reported);
}

} // namespace
