#include "support/TestProcess.h"

#include <array>
#include <thread>
#include <vector>

#include "platform/UniqueHandle.h"
#include "support/TestFiles.h"

ProcessRun RunProcess(const std::wstring& application, const std::wstring& commandLine,
                      const std::wstring& currentFolder)
{
    ProcessRun run;
    const std::wstring outputPath = MakeTemporaryFilePath(L"stdout");

    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    UniqueHandle output(CreateFileW(outputPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    &inheritable, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!output.IsValid()) {
        return run;
    }

    STARTUPINFOW startupInfo{};
    startupInfo.cb = sizeof(startupInfo);
    startupInfo.dwFlags = STARTF_USESTDHANDLES;
    startupInfo.hStdInput = nullptr;
    startupInfo.hStdOutput = output.Get();
    startupInfo.hStdError = output.Get();

    std::vector<wchar_t> commandBuffer(commandLine.begin(), commandLine.end());
    commandBuffer.push_back(L'\0');

    UniqueHandle job(CreateJobObjectW(nullptr, nullptr));
    PROCESS_INFORMATION processInfo{};
    if (!CreateProcessW(application.c_str(), commandBuffer.data(), nullptr, nullptr, TRUE, CREATE_SUSPENDED,
                        nullptr, currentFolder.empty() ? nullptr : currentFolder.c_str(), &startupInfo,
                        &processInfo)) {
        return run;
    }
    UniqueHandle process(processInfo.hProcess);
    UniqueHandle thread(processInfo.hThread);
    AssignProcessToJobObject(job.Get(), process.Get());
    ResumeThread(thread.Get());
    WaitForSingleObject(process.Get(), INFINITE);
    run.started = true;
    GetExitCodeProcess(process.Get(), &run.exitCode);

    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting{};
    if (QueryInformationJobObject(job.Get(), JobObjectBasicAccountingInformation, &accounting, sizeof(accounting),
                                  nullptr)) {
        run.processCount = accounting.TotalProcesses;
    }
    output.Reset();
    run.standardOutput = ReadFileBytes(outputPath);
    DeleteFileW(outputPath.c_str());
    return run;
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
