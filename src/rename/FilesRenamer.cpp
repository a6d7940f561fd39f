#include "rename/FilesRenamer.h"

#include <shlwapi.h>

#include <algorithm>
#include <climits>
#include <new>

#include "diagnostics/DiagnosticStream.h"
#include "files/DeleteFileOperation.h"
#include "files/FileMachine.h"
#include "files/FileOperation.h"
#include "files/RenameFileOperation.h"
#include "platform/UniqueHandle.h"
#include "rename/AsideGroup.h"
#include "rename/KeptNames.h"
#include "rename/OverwriteQuestion.h"
#include "rename/PathResolver.h"
#include "rename/PathSpelling.h"
#include "rename/UnwindGuard.h"

namespace {

void WriteLine(const wchar_t* text)
{
    DiagnosticStream() << text << std::endl;
}

// Where a rename has no path it may take: the rename then fails.
const std::wstring noPath;

std::int32_t CountOf(const std::vector<std::wstring>& list)
{
    return static_cast<std::int32_t>(std::min<std::size_t>(list.size(), INT32_MAX));
}

// With an observer, phase 1 makes the temporary names of this many files, then moves them: the
// observer can record a group's steps at once instead of one by one, and a group's placeholders
// stay few.
constexpr std::size_t filesPerGroup = 512;

} // namespace

bool CanHoldTemporaryNames(const std::wstring& folder)
{
    return folder.size() <= MAX_PATH - 14;
}

bool IsFileLocked(const std::wstring& path)
{
    const UniqueHandle file(
        CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.IsValid()) {
        return false;
    }
    return GetLastError() == ERROR_SHARING_VIOLATION;
}

FilesRenamer::FilesRenamer(HWND owner, const PathList& paths) : QuillmossElement(owner), sources(paths)
{
}

void FilesRenamer::Observe(RenameObserver& stepObserver)
{
    announcer.Attach(stepObserver);
}

void FilesRenamer::Rename(OperationResult& result)
{
    const std::int32_t sourceCount = CountOf(sources);

    if (!ResolveSources()) {
        ReportUnexpectedError(result);
        return;
    }

    for (const std::wstring& source : resolvedSources) {
        if (IsFileLocked(source)) {
            WriteLine(L"FilesRenamer::Rename: Some files are open!");
            SetOperationResult(result, FilesOpen, FilesRename,
                               L"Some of the files are open.\nCan't complete rename operation.", 0, sourceCount);
            return;
        }
    }

    // From here on files move. An exception (memory running out, say) must not leave them under
    // names nobody knows: every moved file goes back under its old name first, as on a decline.
    const UnwindGuard putBackOnException([this] { UndoAfterException(); });

    const std::int32_t missing = RenameToTemporaryNames();
    if (missing == -1) {
        PutBackMovedFiles();
        ReportUnexpectedError(result);
        return;
    }

    const std::int32_t computed = ComputeNewNames();
    if (computed == -2) {
        WriteLine(L"FilesRenamer::Rename: User decided not to overwrite existing files. Operation failed!");
        PutBackMovedFiles();
        SetOperationResult(result, UserDeclined, FilesRename, L"", 0, sourceCount);
        return;
    }
    // A subclass that named fewer files than were moved aside broke its contract: there is no
    // new name to give the rest, so nothing is renamed.
    if (computed == -1 || newNames.size() < oldNames.size()) {
        PutBackMovedFiles();
        ReportUnexpectedError(result);
        return;
    }

    KeepOldNamesOutOfReach();
    const std::int32_t failedRenames = RenameToNewNames();
    stranded.Report();

    // Summed wide: a subclass may count any number of failures.
    const std::int64_t failures = std::int64_t{missing} + computed + failedRenames;
    if (failures <= 0) {
        SetOperationResult(result, Succeeded, FilesRename, L"", sourceCount, 0);
        return;
    }
    const std::int32_t failed = static_cast<std::int32_t>(std::min<std::int64_t>(failures, INT32_MAX));
    const std::wstring message = std::to_wstring(failed) + L" files failed to rename.";
    SetOperationResult(result, SomeFilesFailed, FilesRename, message.c_str(), sourceCount - failed, failed);
}

