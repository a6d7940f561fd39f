#pragma once

#include <map>
#include <string>
#include <vector>

#include "rename/journal/JournalFormat.h"

// The disk as a recovery sees it: the real one, or, for a dry run, the real one with every move
// and removal the recovery would have made laid over it, so that a dry run decides each step on
// the disk the run itself would see there.
class DiskView {
public:
    explicit DiskView(bool dryRun) : simulated(dryRun) {}

    bool Exists(const std::wstring& path) const;
    // FileIdentity of the entry at `path` itself (never of what a link leads to); empty when
    // nothing stands there.
    std::string Identity(const std::wstring& path);
    bool IsEmptyFile(const std::wstring& path) const;
    // Moves the entry at `from` to `to`, which must be free.
    bool Move(const std::wstring& from, const std::wstring& to);
    // Removes the file at `path`.
    bool Remove(const std::wstring& path);

    struct Found {
        std::wstring path;
        unsigned long long written = 0;
    };
    // The empty files of `folder` whose names match qms*.tmp.
    std::vector<Found> EmptyTemporaryFilesIn(const std::wstring& folder) const;

private:
    // Where the entry seen at `path` really is; empty when nothing stands there.
    std::wstring RealPath(const std::wstring& path) const;

    bool simulated;
    // Seen path (case-folded) to the real path of what stands there now, empty for nothing. An
    // entry for a folder covers what lies inside it, except where a nearer entry says otherwise.
    std::map<std::wstring, std::wstring> overlay;
    KnownVolumes volumes;
};
