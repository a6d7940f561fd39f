#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <array>
#include <string>

#include "setup/ProductDataFolder.h"
#include "setup/RegistrationTool.h"
#include "setup/SetupCommand.h"
#include "support/TestFiles.h"

namespace {

struct CommandCase {
    const wchar_t* line;
    const wchar_t* command;
};

class BuildRegistrationCommandTest : public ::testing::TestWithParam<CommandCase> {};

TEST_P(BuildRegistrationCommandTest, BuildsTheRegsvr32CommandOfTheVerb)
{
    EXPECT_EQ(BuildRegistrationCommand(SplitCommandLine(GetParam().line)), GetParam().command);
}

INSTANTIATE_TEST_SUITE_P(
    Verbs, BuildRegistrationCommandTest,
    ::testing::Values(
        CommandCase{LR"("C:\P F\setup.exe" /Install "C:\Program Files\Quillmoss\")",
                    LR"(regsvr32 /s "C:\Program Files\Quillmoss\Quillmoss.dll")"},
        CommandCase{LR"("C:\P F\setup.exe" /Uninstall "C:\Program Files\Quillmoss\")",
                    LR"(regsvr32 /s /u "C:\Program Files\Quillmoss\Quillmoss.dll")"},
        CommandCase{LR"("C:\P F\setup.exe" Rollback "C:\Program Files\Quillmoss\")",
                    LR"(regsvr32 /s /u "C:\Program Files\Quillmoss\Quillmoss.dll")"},
        // Verbs are compared exactly: case, quotes and extra units make them unknown.
        CommandCase{LR"(setup.exe /install "C:\A\")", L""},
        CommandCase{LR"(setup.exe ROLLBACK "C:\A\")", L""},
        CommandCase{LR"(setup.exe "/Install" "C:\A\")", L""},
        CommandCase{LR"(setup.exe /Install, "C:\A\")", L""},
        CommandCase{L"setup.exe\t/Install\t\"C:\\A\\\"", L""},
        CommandCase{L"setup.exe", L""},
        CommandCase{L"", L""},
        // No folder, or one lost to a doubled blank: the library name stands alone.
        CommandCase{LR"(setup.exe /Install  "C:\A\")", LR"(regsvr32 /s Quillmoss.dll")"},
        CommandCase{L"setup.exe /Install", LR"(regsvr32 /s Quillmoss.dll")"},
        CommandCase{L"setup.exe /Uninstall", LR"(regsvr32 /s /u Quillmoss.dll")"},
        CommandCase{L"setup.exe Rollback ", LR"(regsvr32 /s /u Quillmoss.dll")"},
        // The last unit goes whatever it is.
        CommandCase{LR"(setup.exe /Install C:\Apps\)", LR"(regsvr32 /s C:\AppsQuillmoss.dll")"},
        CommandCase{LR"(setup.exe /Install "C:\A\" "D:\ignored\")", LR"(regsvr32 /s "C:\A\Quillmoss.dll")"}));

TEST(BuildRegistrationCommand, LengthFollowsTheFolderToken)
{
    // "regsvr32 /s " (12) + folder token less one unit + "Quillmoss.dll\"" (14).
    const std::wstring folder = L"\"C:\\" + std::wstring(994, L'x') + L"\\\"";
    const std::wstring command = BuildRegistrationCommand(SplitCommandLine(L"setup.exe /Install " + folder));
    EXPECT_EQ(command.size(), folder.size() + 25);
}

TEST(StartRegistrationTool, NeverStartsACommandThatDoesNotFitItsBuffer)
{
    EXPECT_FALSE(StartRegistrationTool(std::wstring(commandBufferUnits, L'x'), 0));
    EXPECT_FALSE(StartRegistrationTool(L"regsvr32 /s \"" + std::wstring(5000, L'x') + L"\"", 0));
}

TEST(GetProductDataFolder, CreatesTheFolderUnderCommonApplicationData)
{
    std::array<wchar_t, MAX_PATH> common{};
    ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, common.data(), CSIDL_COMMON_APPDATA, FALSE));
    const std::wstring expected = std::wstring(common.data()) + L"\\Quillmoss\\";
    RemoveTree(expected.substr(0, expected.size() - 1));

    EXPECT_EQ(GetProductDataFolder(), expected);
    EXPECT_TRUE(IsFolder(expected));
    // A second call finds it there and still answers the same.
    EXPECT_EQ(GetProductDataFolder(), expected);
    EXPECT_TRUE(IsFolder(expected));
}

} // namespace
