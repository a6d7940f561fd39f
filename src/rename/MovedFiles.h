#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "rename/FolderIndex.h"

// The files a batch has moved aside, as the renamer lists them (each file's temporary name and
// old name, at one position of two lists it owns): a folder of the batch that moves after files
// inside it were moved aside takes them along, so their recorded paths follow it, and they are
// renamed, put back and reported where they really are.
class MovedFiles {
public:
    MovedFiles(std::vector<std::wstring>& temporaryNamesOfFiles, std::vector<std::wstring>& oldNamesOfFiles)
        : temporaryNames(temporaryNamesOfFiles), oldNames(oldNamesOfFiles)
    {
    }

    MovedFiles(const MovedFiles&) = delete;
    MovedFiles& operator=(const MovedFiles&) = delete;

    // The file last added to both lists has moved aside: what was moved aside inside it follows.
    void Added();
    // Whether the folder `source` can move to `temporaryPath` without making a path of a file
    // moved aside inside it longer than `longestPath` (it could then go neither forward nor
    // back).
    bool KeepsInReach(const std::wstring& source, const std::wstring& temporaryPath, std::size_t longestPath) const;
    // Whether a file was moved aside inside the folder at `path`.
    bool HoldsAny(const std::wstring& path) const { return byFolder.HoldsAny(path); }

private:
    std::vector<std::wstring>& temporaryNames;
    std::vector<std::wstring>& oldNames;
    // Positions in the lists by the folder that holds each file (compared without case).
    FolderIndex byFolder;
};
