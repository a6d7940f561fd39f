// End to end: the real QuillmossSetup.exe started with exact command lines, registering the
// sample Quillmoss.dll through the system's regsvr32, under Wine.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <array>
#include <chrono>
#include <string>

#include "support/TestFiles.h"
#include "support/TestProcess.h"
#include "support/TestRegistry.h"

namespace {

using namespace std::chrono_literals;

class SetupProgramTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        // The program lies beside a planted regsvr32.exe and runs in a folder that holds another;
        // neither may ever run. The library lies in a folder whose name has a blank.
        root = MakeScratchFolder(L"setup program");
        const std::wstring bin = root + L"\\bin";
        CreateFolder(bin);
        setupProgram = bin + L"\\QuillmossSetup.exe";
        CopyFileTo(ProgramFolder() + L"\\QuillmossSetup.exe", setupProgram);
        CopyFileTo(ProgramFolder() + L"\\planted\\regsvr32.exe", bin + L"\\regsvr32.exe");
        currentFolder = root + L"\\current";
        CreateFolder(currentFolder);
        CopyFileTo(ProgramFolder() + L"\\planted\\regsvr32.exe", currentFolder + L"\\regsvr32.exe");
        installFolder = root + L"\\Program Files\\Quillmoss\\";
        CreateFolder(root + L"\\Program Files");
        CreateFolder(installFolder);
        CopyFileTo(ProgramFolder() + L"\\Quillmoss.dll", installFolder + L"Quillmoss.dll");

        const std::wstring probe = ProgramFolder() + L"\\NotifyProbe.exe";
        notificationProcesses = RunProcess(probe, L"\"" + probe + L"\"").processCount;
    }

    void SetUp() override
    {
        DeleteUserKey(sampleLibraryKey);
        RemoveTree(ProductDataFolder());
    }

    static std::wstring ProductDataFolder()
    {
        std::array<wchar_t, MAX_PATH> common{};
        SHGetSpecialFolderPathW(nullptr, common.data(), CSIDL_COMMON_APPDATA, FALSE);
        return std::wstring(common.data()) + L"\\Quillmoss";
    }

    // Runs the program with `arguments` after its own quoted path, exactly as given.
    static ProcessRun RunSetup(const std::wstring& arguments)
    {
        return RunProcess(setupProgram, L"\"" + setupProgram + L"\" " + arguments, currentFolder);
    }

    static std::optional<std::wstring> WaitForValue(const wchar_t* name)
    {
        WaitUntil([name] { return ReadUserValue(sampleLibraryKey, name).has_value(); }, 20s);
        return ReadUserValue(sampleLibraryKey, name);
    }

    // `started` counts the processes the program started beyond what the shell notification
    // accounts for (Wine's notification runs a helper of its own).
    static void ExpectQuietSuccess(const ProcessRun& run, DWORD started)
    {
        ASSERT_TRUE(run.started);
        EXPECT_EQ(run.exitCode, 0u);
        EXPECT_EQ(run.standardOutput, "");
        EXPECT_EQ(run.processCount, notificationProcesses + started) << "processes in the program's job";
    }

    static inline std::wstring root;
    static inline std::wstring setupProgram;
    static inline std::wstring currentFolder;
    static inline std::wstring installFolder;
    static inline DWORD notificationProcesses = 0;
};

TEST_F(SetupProgramTest, InstallCreatesTheDataFolderAndRegistersTheLibrary)
{
    const ProcessRun run = RunSetup(L"/Install \"" + installFolder + L"\"");
    ExpectQuietSuccess(run, 1);

    EXPECT_EQ(WaitForValue(L"RegisteredBy"), L"regsvr32 /s \"" + installFolder + L"Quillmoss.dll\"");
    EXPECT_TRUE(IsFolder(ProductDataFolder()));
    EXPECT_FALSE(ReadUserValue(sampleLibraryKey, L"PlantedRan").has_value());
}

