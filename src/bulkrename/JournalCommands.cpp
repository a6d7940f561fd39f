#include "bulkrename/JournalCommands.h"

#include <windows.h>

#include <algorithm>
#include <functional>
#include <map>
#include <set>
#include <utility>
#include <vector>

#include "diagnostics/DiagnosticStream.h"
#include "platform/FindHandle.h"
#include "rename/FilesRenamer.h"
#include "rename/FilesRenamerRestore.h"
#include "rename/KeptNames.h"
#include "rename/OperationResult.h"
#include "rename/PathSpelling.h"
#include "bulkrename/Recovery.h"
#include "bulkrename/ReportLine.h"
#include "bulkrename/RenameFront.h"
#include "rename/journal/JournalFormat.h"
#include "rename/journal/JournalReader.h"
#include "rename/journal/RenameJournal.h"

namespace {

bool Exists(const std::wstring& path)
{
    return !path.empty() && GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Whether the file the batch renamed stands under the name the batch gave it. A name that differs
// from its old one in case alone reaches the file under either: the name the folder holds tells.
bool AtNameTheBatchGave(const BatchFile& file, KnownVolumes& volumes)
{
    // A file whose identity the journal does not know is never taken for the batch's.
    if (file.identity.empty() || !Exists(file.finalPath) || FileIdentity(file.finalPath, volumes) != file.identity) {
        return false;
    }
    if (!SamePath(file.finalPath, file.oldPath)) {
        return true;
    }
    WIN32_FIND_DATAW found{};
    const FindHandle search(FindFirstFileW(file.finalPath.c_str(), &found));
    return search.IsValid() && NameOf(file.finalPath) == found.cFileName;
}

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
    if (ProbeJournal(journalPath).state == JournalState::InUse) {
        Problem("a running batch is still writing the journal ", journalPath);
        return false;
    }
    return true;
}

// Whether an undo of the batch would rename anything: a file of it still stands under the other
// name the batch gave it.
bool HasSomethingToUndo(const std::wstring& journalPath)
{
    JournalContents journal;
    std::wstring problem;
    if (!ReadJournal(journalPath, journal, problem)) {
        return false;
    }
    KnownVolumes volumes;
    const std::vector<BatchFile> files = ReplayBatch(journal);
    return std::any_of(files.begin(), files.end(), [&volumes](const BatchFile& file) {
        return file.finalPath != file.oldPath && AtNameTheBatchGave(file, volumes);
    });
}

// The files an undo moves, and those it leaves.
struct UndoPlan {
    PathList paths;
    std::vector<std::wstring> names;
    std::int32_t left = 0;
    // For a dry run: old names something outside the undo stands at.
    std::vector<std::wstring> taken;
};

// Where the engine gives a file of the undo its old name: in the folder it is in now (a folder of
// the batch moves back with what it holds).
std::wstring Destination(const BatchFile& file)
{
    return FolderOf(file.finalPath) + L"\\" + NameOf(file.oldPath);
}

// Whether the folder at `path` holds, at any depth, an entry with one of `identities` (links and
// junctions are entries, not followed). False for a file.
bool HoldsAnyOf(const std::wstring& path, const std::set<std::string>& identities, KnownVolumes& volumes)
{
    std::vector<std::wstring> pending{path};
    while (!pending.empty()) {
        const std::wstring folder = std::move(pending.back());
        pending.pop_back();
        WIN32_FIND_DATAW found{};
        const FindHandle search(FindFirstFileW((folder + L"\\*").c_str(), &found));
        if (!search.IsValid()) {
            continue;
        }
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") {
                continue;
            }
            std::wstring entry = folder;
            entry += L'\\';
            entry += name;
            if (identities.count(FileIdentity(entry, volumes)) != 0) {
                return true;
            }
            if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
                (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
                pending.push_back(entry);
            }
        } while (FindNextFileW(search.Get(), &found));
    }
    return false;
}

// Where the engine leaves each file of the undo: under its old name, in its folder as the undo
// leaves that folder (a folder of the batch that goes back takes it along; one that stays keeps it).
std::vector<std::wstring> EndsOf(const std::vector<BatchFile>& moving)
{
    std::map<std::wstring, std::size_t> byPath;
    for (std::size_t i = 0; i < moving.size(); ++i) {
        byPath.emplace(CaseFolded(moving[i].finalPath), i);
    }
    std::vector<std::wstring> ends(moving.size());
    // A folder's end is found before the ends of what it holds, walking up from each file.
    const std::function<const std::wstring&(std::size_t)> end = [&](std::size_t i) -> const std::wstring& {
        if (ends[i].empty()) {
            const auto folder = byPath.find(CaseFolded(FolderOf(moving[i].finalPath)));
            ends[i] = (folder == byPath.end() ? FolderOf(moving[i].finalPath) : end(folder->second)) + L"\\" +
                      NameOf(moving[i].oldPath);
        }
        return ends[i];
    };
    for (std::size_t i = 0; i < moving.size(); ++i) {
        end(i);
    }
    return ends;
}

