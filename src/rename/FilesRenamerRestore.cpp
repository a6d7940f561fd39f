#include "rename/FilesRenamerRestore.h"

#include <utility>

#include "files/FileOperation.h"
#include "rename/PathSpelling.h"

FilesRenamerRestore::FilesRenamerRestore(HWND owner, const PathList& paths, std::vector<std::wstring> names)
    : FilesRenamer(owner, paths), restoredNames(std::move(names))
{
}

std::int32_t FilesRenamerRestore::ComputeNewNames()
{
    std::vector<std::wstring> takenPaths;
    newNames.reserve(oldNames.size());
    for (std::size_t i = 0; i < oldNames.size(); ++i) {
        const std::size_t source = movedSources[i];
        if (source >= restoredNames.size()) {
            return -1;
        }
        // The folder the file is in now: a folder of the batch moved aside before it holds it
        // under its temporary name.
        std::wstring newPath = FolderOf(temporaryNames[i]) + L"\\" + restoredNames[source];
        if (newPath.size() > longestShellPath) {
            newPath.clear();
        }
        NoteTakenPath(newPath, takenPaths);
        newNames.push_back(std::move(newPath));
    }
    return ConfirmOverwrite(takenPaths, 0);
}
