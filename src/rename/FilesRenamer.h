#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "files/QuillmossElement.h"
#include "rename/OperationResult.h"
#include "rename/AsideGroup.h"
#include "rename/MovedFiles.h"
#include "rename/PathList.h"
#include "rename/PlaceholderFiles.h"
#include "rename/RenameObserver.h"
#include "rename/StepAnnouncer.h"
#include "rename/StrandedFiles.h"

// Renames a set of files in bulk so that no new name ever collides with a name another member of
// the set still holds: every file is first moved aside to a unique temporary name in its own
// folder, the subclass then chooses the new names, and only then does each file take its new
// name. A file whose final rename fails goes back to its old name; when the subclass reports that
// the user declined, or a step fails, every moved file goes back.
class FilesRenamer : protected QuillmossElement {
public:
    // Sets `result` exactly once, on every path.
    void Rename(OperationResult& result);
    // Tells `stepObserver` of every step that moves something; it must outlive the rename.
    void Observe(RenameObserver& stepObserver);

protected:
    FilesRenamer(HWND owner, const PathList& paths);
    // Renamers are built and destroyed as their most-derived class, never through this base.
    ~FilesRenamer() = default;

    // Appends one new full path to `newNames` for each entry of `oldNames`, in order. Returns -2
    // when the user declined, -1 when the step failed, else a number of files it counts as failed.
    virtual std::int32_t ComputeNewNames() = 0;

    // Whether a file of the batch was moved aside inside the folder at `path` (in the spelling of
    // `temporaryNames`): such a folder, standing at a new path, must not go to the recycle bin.
    bool HoldsMovedFiles(const std::wstring& path) const;
    // For the naming step: when something stands at `newPath`, adds it to `takenPaths`, or, when it
    // is a folder holding files of the batch (which must not go to the recycle bin with it),
    // clears `newPath` so that the file keeps its old name.
    void NoteTakenPath(std::wstring& newPath, std::vector<std::wstring>& takenPaths) const;
    // Asks once whether `takenPaths` (things outside the batch standing at new paths) may be
    // replaced and sends them to the recycle bin on Yes. Returns `value` when nothing stops the
    // batch, -2 when the user declined, -1 when a recycle failed.
    std::int32_t ConfirmOverwrite(const std::vector<std::wstring>& takenPaths, std::int32_t value);

    // The path file `i` (an entry of `oldNames`) had when the batch began, in the one spelling
    // (see PathSpelling.h): `oldNames` follows folders of the batch that moved after it.
    const std::wstring& OriginalPathOf(std::size_t i) const { return resolvedSources[movedSources[i]]; }

    std::vector<std::wstring> sources;
    std::vector<std::wstring> newNames;
    std::vector<std::wstring> temporaryNames;
    std::vector<std::wstring> oldNames;
    // For each file moved aside (each entry of `oldNames`), its position in `sources`.
    std::vector<std::size_t> movedSources;

private:
    // A file that keeps its old name (it has no path it may take) goes back to it, so no other
    // file may take that name: the new path of such a file is cleared, until none is left.
    void KeepOldNamesOutOfReach();
    // Where file `i` is renamed to: its new path, or no path when that lies in another folder.
    const std::wstring& TargetOf(std::size_t i) const;

    // Fills `resolvedSources`; false, with a line naming the path, when a source cannot be placed
    // in a folder.
    bool ResolveSources();
    // Phase 1: the number of sources that did not exist, or -1 when a step failed.
    std::int32_t RenameToTemporaryNames();
    // Moves the group's existing members aside: first a temporary name for each, then the moves,
    // writing every line where a run of groups of one would write it, and taking no step for a
    // source after the one that failed. Adds the missing ones to `missing`. False when a step
    // failed.
    bool RenameGroupAside(const std::vector<AsideGroupEntry>& group, std::int32_t& missing);
    bool MoveGroupAside(const std::vector<AsideGroupEntry>& group, std::int32_t& missing);
    // Moves source `s` aside to placeholder `k` of the group. Counts it in `missing` when it
    // stays (see MovedFiles::KeepsInReach); false when a step failed.
    bool MoveOneAside(std::size_t s, std::size_t k, std::int32_t& missing);
    // Whether `source` is where this batch moved a file aside: it did not exist when the batch
    // began (the system makes temporary names no entry holds), so it counts as missing, never as
    // a file to move aside again.
    bool IsOwnTemporaryName(const std::wstring& source) const;
    void ReportMissing(std::size_t s, std::int32_t& missing) const;
    // Phase 3: the number of files whose rename to the new name failed.
    std::int32_t RenameToNewNames();
    // Every file still under its temporary name back to its old name (after a decline, a failed
    // step or an exception).
    void PutBackMovedFiles();
    // After an exception in phase 3: the files that already took their new names go back to their
    // temporary ones, last first (a folder before the files renamed inside it), then every file
    // goes back to its old name, as on a decline.
    void UndoAfterException();
    // Moves file `i` from its temporary name back to its old one.
    void MoveBack(std::size_t i);
    void ReportUnexpectedError(OperationResult& result);

    // The one spelling of each source (see PathSpelling.h), at the same position as in `sources`:
    // every step works on these.
    std::vector<std::wstring> resolvedSources;
    // How many files, from the front, phase 3 has finished with (under their new or old names),
    // and which of them took their new names.
    std::size_t settledCount = 0;
    std::vector<bool> renamedToNewNames;
    // The moved files' paths, following the folders of the batch that move after them.
    MovedFiles movedFiles{temporaryNames, oldNames};
    StrandedFiles stranded;
    // The placeholders of the group being moved aside, and any that could not be removed yet.
    PlaceholderFiles placeholders;
    // Tells the observer, if any, of every step.
    StepAnnouncer announcer{temporaryNames, newNames, oldNames};
};

// True when another handle holds the file open (an exclusive open fails with a sharing
// violation). A missing path or a folder is never reported as open.
bool IsFileLocked(const std::wstring& path);

// Whether the system can make temporary names in `folder`: it documents folders of up to
// MAX_PATH - 14 units, and not every implementation checks before writing into its buffer. A
// longer folder fails phase 1.
bool CanHoldTemporaryNames(const std::wstring& folder);
