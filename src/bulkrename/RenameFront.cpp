#include "bulkrename/RenameFront.h"

#include <windows.h>
#include <shlwapi.h>

#include <array>
#include <cstdio>
#include <cwchar>
#include <exception>
#include <utility>

#include "diagnostics/DiagnosticStream.h"
#include "platform/UniqueHandle.h"
#include "rename/OperationRunner.h"
#include "rename/PathSpelling.h"
#include "bulkrename/DryRun.h"
#include "bulkrename/RunLock.h"
#include "rename/journal/JournalFormat.h"
#include "rename/journal/RenameJournal.h"

namespace {

bool IsBlank(const std::wstring& line)
{
    return line.find_first_not_of(L" \t") == std::wstring::npos;
}

// What a person types for help on Windows and elsewhere.
bool IsHelpOption(const std::wstring& argument)
{
    return argument == L"--help" || argument == L"-h" || argument == L"-?" || argument == L"/?";
}

// Turns the text of a list file into lines: UTF-16 after its byte-order mark, else UTF-8.
bool DecodeListText(const std::string& bytes, const std::wstring& listFile, std::wstring& text, std::wstring& problem)
{
    if (bytes.size() >= 2 && ((bytes[0] == '\xFF' && bytes[1] == '\xFE') || (bytes[0] == '\xFE' && bytes[1] == '\xFF'))) {
        const bool bigEndian = bytes[0] == '\xFE';
        if (bytes.size() % 2 != 0) {
            problem = L"the list " + listFile + L" is not UTF-16 text (an odd number of bytes)";
            return false;
        }
        text.clear();
        for (std::size_t i = 2; i < bytes.size(); i += 2) {
            const auto first = static_cast<unsigned char>(bytes[i]);
            const auto second = static_cast<unsigned char>(bytes[i + 1]);
            text.push_back(static_cast<wchar_t>(bigEndian ? (first << 8) | second : (second << 8) | first));
        }
        return true;
    }
    std::string utf8 = bytes;
    if (utf8.rfind("\xEF\xBB\xBF", 0) == 0) {
        utf8.erase(0, 3);
    }
    // No name holds a NUL: without a byte-order mark such a list is UTF-16 saved without one, or
    // not text at all, and reading it as UTF-8 would make up paths.
    if (utf8.find('\0') != std::string::npos) {
        problem = L"the list " + listFile + L" holds NUL bytes: save it as UTF-8, or as UTF-16 with a byte-order mark";
        return false;
    }
    text.clear();
    if (!utf8.empty()) {
        const int units = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), static_cast<int>(utf8.size()),
                                              nullptr, 0);
        if (units == 0) {
            problem = L"the list " + listFile + L" is not UTF-8 text";
            return false;
        }
        text.resize(static_cast<std::size_t>(units));
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), static_cast<int>(utf8.size()), text.data(),
                            units);
    }
    return true;
}

// A journal named on the command line, in the one spelling of paths (see PathSpelling.h): a
// journal is found again by its path later, from wherever the next command runs, and an undo
// writes the path of the journal it undoes into its own, where a reader takes no other spelling.
bool JournalPathOf(const std::wstring& given, std::wstring& path, std::wstring& problem)
{
    if (ResolvePath(given, path)) {
        return true;
    }
    problem = L"no folder can hold the journal " + given;
    return false;
}

std::string ConsoleText(const std::wstring& text)
{
    const std::wstring units = ToUtf8Units(text);
    return {units.begin(), units.end()};
}

// False, with the reason on standard error, when another run of this user's holds the lock or
// the lock cannot be had.
bool TakeRunLock(RunLock& lock)
{
    const std::wstring path = DefaultRunLockPath();
    std::wstring problem = L"the system names no application-data folder for the lock of this user's runs";
    const RunLock::Outcome outcome = path.empty() ? RunLock::Outcome::Failed : lock.Take(path, problem);
    if (outcome == RunLock::Outcome::Busy) {
        (void)std::fprintf(stderr, "QuillmossRename: another rename, undo or recovery of yours is running (it holds "
                                   "%s); nothing was done: run this again once it has ended\n",
                           ConsoleText(path).c_str());
    } else if (outcome == RunLock::Outcome::Failed) {
        (void)std::fprintf(stderr, "QuillmossRename: cannot make sure no other run of yours is going on: %s; nothing was "
                                   "done\n",
                           ConsoleText(problem).c_str());
    }
    return outcome == RunLock::Outcome::Taken;
}

