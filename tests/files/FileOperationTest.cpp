// Shell deletes and renames on real files in the Wine prefix, with their log lines.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "files/DeleteFileOperation.h"
#include "files/RenameFileOperation.h"
#include "support/DiagnosticCapture.h"
#include "support/TestFiles.h"

namespace {

struct FlagsCase {
    bool confirm;
    bool silent;
    bool allowUndo;
    unsigned flags;
};

class ShellOperationFlagsTest : public ::testing::TestWithParam<FlagsCase> {};

TEST_P(ShellOperationFlagsTest, CombineAsTheShellExpects)
{
    const FlagsCase& c = GetParam();
    EXPECT_EQ(ShellOperationFlags(c.confirm, c.silent, c.allowUndo), c.flags);
}

INSTANTIATE_TEST_SUITE_P(Combinations, ShellOperationFlagsTest,
                         ::testing::Values(FlagsCase{false, true, false, 0x0614}, // placeholder removal
                                           FlagsCase{false, true, true, 0x0654},  // renames, recycling
                                           FlagsCase{true, false, false, 0x0200},
                                           FlagsCase{false, false, false, 0x0210},
                                           FlagsCase{true, true, true, 0x0644}));

bool AllZeroFrom(const wchar_t (&buffer)[shellPathUnits], std::size_t start)
{
    return std::all_of(buffer + start, buffer + shellPathUnits, [](wchar_t unit) { return unit == 0; });
}

TEST(FileOperation, BuffersAreZeroFilledAndNamedByTheirClass)
{
    const DeleteFileOperation remove(nullptr, L"C:\\a.txt", false, true, false);
    EXPECT_EQ(std::wstring(remove.sourcePath), L"C:\\a.txt");
    EXPECT_TRUE(AllZeroFrom(remove.sourcePath, 8));
    EXPECT_TRUE(AllZeroFrom(remove.destinationPath, 0));
    EXPECT_EQ(remove.operationName, L"DeleteFileOrFolder");
    EXPECT_FALSE(remove.allowUndo);

    const RenameFileOperation rename(nullptr, L"C:\\a.txt", L"C:\\b.txt", false, true);
    EXPECT_EQ(std::wstring(rename.destinationPath), L"C:\\b.txt");
    EXPECT_TRUE(AllZeroFrom(rename.destinationPath, 8));
    EXPECT_EQ(rename.operationName, L"RenameFileOrFolder");
    EXPECT_TRUE(rename.allowUndo) << "a rename is always undoable";
}

class ShellOperationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = MakeScratchFolder(L"shell operations");
    }

    std::wstring folder;
    DiagnosticCapture diagnostics;
};

TEST_F(ShellOperationTest, DeleteWithUndoSendsTheFileToTheRecycleBin)
{
    const std::wstring name = L"recycled " + std::to_wstring(GetTickCount()) + L" \u00e9.txt";
    const std::wstring path = folder + L"\\" + name;
    WriteFileBytes(path, "keep me");
    const std::string unixPath = ToUnixPath(path);

    DeleteFileOperation remove(nullptr, path.c_str(), false, true, true);
    EXPECT_TRUE(remove.Execute());
    EXPECT_EQ(diagnostics.Text(), L"DeleteFileOrFolder Success!\n");
    EXPECT_FALSE(PathExists(path));
    EXPECT_EQ(ReadFileBytes(TrashFilesFolder() + L"\\" + name), "keep me");
    EXPECT_EQ(TrashedItemOrigin(name), unixPath);
}

TEST_F(ShellOperationTest, DeleteWithUndoSendsAFolderToTheRecycleBin)
{
    const std::wstring name = L"recycled folder " + std::to_wstring(GetTickCount());
    const std::wstring path = folder + L"\\" + name;
    CreateFolder(path);
    WriteFileBytes(path + L"\\inner.txt", "inner");

    DeleteFileOperation remove(nullptr, path.c_str(), false, true, true);
    EXPECT_TRUE(remove.Execute());
    EXPECT_FALSE(PathExists(path));
    EXPECT_EQ(ReadFileBytes(TrashFilesFolder() + L"\\" + name + L"\\inner.txt"), "inner");
}

TEST_F(ShellOperationTest, DeleteWithoutUndoRemovesTheFileForGood)
{
    const std::wstring name = L"gone for good " + std::to_wstring(GetTickCount()) + L".txt";
    const std::wstring path = folder + L"\\" + name;
    WriteFileBytes(path, "bye");

    DeleteFileOperation remove(nullptr, path.c_str(), false, true, false);
    EXPECT_TRUE(remove.Execute());
    EXPECT_EQ(diagnostics.Text(), L"DeleteFileOrFolder Success!\n");
    EXPECT_FALSE(PathExists(path));
    EXPECT_FALSE(PathExists(TrashFilesFolder() + L"\\" + name));
}

