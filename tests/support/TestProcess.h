#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <string>

// What a finished child process left behind.
struct ProcessRun {
    bool started = false;
    DWORD exitCode = 0;
    // Every process that ran in the child's job: the child itself and whatever it started.
    DWORD processCount = 0;
    std::string standardOutput;
};

// Starts `application` with exactly `commandLine` (no re-quoting), in `currentFolder` when not
// empty, with standard output captured to a file, and waits for it to end. The child runs in a
// job object, so processes it starts and leaves running are counted too.
ProcessRun RunProcess(const std::wstring& application, const std::wstring& commandLine,
                      const std::wstring& currentFolder = L"");

// Polls `condition` until it holds or `timeout` passes; returns its last value.
bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout);

// The folder that holds this test program (the build's bin folder).
std::wstring ProgramFolder();
