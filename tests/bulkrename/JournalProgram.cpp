#include "tests/bulkrename/JournalProgram.h"

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <thread>

#include "rename/journal/JournalFormat.h"

std::wstring Program()
{
    return ProgramFolder() + L"\\QuillmossRename.exe";
}

namespace {

// The console turns each line break into CR LF; the lines are what is compared.
std::string WithoutCarriageReturns(std::string text)
{
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    return text;
}

void AddSnapshot(const std::wstring& root, const std::wstring& relative, std::map<std::wstring, std::string>& entries)
{
    const std::wstring folder = relative.empty() ? root : root + L"\\" + relative;
    for (const std::wstring& name : ListFolder(folder)) {
        const std::wstring path = relative.empty() ? name : relative + L"\\" + name;
        if (IsFolder(root + L"\\" + path)) {
            entries[path] = "<folder>";
            AddSnapshot(root, path, entries);
        } else {
            entries[path] = ReadFileBytes(root + L"\\" + path);
        }
    }
}

} // namespace

ProcessRun Front(const std::wstring& arguments, const std::wstring& currentFolder)
{
    ProcessRun run = RunProcess(Program(), Quoted(Program()) + L" " + arguments, currentFolder);
    run.standardOutput = WithoutCarriageReturns(run.standardOutput);
    run.standardError = WithoutCarriageReturns(run.standardError);
    return run;
}

std::map<std::wstring, std::string> Snapshot(const std::wstring& root)
{
    std::map<std::wstring, std::string> entries;
    AddSnapshot(root, L"", entries);
    return entries;
}

std::string Describe(const std::map<std::wstring, std::string>& entries)
{
    std::string text;
    for (const auto& [path, content] : entries) {
        text += "  " + ToUtf8(path) + " = " + content + "\n";
    }
    return text;
}

std::size_t CountLines(const std::string& text)
{
    std::size_t lines = 0;
    for (const char c : text) {
        if (c == '\n') {
            ++lines;
        }
    }
    return lines;
}

std::string LastLine(const std::string& text)
{
    const std::size_t end = text.empty() || text.back() != '\n' ? text.size() : text.size() - 1;
    const std::size_t start = text.rfind('\n', end == 0 ? 0 : end - 1);
    return text.substr(start == std::string::npos || start >= end ? 0 : start + 1,
                       end - (start == std::string::npos || start >= end ? 0 : start + 1));
}

std::string FlushedPart(const std::string& text)
{
    std::size_t keep = 0;
    for (std::size_t start = 0, end = text.find('\n'); end != std::string::npos; start = end + 1, end = text.find('\n', start)) {
        if (text.compare(start, 5, "plan\t") == 0 || text.compare(start, 6, "begin\t") == 0) {
            keep = end + 1;
        }
    }
    return text.substr(0, keep);
}

unsigned long long Now()
{
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    return (static_cast<unsigned long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}

std::string Utf8(const std::wstring& text)
{
    return JournalText(text);
}

std::string IdentityOf(const std::wstring& path)
{
    KnownVolumes volumes;
    return FileIdentity(path, volumes);
}

std::string Header()
{
    return std::string(journalHeader) + "\nbegin\trename\n";
}

std::string AsideRecords(const std::string& from, const std::string& to, const std::string& identity)
{
    return "plan\taside\t" + from + "\t" + to + "\t" + identity + "\naside\t" + from + "\t" + to + "\ndone\n";
}

bool KillAfter(const std::wstring& arguments, const std::wstring& root, const std::wstring& journal, bool byRecords,
               std::size_t trigger)
{
    ChildProcess child(Program(), Quoted(Program()) + L" " + arguments, root);
    EXPECT_TRUE(child.Started());
    bool killed = false;
    while (child.Running()) {
        const std::size_t seen = byRecords ? CountLines(ReadFileBytes(journal)) : CountLines(child.OutputSoFar());
        if (seen >= trigger) {
            killed = child.Terminate();
            break;
        }
        std::this_thread::yield();
    }
    child.Wait();
    return killed;
}

std::wstring TemporaryFileBelow(const std::wstring& root)
{
    for (const std::wstring& name : TemporaryFilesIn(root)) {
        return root + L"\\" + name;
    }
    for (const std::wstring& name : ListFolder(root)) {
        if (IsFolder(root + L"\\" + name)) {
            const std::wstring found = TemporaryFileBelow(root + L"\\" + name);
            if (!found.empty()) {
                return found;
            }
        }
    }
    return {};
}

int EnvironmentNumber(const char* name, int fallback)
{
    const char* value = std::getenv(name);
    return value == nullptr ? fallback : std::atoi(value);
}
