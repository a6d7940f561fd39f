#include "bulkrename/Recovery.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <utility>

#include "rename/PathSpelling.h"
#include "bulkrename/ReportLine.h"
#include "rename/journal/JournalFormat.h"
#include "rename/journal/JournalRules.h"

namespace {

// The clock of the file system may lag the system's by a tick or two: a placeholder made just
// after its record can carry a time a little before it.
constexpr unsigned long long placeholderTimeSlack = 2ULL * 10 * 1000 * 1000;

} // namespace

Recovery::Recovery(const JournalContents& contents, bool dry) : journal(contents), dryRun(dry), disk(dry)
{
    std::set<std::string> holders;
    for (const JournalStep& step : journal.steps) {
        if (!step.holderIdentity.empty()) {
            holders.insert(step.holderIdentity);
        }
    }
    for (const JournalStep& step : journal.steps) {
        if (!IsMoveRecord(step.kind) || holders.count(step.identity) == 0) {
            continue;
        }
        auto& names = folderNames[step.identity];
        for (const std::wstring* path : {&step.from, &step.to}) {
            if (path->empty()) {
                continue;
            }
            const std::wstring name = NameOf(*path);
            if (std::none_of(names.begin(), names.end(), [&name](const std::wstring& known) { return SamePath(known, name); })) {
                names.push_back(name);
            }
            folderPlaces[CaseFolded(*path)] = {step.holderLength, step.holderIdentity};
        }
    }
}

void Recovery::Run()
{
    // Last first: each step's paths are right again once every later step is undone.
    for (std::size_t k = journal.steps.size(); k-- > 0;) {
        const JournalStep& step = journal.steps[k];
        if (step.outcome == JournalStep::Outcome::Failed) {
            continue;
        }
        // A recycle the journal lost (a plan's step past its last record) happened if what stood
        // there is gone once the batch's own files have left: it may as well be said.
        if (step.kind == recordRecycle && !disk.Exists(step.from)) {
            ReportLine(step.recorded ? L"still in the recycle bin: " : L"perhaps in the recycle bin: ", step.from);
        } else if (IsMoveRecord(step.kind)) {
            UndoMove(step);
        }
    }
    RemoveUnnamedPlaceholders();
    CheckEveryFileIsBack();
}

void Recovery::UndoMove(const JournalStep& step)
{
    if (step.identity.empty()) {
        UndoUnknownMove(step);
        return;
    }
    const bool aside = step.kind == recordMoveAside;
    NoteHowFilesAreToldApart(step.identity, step.to, weakNoted);
    // A step never leaves its folder: both its paths are in the one folder, wherever that is now.
    std::wstring from = step.from;
    std::wstring to = step.to;
    std::string there = disk.Identity(to);
    if (there != step.identity && step.holderLength > 0) {
        const std::wstring folder = ActualFolder(FolderOf(step.to), step.holderLength, step.holderIdentity, 0);
        if (folder != FolderOf(step.to)) {
            from = folder + L"\\" + NameOf(step.from);
            to = folder + L"\\" + NameOf(step.to);
            there = disk.Identity(to);
        }
    }
    // A move back put its entry where the batch found it (in its folder, wherever that is now),
    // and a return put it under its temporary name, from which its move aside is undone: undoing
    // either would only move the entry out and back in, through a name that may be taken since.
    if ((step.kind == recordMoveBack || step.kind == recordReturn) && there == step.identity) {
        return;
    }
    if (there == step.identity) {
        if (disk.Exists(from)) {
            Leave(aside ? L"left alone, something else stands at its old name: "
                        : L"left alone, something else stands where it came from: ",
                  to, aside ? L" (old name: " : L" (came from: ", from, step.identity);
        } else if (disk.Move(to, from)) {
            if (aside) {
                ++putBack;
                ReportLine(dryRun ? L"would put back: " : L"put back: ", from);
            }
        } else {
            Leave(L"cannot move back: ", to, L" (to ", from, step.identity);
        }
        return;
    }
    // The step is not in effect: it never happened, or it is undone already. Only a move aside
    // in doubt leaves something to clear: the placeholder the system made for it.
    if (!aside || step.outcome == JournalStep::Outcome::Done || !disk.Exists(to)) {
        return;
    }
    // Something stands there that cannot be told apart: nothing is removed on a guess, even empty.
    // That includes the batch's own file, edited since, where its creation time follows its last
    // write: it keeps the file index, which a placeholder, made while the file still had its old
    // name, never has.
    if (there.empty() || SameFileIndex(there, step.identity)) {
        Leave(L"left alone, cannot tell what it is: ", to, L" (at the temporary name of: ", from,
              there.empty() ? std::string() : step.identity);
    } else if (disk.IsEmptyFile(to)) {
        RemovePlaceholder(to);
    } else {
        Leave(L"left alone, not the batch's: ", to, L" (at the temporary name of: ", from, {});
    }
}

