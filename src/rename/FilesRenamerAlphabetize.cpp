#include "rename/FilesRenamerAlphabetize.h"

#include <shlwapi.h>

#include "files/FileMachine.h"
#include "files/FileOperation.h"

FilesRenamerAlphabetize::FilesRenamerAlphabetize(HWND owner, const PathList& paths)
    : FilesRenamer(owner, paths), firstLetter(L'A'), lastLetter(L'Z'), currentLetter(L'A'), repeatCount(1)
{
}

std::int32_t FilesRenamerAlphabetize::ComputeNewNames()
{
    std::vector<std::wstring> takenPaths;
    newNames.reserve(oldNames.size());
    for (std::size_t i = 0; i < oldNames.size(); ++i) {
        // The file sits under its temporary name now, so the look-up fails (and says so); the
        // folder comes from the path text alone: where the file is now, its own folder having
        // perhaps moved aside since. The extension is the one of the path the file was given by,
        // not of a folder's temporary name.
        std::wstring folder;
        {
            const FileMachine record(ownerWindow, oldNames[i]);
            record.GetFolder(folder);
        }
        const std::wstring extension = ExtensionOf(OriginalPathOf(i));

        std::wstring newPath = ReachableNewPath(folder, currentLetter, repeatCount, extension);
        NoteTakenPath(newPath, takenPaths);
        newNames.push_back(std::move(newPath));
        AdvanceLetter();
    }
    return ConfirmOverwrite(takenPaths, 0);
}

void FilesRenamerAlphabetize::AdvanceLetter()
{
    if (currentLetter == lastLetter) {
        ++repeatCount;
        currentLetter = firstLetter;
    } else {
        ++currentLetter;
    }
}

std::wstring ReachableNewPath(const std::wstring& folder, wchar_t letter, std::uint32_t count,
                              const std::wstring& extension)
{
    // Names grow by a letter every 26 files: a path longer than the shell accepts is never built,
    // or a large batch would hold gigabytes of letters.
    const std::size_t length = folder.size() + 1 + count + (extension.empty() ? 0 : 1 + extension.size());
    if (length > longestShellPath || extension.find(L'\\') != std::wstring::npos) {
        return {};
    }
    std::wstring newPath;
    BuildNewPath(folder, std::wstring(count, letter), extension, newPath);
    return newPath;
}

void BuildNewPath(const std::wstring& folder, const std::wstring& newName, const std::wstring& extension,
                  std::wstring& out)
{
    out = folder;
    out += L'\\';
    out += newName;
    if (!extension.empty()) {
        out += L'.';
        out += extension;
    }
}