bool FilesRenamer::ResolveSources()
{
    // A file's temporary and new names are made in the folder it is in, which only the resolved
    // path names: in "C:\D\X/f.txt" the text before the last backslash is the folder's parent.
    // Two ways to one folder (a link, a substituted drive) are one folder, or a file moved aside
    // through one of them is lost to a folder that moves through the other.
    resolvedSources.reserve(sources.size());
    PathResolver resolver;
    for (const std::wstring& source : sources) {
        std::wstring resolved;
        if (!resolver.Resolve(source, resolved)) {
            DiagnosticStream() << L"FilesRenamer::Rename: Can't tell which folder holds ";
            WriteUtf8(source, true, DiagnosticStream());
            return false;
        }
        resolvedSources.push_back(std::move(resolved));
    }
    return true;
}

std::int32_t FilesRenamer::RenameToTemporaryNames()
{
    // Room for every file up front, so that recording a file that has just moved cannot fail.
    temporaryNames.reserve(sources.size());
    oldNames.reserve(sources.size());
    movedSources.reserve(sources.size());
    // Without an observer there is nothing to record at once, and each file's placeholder is made
    // just before the file moves: a group of one.
    const std::size_t largest = announcer.Observed() ? filesPerGroup : 1;
    std::int32_t missing = 0;
    std::vector<AsideGroupEntry> group;
    for (std::size_t s = 0; s < sources.size();) {
        s = GatherAsideGroup(resolvedSources, s, largest, group);
        for (AsideGroupEntry& entry : group) {
            entry.exists = entry.exists && !IsOwnTemporaryName(resolvedSources[entry.source]);
        }
        if (!RenameGroupAside(group, missing)) {
            return -1;
        }
    }
    return missing;
}

bool FilesRenamer::RenameGroupAside(const std::vector<AsideGroupEntry>& group, std::int32_t& missing)
{
    const bool moved = MoveGroupAside(group, missing);
    // A placeholder reached by another way to a folder that a member took along cannot be
    // removed now: it is tried again once the files are back.
    placeholders.End();
    return moved;
}

bool FilesRenamer::MoveGroupAside(const std::vector<AsideGroupEntry>& group, std::int32_t& missing)
{
    std::vector<std::size_t> members;
    for (const AsideGroupEntry& entry : group) {
        if (entry.exists) {
            members.push_back(entry.source);
        }
    }
    // Each member's folder, then each member's move: the observer hears of every temporary name
    // about to be made, and of every move, before the first of them.
    std::vector<RenameObserver::StepPaths> steps(members.size());
    for (std::size_t k = 0; k < members.size(); ++k) {
        const FileMachine record(ownerWindow, resolvedSources[members[k]]);
        record.GetFolder(steps[k].from);
    }
    if (!members.empty() && !announcer.AnnounceRun(RenameObserver::Step::TemporaryName, steps)) {
        return false;
    }
    // The temporary names, up to the first that cannot be made (or recorded): that member stops
    // the batch once the members before it have moved, as it would have in a group of its own.
    placeholders.Begin(members.size());
    std::size_t made = 0;
    bool recorded = true;
    for (; made < members.size(); ++made) {
        const std::wstring& folder = steps[made].from;
        recorded = announcer.Announce(RenameObserver::Step::TemporaryName, folder, {});
        if (!recorded) {
            break;
        }
        if (!CanHoldTemporaryNames(folder) || !placeholders.Make(folder)) {
            announcer.Report(RenameObserver::Step::TemporaryName, folder, {}, false);
            break;
        }
    }
    steps.resize(made);
    for (std::size_t k = 0; k < made; ++k) {
        steps[k] = {resolvedSources[members[k]], placeholders.Path(k)};
    }
    if (made > 0 && !announcer.AnnounceRun(RenameObserver::Step::MoveAside, steps)) {
        return false;
    }

    std::size_t k = 0;
    for (const AsideGroupEntry& entry : group) {
        if (!entry.exists) {
            ReportMissing(entry.source, missing);
            continue;
        }
        if (k == made) {
            if (recorded) {
                WriteLine(L"FilesRenamer::Rename: GetTempFileName failed!");
            }
            return false;
        }
        if (!MoveOneAside(entry.source, k++, missing)) {
            return false;
        }
    }
    return true;
}

