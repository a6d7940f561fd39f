#include "support/PlatformCallRecorder.h"

#include <shlobj.h>

#include <cstdint>
#include <regex>
#include <sstream>

namespace {

PlatformCallRecorder* active = nullptr;

std::wstring Hex(unsigned long long value)
{
    std::wostringstream text;
    text << L"0x" << std::hex << value;
    return text.str();
}

std::wstring Pointer(const void* pointer)
{
    return pointer == nullptr ? L"null" : L"set";
}

std::wstring Text(const wchar_t* text)
{
    return text == nullptr ? L"null" : L"\"" + std::wstring(text) + L"\"";
}

// A shell path list: its paths up to the double zero.
std::wstring PathList(const wchar_t* list)
{
    if (list == nullptr) {
        return L"null";
    }
    std::wstring text = L"[";
    for (const wchar_t* path = list; *path != L'\0'; path += wcslen(path) + 1) {
        text += (path == list ? L"\"" : L", \"") + std::wstring(path) + L"\"";
    }
    return text + L"]";
}

std::wstring Function(UINT function)
{
    switch (function) {
    case FO_MOVE: return L"FO_MOVE";
    case FO_COPY: return L"FO_COPY";
    case FO_DELETE: return L"FO_DELETE";
    case FO_RENAME: return L"FO_RENAME";
    default: return Hex(function);
    }
}

// STARTUPINFOW: its size, and whether every other byte is zero.
std::wstring StartupInfo(const STARTUPINFOW* info)
{
    if (info == nullptr) {
        return L"null";
    }
    const auto* bytes = reinterpret_cast<const BYTE*>(info);
    bool restZero = true;
    for (std::size_t i = sizeof(info->cb); i < sizeof(STARTUPINFOW); ++i) {
        restZero = restZero && bytes[i] == 0;
    }
    return L"{cb=" + std::to_wstring(info->cb) + (restZero ? L", rest zero}" : L", rest not zero}");
}

} // namespace

std::wstring RecordedHandle(const void* handle)
{
    return handle == nullptr ? L"null" : Hex(reinterpret_cast<std::uintptr_t>(handle));
}

// The replacements of the hooked imports; each records, then calls the real function.
struct RecorderHooks {
    static bool Recording() { return active != nullptr && GetCurrentThreadId() == active->thread; }

    template <typename Function>
    static Function Real(std::size_t index)
    {
        return reinterpret_cast<Function>(active->hooks[index]->Original());
    }

    static int WINAPI RecordShellOperation(LPSHFILEOPSTRUCTW operation)
    {
        if (!Recording()) {
            return Real<decltype(&::SHFileOperationW)>(0)(operation);
        }
        active->calls.push_back(L"SHFileOperationW(hwnd=" + RecordedHandle(operation->hwnd) +
                                L", wFunc=" + Function(operation->wFunc) + L", pFrom=" + PathList(operation->pFrom) +
                                L", pTo=" + PathList(operation->pTo) + L", fFlags=" + Hex(operation->fFlags) +
                                L", fAnyOperationsAborted=" + std::to_wstring(operation->fAnyOperationsAborted) +
                                L", hNameMappings=" + Pointer(operation->hNameMappings) +
                                L", lpszProgressTitle=" + Text(operation->lpszProgressTitle) + L")");
        if (active->failShellOperation && active->failShellOperation(*operation)) {
            return ERROR_ACCESS_DENIED;
        }
        return Real<decltype(&::SHFileOperationW)>(0)(operation);
    }

    static BOOL WINAPI RecordCreateProcess(LPCWSTR application, LPWSTR commandLine, LPSECURITY_ATTRIBUTES processAttributes,
                                     LPSECURITY_ATTRIBUTES threadAttributes, BOOL inheritHandles, DWORD creationFlags,
                                     LPVOID environment, LPCWSTR currentDirectory, LPSTARTUPINFOW startupInfo,
                                     LPPROCESS_INFORMATION processInformation)
    {
        const bool recording = Recording();
        if (recording) {
            active->calls.push_back(
                L"CreateProcessW(application=" + Text(application) + L", commandLine=" + Text(commandLine) +
                L", processAttributes=" + Pointer(processAttributes) + L", threadAttributes=" +
                Pointer(threadAttributes) + L", inheritHandles=" + std::to_wstring(inheritHandles) +
                L", creationFlags=" + Hex(creationFlags) + L", environment=" + Pointer(environment) +
                L", currentDirectory=" + Text(currentDirectory) + L", startupInfo=" + StartupInfo(startupInfo) +
                L", processInformation=" + Pointer(processInformation) + L")");
        }
        const BOOL started = Real<decltype(&::CreateProcessW)>(1)(application, commandLine, processAttributes,
                                                              threadAttributes, inheritHandles, creationFlags,
                                                              environment, currentDirectory, startupInfo,
                                                              processInformation);
        if (recording && started) {
            active->startedProcess = processInformation->hProcess;
        }
        return started;
    }

