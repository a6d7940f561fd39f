#include "rename/front/JournalCommands.h"

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <cwctype>
#include <map>
#include <set>
#include <utility>
#include <vector>

#include "diagnostics/DiagnosticStream.h"
#include "platform/FindHandle.h"
#include "rename/FilesRenamerRestore.h"
#include "rename/OperationResult.h"
#include "rename/PathSpelling.h"
#include "rename/front/RenameFront.h"
#include "rename/journal/JournalFormat.h"
#include "rename/journal/JournalReader.h"
#include "rename/journal/RenameJournal.h"

namespace {

// The clock of the file system may lag the system's by a tick or two: a placeholder made just
// after its record can carry a time a little before it.
constexpr unsigned long long placeholderTimeSlack = 2ULL * 10 * 1000 * 1000;

bool Exists(const std::wstring& path)
{
    return !path.empty() && GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsEmptyFile(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    return GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) &&
           (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && data.nFileSizeHigh == 0 &&
           data.nFileSizeLow == 0;
}

void Line(const wchar_t* label, const std::wstring& path)
{
    DiagnosticStream() << label;
    WriteUtf8(path, true, DiagnosticStream());
}

// label PATH between OTHER end
void Line(const wchar_t* label, const std::wstring& path, const wchar_t* between, const std::wstring& other,
          const wchar_t* end = L")")
{
    DiagnosticStream() << label;
    WriteUtf8(path, false, DiagnosticStream());
    DiagnosticStream() << between;
    WriteUtf8(other, false, DiagnosticStream());
    DiagnosticStream() << end << std::endl;
}

// A name GetTempFileNameW makes from the prefix "qmstmp": "qms", one to four hex digits, ".tmp".
bool IsTemporaryName(const std::wstring& name)
{
    const std::wstring folded = CaseFolded(name);
    if (folded.size() < 8 || folded.size() > 11 || folded.rfind(L"QMS", 0) != 0 ||
        folded.compare(folded.size() - 4, 4, L".TMP") != 0) {
        return false;
    }
    return std::all_of(folded.begin() + 3, folded.end() - 4, [](wchar_t unit) { return std::iswxdigit(unit) != 0; });
}

struct Recovery {
    bool dryRun = false;
    int putBack = 0;
    int removed = 0;
    int left = 0;
    // Temporary names the journal knows, compared without case: never taken for a placeholder.
    std::set<std::wstring> journalNames;

    // A step that happened, or may have, is undone if the disk shows it happened. Of a planned step
    // the journal has no record of, only what the disk shows is done: nothing says it was reached.
    void UndoMove(const JournalStep& step)
    {
        const bool fromThere = Exists(step.from);
        const bool toThere = Exists(step.to);
        const bool aside = step.kind == recordMoveAside;
        if (!fromThere && toThere) {
            if (dryRun || MoveFileExW(step.to.c_str(), step.from.c_str(), 0)) {
                if (aside) {
                    ++putBack;
                    Line(dryRun ? L"would put back: " : L"put back: ", step.from);
                }
            } else {
                ++left;
                Line(L"cannot move back: ", step.to, L" (to ", step.from);
            }
        } else if (fromThere && toThere) {
            // The move aside had not happened yet: what stands at the temporary name is the
            // placeholder the system made for it.
            if (aside && step.outcome == JournalStep::Outcome::Unknown && IsEmptyFile(step.to)) {
                RemovePlaceholder(step.to);
            } else if (step.outcome == JournalStep::Outcome::Done) {
                ++left;
                Line(L"left alone, something else stands at its old name: ", step.to, L" (old name: ", step.from);
            }
        } else if (!fromThere && !toThere && !step.to.empty() && step.recorded) {
            ++left;
            Line(L"not found: ", step.to, L" (old name: ", step.from);
        }
    }

    void RemovePlaceholder(const std::wstring& path)
    {
        if (dryRun || DeleteFileW(path.c_str())) {
            ++removed;
            Line(dryRun ? L"would remove placeholder: " : L"removed placeholder: ", path);
        } else {
            ++left;
            Line(L"cannot remove placeholder: ", path);
        }
    }

    // The process died between asking for a temporary name in `folder` at time `recorded` and
    // recording the name: any placeholder made in the folder since is the renamer's own.
    void FindPlaceholders(const std::wstring& folder, unsigned long long recorded)
    {
        WIN32_FIND_DATAW found{};
        const FindHandle search(FindFirstFileW((folder + L"\\qms*.tmp").c_str(), &found));
        if (!search.IsValid()) {
            return;
        }
        std::vector<std::wstring> placeholders;
        do {
            const std::wstring path = folder + L"\\" + found.cFileName;
            const unsigned long long written =
                (static_cast<unsigned long long>(found.ftLastWriteTime.dwHighDateTime) << 32) |
                found.ftLastWriteTime.dwLowDateTime;
            if (IsTemporaryName(found.cFileName) && (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
                found.nFileSizeHigh == 0 && found.nFileSizeLow == 0 && written + placeholderTimeSlack >= recorded &&
                journalNames.count(CaseFolded(path)) == 0) {
                placeholders.push_back(path);
            }
        } while (FindNextFileW(search.Get(), &found));
        for (const std::wstring& path : placeholders) {
            RemovePlaceholder(path);
        }
    }
};

// Text for the console: UTF-8 bytes.
std::string Utf8(const std::wstring& text)
{
    const std::wstring units = ToUtf8Units(text);
    return {units.begin(), units.end()};
}

void Problem(const std::string& text, const std::wstring& path)
{
    (void)std::fprintf(stderr, "QuillmossRename: %s%s\n", text.c_str(), Utf8(path).c_str());
}

bool LoadJournal(const std::wstring& journalPath, JournalContents& journal)
{
    std::wstring problem;
    if (!ReadJournal(journalPath, journal, problem)) {
        Problem("", problem);
        return false;
    }
    return true;
}

bool Usable(const std::wstring& journalPath, const char* what)
{
    if (journalPath.empty()) {
        Problem(std::string("no journal to ") + what + " in ", DefaultJournalFolder());
        return false;
    }
    if (ProbeJournal(journalPath) == JournalState::InUse) {
        Problem("a running batch is still writing the journal ", journalPath);
        return false;
    }
    return true;
}

} // namespace

std::wstring NewestJournal(bool finished)
{
    const std::vector<std::wstring> journals = JournalsIn(DefaultJournalFolder());
    for (auto it = journals.rbegin(); it != journals.rend(); ++it) {
        const JournalState state = ProbeJournal(*it);
        if (state == (finished ? JournalState::Finished : JournalState::Unfinished)) {
            return *it;
        }
    }
    return {};
}

int RunRecover(const std::wstring& journalPath, bool dryRun)
{
    JournalContents journal;
    if (!Usable(journalPath, "recover") || !LoadJournal(journalPath, journal)) {
        return badUsageExitCode;
    }
    if (journal.finished) {
        Line(L"nothing to recover: the batch finished: ", journalPath);
        return 0;
    }
    Recovery recovery;
    recovery.dryRun = dryRun;
    // Temporary names asked for after the last recorded move aside may never have been recorded
    // themselves (a plan of moves may be cut short): each such folder is searched once, for
    // placeholders made since the first ask.
    std::map<std::wstring, std::pair<std::wstring, unsigned long long>> unnamedFolders;
    for (const JournalStep& step : journal.steps) {
        if (step.kind == recordMoveAside) {
            recovery.journalNames.insert(CaseFolded(step.to));
            if (step.recorded) {
                unnamedFolders.clear();
            }
        } else if (step.kind == recordTemporaryName) {
            const unsigned long long asked = std::strtoull(step.detail.c_str(), nullptr, 10);
            const auto known = unnamedFolders.emplace(CaseFolded(step.from), std::make_pair(step.from, asked));
            known.first->second.second = std::min(known.first->second.second, asked);
        }
    }
    // Last first: each step's paths are right again once every later step is undone.
    for (std::size_t k = journal.steps.size(); k-- > 0;) {
        const JournalStep& step = journal.steps[k];
        if (step.outcome == JournalStep::Outcome::Failed || step.kind == recordTemporaryName) {
            continue;
        }
        if (step.kind == recordRecycle) {
            if (!Exists(step.from)) {
                Line(L"still in the recycle bin: ", step.from);
            }
        } else {
            recovery.UndoMove(step);
        }
    }
    // Once every move is undone, each folder is where it was when its names were asked for.
    for (const auto& [key, folder] : unnamedFolders) {
        recovery.FindPlaceholders(folder.first, folder.second);
    }
    if (!dryRun && recovery.left == 0 && !AppendJournalRecord(journalPath, std::string(recordEnd) + "\t" + endRecovered)) {
        Problem("put back, but cannot mark the journal recovered: ", journalPath);
    }
    DiagnosticStream() << (dryRun ? L"would recover: " : L"recovered: ") << recovery.putBack << L" put back, "
                       << recovery.removed << L" placeholders removed, " << recovery.left << L" left" << std::endl;
    return recovery.left == 0 ? 0 : SomeFilesFailed;
}

int RunUndo(const std::wstring& journalPath, bool dryRun, const JournalChoice& ownJournal)
{
    JournalContents journal;
    if (!Usable(journalPath, "undo") || !LoadJournal(journalPath, journal)) {
        return badUsageExitCode;
    }
    if (!journal.finished) {
        const std::string path = Utf8(journalPath);
        (void)std::fprintf(stderr, "QuillmossRename: the batch of %s never finished; put its files back with: "
                                   "QuillmossRename --recover \"%s\"\n", path.c_str(), path.c_str());
        return badUsageExitCode;
    }

    PathList paths;
    std::vector<std::wstring> names;
    std::int32_t changed = 0;
    VolumeSerials serials;
    for (const BatchFile& file : ReplayBatch(journal)) {
        // Exactly: a batch may have changed no more than the case of a name ("a.txt" to "A.txt").
        if (file.finalPath == file.oldPath) {
            continue;
        }
        // Only the file the batch renamed goes back; whatever took its name since is left alone.
        if (Exists(file.finalPath) && FileIdentity(file.finalPath, serials) == file.identity) {
            paths.push_back(file.finalPath);
            names.push_back(NameOf(file.oldPath));
            if (dryRun) {
                Line(L"", file.finalPath, L" -> ", file.oldPath, L"");
            }
        } else if (Exists(file.oldPath) && FileIdentity(file.oldPath, serials) == file.identity) {
            Line(L"already at its old name: ", file.oldPath);
        } else {
            ++changed;
            Line(L"changed since the batch, left alone: ", file.finalPath, L" (old name: ", file.oldPath);
        }
    }
    for (const JournalStep& step : journal.steps) {
        if (step.kind == recordRecycle && step.outcome == JournalStep::Outcome::Done) {
            Line(L"stays in the recycle bin: ", step.from);
        }
    }
    if (dryRun) {
        DiagnosticStream() << L"would undo: " << paths.size() << L" back to their old names, " << changed << L" left"
                           << std::endl;
        return 0;
    }

    OperationResult result;
    SetOperationResult(result, Succeeded, FilesRename, L"", 0, 0);
    if (!paths.empty()) {
        RenameJournal own;
        std::wstring problem;
        const std::string action = std::string("undo\t") + JournalText(journalPath);
        if (!ownJournal.none &&
            !(ownJournal.file.empty() ? own.CreateIn(DefaultJournalFolder(), action, problem)
                                      : own.Create(ownJournal.file, action, problem))) {
            Problem("nothing was renamed: ", problem);
            return journalExitCode;
        }
        FilesRenamerRestore restore(nullptr, paths, std::move(names));
        if (!ownJournal.none) {
            restore.Observe(own);
        }
        restore.Rename(result);
        if (!ownJournal.none) {
            own.Finish(result);
        }
    }
    // A file left alone is one the undo did not do.
    if (changed > 0 && (result.statusCode == Succeeded || result.statusCode == SomeFilesFailed)) {
        const std::int32_t failed = result.failedCount + changed;
        const std::wstring message = std::to_wstring(failed) + L" files failed to rename.";
        SetOperationResult(result, SomeFilesFailed, FilesRename, message.c_str(), result.succeededCount, failed);
    }
    DiagnosticStream().flush();
    (void)std::fprintf(stderr, "%s\n", SummaryLine(result).c_str());
    return result.statusCode;
}

void WarnOfUnfinishedJournals(std::FILE* errors)
{
    const std::wstring folder = DefaultJournalFolder();
    if (folder.empty()) {
        return;
    }
    for (const std::wstring& journal : JournalsIn(folder)) {
        if (ProbeJournal(journal) == JournalState::Unfinished) {
            const std::string path = Utf8(journal);
            (void)std::fprintf(errors,
                               "QuillmossRename: an earlier batch never finished, and some of its files may still be "
                               "under temporary names (journal %s); to put them back, run: QuillmossRename --recover "
                               "\"%s\"\n",
                               path.c_str(), path.c_str());
        }
    }
}
