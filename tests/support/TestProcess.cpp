#include "support/TestProcess.h"

#include <array>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "support/TestFiles.h"

ChildProcess::ChildProcess(const std::wstring& application, const std::wstring& commandLine,
                           const std::wstring& currentFolder, bool captureOutput)
{
    STARTUPINFOW startupInfo{};
    startupInfo.cb = sizeof(startupInfo);
    startupInfo.dwFlags = STARTF_USESTDHANDLES;

    UniqueHandle output;
    UniqueHandle error;
    if (captureOutput) {
        const auto createCapture = [](std::wstring& path, const wchar_t* tag) {
            path = MakeTemporaryFilePath(tag);
            SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
            return CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               &inheritable, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        };
        output.Reset(createCapture(outputPath, L"stdout"));
        error.Reset(createCapture(errorPath, L"stderr"));
        if (!output.IsValid() || !error.IsValid()) {
            startError = GetLastError();
            return;
        }
        startupInfo.hStdOutput = output.Get();
        startupInfo.hStdError = error.Get();
    }

    std::vector<wchar_t> commandBuffer(commandLine.begin(), commandLine.end());
    commandBuffer.push_back(L'\0');

    job.Reset(CreateJobObjectW(nullptr, nullptr));
    PROCESS_INFORMATION processInfo{};
    // Wine, under load, now and then fails to start a process at the first attempt.
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (CreateProcessW(application.c_str(), commandBuffer.data(), nullptr, nullptr, TRUE, CREATE_SUSPENDED, nullptr,
                           currentFolder.empty() ? nullptr : currentFolder.c_str(), &startupInfo, &processInfo)) {
            break;
        }
        startError = GetLastError();
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    if (processInfo.hProcess == nullptr) {
        return;
    }
    process.Reset(processInfo.hProcess);
    const UniqueHandle thread(processInfo.hThread);
    AssignProcessToJobObject(job.Get(), process.Get());
    ResumeThread(thread.Get());
}

ChildProcess::~ChildProcess()
{
    if (process.IsValid() && WaitForSingleObject(process.Get(), 0) == WAIT_TIMEOUT) {
        TerminateProcess(process.Get(), 255);
        WaitForSingleObject(process.Get(), INFINITE);
    }
    if (!outputPath.empty()) {
        DeleteFileW(outputPath.c_str());
        DeleteFileW(errorPath.c_str());
    }
}

bool ChildProcess::Terminate()
{
    const bool running = Running() && TerminateProcess(process.Get(), 255);
    WaitForSingleObject(process.Get(), INFINITE);
    return running;
}

std::string ChildProcess::OutputSoFar() const
{
    return outputPath.empty() ? std::string() : ReadFileBytes(outputPath);
}

ProcessRun ChildProcess::Wait()
{
    ProcessRun run;
    if (!process.IsValid()) {
        // Never an exit code a test could take for the program's own.
        run.exitCode = notStarted;
        run.standardError = "the process could not be started (error " + std::to_string(startError) + ")";
        return run;
    }
    WaitForSingleObject(process.Get(), INFINITE);
    run.started = true;
    GetExitCodeProcess(process.Get(), &run.exitCode);
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting{};
    if (QueryInformationJobObject(job.Get(), JobObjectBasicAccountingInformation, &accounting, sizeof(accounting),
                                  nullptr)) {
        run.processCount = accounting.TotalProcesses;
    }
    run.standardOutput = OutputSoFar();
    run.standardError = errorPath.empty() ? std::string() : ReadFileBytes(errorPath);
    return run;
}

ProcessRun RunProcess(const std::wstring& application, const std::wstring& commandLine,
                      const std::wstring& currentFolder, bool captureOutput)
{
    ChildProcess child(application, commandLine, currentFolder, captureOutput);
    return child.Wait();
}

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return condition();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

std::wstring ProgramFolder()
{
    std::array<wchar_t, 1024> path{};
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    std::wstring folder(path.data(), length);
    return folder.substr(0, folder.find_last_of(L'\\'));
}

std::wstring Quoted(const std::wstring& path)
{
    return L"\"" + path + L"\"";
}
