#include "rename/AsideGroup.h"

#include <windows.h>
#include <shlwapi.h>

#include <set>

#include "rename/PathSpelling.h"

namespace {

// Whether the case-folded `path`, or a folder above it, is one of `keys`.
bool LiesInOrIs(std::wstring path, const std::set<std::wstring>& keys)
{
    for (; !path.empty(); path = FolderOf(path)) {
        if (keys.count(path) != 0) {
            return true;
        }
    }
    return false;
}

} // namespace

std::size_t GatherAsideGroup(const std::vector<std::wstring>& sources, std::size_t first, std::size_t largest,
                             std::vector<AsideGroupEntry>& group)
{
    group.clear();
    std::size_t members = 0;
    std::set<std::wstring> memberKeys;
    std::size_t s = first;
    for (; s < sources.size() && members < largest; ++s) {
        if (!memberKeys.empty() && LiesInOrIs(CaseFolded(sources[s]), memberKeys)) {
            break;
        }
        const bool exists = PathFileExistsW(sources[s].c_str()) != FALSE;
        group.push_back({s, exists});
        if (exists) {
            ++members;
            // A group of one needs no keys: it ends with its member.
            if (largest > 1) {
                memberKeys.insert(CaseFolded(sources[s]));
            }
        }
    }
    return s;
}
