#pragma once

#include <cstddef>
#include <string>
#include <vector>

// A source of a group that phase 1 moves aside at once, and whether it exists.
struct AsideGroupEntry {
    std::size_t source;
    bool exists;
};

// The sources (in the one spelling, see PathSpelling.h) from `first` on that phase 1 can take
// as one group of at most `largest` existing members: whether each exists is known before any of
// them moves, since none lies in or is a member before it (such a source starts the next group,
// as do the sources after the group's last member). Fills `group`; returns the position after it.
std::size_t GatherAsideGroup(const std::vector<std::wstring>& sources, std::size_t first, std::size_t largest,
                             std::vector<AsideGroupEntry>& group);