class SetupUnregisterTest : public SetupProgramTest, public ::testing::WithParamInterface<const wchar_t*> {};

TEST_P(SetupUnregisterTest, UnregistersTheLibraryBeforeItEndsWithoutCreatingTheDataFolder)
{
    const ProcessRun run = RunSetup(std::wstring(GetParam()) + L" \"" + installFolder + L"\"");
    ExpectQuietSuccess(run, 1);

    // The installer removes the library right after: unregistering is already over.
    EXPECT_EQ(ReadUserValue(sampleLibraryKey, L"UnregisteredBy"),
              L"regsvr32 /s /u \"" + installFolder + L"Quillmoss.dll\"");
    EXPECT_FALSE(PathExists(ProductDataFolder()));
    EXPECT_FALSE(ReadUserValue(sampleLibraryKey, L"PlantedRan").has_value());
}

INSTANTIATE_TEST_SUITE_P(Verbs, SetupUnregisterTest, ::testing::Values(L"/Uninstall", L"Rollback"));

TEST_F(SetupProgramTest, InstallThenUninstallLeavesTheLibraryUnregistered)
{
    ExpectQuietSuccess(RunSetup(L"/Install \"" + installFolder + L"\""), 1);
    ASSERT_TRUE(WaitForValue(L"RegisteredBy").has_value());
    ExpectQuietSuccess(RunSetup(L"/Uninstall \"" + installFolder + L"\""), 1);
    ASSERT_TRUE(WaitForValue(L"UnregisteredBy").has_value());
    EXPECT_FALSE(ReadUserValue(sampleLibraryKey, L"RegisteredBy").has_value());
}

class SetupUnknownVerbTest : public SetupProgramTest, public ::testing::WithParamInterface<const wchar_t*> {};

TEST_P(SetupUnknownVerbTest, StartsNothingAndStillExitsWithZero)
{
    const std::wstring arguments = std::wstring(GetParam());
    ExpectQuietSuccess(RunSetup(arguments), 0);
    EXPECT_FALSE(PathExists(ProductDataFolder()));
}

INSTANTIATE_TEST_SUITE_P(Arguments, SetupUnknownVerbTest,
                         ::testing::Values(L"/install \"C:\\A\\\"", L"ROLLBACK \"C:\\A\\\"",
                                           L"\"/Install\" \"C:\\A\\\"", L"/Uninstal \"C:\\A\\\"", L"",
                                           L"\t/Install\t\"C:\\A\\\""));

// Wine hands a program started with an empty command line its quoted name instead: this is the
// command line of the program's name alone (the empty one is SetupCallsTest's).
TEST_F(SetupProgramTest, ACommandLineOfTheProgramAloneStartsNothing)
{
    ExpectQuietSuccess(RunProcess(setupProgram, L"", currentFolder), 0);
}

TEST_F(SetupProgramTest, AnUnquotedProgramPathWithABlankStartsNothing)
{
    const std::wstring unquoted = setupProgram + L" /Install \"" + installFolder + L"\"";
    ASSERT_NE(unquoted.find(L' '), std::wstring::npos);
    ExpectQuietSuccess(RunProcess(setupProgram, unquoted, currentFolder), 0);
}

TEST_F(SetupProgramTest, ACommandOf1023UnitsIsStartedAndOneOf1024IsNot)
{
    // "/Install" builds a command of the folder token's length plus 25 units.
    const auto folderToken = [](std::size_t length) {
        return L"\"C:\\" + std::wstring(length - 6, L'x') + L"\\\"";
    };
    ExpectQuietSuccess(RunSetup(L"/Install " + folderToken(998)), 1);
    ExpectQuietSuccess(RunSetup(L"/Install " + folderToken(999)), 0);
    ExpectQuietSuccess(RunSetup(L"/Uninstall " + folderToken(30000)), 0);
    EXPECT_FALSE(ReadUserValue(sampleLibraryKey, L"PlantedRan").has_value());
}

} // namespace