bool FilesRenamer::IsOwnTemporaryName(const std::wstring& source) const
{
    if (!IsTemporaryName(NameOf(source))) {
        return false;
    }
    return std::any_of(temporaryNames.begin(), temporaryNames.end(),
                       [&source](const std::wstring& temporaryName) { return SamePath(temporaryName, source); });
}

void FilesRenamer::ReportMissing(std::size_t s, std::int32_t& missing) const
{
    DiagnosticStream() << L"1. File doesn't exist: ";
    WriteUtf8(sources[s], true, DiagnosticStream());
    ++missing;
}

bool FilesRenamer::MoveOneAside(std::size_t s, std::size_t k, std::int32_t& missing)
{
    const std::wstring& source = resolvedSources[s];
    std::wstring temporaryPath = placeholders.Path(k);
    if (!announcer.Announce(RenameObserver::Step::MoveAside, source, temporaryPath)) {
        return false;
    }
    // The system created an empty placeholder to reserve the name; the move needs it gone.
    DeleteFileOperation removePlaceholder(ownerWindow, temporaryPath.c_str(), false, true, false);
    if (!removePlaceholder.Execute()) {
        WriteLine(L"FilesRenamer::Rename: DelenteFileOperation failed!");
        // It must not be left behind (the shell refuses, for one, a name too long for its
        // buffers), and is gone before the step is recorded as failed: a recovery leaves a
        // failed step alone.
        placeholders.Remove(k);
        announcer.Report(RenameObserver::Step::MoveAside, source, temporaryPath, false);
        return false;
    }
    placeholders.Release(k);

    if (!movedFiles.KeepsInReach(source, temporaryPath, longestShellPath)) {
        announcer.Report(RenameObserver::Step::MoveAside, source, temporaryPath, false);
        DiagnosticStream() << L"FilesRenamer::Rename: Not moved, paths inside would grow too long: ";
        WriteUtf8(sources[s], true, DiagnosticStream());
        ++missing;
        return true;
    }
    // Copied before the move: once the file has moved, recording it must not need memory.
    std::wstring oldName = source;
    RenameFileOperation moveAside(ownerWindow, source.c_str(), temporaryPath.c_str(), false, true);
    const bool moved = moveAside.Execute();
    announcer.Report(RenameObserver::Step::MoveAside, source, temporaryPath, moved);
    if (!moved) {
        WriteLine(L"FilesRenamer::Rename: RenameFileOperation failed!");
        return false;
    }

    temporaryNames.push_back(std::move(temporaryPath));
    oldNames.push_back(std::move(oldName));
    movedSources.push_back(s);
    movedFiles.Added();
    return true;
}

bool FilesRenamer::HoldsMovedFiles(const std::wstring& path) const
{
    return movedFiles.HoldsAny(path);
}

void FilesRenamer::NoteTakenPath(std::wstring& newPath, std::vector<std::wstring>& takenPaths) const
{
    // Every file of the batch has left its old name, so whatever stands here is outside it.
    if (newPath.empty() || !PathFileExistsW(newPath.c_str())) {
        return;
    }
    // A link there leads to a folder that may hold them; recycling the link may take that along.
    std::wstring target;
    if (HoldsMovedFiles(newPath) || (LinkTargetOf(newPath, target) && HoldsMovedFiles(target))) {
        newPath.clear();
    } else {
        takenPaths.push_back(newPath);
    }
}

std::int32_t FilesRenamer::ConfirmOverwrite(const std::vector<std::wstring>& takenPaths, std::int32_t value)
{
    const std::int32_t outcome = AskToReplaceTakenPaths(ownerWindow, takenPaths, announcer);
    return outcome == 0 ? value : outcome;
}

void FilesRenamer::KeepOldNamesOutOfReach()
{
    bool anyKept = false;
    for (std::size_t i = 0; i < oldNames.size() && !anyKept; ++i) {
        anyKept = TargetOf(i).empty();
    }
    if (!anyKept) {
        return;
    }
    std::vector<std::wstring> targets;
    targets.reserve(newNames.size());
    for (std::size_t i = 0; i < oldNames.size(); ++i) {
        targets.push_back(TargetOf(i));
    }
    for (const std::size_t i : KeepOldNamesFree(targets, oldNames)) {
        newNames[i].clear();
    }
}

