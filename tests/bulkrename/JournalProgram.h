#pragma once

// The real QuillmossRename.exe as the journal tests drive it: started with exact command lines,
// killed where a test says, and what it leaves on the disk read back.
#include <map>
#include <string>
#include <vector>

#include "support/TestProcess.h"
#include "tests/rename/RenameFixture.h"

std::wstring Program();

// Runs the program with `arguments` in `currentFolder`; its output with CR LF turned into LF.
ProcessRun Front(const std::wstring& arguments, const std::wstring& currentFolder);

// Every entry below `root` by its path relative to it, with the file's content ("<folder>" for
// a folder): two snapshots are equal when every content is at the same name, exactly once.
std::map<std::wstring, std::string> Snapshot(const std::wstring& root);
std::string Describe(const std::map<std::wstring, std::string>& entries);

std::size_t CountLines(const std::string& text);
std::string LastLine(const std::string& text);

// What of a journal is sure to be on the disk after a power cut: everything up to the end of the
// last plan, or of the "begin" record before the first one. (Some records after it were flushed
// too; losing them as well is the harder case.)
std::string FlushedPart(const std::string& text);

// The system time, in 100 ns units since 1601, as "name" records hold it.
unsigned long long Now();
std::string Utf8(const std::wstring& text);
// The identity the writer records for the entry at `path`.
std::string IdentityOf(const std::wstring& path);
// The first two lines of a journal of renames.
std::string Header();
// A move aside as the writer records it (UTF-8 paths): planned with the file's identity, taken, done.
std::string AsideRecords(const std::string& from, const std::string& to, const std::string& identity);

// Runs the program with `arguments` in `root` and ends it with TerminateProcess once its journal
// holds `trigger` lines (or its output, unless `byRecords`); true when it was still running then.
bool KillAfter(const std::wstring& arguments, const std::wstring& root, const std::wstring& journal, bool byRecords,
               std::size_t trigger);

// A qms*.tmp file anywhere below `root`; empty when there is none.
std::wstring TemporaryFileBelow(const std::wstring& root);

int EnvironmentNumber(const char* name, int fallback);

// A folder of its own for each test, and the program run in it.
class JournalFrontTest : public RenameFixture {
protected:
    ProcessRun Run(const std::wstring& arguments) const { return Front(arguments, folder); }

    // Renames `relativePaths` with the journal at `journal`; returns the run.
    ProcessRun RenameWithJournal(const std::wstring& journal, const std::vector<std::wstring>& relativePaths) const
    {
        std::wstring arguments = L"--journal " + Quoted(journal);
        for (const std::wstring& path : relativePaths) {
            arguments += L" " + Quoted(path);
        }
        return Run(arguments);
    }
};
