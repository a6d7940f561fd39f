#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "rename/OperationResult.h"
#include "rename/PathList.h"
#include "bulkrename/JournalCommands.h"

// The command line of QuillmossRename.exe, a console front over OperationRunner::Alphabetize.
struct RenameRequest {
    enum class Action { Rename, DryRun, Undo, Recover, Help, BadUsage };
    Action action = Action::BadUsage;
    PathList paths;
    // Undo and Recover: whether to only say what would be done, and the journal to work from
    // (empty: the newest suitable one of the default folder).
    bool dryRun = false;
    std::wstring journal;
    // Where a rename or an undo writes its own journal.
    JournalChoice ownJournal;
    // Why the command line was refused, for BadUsage.
    std::wstring problem;
};

// The exit codes besides the engine's status codes.
inline constexpr int badUsageExitCode = 2;
inline constexpr int internalErrorExitCode = 70;
// No journal could be written, so nothing was renamed.
inline constexpr int journalExitCode = 73;
// Another rename, undo or recovery of the same user was running, so nothing was done.
inline constexpr int busyExitCode = 75;

// `arguments` are the program's arguments without its own name. The paths come back resolved,
// one spelling each (see PathSpelling.h); a path that cannot be renamed at all is bad usage.
RenameRequest ParseRenameRequest(const std::vector<std::wstring>& arguments);

// Appends the paths of a list file, one a line: UTF-16 after its byte-order mark, otherwise UTF-8
// (a BOM, CR LF line ends and blank lines are allowed). Returns false, with `problem` set, when
// the file cannot be read, is not such text, or holds NUL bytes without a UTF-16 byte-order mark.
bool ReadPathListFile(const std::wstring& listFile, PathList& paths, std::wstring& problem);

// One line: status=3 SomeFilesFailed operation=12 succeeded=2 failed=1 message="..."
std::string SummaryLine(const OperationResult& result);

// The program's arguments, without its own name. No path holds a double quote, so a quote only
// opens or closes quoting and a backslash is always a backslash: "C:\Photos\" (what tab
// completion writes) is the folder C:\Photos\, where the usual rules would take its closing
// quote for text and run it into the next argument.
std::vector<std::wstring> SplitArguments(const std::wstring& commandLine);

// The whole program: help, bad usage, a dry run or a rename; returns the exit code.
int RunRenameProgram(const std::vector<std::wstring>& arguments);

// Runs `program`; an exception that escapes it becomes one line on `errors`
// ("QuillmossRename: internal error: ...") and internalErrorExitCode.
int RunGuarded(const std::function<int()>& program, std::FILE* errors);

const char* RenameUsage();
