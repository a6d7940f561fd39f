// Each verb's calls to the platform, argument by argument and in order: the product data folder
// before regsvr32 starts, regsvr32 started from the system folder with nothing inherited and no
// flags, the bounded wait after "/Uninstall" and "Rollback" only, and the association-changed event
// after every command line, the empty one included.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <array>
#include <string>
#include <vector>

#include "setup/SetupCommand.h"
#include "support/PlatformCallRecorder.h"

namespace {

struct VerbCase {
    const char* name;
    std::wstring commandLine;
    bool createsFolder;
    std::wstring registration;
    bool waits;
};

std::wstring SystemFolder()
{
    std::array<wchar_t, MAX_PATH> folder{};
    return std::wstring(folder.data(), GetSystemDirectoryW(folder.data(), MAX_PATH));
}

void PrintTo(const VerbCase& verb, std::ostream* stream)
{
    *stream << verb.name;
}

class SetupCallsTest : public ::testing::TestWithParam<VerbCase> {};

TEST_P(SetupCallsTest, MakesExactlyTheCallsOfItsVerb)
{
    const VerbCase& verb = GetParam();
    std::vector<std::wstring> calls;
    {
        const PlatformCallRecorder recorder;
        EXPECT_EQ(RunSetup(verb.commandLine), 0);
        calls = recorder.Calls();
    }

    std::vector<std::wstring> expected;
    if (verb.createsFolder) {
        std::array<wchar_t, MAX_PATH> data{};
        SHGetSpecialFolderPathW(nullptr, data.data(), CSIDL_COMMON_APPDATA, FALSE);
        expected.push_back(L"SHCreateDirectory(hwnd=null, path=\"" + std::wstring(data.data()) + L"\\Quillmoss\\\")");
    }
    if (!verb.registration.empty()) {
        // The whole STARTUPINFOW is zero but its size: 68 bytes in a 32-bit program, 104 in a 64-bit one.
        EXPECT_EQ(sizeof(STARTUPINFOW), sizeof(void*) == 4 ? 68u : 104u);
        expected.push_back(L"CreateProcessW(application=\"" + SystemFolder() + L"\\regsvr32.exe\", commandLine=\"" +
                           verb.registration +
                           L"\", processAttributes=null, threadAttributes=null, inheritHandles=0, creationFlags=0x0, "
                           L"environment=null, currentDirectory=null, startupInfo={cb=" +
                           std::to_wstring(sizeof(STARTUPINFOW)) + L", rest zero}, processInformation=set)");
    }
    if (verb.waits) {
        expected.push_back(L"WaitForSingleObject(handle=the started process, milliseconds=60000)");
    }
    expected.push_back(L"SHChangeNotify(wEventId=0x8000000, uFlags=0x0, dwItem1=null, dwItem2=null)");
    EXPECT_EQ(calls, expected);
}

const std::wstring folder = L"C:\\qm-tests\\calls\\";

INSTANTIATE_TEST_SUITE_P(
    Verbs, SetupCallsTest,
    ::testing::Values(
        VerbCase{"Install", L"\"C:\\Setup.exe\" /Install \"" + folder + L"\"", true,
                 L"regsvr32 /s \"" + folder + L"Quillmoss.dll\"", false},
        VerbCase{"Uninstall", L"\"C:\\Setup.exe\" /Uninstall \"" + folder + L"\"", false,
                 L"regsvr32 /s /u \"" + folder + L"Quillmoss.dll\"", true},
        VerbCase{"Rollback", L"\"C:\\Setup.exe\" Rollback \"" + folder + L"\"", false,
                 L"regsvr32 /s /u \"" + folder + L"Quillmoss.dll\"", true},
        VerbCase{"UnknownVerb", L"\"C:\\Setup.exe\" /install \"" + folder + L"\"", false, L"", false},
        VerbCase{"EmptyCommandLine", L"", false, L"", false}),
    [](const ::testing::TestParamInfo<VerbCase>& verb) { return std::string(verb.param.name); });

} // namespace