// A file left alone keeps the name it has, so the file of the batch whose old name that is cannot
// go back either (nothing that was named as left alone may be asked about or recycled): it keeps
// its name too, which may in turn hold another's old name. Each held path counts as a file that
// keeps its name, with no new path.
void KeepNamesOfFilesLeftAlone(std::vector<BatchFile>& moving, const std::vector<std::wstring>& held, std::int32_t& left)
{
    std::vector<std::wstring> destinations;
    std::vector<std::wstring> names;
    for (const BatchFile& file : moving) {
        destinations.push_back(Destination(file));
        names.push_back(file.finalPath);
    }
    destinations.resize(moving.size() + held.size());
    names.insert(names.end(), held.begin(), held.end());
    std::vector<bool> kept(moving.size(), false);
    for (const std::size_t i : KeepOldNamesFree(destinations, names)) {
        const BatchFile& file = moving[i];
        kept[i] = true;
        ++left;
        ReportLine(L"left alone, its old name is held by a file left alone: ", file.finalPath, L" (old name: ", file.oldPath);
    }
    std::size_t next = 0;
    for (std::size_t i = 0; i < moving.size(); ++i) {
        if (!kept[i]) {
            if (next != i) {
                moving[next] = std::move(moving[i]);
            }
            ++next;
        }
    }
    moving.resize(next);
}

UndoPlan PlanUndo(const JournalContents& journal, bool dryRun)
{
    UndoPlan plan;
    std::vector<BatchFile> moving;
    std::vector<std::wstring> held;
    std::set<std::string> leftAlone;
    KnownVolumes volumes;
    bool weakNoted = false;
    for (BatchFile& file : ReplayBatch(journal)) {
        // Exactly: a batch may have changed no more than the case of a name ("a.txt" to "A.txt").
        if (file.finalPath == file.oldPath) {
            continue;
        }
        NoteHowFilesAreToldApart(file.identity, file.finalPath, weakNoted);
        // Only the file the batch renamed goes back; whatever took its name since is left alone.
        if (AtNameTheBatchGave(file, volumes)) {
            moving.push_back(std::move(file));
        } else if (Exists(file.oldPath) && FileIdentity(file.oldPath, volumes) == file.identity) {
            ReportLine(L"already at its old name: ", file.oldPath);
        } else {
            ++plan.left;
            if (!file.identity.empty()) {
                leftAlone.insert(file.identity);
            }
            ReportLine(L"changed since the batch, left alone: ", file.finalPath, L" (old name: ", file.oldPath);
            if (Exists(file.finalPath)) {
                held.push_back(file.finalPath);
            }
        }
    }
    // A file left alone may stand where another is to go back to, under a name of its own choosing,
    // or inside a folder that stands there.
    for (const BatchFile& file : moving) {
        const std::wstring destination = Destination(file);
        if (!leftAlone.empty() && Exists(destination) &&
            (leftAlone.count(FileIdentity(destination, volumes)) != 0 || HoldsAnyOf(destination, leftAlone, volumes))) {
            held.push_back(destination);
        }
    }
    KeepNamesOfFilesLeftAlone(moving, held, plan.left);
    if (dryRun) {
        // Once every file of the undo has left the name it has now, whatever still stands at an
        // old name is outside it: the engine asks once, and after Yes recycles it.
        std::set<std::wstring> leaving;
        for (const BatchFile& file : moving) {
            leaving.insert(CaseFolded(file.finalPath));
        }
        for (const BatchFile& file : moving) {
            const std::wstring destination = Destination(file);
            if (Exists(destination) && leaving.count(CaseFolded(destination)) == 0) {
                plan.taken.push_back(destination);
            }
        }
    }
    const std::vector<std::wstring> ends = dryRun ? EndsOf(moving) : std::vector<std::wstring>();
    for (std::size_t i = 0; i < moving.size(); ++i) {
        BatchFile& file = moving[i];
        if (dryRun) {
            ReportLine(L"", file.finalPath, L" -> ", ends[i], L"");
        }
        plan.names.push_back(NameOf(file.oldPath));
        plan.paths.push_back(std::move(file.finalPath));
    }
    return plan;
}

} // namespace

