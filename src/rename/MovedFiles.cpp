#include "rename/MovedFiles.h"

#include <algorithm>
#include <utility>

#include "rename/PathSpelling.h"

void MovedFiles::Added()
{
    const std::size_t last = temporaryNames.size() - 1;
    const std::wstring& from = oldNames[last];
    const std::wstring& to = temporaryNames[last];
    // Every new string is made before any recorded path changes, so that running out of memory
    // half-way leaves the record as it was.
    std::vector<std::pair<std::size_t, std::pair<std::wstring, std::wstring>>> rebased;
    for (const std::size_t i : byFolder.Inside(from)) {
        rebased.emplace_back(i, std::make_pair(Rebased(temporaryNames[i], from, to), Rebased(oldNames[i], from, to)));
    }
    for (auto& [i, paths] : rebased) {
        temporaryNames[i] = std::move(paths.first);
        oldNames[i] = std::move(paths.second);
    }
    byFolder.Move(from, to);
    byFolder.Add(FolderOf(from), last);
}

bool MovedFiles::KeepsInReach(const std::wstring& source, const std::wstring& temporaryPath,
                              std::size_t longestPath) const
{
    for (const std::size_t i : byFolder.Inside(source)) {
        const std::size_t longest = std::max(temporaryNames[i].size(), oldNames[i].size());
        if (longest - source.size() + temporaryPath.size() > longestPath) {
            return false;
        }
    }
    return true;
}
