#pragma once

#include <string>
#include <utility>
#include <vector>

#include "rename/FolderIndex.h"

// The files of a batch that could go neither forward nor back, each left under a temporary name:
// where it is and its old name. A folder of the batch that moves later may hold some of them:
// their paths follow it, so that the line naming each, written once every move is done, says
// where the file finally is.
class StrandedFiles {
public:
    void Add(const std::wstring& where, const std::wstring& oldName);
    // The folder at `from` moved to `to`.
    void FollowMovedFolder(const std::wstring& from, const std::wstring& to);
    // Names every file, with its old name, in a line; then forgets them.
    void Report();

private:
    std::vector<std::pair<std::wstring, std::wstring>> files;
    FolderIndex byFolder;
};