const std::wstring& FilesRenamer::TargetOf(std::size_t i) const
{
    // A rename never takes a file out of its folder, whatever new path the naming step gave.
    return SamePath(FolderOf(newNames[i]), FolderOf(temporaryNames[i])) ? newNames[i] : noPath;
}

std::int32_t FilesRenamer::RenameToNewNames()
{
    // Position i of the three lists describes one file; walking by index keeps a batch linear.
    renamedToNewNames.assign(temporaryNames.size(), false);
    // Every rename is known now: the observer hears of them a run at a time, before the first.
    bool runAnnounced = true;
    std::size_t announcedEnd = settledCount;
    std::int32_t failed = 0;
    while (settledCount < temporaryNames.size()) {
        const std::size_t i = settledCount;
        if (i == announcedEnd) {
            runAnnounced =
                announcer.AnnounceRenames(i, [this](std::size_t k) -> const std::wstring& { return TargetOf(k); });
            announcedEnd = std::min(i + StepAnnouncer::stepsPerRun, temporaryNames.size());
        }
        const std::wstring& target = TargetOf(i);
        bool renamed = false;
        if (runAnnounced && announcer.Announce(RenameObserver::Step::Rename, temporaryNames[i], target)) {
            RenameFileOperation rename(ownerWindow, temporaryNames[i].c_str(), target.c_str(), false, true);
            renamed = rename.Execute();
            announcer.Report(RenameObserver::Step::Rename, temporaryNames[i], target, renamed);
        }
        if (renamed) {
            renamedToNewNames[i] = true;
            ++settledCount;
            stranded.FollowMovedFolder(temporaryNames[i], newNames[i]);
        } else {
            MoveBack(i);
            ++settledCount;
            ++failed;
        }
    }
    return failed;
}

void FilesRenamer::MoveBack(std::size_t i)
{
    // A file goes back whether or not the step could be recorded: its old name is where it belongs.
    announcer.Announce(RenameObserver::Step::MoveBack, temporaryNames[i], oldNames[i]);
    RenameFileOperation moveBack(ownerWindow, temporaryNames[i].c_str(), oldNames[i].c_str(), false, true);
    const bool movedBack = moveBack.Execute();
    announcer.Report(RenameObserver::Step::MoveBack, temporaryNames[i], oldNames[i], movedBack);
    if (movedBack) {
        stranded.FollowMovedFolder(temporaryNames[i], oldNames[i]);
    } else {
        stranded.Add(temporaryNames[i], oldNames[i]);
    }
}

void FilesRenamer::PutBackMovedFiles()
{
    for (std::size_t announcedEnd = settledCount; settledCount < temporaryNames.size(); ++settledCount) {
        if (settledCount == announcedEnd) {
            announcedEnd = announcer.AnnounceMoveBacks(settledCount);
        }
        MoveBack(settledCount);
    }
    // Every file is back where it was: a placeholder that could not be removed is where it was
    // made again.
    placeholders.RetryStuck();
    stranded.Report();
}

void FilesRenamer::UndoAfterException()
{
    const std::size_t settled = std::min(settledCount, renamedToNewNames.size());
    for (std::size_t i = settled, announcedFrom = settled; i-- > 0;) {
        if (renamedToNewNames[i]) {
            if (i < announcedFrom) {
                announcedFrom = announcer.AnnounceReturns(i, renamedToNewNames);
            }
            announcer.Announce(RenameObserver::Step::Return, newNames[i], temporaryNames[i]);
            RenameFileOperation undo(ownerWindow, newNames[i].c_str(), temporaryNames[i].c_str(), false, true);
            announcer.Report(RenameObserver::Step::Return, newNames[i], temporaryNames[i], undo.Execute());
            renamedToNewNames[i] = false;
        }
    }
    settledCount = 0;
    PutBackMovedFiles();
}

void FilesRenamer::ReportUnexpectedError(OperationResult& result)
{
    WriteLine(L"FilesRenamer::Rename: Unexpected error!");
    SetOperationResult(result, UnexpectedError, FilesRename, L"An unexpected error occured.", 0, 0);
}
