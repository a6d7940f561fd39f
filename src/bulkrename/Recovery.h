#pragma once

#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "bulkrename/DiskView.h"
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
    // Where the folder `folder` of a step is now: the folders the batch moved above it may stand
    // elsewhere than the journal last had them (a put-back the journal could not record, or this
    // recovery's own moves). Each is looked for under the names the journal gives it, and known
    // by its identity; `folder` as it is where none is found.
    std::wstring ActualFolder(const std::wstring& folder, std::size_t holderLength, const std::string& holderIdentity,
                              int depth);
    void UndoUnknownMove(const JournalStep& step);
    void RemovePlaceholder(const std::wstring& path);
    void RemoveUnnamedPlaceholders();
    void CheckEveryFileIsBack();
    // Names what is left, and counts it.
    void Leave(const wchar_t* label, const std::wstring& path, const wchar_t* between, const std::wstring& other,
               const std::string& identity);

    const JournalContents& journal;
    bool dryRun;
    DiskView disk;
    int putBack = 0;
    int removed = 0;
    int left = 0;
    // Entries already named as left: not named again as missing.
    std::set<std::string> reported;
    bool weakNoted = false;
    // Of each folder the batch moved with something inside: the names the journal gives it, and
    // for each of its places the folder above that the batch moved.
    std::map<std::string, std::vector<std::wstring>> folderNames;
    std::map<std::wstring, std::pair<std::size_t, std::string>> folderPlaces;
};

// Says, once (`noted`), that the files of a volume without a lasting file index are told apart
// by their size and times, when `identity` is such a volume's: two files may share those.
void NoteHowFilesAreToldApart(const std::string& identity, const std::wstring& path, bool& noted);
