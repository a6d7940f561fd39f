#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "rename/OperationResult.h"
#include "rename/PathList.h"

// The command line of QuillmossRename.exe, a console front over OperationRunner::Alphabetize.
struct RenameRequest {
    enum class Action { Rename, DryRun, Help, BadUsage };
    Action action = Action::BadUsage;
    PathList paths;
    // Why the command line was refused, for BadUsage.
    std::wstring problem;
};

// `arguments` are the program's arguments without its own name.
RenameRequest ParseRenameRequest(const std::vector<std::wstring>& arguments);

// Appends the paths of a UTF-8 list file, one a line (a BOM, CR LF line ends and blank lines
// are allowed). Returns false, with `problem` set, when the file cannot be read or is not UTF-8.
bool ReadPathListFile(const std::wstring& listFile, PathList& paths, std::wstring& problem);

// One line: status=3 SomeFilesFailed operation=12 succeeded=2 failed=1 message="..."
std::string SummaryLine(const OperationResult& result);

// What a rename of `paths` would do, touching nothing: "old -> new" for every file that would
// be moved, "missing: path" for every path that would count as missing, then "taken: path" for
// every new path that something outside the batch holds.
void WriteDryRun(const PathList& paths, std::wostream& stream);

const char* RenameUsage();
