#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <vector>

// Positions in a list of paths by the folder each path lies in (compared without case), so that
// the paths in and below a folder that moves are found without walking the whole list.
class FolderIndex {
public:
    void Add(const std::wstring& folder, std::size_t position);
    bool Empty() const { return byFolder.empty(); }
    void Clear() { byFolder.clear(); }
    // Whether a position was added in `folder` or below it.
    bool HoldsAny(const std::wstring& folder) const;
    // The positions added in `folder` or below it.
    std::vector<std::size_t> Inside(const std::wstring& folder) const;
    // The folder `from` moved to `to`: what was in or below it is in or below `to` now.
    void Move(const std::wstring& from, const std::wstring& to);

private:
    std::map<std::wstring, std::vector<std::size_t>> byFolder;
};
