// Runs the benchmarks: the renamer (QuillmossRename.exe) against the floor (RenameFloor.exe) on
// fresh trees of files, and the setup program against an empty GUI program. The two sides of
// every comparison alternate within one run, so machine noise cancels in their ratio; every
// figure is the median of the runs after a warm-up.
// Usage: BenchDriver [--sizes 1000,10000] [--one-sizes 1000] [--runs 5] [--warm-ups 1]
//                    [--setup-runs 41] [--machine TEXT] [--results FILE]
// --sizes are the batches spread 100 files a folder, --one-sizes those all in one folder ("none"
// for no batch).
#include <windows.h>
#include <psapi.h>
#include <shellapi.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/UniqueHandle.h"

namespace {

const std::wstring benchRoot = L"C:\\qm-bench";

std::wstring ProgramFolder()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder = path;
    return folder.substr(0, folder.rfind(L'\\'));
}

void RemoveTree(const std::wstring& path)
{
    WIN32_FIND_DATAW data{};
    HANDLE search = FindFirstFileW((path + L"\\*").c_str(), &data);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = data.cFileName;
            if (name == L"." || name == L"..") {
                continue;
            }
            const std::wstring child = path + L"\\" + name;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(child);
            } else {
                DeleteFileW(child.c_str());
            }
        } while (FindNextFileW(search, &data));
        FindClose(search);
    }
    RemoveDirectoryW(path.c_str());
}