std::wstring NewestJournal(bool forUndo)
{
    const std::vector<std::wstring> journals = JournalsIn(DefaultJournalFolder());
    std::vector<JournalProbe> probes;
    probes.reserve(journals.size());
    for (const std::wstring& journal : journals) {
        probes.push_back(ProbeJournal(journal));
    }
    // Batches a finished undo has undone (the action of an undo names the journal it undid),
    // newest first: an undo a later undo has undone in turn undoes nothing any more.
    std::set<std::wstring> undone;
    for (std::size_t k = journals.size(); k-- > 0;) {
        const JournalProbe& probe = probes[k];
        std::wstring undonePath;
        if (probe.state == JournalState::Finished && probe.action.rfind("undo\t", 0) == 0 &&
            (probe.end == "0" || probe.end == "3") && undone.count(CaseFolded(journals[k])) == 0 &&
            FromJournalText(probe.action.substr(5), undonePath)) {
            undone.insert(CaseFolded(undonePath));
        }
    }
    for (std::size_t k = journals.size(); k-- > 0;) {
        const JournalProbe& probe = probes[k];
        if (!forUndo) {
            if (probe.state == JournalState::Unfinished) {
                return journals[k];
            }
            continue;
        }
        if (probe.state == JournalState::Finished && probe.action == "rename" && probe.end != endRecovered &&
            undone.count(CaseFolded(journals[k])) == 0 && HasSomethingToUndo(journals[k])) {
            return journals[k];
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
        ReportLine(L"nothing to recover: the batch finished: ", journalPath);
        return 0;
    }
    Recovery recovery(journal, dryRun);
    recovery.Run();
    // The end goes where the last whole record ends: after a lost tail it would not be read.
    if (!dryRun && recovery.Left() == 0 &&
        !AppendJournalRecord(journalPath, journal.intactLength, std::string(recordEnd) + "\t" + endRecovered)) {
        Problem("put back, but cannot mark the journal recovered: ", journalPath);
    }
    DiagnosticStream() << (dryRun ? L"would recover: " : L"recovered: ") << recovery.PutBack() << L" put back, "
                       << recovery.Removed() << L" placeholders removed, " << recovery.Left() << L" left" << std::endl;
    return recovery.Left() == 0 ? 0 : SomeFilesFailed;
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

    UndoPlan plan = PlanUndo(journal, dryRun);
    for (const JournalStep& step : journal.steps) {
        if (step.kind == recordRecycle && step.outcome == JournalStep::Outcome::Done) {
            ReportLine(L"stays in the recycle bin: ", step.from);
        }
    }
    if (dryRun) {
        // The engine probes every file before it moves any, and stops at the first one open.
        const auto open = std::find_if(plan.paths.begin(), plan.paths.end(), IsFileLocked);
        if (open != plan.paths.end()) {
            ReportLine(L"open: ", *open);
            DiagnosticStream() << L"would undo nothing: a file of the batch is open" << std::endl;
            return 0;
        }
        for (const std::wstring& taken : plan.taken) {
            ReportLine(L"taken: ", taken);
        }
        DiagnosticStream() << L"would undo: " << plan.paths.size() << L" back to their old names, " << plan.left
                           << L" left" << std::endl;
        if (!plan.taken.empty()) {
            DiagnosticStream() << L"would ask once; after Yes what is taken goes to the recycle bin, after No "
                                  L"nothing is undone"
                               << std::endl;
        }
        return 0;
    }

    OperationResult result;
    SetOperationResult(result, Succeeded, FilesRename, L"", 0, 0);
    if (!plan.paths.empty()) {
        RenameJournal own;
        std::wstring problem;
        const std::string action = std::string("undo\t") + JournalText(journalPath);
        if (!ownJournal.none &&
            !(ownJournal.file.empty() ? own.CreateIn(DefaultJournalFolder(), action, problem)
                                      : own.Create(ownJournal.file, action, problem))) {
            Problem("nothing was renamed: ", problem);
            return journalExitCode;
        }
        FilesRenamerRestore restore(nullptr, plan.paths, std::move(plan.names));
        if (!ownJournal.none) {
            restore.Observe(own);
        }
        restore.Rename(result);
        if (!ownJournal.none) {
            own.Finish(result);
        }
    }
    // A file left alone is one the undo did not do.
    if (plan.left > 0 && (result.statusCode == Succeeded || result.statusCode == SomeFilesFailed)) {
        const std::int32_t failed = result.failedCount + plan.left;
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
        if (ProbeJournal(journal).state == JournalState::Unfinished) {
            const std::string path = Utf8(journal);
            (void)std::fprintf(errors,
                               "QuillmossRename: an earlier batch never finished, and some of its files may still be "
                               "under temporary names (journal %s); to put them back, run: QuillmossRename --recover "
                               "\"%s\"\n",
                               path.c_str(), path.c_str());
        }
    }
}