// The journal named on the command line, or else the one NewestJournal picks, which is named so
// that nobody has to guess what is being undone or recovered.
std::wstring ChosenJournal(const std::wstring& named, bool forUndo)
{
    if (!named.empty()) {
        return named;
    }
    std::wstring newest = NewestJournal(forUndo);
    if (!newest.empty()) {
        (void)std::fprintf(stderr, "QuillmossRename: %s the batch of the journal %s\n", forUndo ? "undoing" : "recovering",
                           ConsoleText(newest).c_str());
    }
    return newest;
}

// QM_TEST_JOURNAL_WRITES=N: the journal's writes after the first N fail (see LimitWrites).
void LimitJournalWritesForTests(RenameJournal& journal)
{
    std::array<wchar_t, 32> value{};
    const DWORD length = GetEnvironmentVariableW(L"QM_TEST_JOURNAL_WRITES", value.data(), static_cast<DWORD>(value.size()));
    if (length > 0 && length < value.size()) {
        journal.LimitWrites(static_cast<std::size_t>(std::wcstoull(value.data(), nullptr, 10)));
    }
}

} // namespace

RenameRequest ParseRenameRequest(const std::vector<std::wstring>& arguments)
{
    RenameRequest request;
    bool dryRun = false;
    bool optionsEnded = false;
    bool undo = false;
    bool recover = false;
    bool journalGiven = false;
    PathList given;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::wstring& argument = arguments[i];
        if (!optionsEnded && IsHelpOption(argument)) {
            request.action = RenameRequest::Action::Help;
            return request;
        }
        if (optionsEnded || argument.rfind(L"--", 0) != 0) {
            given.push_back(argument);
        } else if (argument == L"--") {
            optionsEnded = true;
        } else if (argument == L"--dry-run") {
            dryRun = true;
        } else if (argument == L"--undo" || argument == L"--recover") {
            (argument == L"--undo" ? undo : recover) = true;
        } else if (argument == L"--journal") {
            if (i + 1 == arguments.size()) {
                request.problem = L"--journal needs a file";
                return request;
            }
            if (!JournalPathOf(arguments[++i], request.ownJournal.file, request.problem)) {
                return request;
            }
            journalGiven = true;
        } else if (argument == L"--no-journal") {
            request.ownJournal.none = true;
        } else if (argument == L"--list") {
            if (i + 1 == arguments.size()) {
                request.problem = L"--list needs a file";
                return request;
            }
            if (!ReadPathListFile(arguments[++i], given, request.problem)) {
                return request;
            }
        } else {
            request.problem = L"unknown option " + argument;
            return request;
        }
    }
    if (journalGiven && request.ownJournal.none) {
        request.problem = L"--journal and --no-journal cannot go together";
        return request;
    }
    if (undo || recover) {
        if (undo && recover) {
            request.problem = L"--undo and --recover cannot go together";
        } else if (given.size() > 1) {
            request.problem = L"--undo and --recover take one journal, not paths to rename";
        } else if (recover && (journalGiven || request.ownJournal.none)) {
            request.problem = L"--recover writes no journal of its own";
        } else {
            // The journal is optional: without one, the newest suitable one is used.
            if (!given.empty() && !JournalPathOf(given.front(), request.journal, request.problem)) {
                return request;
            }
            request.dryRun = dryRun;
            request.action = undo ? RenameRequest::Action::Undo : RenameRequest::Action::Recover;
        }
        return request;
    }
    if (given.empty()) {
        request.problem = L"no paths to rename";
        return request;
    }
    // The engine gets one spelling of each path, and nothing is touched when any path cannot be
    // renamed at all.
    request.paths.reserve(given.size());
    for (const std::wstring& path : given) {
        std::wstring resolved;
        if (!ResolvePath(path, resolved)) {
            request.paths.clear();
            request.problem = L"cannot rename \"" + path + L"\": no folder holds it (it is empty, a drive or share root, "
                              L"a device, or not a path)";
            return request;
        }
        request.paths.push_back(std::move(resolved));
    }
    request.dryRun = dryRun;
    request.action = dryRun ? RenameRequest::Action::DryRun : RenameRequest::Action::Rename;
    return request;
}

