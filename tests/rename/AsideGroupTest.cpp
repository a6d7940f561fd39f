// Which sources phase 1 moves aside as one group: real files, since whether each exists is part
// of the answer.
#include <string>
#include <vector>

#include "rename/AsideGroup.h"
#include "tests/rename/RenameFixture.h"

namespace {

using AsideGroupTest = RenameFixture;

// The groups of `sources`, each as the positions of its entries, a missing one marked negative.
std::vector<std::vector<int>> GroupsOf(const std::vector<std::wstring>& sources, std::size_t largest)
{
    std::vector<std::vector<int>> groups;
    std::vector<AsideGroupEntry> group;
    for (std::size_t s = 0; s < sources.size();) {
        const std::size_t next = GatherAsideGroup(sources, s, largest, group);
        EXPECT_GT(next, s);
        std::vector<int> entries;
        for (const AsideGroupEntry& entry : group) {
            const int position = static_cast<int>(entry.source);
            entries.push_back(entry.exists ? position : -position);
        }
        groups.push_back(entries);
        s = next;
    }
    return groups;
}

TEST_F(AsideGroupTest, ASourceInOrAtAMemberStartsTheNextGroup)
{
    const std::vector<std::wstring> sources{
        Make(L"a.txt"),        At(L"gone.txt"),  Make(L"D\\X\\f"), Make(L"DX\\g"),
        At(L"D\\X"),           At(L"d\\x\\f"),   Make(L"e.txt"),   At(L"A.TXT"),
    };
    // 0: a.txt, 1: missing, 2: D\X\f, 3: DX\g (not in D\X), 4: D\X (holding member 2, which
    // moves aside inside it first, it still exists); 5: d\x\f lies in member 4: the next group;
    // 6: e.txt; 7: a.txt again (member 0 is in another group).
    EXPECT_EQ(GroupsOf(sources, 512), (std::vector<std::vector<int>>{{0, -1, 2, 3, 4}, {5, 6, 7}}));
    // Groups of one: each ends with its existing member; missing ones go with the next.
    EXPECT_EQ(GroupsOf(sources, 1),
              (std::vector<std::vector<int>>{{0}, {-1, 2}, {3}, {4}, {5}, {6}, {7}}));
    // Bounded by the count of existing members, not of entries.
    EXPECT_EQ(GroupsOf(sources, 2), (std::vector<std::vector<int>>{{0, -1, 2}, {3, 4}, {5, 6}, {7}}));
}

} // namespace
