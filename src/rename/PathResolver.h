#pragma once

#include <map>
#include <string>

// Resolves paths to the one spelling (see PathSpelling.h), and further, so that a folder reached
// by two ways is one folder: the folder part of each path is taken where it really is (links,
// junctions, substituted and mapped drives followed), the last name as it stands (a link in a
// batch is renamed itself, never what it leads to). Each folder is asked once.
class PathResolver {
public:
    // False when the path cannot be placed in a folder (see ResolvePath). A folder that cannot be
    // opened keeps its resolved spelling.
    bool Resolve(const std::wstring& path, std::wstring& resolved);

private:
    // Each folder's resolved spelling, exactly as it stands (a case-sensitive host folder may
    // hold two that differ in case only), with where it really is.
    std::map<std::wstring, std::wstring> finalFolders;
};

// Where the existing `folder` (in the one spelling, so "C:" is the root of drive C) really is,
// in the one spelling; false when the system cannot tell (it is missing, say).
bool FinalFolderPath(const std::wstring& folder, std::wstring& finalPath);

// When the entry at `path` is a link or junction (a reparse point), where it leads, in the one
// spelling; false otherwise, or when the system cannot tell.
bool LinkTargetOf(const std::wstring& path, std::wstring& target);
