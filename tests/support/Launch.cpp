// Starts a program with an exact command line, which `wine prog args` cannot give (it quotes
// the arguments itself): QM_LAUNCH_APPLICATION names the program, QM_LAUNCH_COMMAND_LINE is
// handed to CreateProcessW unchanged. Waits for the program and exits with its exit code.
#include <windows.h>

#include <string>
#include <vector>

namespace {

std::wstring Variable(const wchar_t* name)
{
    const DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
    if (size == 0) {
        return {};
    }
    std::vector<wchar_t> value(size, L'\0');
    GetEnvironmentVariableW(name, value.data(), size);
    return value.data();
}

} // namespace

int main()
{
    const std::wstring application = Variable(L"QM_LAUNCH_APPLICATION");
    std::wstring commandLine = Variable(L"QM_LAUNCH_COMMAND_LINE");
    STARTUPINFOW startupInfo{};
    startupInfo.cb = sizeof(startupInfo);
    PROCESS_INFORMATION processInfo{};
    if (!CreateProcessW(application.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startupInfo, &processInfo)) {
        return 255;
    }
    WaitForSingleObject(processInfo.hProcess, INFINITE);
    DWORD exitCode = 255;
    GetExitCodeProcess(processInfo.hProcess, &exitCode);
    CloseHandle(processInfo.hThread);
    CloseHandle(processInfo.hProcess);
    return static_cast<int>(exitCode);
}