    static DWORD WINAPI RecordWait(HANDLE handle, DWORD milliseconds)
    {
        if (Recording()) {
            const bool process = handle != nullptr && handle == active->startedProcess;
            active->calls.push_back(L"WaitForSingleObject(handle=" +
                                    std::wstring(process ? L"the started process" : L"another handle") +
                                    L", milliseconds=" + std::to_wstring(milliseconds) + L")");
        }
        return Real<decltype(&::WaitForSingleObject)>(2)(handle, milliseconds);
    }

    static void WINAPI RecordChangeNotify(LONG eventId, UINT flags, LPCVOID item1, LPCVOID item2)
    {
        if (Recording()) {
            active->calls.push_back(L"SHChangeNotify(wEventId=" + Hex(static_cast<ULONG>(eventId)) + L", uFlags=" +
                                    Hex(flags) + L", dwItem1=" + Pointer(item1) + L", dwItem2=" + Pointer(item2) +
                                    L")");
        }
        Real<decltype(&::SHChangeNotify)>(3)(eventId, flags, item1, item2);
    }

    static int WINAPI RecordCreateDirectory(HWND window, PCWSTR path)
    {
        if (Recording()) {
            active->calls.push_back(L"SHCreateDirectory(hwnd=" + RecordedHandle(window) + L", path=" + Text(path) + L")");
        }
        return Real<decltype(&::SHCreateDirectory)>(4)(window, path);
    }

    static int WINAPI RecordMessageBox(HWND window, LPCWSTR text, LPCWSTR caption, UINT type)
    {
        if (Recording()) {
            active->calls.push_back(L"MessageBoxW(hWnd=" + RecordedHandle(window) + L", lpText=" + Text(text) +
                                    L", lpCaption=" + Text(caption) + L", uType=" + Hex(type) + L")");
        }
        return Real<decltype(&::MessageBoxW)>(5)(window, text, caption, type);
    }
};

PlatformCallRecorder::PlatformCallRecorder() : thread(GetCurrentThreadId())
{
    // The order of the hooks is the index each replacement uses to find its real function.
    hooks.push_back(std::make_unique<ImportHook>("shell32.dll", "SHFileOperationW",
                                                 reinterpret_cast<void*>(&RecorderHooks::RecordShellOperation)));
    hooks.push_back(std::make_unique<ImportHook>("kernel32.dll", "CreateProcessW",
                                                 reinterpret_cast<void*>(&RecorderHooks::RecordCreateProcess)));
    hooks.push_back(std::make_unique<ImportHook>("kernel32.dll", "WaitForSingleObject",
                                                 reinterpret_cast<void*>(&RecorderHooks::RecordWait)));
    hooks.push_back(std::make_unique<ImportHook>("shell32.dll", "SHChangeNotify",
                                                 reinterpret_cast<void*>(&RecorderHooks::RecordChangeNotify)));
    hooks.push_back(std::make_unique<ImportHook>("shell32.dll", static_cast<WORD>(165),
                                                 reinterpret_cast<void*>(&RecorderHooks::RecordCreateDirectory)));
    hooks.push_back(std::make_unique<ImportHook>("user32.dll", "MessageBoxW",
                                                 reinterpret_cast<void*>(&RecorderHooks::RecordMessageBox)));
    active = this;
}

PlatformCallRecorder::~PlatformCallRecorder()
{
    active = nullptr;
    hooks.clear();
}

std::vector<std::wstring> PlatformCallRecorder::Calls() const
{
    static const std::wregex temporaryName(L"qms[0-9A-Fa-f]+\\.tmp");
    std::vector<std::wstring> lines;
    for (const std::wstring& call : calls) {
        lines.push_back(std::regex_replace(call, temporaryName, L"qms*.tmp"));
    }
    return lines;
}
