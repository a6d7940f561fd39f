#include "setup/RegistrationTool.h"

#include <windows.h>

#include <array>
#include <string>

#include "platform/UniqueHandle.h"
#include "setup/SetupCommand.h"

namespace {

// The system folder's regsvr32.exe. Naming it keeps CreateProcessW from searching the
// program's own folder and the current folder first, where anyone who can write to the
// installation folder could plant a regsvr32.exe that would run with the installer's rights.
bool GetSystemRegistrationTool(std::wstring& path)
{
    std::array<wchar_t, MAX_PATH> systemFolder{};
    const UINT length = GetSystemDirectoryW(systemFolder.data(), static_cast<UINT>(systemFolder.size()));
    if (length == 0 || length >= systemFolder.size()) {
        return false;
    }
    path.assign(systemFolder.data(), length);
    path += L"\\regsvr32.exe";
    return true;
}

} // namespace

bool StartRegistrationTool(std::wstring_view command, DWORD waitMilliseconds)
{
    if (command.size() >= commandBufferUnits) {
        return false;
    }
    std::wstring application;
    if (!GetSystemRegistrationTool(application)) {
        return false;
    }

    // CreateProcessW may write into the command line, so it gets a buffer of its own.
    std::array<wchar_t, commandBufferUnits> commandBuffer{};
    command.copy(commandBuffer.data(), command.size());

    STARTUPINFOW startupInfo{};
    startupInfo.cb = sizeof(startupInfo);
    PROCESS_INFORMATION processInfo{};
    const BOOL started = CreateProcessW(application.c_str(), commandBuffer.data(), nullptr, nullptr, FALSE, 0,
                                        nullptr, nullptr, &startupInfo, &processInfo);
    if (!started) {
        return false;
    }
    const UniqueHandle process(processInfo.hProcess);
    const UniqueHandle thread(processInfo.hThread);
    if (waitMilliseconds != 0) {
        WaitForSingleObject(process.Get(), waitMilliseconds);
    }
    return true;
}