bool ReadPathListFile(const std::wstring& listFile, PathList& paths, std::wstring& problem)
{
    const UniqueHandle file(CreateFileW(listFile.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file.IsValid() || !GetFileSizeEx(file.Get(), &size) || size.QuadPart > 512LL * 1024 * 1024) {
        problem = L"cannot read the list " + listFile;
        return false;
    }
    std::string bytes(static_cast<std::size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!bytes.empty() &&
        (!ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
         read != bytes.size())) {
        problem = L"cannot read the list " + listFile;
        return false;
    }
    std::wstring text;
    if (!DecodeListText(bytes, listFile, text, problem)) {
        return false;
    }

    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find(L'\n', start);
        if (end == std::wstring::npos) {
            end = text.size();
        }
        std::wstring line = text.substr(start, end - start);
        if (!line.empty() && line.back() == L'\r') {
            line.pop_back();
        }
        if (!IsBlank(line)) {
            paths.push_back(std::move(line));
        }
        start = end + 1;
    }
    return true;
}

std::string SummaryLine(const OperationResult& result)
{
    std::string message;
    for (const wchar_t unit : result.message) {
        if (unit == L'\n') {
            message += "\\n";
        } else if (unit == L'"' || unit == L'\\') {
            message += '\\';
            message += static_cast<char>(unit);
        } else {
            message += unit < 0x80 ? static_cast<char>(unit) : '?';
        }
    }
    std::string status;
    for (const wchar_t* name = OperationStatusName(result.statusCode); *name != L'\0'; ++name) {
        status += static_cast<char>(*name);
    }
    return "status=" + std::to_string(result.statusCode) + " " + status +
           " operation=" + std::to_string(result.operationCode) +
           " succeeded=" + std::to_string(result.succeededCount) + " failed=" + std::to_string(result.failedCount) +
           " message=\"" + message + "\"";
}

std::vector<std::wstring> SplitArguments(const std::wstring& commandLine)
{
    std::vector<std::wstring> arguments;
    std::wstring argument;
    bool inArgument = false;
    bool quoted = false;
    for (const wchar_t unit : commandLine) {
        if (unit == L'"') {
            quoted = !quoted;
            inArgument = true;
        } else if (!quoted && (unit == L' ' || unit == L'\t')) {
            if (inArgument) {
                arguments.push_back(std::move(argument));
                argument.clear();
                inArgument = false;
            }
        } else {
            argument.push_back(unit);
            inArgument = true;
        }
    }
    if (inArgument) {
        arguments.push_back(std::move(argument));
    }
    if (!arguments.empty()) {
        arguments.erase(arguments.begin());
    }
    return arguments;
}

int RunRenameProgram(const std::vector<std::wstring>& arguments)
{
    const RenameRequest request = ParseRenameRequest(arguments);
    switch (request.action) {
    // A write to the console that fails has nowhere else to be reported; the exit code still says
    // how the run ended.
    case RenameRequest::Action::Help:
        (void)std::fputs(RenameUsage(), stdout);
        return 0;
    case RenameRequest::Action::BadUsage: {
        const std::wstring units = ToUtf8Units(request.problem);
        const std::string problem(units.begin(), units.end());
        (void)std::fprintf(stderr, "QuillmossRename: %s\n\n%s", problem.c_str(), RenameUsage());
        return badUsageExitCode;
    }
    case RenameRequest::Action::DryRun:
        WriteDryRun(request.paths, PredictRename(request.paths), DiagnosticStream());
        DiagnosticStream().flush();
        return 0;
    case RenameRequest::Action::Undo:
    case RenameRequest::Action::Recover:
    case RenameRequest::Action::Rename:
        break;
    }

    // One run of this user's at a time; a dry run changes nothing, and needs no lock.
    RunLock lock;
    const bool changes = request.action == RenameRequest::Action::Rename || !request.dryRun;
    if (changes && !TakeRunLock(lock)) {
        return busyExitCode;
    }
    if (request.action == RenameRequest::Action::Recover) {
        return RunRecover(ChosenJournal(request.journal, false), request.dryRun);
    }
    if (!request.dryRun) {
        WarnOfUnfinishedJournals(stderr);
    }
    if (request.action == RenameRequest::Action::Undo) {
        return RunUndo(ChosenJournal(request.journal, true), request.dryRun, request.ownJournal);
    }

    RenameJournal journal;
    if (!request.ownJournal.none) {
        std::wstring problem;
        const bool created = request.ownJournal.file.empty()
                                 ? journal.CreateIn(DefaultJournalFolder(), "rename", problem)
                                 : journal.Create(request.ownJournal.file, "rename", problem);
        if (!created) {
            const std::wstring units = ToUtf8Units(problem);
            (void)std::fprintf(stderr, "QuillmossRename: %s; nothing was renamed (--journal FILE writes it elsewhere)\n",
                               std::string(units.begin(), units.end()).c_str());
            return journalExitCode;
        }
        LimitJournalWritesForTests(journal);
    }

    OperationResult result;
    OperationRunner runner;
    PathList paths = request.paths;
    if (request.ownJournal.none) {
        runner.Alphabetize(result, paths);
    } else {
        runner.Alphabetize(result, paths, journal);
        journal.Finish(result);
    }
    DiagnosticStream().flush();
    (void)std::fprintf(stderr, "%s\n", SummaryLine(result).c_str());
    return result.statusCode;
}

