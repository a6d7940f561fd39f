#include "rename/FilesRenamer.h"

#include <shlwapi.h>

#include <algorithm>
#include <array>
#include <climits>

#include "diagnostics/DiagnosticStream.h"
#include "files/DeleteFileOperation.h"
#include "files/FileMachine.h"
#include "files/RenameFileOperation.h"
#include "platform/UniqueHandle.h"

namespace {

void WriteLine(const wchar_t* text)
{
    DiagnosticStream() << text << std::endl;
}

std::int32_t CountOf(const std::vector<std::wstring>& list)
{
    return static_cast<std::int32_t>(std::min<std::size_t>(list.size(), INT32_MAX));
}

// The file system compares names without case.
std::wstring CaseFolded(std::wstring path)
{
    if (!path.empty()) {
        CharUpperBuffW(path.data(), static_cast<DWORD>(path.size()));
    }
    return path;
}

bool IsInsideFolder(const std::wstring& path, const std::wstring& folder)
{
    return path.size() > folder.size() && path[folder.size()] == L'\\' &&
           CompareStringOrdinal(path.c_str(), static_cast<int>(folder.size()), folder.c_str(),
                                static_cast<int>(folder.size()), TRUE) == CSTR_EQUAL;
}

// The one spelling of a path the file system resolves it to: "." and ".." resolved, trailing dots
// and blanks of a name dropped, "/" turned into "\\". Another spelling of a folder of the batch
// ("C:\\A." for "C:\\A") must still be recognised as holding the files moved aside in it.
std::wstring FullPath(const std::wstring& path)
{
    const DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (size == 0) {
        return path;
    }
    std::wstring full(size, L'\0');
    const DWORD length = GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
    if (length == 0 || length >= size) {
        return path;
    }
    full.resize(length);
    return full;
}

std::wstring FolderOf(const std::wstring& path)
{
    const std::size_t slash = path.rfind(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

// `path`, which lies in `from` or below it, moved along with `from` to `to`. Only the folders are
// respelled: the name is kept as given, since the new name is made from its text.
std::wstring RebasedKeepingName(const std::wstring& path, const std::wstring& from, const std::wstring& to)
{
    const std::size_t slash = path.rfind(L'\\');
    return to + FullPath(path.substr(0, slash)).substr(from.size()) + path.substr(slash);
}

// `path` with its leading `from` (a folder holding it) replaced by `to`.
std::wstring Rebased(const std::wstring& path, const std::wstring& from, const std::wstring& to)
{
    return to + path.substr(from.size());
}

} // namespace

bool IsFileLocked(const std::wstring& path)
{
    const UniqueHandle file(
        CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.IsValid()) {
        return false;
    }
    return GetLastError() == ERROR_SHARING_VIOLATION;
}

FilesRenamer::FilesRenamer(HWND owner, const PathList& paths) : QuillmossElement(owner), sources(paths)
{
}

void FilesRenamer::Rename(OperationResult& result)
{
    const std::int32_t sourceCount = CountOf(sources);

    for (const std::wstring& source : sources) {
        if (IsFileLocked(source)) {
            WriteLine(L"FilesRenamer::Rename: Some files are open!");
            SetOperationResult(result, FilesOpen, FilesRename,
                               L"Some of the files are open.\nCan't complete rename operation.", 0, sourceCount);
            return;
        }
    }

    const std::int32_t missing = RenameToTemporaryNames();
    if (missing == -1) {
        PutBackMovedFiles();
        ReportUnexpectedError(result);
        return;
    }

    const std::int32_t computed = ComputeNewNames();
    if (computed == -2) {
        WriteLine(L"FilesRenamer::Rename: User decided not to overwrite existing files. Operation failed!");
        PutBackMovedFiles();
        SetOperationResult(result, UserDeclined, FilesRename, L"", 0, sourceCount);
        return;
    }
    // A subclass that named fewer files than were moved aside broke its contract: there is no
    // new name to give the rest, so nothing is renamed.
    if (computed == -1 || newNames.size() < oldNames.size()) {
        PutBackMovedFiles();
        ReportUnexpectedError(result);
        return;
    }

    const std::int32_t failedRenames = RenameToNewNames();
    ReportStrandedFiles();

    // Summed wide: a subclass may count any number of failures.
    const std::int64_t failures = std::int64_t{missing} + computed + failedRenames;
    if (failures <= 0) {
        SetOperationResult(result, Succeeded, FilesRename, L"", sourceCount, 0);
        return;
    }
    const std::int32_t failed = static_cast<std::int32_t>(std::min<std::int64_t>(failures, INT32_MAX));
    const std::wstring message = std::to_wstring(failed) + L" files failed to rename.";
    SetOperationResult(result, SomeFilesFailed, FilesRename, message.c_str(), sourceCount - failed, failed);
}

std::int32_t FilesRenamer::RenameToTemporaryNames()
{
    std::int32_t missing = 0;
    for (const std::wstring& source : sources) {
        if (!PathFileExistsW(source.c_str())) {
            DiagnosticStream() << L"1. File doesn't exist: ";
            WriteUtf8(source, true, DiagnosticStream());
            ++missing;
            continue;
        }

        std::wstring folder;
        {
            const FileMachine record(ownerWindow, source);
            record.GetFolder(folder);
        }

        // The system documents folders of up to MAX_PATH - 14 units, and not every implementation
        // checks before writing into the buffer; a longer folder is a failure of this step.
        std::array<wchar_t, MAX_PATH> temporaryName{};
        if (folder.size() > MAX_PATH - 14 ||
            GetTempFileNameW(folder.c_str(), L"qmstmp", 0, temporaryName.data()) == 0) {
            WriteLine(L"FilesRenamer::Rename: GetTempFileName failed!");
            return -1;
        }

        // The system created an empty placeholder to reserve the name; the move needs it gone.
        DeleteFileOperation removePlaceholder(ownerWindow, temporaryName.data(), false, true, false);
        if (!removePlaceholder.Execute()) {
            WriteLine(L"FilesRenamer::Rename: DelenteFileOperation failed!");
            // The placeholder is the renamer's own empty file: it must not be left behind
            // (the shell refuses, for one, a name too long for its buffers).
            DeleteFileW(temporaryName.data());
            return -1;
        }

        RenameFileOperation moveAside(ownerWindow, source.c_str(), temporaryName.data(), false, true);
        if (!moveAside.Execute()) {
            WriteLine(L"FilesRenamer::Rename: RenameFileOperation failed!");
            return -1;
        }

        const std::wstring fullSource = FullPath(source);
        FollowMovedFolder(fullSource, temporaryName.data());
        movedByFolder[CaseFolded(FolderOf(fullSource))].push_back(temporaryNames.size());
        temporaryNames.emplace_back(temporaryName.data());
        oldNames.push_back(source);
    }
    return missing;
}

void FilesRenamer::FollowMovedFolder(const std::wstring& from, const std::wstring& to)
{
    // Folders at `from` and below it sort together, between "FROM" and "FROM]" (']' follows '\').
    const std::wstring key = CaseFolded(from);
    const auto first = movedByFolder.lower_bound(key);
    const auto last = movedByFolder.lower_bound(key + L"]");
    std::vector<std::pair<std::wstring, std::vector<std::size_t>>> followed;
    for (auto it = first; it != last; ++it) {
        if (it->first == key || IsInsideFolder(it->first, key)) {
            for (const std::size_t i : it->second) {
                temporaryNames[i] = RebasedKeepingName(temporaryNames[i], from, to);
                oldNames[i] = RebasedKeepingName(oldNames[i], from, to);
            }
            followed.emplace_back(CaseFolded(Rebased(it->first, key, to)), std::move(it->second));
        }
    }
    for (auto it = first; it != last;) {
        it = (it->first == key || IsInsideFolder(it->first, key)) ? movedByFolder.erase(it) : std::next(it);
    }
    for (auto& [folder, positions] : followed) {
        auto& list = movedByFolder[folder];
        list.insert(list.end(), positions.begin(), positions.end());
    }
}

void FilesRenamer::FollowMovedFolderInStranded(const std::wstring& from, const std::wstring& to)
{
    if (strandedFiles.empty()) {
        return;
    }
    const std::wstring fullFrom = FullPath(from);
    for (auto& [where, oldName] : strandedFiles) {
        const std::wstring fullWhere = FullPath(where);
        if (IsInsideFolder(fullWhere, fullFrom)) {
            where = Rebased(fullWhere, fullFrom, to);
        }
        const std::wstring fullOldName = FullPath(oldName);
        if (IsInsideFolder(fullOldName, fullFrom)) {
            oldName = Rebased(fullOldName, fullFrom, to);
        }
    }
}

std::int32_t FilesRenamer::RenameToNewNames()
{
    // Position i of the three lists describes one file; walking by index keeps a batch linear.
    std::int32_t failed = 0;
    for (std::size_t i = 0; i < temporaryNames.size(); ++i) {
        RenameFileOperation rename(ownerWindow, temporaryNames[i].c_str(), newNames[i].c_str(), false, true);
        if (rename.Execute()) {
            FollowMovedFolderInStranded(temporaryNames[i], newNames[i]);
        } else {
            MoveBack(i);
            ++failed;
        }
    }
    return failed;
}

void FilesRenamer::PutBackMovedFiles()
{
    for (std::size_t i = 0; i < temporaryNames.size(); ++i) {
        MoveBack(i);
    }
    ReportStrandedFiles();
}

void FilesRenamer::MoveBack(std::size_t i)
{
    RenameFileOperation moveBack(ownerWindow, temporaryNames[i].c_str(), oldNames[i].c_str(), false, true);
    if (moveBack.Execute()) {
        FollowMovedFolderInStranded(temporaryNames[i], oldNames[i]);
    } else {
        strandedFiles.emplace_back(temporaryNames[i], oldNames[i]);
    }
}

void FilesRenamer::ReportStrandedFiles()
{
    // Written once every move is done, so each line says where the file finally is.
    for (const auto& [where, oldName] : strandedFiles) {
        DiagnosticStream() << L"FilesRenamer::Rename: File left under a temporary name: ";
        WriteUtf8(where, false, DiagnosticStream());
        DiagnosticStream() << L" (old name: ";
        WriteUtf8(oldName, false, DiagnosticStream());
        DiagnosticStream() << L")" << std::endl;
    }
    strandedFiles.clear();
}

void FilesRenamer::ReportUnexpectedError(OperationResult& result)
{
    WriteLine(L"FilesRenamer::Rename: Unexpected error!");
    SetOperationResult(result, UnexpectedError, FilesRename, L"An unexpected error occured.", 0, 0);
}
