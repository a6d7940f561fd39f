#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <string>

#include "platform/UniqueHandle.h"

// What a finished child process left behind.
// The exit code of a process that could not be started.
constexpr DWORD notStarted = 0xFFFFFFFF;

struct ProcessRun {
    bool started = false;
    DWORD exitCode = notStarted;
    // Every process that ran in the child's job: the child itself and whatever it started.
    DWORD processCount = 0;
    std::string standardOutput;
    std::string standardError;
};

// A child started with an exact command line (no re-quoting) inside a job object, so that the
// processes it starts are counted too. Its standard output and standard error go to files of the
// test, or, with `captureOutput` false, it gets no standard handles at all.
class ChildProcess {
public:
    ChildProcess(const std::wstring& application, const std::wstring& commandLine,
                 const std::wstring& currentFolder = L"", bool captureOutput = true);
    ~ChildProcess();

    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const { return process.IsValid(); }
    // What has reached the output file so far.
    std::string OutputSoFar() const;
    bool Running() const { return process.IsValid() && WaitForSingleObject(process.Get(), 0) == WAIT_TIMEOUT; }
    // Ends the child where it stands (TerminateProcess), as a crash or a kill would; true when it
    // was still running.
    bool Terminate();
    // Waits for the child to end and collects what it left.
    ProcessRun Wait();

private:
    std::wstring outputPath;
    std::wstring errorPath;
    // Why the process could not be started (GetLastError), when it could not.
    DWORD startError = 0;
    UniqueHandle job;
    UniqueHandle process;
};

// Starts a child as above and waits for it.
ProcessRun RunProcess(const std::wstring& application, const std::wstring& commandLine,
                      const std::wstring& currentFolder = L"", bool captureOutput = true);

// Polls `condition` until it holds or `timeout` passes; returns its last value.
bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout);

// The folder that holds this test program (the build's bin folder).
std::wstring ProgramFolder();

// `path` in double quotes, for building command lines.
std::wstring Quoted(const std::wstring& path);
