// The least the platform can do for "/Install": the calls the setup program must make, in its
// order, with nothing around them (no command-line splitting, no C++ runtime objects). Timed
// beside the setup program, it shows how much of the setup's latency is the platform's own.
// Usage: SetupFloor "<installation folder ending in a backslash>"
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    wchar_t command[1024] = L"regsvr32 /s \"";
    // A folder too long for the buffer is left out: the floor has to make the same calls, and
    // must not write past its buffer to do so.
    if (count > 1 && lstrlenW(command) + lstrlenW(arguments[1]) + lstrlenW(L"Quillmoss.dll\"") < 1024) {
        lstrcatW(command, arguments[1]);
    }
    lstrcatW(command, L"Quillmoss.dll\"");
    LocalFree(arguments);

    wchar_t folder[MAX_PATH] = {};
    SHGetSpecialFolderPathW(nullptr, folder, CSIDL_COMMON_APPDATA, TRUE);
    lstrcatW(folder, L"\\Quillmoss\\");
    SHCreateDirectory(nullptr, folder);

    wchar_t application[MAX_PATH] = {};
    GetSystemDirectoryW(application, MAX_PATH);
    lstrcatW(application, L"\\regsvr32.exe");
    STARTUPINFOW startupInfo{};
    startupInfo.cb = sizeof(startupInfo);
    PROCESS_INFORMATION processInfo{};
    if (CreateProcessW(application, command, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startupInfo,
                       &processInfo)) {
        CloseHandle(processInfo.hProcess);
        CloseHandle(processInfo.hThread);
    }
    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
    return 0;
}
