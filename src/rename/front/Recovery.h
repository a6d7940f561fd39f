#pragma once

#include <set>
#include <string>

#include "rename/front/DiskView.h"
#include "rename/journal/JournalReader.h"

// Puts back the files of a batch that never finished, as its journal tells: every step that
// happened is undone, last first, so that each file goes back to its old name, and placeholders
// the batch had the system make are removed. A step is undone only when the very entry it moved
// (the identity the journal follows) stands where the step left it, so a recovery cut short and
// run again, or run after someone put a file back by hand, moves nothing twice: any number of
// runs end where one whole run ends. What stands in the way, or cannot be told apart, is named
// and left. Reports each line on standard output.
class Recovery {
public:
    Recovery(const JournalContents& journal, bool dryRun);

    void Run();

    int PutBack() const { return putBack; }
    int Removed() const { return removed; }
    int Left() const { return left; }

private:
    void UndoMove(const JournalStep& step);
    void UndoUnknownMove(const JournalStep& step);
    void RemovePlaceholder(const std::wstring& path);
    void RemoveUnnamedPlaceholders();
    void CheckEveryFileIsBack();
    // Names what is left, and counts it.
    void Leave(const wchar_t* label, const std::wstring& path, const wchar_t* between, const std::wstring& other,
               const std::string& identity);
    void NoteHowFilesAreToldApart(const std::string& identity, const std::wstring& path);

    const JournalContents& journal;
    bool dryRun;
    DiskView disk;
    int putBack = 0;
    int removed = 0;
    int left = 0;
    // Entries already named as left: not named again as missing.
    std::set<std::string> reported;
    bool weakNoted = false;
};