int RunGuarded(const std::function<int()>& program, std::FILE* errors)
{
    // Whatever escapes the engine has already put the files it moved back; what is left to do is
    // to say so in a way no status code can be mistaken for.
    try {
        return program();
    } catch (const std::exception& exception) {
        (void)std::fprintf(errors, "QuillmossRename: internal error: %s\n", exception.what());
    } catch (...) {
        (void)std::fprintf(errors, "QuillmossRename: internal error: unknown exception\n");
    }
    (void)std::fflush(errors);
    return internalErrorExitCode;
}

const char* RenameUsage()
{
    return "Usage: QuillmossRename [--dry-run] [--journal FILE | --no-journal] PATH...\n"
           "       QuillmossRename [--dry-run] [--journal FILE | --no-journal] --list FILE\n"
           "       QuillmossRename [--dry-run] [--journal FILE | --no-journal] --undo [JOURNAL]\n"
           "       QuillmossRename [--dry-run] --recover [JOURNAL]\n"
           "\n"
           "Renames the files and folders given, in order, to A, B, ... Z, AA, BB, ... keeping each\n"
           "one's folder and lower-cased extension. Asks once before replacing anything that already\n"
           "stands at a new name, and sends what it replaces to the recycle bin.\n"
           "\n"
           "A path may be relative, use / or \\, end in a separator, or use a short name: each is\n"
           "resolved to its full path first. A drive or share root, a device or an empty path is\n"
           "refused before anything is touched.\n"
           "\n"
           "Every rename writes a journal of its steps, by default in\n"
           "%LOCALAPPDATA%\\Quillmoss\\Journal, named by the time it started (UTC).\n"
           "\n"
           "  --list FILE     read the paths from FILE (UTF-8, or UTF-16 with a byte-order mark; one\n"
           "                  a line; blank lines are skipped)\n"
           "  --dry-run       print what the rename, undo or recovery would do; change nothing\n"
           "  --journal FILE  write the journal to FILE (a new file) instead\n"
           "  --no-journal    write no journal: the batch can be neither undone nor recovered\n"
           "  --undo [JOURNAL]     rename the files of that batch (default: the newest finished\n"
           "                  one) back to their old names; files renamed, deleted or replaced\n"
           "                  since are named and left alone, and what went to the recycle bin\n"
           "                  stays there\n"
           "  --recover [JOURNAL]  put back the files of a batch that never finished (default: the\n"
           "                  newest unfinished one): every file under a temporary name goes back\n"
           "                  to its old name\n"
           "  --help, -h, -?, /?  print this text\n"
           "\n"
           "The engine's diagnostic lines go to standard output, a summary line to standard error.\n"
           "Exit code: the status (0 succeeded, 1 unexpected error, 3 some files failed, 4 files open,\n"
           "6 declined), 2 for bad usage, 70 for an internal error (after the files the engine had\n"
           "moved were put back), 73 when no journal could be written (nothing was renamed), 75 when\n"
           "another rename, undo or recovery of yours was running (nothing was done).\n";
}
