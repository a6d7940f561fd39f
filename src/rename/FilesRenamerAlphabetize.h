#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "rename/FilesRenamer.h"

// Names the files of a batch A, B, ... Z, AA, BB, ... ZZ, AAA, ... by their position among the
// files moved aside, keeping each file's folder and lower-cased extension. Asks the user once
// before replacing anything outside the batch that stands at a new path, and sends what it
// replaces to the recycle bin.
class FilesRenamerAlphabetize : public FilesRenamer {
public:
    FilesRenamerAlphabetize(HWND owner, const PathList& paths);

private:
    std::int32_t ComputeNewNames() override;
    void AdvanceLetter();

    wchar_t firstLetter;
    wchar_t lastLetter;
    wchar_t currentLetter;
    std::uint32_t repeatCount;
};

// The new path of a file of `folder` with `extension` named `letter` written `count` times, or
// empty when no rename can reach it: longer than the shell accepts, or outside the folder (the
// extension of "C:\a.b\file" is "b\file", taken from a dot in a folder name). An empty new path
// makes the final rename fail, and the file goes back under its old name.
std::wstring ReachableNewPath(const std::wstring& folder, wchar_t letter, std::uint32_t count,
                              const std::wstring& extension);

// folder + "\" + name + "." + extension, without the dot when the extension is empty.
void BuildNewPath(const std::wstring& folder, const std::wstring& newName, const std::wstring& extension,
                  std::wstring& out);