void WriteText(const std::wstring& path, const std::string& text)
{
    const UniqueHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD written = 0;
    WriteFile(file.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

std::string Narrow(const std::wstring& text)
{
    return std::string(text.begin(), text.end());
}

// A fresh tree of `files` small files: 100 a folder ("spread") or all in one folder ("one").
// Returns the list file naming them in order.
std::wstring MakeTree(const std::wstring& root, int files, const std::string& layout)
{
    RemoveTree(root);
    CreateDirectoryW(benchRoot.c_str(), nullptr);
    CreateDirectoryW(root.c_str(), nullptr);
    std::string list;
    std::wstring folder;
    for (int i = 0; i < files; ++i) {
        if (layout == "one" ? i == 0 : i % 100 == 0) {
            wchar_t name[32];
            swprintf(name, 32, L"\\d%05d", layout == "one" ? 0 : i / 100);
            folder = root + name;
            CreateDirectoryW(folder.c_str(), nullptr);
        }
        wchar_t name[32];
        swprintf(name, 32, L"\\f%06d.Dat", i);
        const std::wstring path = folder + name;
        WriteText(path, "x");
        list += Narrow(path) + "\n";
    }
    const std::wstring listFile = root + L".lst";
    WriteText(listFile, list);
    return listFile;
}

struct Run {
    double seconds = 0;
    SIZE_T peakPrivate = 0;
    DWORD exitCode = 0;
};

// Starts `commandLine` with standard output to a file, waits for it and for everything it
// started, and samples its memory while it runs (the system keeps no counters after the end).
// A sampling period of 0 samples nothing.
Run Measure(const std::wstring& application, const std::wstring& commandLine, DWORD samplePeriodMs)
{
    Run run;
    SECURITY_ATTRIBUTES inheritable{sizeof(inheritable), nullptr, TRUE};
    const UniqueHandle output(CreateFileW((benchRoot + L"\\stdout.txt").c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                          &inheritable, CREATE_ALWAYS, 0, nullptr));
    STARTUPINFOW startupInfo{};
    startupInfo.cb = sizeof(startupInfo);
    startupInfo.dwFlags = STARTF_USESTDHANDLES;
    startupInfo.hStdOutput = output.Get();
    startupInfo.hStdError = output.Get();
    std::vector<wchar_t> command(commandLine.begin(), commandLine.end());
    command.push_back(L'\0');
    const UniqueHandle job(CreateJobObjectW(nullptr, nullptr));
    PROCESS_INFORMATION info{};

    LARGE_INTEGER frequency{};
    LARGE_INTEGER start{};
    LARGE_INTEGER end{};
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    if (!CreateProcessW(application.c_str(), command.data(), nullptr, nullptr, TRUE, CREATE_SUSPENDED, nullptr,
                        nullptr, &startupInfo, &info)) {
        run.exitCode = 0xFFFFFFFF;
        return run;
    }
    const UniqueHandle process(info.hProcess);
    const UniqueHandle thread(info.hThread);
    AssignProcessToJobObject(job.Get(), process.Get());
    ResumeThread(thread.Get());

    std::atomic<bool> done{false};
    std::thread sampler;
    if (samplePeriodMs > 0) {
        sampler = std::thread([&] {
            while (!done) {
                PROCESS_MEMORY_COUNTERS counters{};
                counters.cb = sizeof(counters);
                if (GetProcessMemoryInfo(process.Get(), &counters, sizeof(counters))) {
                    run.peakPrivate = std::max(run.peakPrivate, counters.PeakPagefileUsage);
                }
                Sleep(samplePeriodMs);
            }
        });
    }
    WaitForSingleObject(process.Get(), INFINITE);
    QueryPerformanceCounter(&end);
    done = true;
    if (sampler.joinable()) {
        sampler.join();
    }
    GetExitCodeProcess(process.Get(), &run.exitCode);
    run.seconds = static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);

    // Whatever the program left running (regsvr32, the shell's helpers) ends before the next run.
    for (int i = 0; i < 3000; ++i) {
        JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting{};
        QueryInformationJobObject(job.Get(), JobObjectBasicAccountingInformation, &accounting, sizeof(accounting),
                                  nullptr);
        if (accounting.ActiveProcesses == 0) {
            break;
        }
        Sleep(10);
    }
    return run;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

std::vector<int> ParseSizes(const std::wstring& text)
{
    std::vector<int> sizes;
    std::wstringstream stream(text == L"none" ? L"" : text);
    std::wstring item;
    while (std::getline(stream, item, L',')) {
        sizes.push_back(std::stoi(item));
    }
    return sizes;
}

struct Row {
    std::string layout;
    int files = 0;
    double renamer = 0;
    double plain = 0;
    double floor = 0;
    double ratio = 0;
    SIZE_T peakPrivate = 0;
    double bytesPerFile = 0;
    DWORD renamerExit = 0;
};

} // namespace

int main()
{
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    std::map<std::wstring, std::wstring> options;
    for (int i = 1; i + 1 < count; i += 2) {
        options[arguments[i]] = arguments[i + 1];
    }
    LocalFree(arguments);
    const auto option = [&](const wchar_t* name, const wchar_t* fallback) {
        return options.count(name) ? options[name] : std::wstring(fallback);
    };
    const std::vector<std::pair<std::string, std::vector<int>>> layouts = {
        {"spread", ParseSizes(option(L"--sizes", L"1000,10000"))},
        {"one", ParseSizes(option(L"--one-sizes", L"1000"))}};
    const int runs = std::max(1, std::stoi(option(L"--runs", L"5")));
    const int warmUps = std::max(0, std::stoi(option(L"--warm-ups", L"1")));
    const int setupRuns = std::max(0, std::stoi(option(L"--setup-runs", L"41")));
    const std::string machine = Narrow(option(L"--machine", L""));
    const std::wstring results = option(L"--results", L"");

    const std::wstring bin = ProgramFolder();
    const std::wstring renamer = bin + L"\\QuillmossRename.exe";
    const std::wstring floor = bin + L"\\RenameFloor.exe";
    const auto renamerLine = [&](const std::wstring& list) { return L"\"" + renamer + L"\" --list \"" + list + L"\""; };
    // The renamer without its journal: what the journal costs.
    const auto plainLine = [&](const std::wstring& list) {
        return L"\"" + renamer + L"\" --no-journal --list \"" + list + L"\"";
    };
    const auto floorLine = [&](const std::wstring& list) { return L"\"" + floor + L"\" --list \"" + list + L"\""; };
    const std::wstring renamerRoot = benchRoot + L"\\renamer";
    const std::wstring floorRoot = benchRoot + L"\\floor";

    // The renamer's memory with a batch of one file: the process's own baseline. The system
    // keeps a peak counter while the process lives, so a slow poll loses only a last instant.
    const Run baseline = Measure(renamer, renamerLine(MakeTree(renamerRoot, 1, "spread")), 1);
    constexpr DWORD memoryPollMs = 50;

    std::vector<Row> rows;
    for (const auto& [layout, sizes] : layouts) {
        for (const int files : sizes) {
            std::printf("%-6s %7d files: ", layout.c_str(), files);
            std::fflush(stdout);
            std::vector<double> renamerTimes;
            std::vector<double> plainTimes;
            std::vector<double> floorTimes;
            Row row{layout, files};
            // The warm-ups come first; after them the three sides take turns going first.
            for (int r = 0; r < warmUps + runs; ++r) {
                for (int turn = 0; turn < 3; ++turn) {
                    const int side = (r + turn) % 3;
                    const bool floorTurn = side == 2;
                    const std::wstring& root = floorTurn ? floorRoot : renamerRoot;
                    // Each side starts from the same disk: the other sides' trees go first.
                    RemoveTree(renamerRoot);
                    RemoveTree(floorRoot);
                    const std::wstring list = MakeTree(root, files, layout);
                    const Run run = side == 0   ? Measure(renamer, renamerLine(list), memoryPollMs)
                                    : side == 1 ? Measure(renamer, plainLine(list), 0)
                                                : Measure(floor, floorLine(list), 0);
                    if (side == 0) {
                        row.peakPrivate = std::max(row.peakPrivate, run.peakPrivate);
                        row.renamerExit = std::max(row.renamerExit, run.exitCode);
                    }
                    if (r >= warmUps) {
                        (side == 0 ? renamerTimes : side == 1 ? plainTimes : floorTimes).push_back(run.seconds);
                    }
                }
                std::printf(".");
                std::fflush(stdout);
            }
            row.renamer = Median(renamerTimes);
            row.plain = Median(plainTimes);
            row.floor = Median(floorTimes);
            row.ratio = row.renamer / row.floor;
            row.bytesPerFile = (static_cast<double>(row.peakPrivate) - static_cast<double>(baseline.peakPrivate)) /
                               files;
            std::printf(" renamer %.3f s, without journal %.3f s, floor %.3f s, ratio %.3f\n", row.renamer, row.plain,
                        row.floor, row.ratio);
            rows.push_back(row);
        }
    }
    RemoveTree(renamerRoot);
    RemoveTree(floorRoot);

    // Setup latency: "/Install" against the same platform calls alone and against an empty GUI
    // program, the three taking turns at going first.
    const std::wstring setup = bin + L"\\QuillmossSetup.exe";
    const std::wstring setupFloor = bin + L"\\SetupFloor.exe";
    const std::wstring empty = bin + L"\\EmptyProgram.exe";
    const std::wstring installFolder = benchRoot + L"\\Program Files\\Quillmoss\\";
    CreateDirectoryW(benchRoot.c_str(), nullptr);
    CreateDirectoryW((benchRoot + L"\\Program Files").c_str(), nullptr);
    CreateDirectoryW(installFolder.c_str(), nullptr);
    const std::wstring setupLines[3] = {L"\"" + setup + L"\" /Install \"" + installFolder + L"\"",
                                        L"\"" + setupFloor + L"\" \"" + installFolder + L"\"",
                                        L"\"" + empty + L"\""};
    const std::wstring* setupPrograms[3] = {&setup, &setupFloor, &empty};
    std::vector<double> setupTimes[3];
    for (int r = 0; setupRuns > 0 && r < warmUps + setupRuns; ++r) {
        for (int turn = 0; turn < 3; ++turn) {
            const int side = (r + turn) % 3;
            const Run run = Measure(*setupPrograms[side], setupLines[side], 0);
            if (r >= warmUps) {
                setupTimes[side].push_back(run.seconds);
            }
        }
    }

    std::ostringstream report;
    report << "# Benchmark results\n\n" << machine << "\n\n";
    char line[512];
    if (!rows.empty()) {
        report << "Medians of " << runs << " runs after " << warmUps
               << " warm-up(s); the three sides of each row took turns. \"renamer\" writes its journal; "
                  "\"no journal\" is the renamer with --no-journal.\n\n";
        report << "| layout | files | renamer s | no journal s | floor s | renamer files/s | floor files/s | "
                  "renamer/no journal | renamer/floor | renamer scaling | floor scaling | peak private bytes per file | "
                  "renamer exit |\n";
        report << "|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n";
    }
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const Row& row = rows[i];
        // Time over the time of the size before, and how many times the files grew.
        std::string renamerScaling;
        std::string floorScaling;
        if (i > 0 && rows[i - 1].layout == row.layout) {
            std::snprintf(line, sizeof(line), "%.2f (x%d files)", row.renamer / rows[i - 1].renamer,
                          row.files / rows[i - 1].files);
            renamerScaling = line;
            std::snprintf(line, sizeof(line), "%.2f", row.floor / rows[i - 1].floor);
            floorScaling = line;
        }
        std::snprintf(line, sizeof(line),
                      "| %s | %d | %.3f | %.3f | %.3f | %.0f | %.0f | %.3f | %.3f | %s | %s | %.0f | %lu |\n",
                      row.layout.c_str(), row.files, row.renamer, row.plain, row.floor, row.files / row.renamer,
                      row.files / row.floor, row.renamer / row.plain, row.ratio, renamerScaling.c_str(),
                      floorScaling.c_str(),
                      row.bytesPerFile, static_cast<unsigned long>(row.renamerExit));
        report << line;
    }
    if (setupRuns > 0) {
        const double setupMedian = Median(setupTimes[0]);
        const double floorMedian = Median(setupTimes[1]);
        const double emptyMedian = Median(setupTimes[2]);
        std::snprintf(line, sizeof(line),
                      "\nSetup latency, medians of %d runs after %d warm-up(s), the three taking turns:\n\n"
                      "| program | s | setup / program |\n|---|---:|---:|\n"
                      "| `QuillmossSetup.exe /Install \"<folder>\"` | %.4f | 1.000 |\n"
                      "| SetupFloor (the same platform calls alone) | %.4f | %.3f |\n"
                      "| empty GUI program | %.4f | %.3f |\n",
                      setupRuns, warmUps, setupMedian, floorMedian, setupMedian / floorMedian, emptyMedian,
                      setupMedian / emptyMedian);
        report << line;
    }
    if (!rows.empty()) {
        report << "\nBaseline: the renamer's peak private bytes with a batch of one file: " << baseline.peakPrivate
               << ".\n";
    }

    const std::string text = report.str();
    std::fputs(("\n" + text).c_str(), stdout);
    if (!results.empty()) {
        WriteText(results, text);
    }
    RemoveTree(benchRoot);
    return 0;
}
