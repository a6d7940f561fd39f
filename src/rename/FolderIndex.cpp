#include "rename/FolderIndex.h"

#include <utility>

#include "rename/PathSpelling.h"

namespace {

// Folders at `key` and below it sort together, between "KEY" and "KEY]" (']' follows '\').
std::wstring PastFolder(const std::wstring& key)
{
    return key + L"]";
}

bool InOrBelow(const std::wstring& path, const std::wstring& key)
{
    return path == key || IsInsideFolder(path, key);
}

} // namespace

void FolderIndex::Add(const std::wstring& folder, std::size_t position)
{
    byFolder[CaseFolded(folder)].push_back(position);
}

bool FolderIndex::HoldsAny(const std::wstring& folder) const
{
    const std::wstring key = CaseFolded(folder);
    if (byFolder.count(key) != 0) {
        return true;
    }
    const auto inside = byFolder.lower_bound(key + L"\\");
    return inside != byFolder.end() && IsInsideFolder(inside->first, key);
}

std::vector<std::size_t> FolderIndex::Inside(const std::wstring& folder) const
{
    const std::wstring key = CaseFolded(folder);
    std::vector<std::size_t> positions;
    const auto last = byFolder.lower_bound(PastFolder(key));
    for (auto it = byFolder.lower_bound(key); it != last; ++it) {
        if (InOrBelow(it->first, key)) {
            positions.insert(positions.end(), it->second.begin(), it->second.end());
        }
    }
    return positions;
}

void FolderIndex::Move(const std::wstring& from, const std::wstring& to)
{
    const std::wstring key = CaseFolded(from);
    const auto first = byFolder.lower_bound(key);
    const auto last = byFolder.lower_bound(PastFolder(key));
    std::vector<std::pair<std::wstring, std::vector<std::size_t>>> moved;
    for (auto it = first; it != last; ++it) {
        if (InOrBelow(it->first, key)) {
            moved.emplace_back(CaseFolded(Rebased(it->first, key, to)), it->second);
        }
    }
    for (auto it = first; it != last;) {
        it = InOrBelow(it->first, key) ? byFolder.erase(it) : std::next(it);
    }
    for (auto& [folder, positions] : moved) {
        auto& list = byFolder[folder];
        list.insert(list.end(), positions.begin(), positions.end());
    }
}