TEST_F(ShellOperationTest, RenameMovesTheFileToTheNewPath)
{
    WriteFileBytes(folder + L"\\old.txt", "content");
    RenameFileOperation rename(nullptr, (folder + L"\\old.txt").c_str(), (folder + L"\\new \u20ac.txt").c_str(), false,
                               true);
    EXPECT_TRUE(rename.Execute());
    EXPECT_EQ(diagnostics.Text(), L"RenameFileOrFolder Success!\n");
    EXPECT_FALSE(PathExists(folder + L"\\old.txt"));
    EXPECT_EQ(ReadFileBytes(folder + L"\\new \u20ac.txt"), "content");
}

TEST_F(ShellOperationTest, RenameOfAMissingSourceFails)
{
    RenameFileOperation rename(nullptr, (folder + L"\\missing.txt").c_str(), (folder + L"\\new.txt").c_str(), false,
                               true);
    EXPECT_FALSE(rename.Execute());
    EXPECT_EQ(diagnostics.Text(), L"RenameFileOrFolder Failed!\n");
    EXPECT_FALSE(PathExists(folder + L"\\new.txt"));
}

TEST_F(ShellOperationTest, RenameToNothingIsRefused)
{
    WriteFileBytes(folder + L"\\stays.txt", "stays");
    RenameFileOperation rename(nullptr, (folder + L"\\stays.txt").c_str(), L"", false, true);
    EXPECT_FALSE(rename.Execute());
    EXPECT_EQ(diagnostics.Text(), L"RenameFileOrFolder Failed!\n");
    EXPECT_EQ(ListFolder(folder), std::vector<std::wstring>{L"stays.txt"});
}

TEST_F(ShellOperationTest, DeleteOfAMissingPathFails)
{
    DeleteFileOperation remove(nullptr, (folder + L"\\missing.txt").c_str(), false, true, true);
    EXPECT_FALSE(remove.Execute());
    EXPECT_EQ(diagnostics.Text(), L"DeleteFileOrFolder Failed!\n");
}

// A path of exactly `length` units inside `folder` (a sub-folder keeps every name under 255).
std::wstring PathOfLength(const std::wstring& folder, std::size_t length)
{
    const std::wstring sub = folder + L"\\" + std::wstring(120, L's');
    CreateFolder(sub);
    const std::size_t rest = length - sub.size() - 1;
    return sub + L"\\" + std::wstring(rest - 4, L'f') + L".txt";
}

TEST_F(ShellOperationTest, PathsOf258UnitsWork)
{
    const std::wstring source = PathOfLength(folder, 258);
    std::wstring destination = source;
    destination[destination.size() - 5] = L'g';
    ASSERT_EQ(source.size(), 258u);
    WriteFileBytes(source, "long");

    RenameFileOperation rename(nullptr, source.c_str(), destination.c_str(), false, true);
    EXPECT_TRUE(AllZeroFrom(rename.sourcePath, 258));
    EXPECT_TRUE(rename.Execute());
    EXPECT_EQ(ReadFileBytes(destination), "long");

    DeleteFileOperation remove(nullptr, destination.c_str(), false, true, false);
    EXPECT_TRUE(remove.Execute());
    EXPECT_FALSE(PathExists(destination));
    EXPECT_EQ(diagnostics.Text(), L"RenameFileOrFolder Success!\nDeleteFileOrFolder Success!\n");
}

TEST_F(ShellOperationTest, PathsOf259UnitsOrMoreAreRefused)
{
    const std::wstring tooLong = PathOfLength(folder, 259);
    WriteFileBytes(tooLong, "stays");
    const std::wstring fits = folder + L"\\fits.txt";
    WriteFileBytes(fits, "stays too");

    DeleteFileOperation remove(nullptr, tooLong.c_str(), false, true, false);
    EXPECT_TRUE(AllZeroFrom(remove.sourcePath, 0)) << "nothing of a path that does not fit is copied";
    EXPECT_FALSE(remove.Execute());
    RenameFileOperation renameFrom(nullptr, tooLong.c_str(), fits.c_str(), false, true);
    EXPECT_FALSE(renameFrom.Execute());
    RenameFileOperation renameTo(nullptr, fits.c_str(), tooLong.c_str(), false, true);
    EXPECT_FALSE(renameTo.Execute());
    const std::wstring huge(40000, L'x');
    DeleteFileOperation hugeRemove(nullptr, huge.c_str(), false, true, true);
    EXPECT_FALSE(hugeRemove.Execute());

    EXPECT_EQ(diagnostics.Text(), L"DeleteFileOrFolder Failed!\nRenameFileOrFolder Failed!\n"
                                  L"RenameFileOrFolder Failed!\nDeleteFileOrFolder Failed!\n");
    EXPECT_EQ(ReadFileBytes(tooLong), "stays");
    EXPECT_EQ(ReadFileBytes(fits), "stays too");
}

} // namespace