std::wstring Recovery::ActualFolder(const std::wstring& folder, std::size_t holderLength,
                                    const std::string& holderIdentity, int depth)
{
    // Deeper than any path can be: a journal whose places lead round in a circle.
    constexpr int deepest = 128;
    if (holderLength == 0 || holderLength > folder.size() || holderIdentity.empty() || depth > deepest) {
        return folder;
    }
    const std::wstring holder = folder.substr(0, holderLength);
    const auto place = folderPlaces.find(CaseFolded(holder));
    const std::wstring above = FolderOf(holder);
    const std::wstring aboveNow = place == folderPlaces.end()
                                      ? above
                                      : ActualFolder(above, place->second.first, place->second.second, depth + 1);
    std::vector<std::wstring> names{NameOf(holder)};
    const auto known = folderNames.find(holderIdentity);
    if (known != folderNames.end()) {
        names.insert(names.end(), known->second.begin(), known->second.end());
    }
    for (const std::wstring& name : names) {
        std::wstring candidate = aboveNow;
        candidate += L'\\';
        candidate += name;
        if (disk.Identity(candidate) == holderIdentity) {
            return candidate + folder.substr(holderLength);
        }
    }
    return folder;
}

void Recovery::UndoUnknownMove(const JournalStep& step)
{
    // The journal cannot say which entry the step moved: nothing is moved on a guess.
    const bool aside = step.kind == recordMoveAside;
    if (!disk.Exists(step.to)) {
        return;
    }
    if (aside && step.outcome != JournalStep::Outcome::Done && disk.Exists(step.from) && disk.IsEmptyFile(step.to)) {
        RemovePlaceholder(step.to);
    } else if (!disk.Exists(step.from)) {
        Leave(L"left alone, the journal cannot tell it is the batch's: ", step.to, L" (old name: ", step.from, {});
    }
}

void Recovery::RemovePlaceholder(const std::wstring& path)
{
    if (disk.Remove(path)) {
        ++removed;
        ReportLine(dryRun ? L"would remove placeholder: " : L"removed placeholder: ", path);
    } else {
        ++left;
        ReportLine(L"cannot remove placeholder: ", path);
    }
}

void Recovery::RemoveUnnamedPlaceholders()
{
    // Temporary names asked for after the last recorded move aside may never have been recorded
    // themselves (a plan of moves may be cut short): each such folder is searched once, for
    // placeholders made since the first ask. Once every move is undone, each folder is where it
    // was when its names were asked for.
    std::set<std::wstring> journalNames;
    std::map<std::wstring, std::pair<std::wstring, unsigned long long>> unnamedFolders;
    for (const JournalStep& step : journal.steps) {
        if (step.kind == recordMoveAside) {
            journalNames.insert(CaseFolded(step.to));
            if (step.recorded) {
                unnamedFolders.clear();
            }
        } else if (step.kind == recordTemporaryName) {
            const unsigned long long asked = std::strtoull(step.detail.c_str(), nullptr, 10);
            std::wstring folder = step.from;
            if (!folder.empty() && folder.back() == L'\\') {
                folder.pop_back();
            }
            const auto known = unnamedFolders.emplace(CaseFolded(folder), std::make_pair(folder, asked));
            known.first->second.second = std::min(known.first->second.second, asked);
        }
    }
    for (const auto& [key, folder] : unnamedFolders) {
        for (const DiskView::Found& found : disk.EmptyTemporaryFilesIn(folder.first)) {
            // Made while the batch ran: an empty file of someone's, or another batch's, made after
            // it died is not its placeholder.
            const bool whileItRan = found.written + placeholderTimeSlack >= folder.second &&
                                    (journal.lastWritten == 0 || found.written <= journal.lastWritten + placeholderTimeSlack);
            if (IsTemporaryName(NameOf(found.path)) && whileItRan && journalNames.count(CaseFolded(found.path)) == 0) {
                RemovePlaceholder(found.path);
            }
        }
    }
}

void Recovery::CheckEveryFileIsBack()
{
    for (const JournalStep& step : journal.steps) {
        if (step.kind != recordMoveAside || step.outcome == JournalStep::Outcome::Failed || step.identity.empty() ||
            reported.count(step.identity) != 0) {
            continue;
        }
        const std::wstring& oldPath = step.origin.empty() ? step.from : step.origin;
        if (disk.Identity(oldPath) != step.identity) {
            ++left;
            reported.insert(step.identity);
            ReportLine(L"not found at its old name: ", oldPath);
        }
    }
}

void Recovery::Leave(const wchar_t* label, const std::wstring& path, const wchar_t* between, const std::wstring& other,
                     const std::string& identity)
{
    ++left;
    if (!identity.empty()) {
        reported.insert(identity);
    }
    ReportLine(label, path, between, other);
}

void NoteHowFilesAreToldApart(const std::string& identity, const std::wstring& path, bool& noted)
{
    if (!noted && IsWeakIdentity(identity)) {
        noted = true;
        ReportLine(L"no lasting file index on this volume: files are told apart by their size and times, as at ", path);
    }
}
