#pragma once

#include <windows.h>
#include <shellapi.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "support/ImportHook.h"

// How a recorded line shows a window or other handle: "null" or its value in hex.
std::wstring RecordedHandle(const void* handle);

// While it lives, records the calls this thread makes through the program's import table to
// SHFileOperationW, CreateProcessW, WaitForSingleObject, SHChangeNotify, SHCreateDirectory (by
// ordinal 165) and MessageBoxW: one line per call with every argument, structures field by field
// and path lists up to their double zero. Then the real function runs, unless a test's fault
// answers the call instead. Calls of other threads (the test's helpers) pass unrecorded.
class PlatformCallRecorder {
public:
    PlatformCallRecorder();
    ~PlatformCallRecorder();

    PlatformCallRecorder(const PlatformCallRecorder&) = delete;
    PlatformCallRecorder& operator=(const PlatformCallRecorder&) = delete;

    // The recorded lines, with every temporary name (qms....tmp) written as "qms*.tmp".
    std::vector<std::wstring> Calls() const;

    // When set and it returns true for a shell operation, the shell is not called and the
    // operation fails with ERROR_ACCESS_DENIED.
    std::function<bool(const SHFILEOPSTRUCTW&)> failShellOperation;

private:
    friend struct RecorderHooks;

    std::vector<std::wstring> calls;
    DWORD thread;
    HANDLE startedProcess = nullptr;
    std::vector<std::unique_ptr<ImportHook>> hooks;
};
