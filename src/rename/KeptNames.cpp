#include "rename/KeptNames.h"

#include <map>

#include "rename/PathSpelling.h"

std::vector<std::size_t> KeepOldNamesFree(std::vector<std::wstring>& newPaths, const std::vector<std::wstring>& oldPaths)
{
    // Who is to take each new path; then, from every file that keeps its name, the files that
    // would take it, once each.
    std::vector<std::size_t> keeping;
    for (std::size_t i = 0; i < newPaths.size(); ++i) {
        if (newPaths[i].empty()) {
            keeping.push_back(i);
        }
    }
    // Most batches keep no name: they pay for nothing more.
    if (keeping.empty()) {
        return {};
    }
    std::multimap<std::wstring, std::size_t> takers;
    for (std::size_t i = 0; i < newPaths.size(); ++i) {
        if (!newPaths[i].empty()) {
            takers.emplace(CaseFolded(newPaths[i]), i);
        }
    }
    std::vector<std::size_t> cleared;
    while (!keeping.empty()) {
        const auto [first, last] = takers.equal_range(CaseFolded(oldPaths[keeping.back()]));
        keeping.pop_back();
        for (auto it = first; it != last; ++it) {
            newPaths[it->second].clear();
            cleared.push_back(it->second);
            keeping.push_back(it->second);
        }
        takers.erase(first, last);
    }
    return cleared;
}
