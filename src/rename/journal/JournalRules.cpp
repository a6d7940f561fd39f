#include "rename/journal/JournalRules.h"

#include <windows.h>

#include <algorithm>

#include "rename/PathSpelling.h"
#include "rename/journal/JournalFormat.h"

namespace {

bool IsDriveLetter(wchar_t unit)
{
    return (unit >= L'A' && unit <= L'Z') || (unit >= L'a' && unit <= L'z');
}

// Whether every name from `at` on, between single backslashes, is one a folder can hold.
bool AreNames(const std::wstring& path, std::size_t at)
{
    while (true) {
        const std::size_t slash = path.find(L'\\', at);
        if (!IsPlainName(path.substr(at, slash == std::wstring::npos ? std::wstring::npos : slash - at))) {
            return false;
        }
        if (slash == std::wstring::npos) {
            return true;
        }
        at = slash + 1;
    }
}

// Whether `to` lies in the folder `from` lies in.
bool InFolderOf(const std::wstring& to, const std::wstring& from)
{
    return SamePath(FolderOf(to), FolderOf(from));
}

// A folder a temporary name is asked for in: a full path, or a root ("X:", "X:\", or
// "\\server\share", where a file of the share's root lies).
bool IsJournalFolder(const std::wstring& folder)
{
    if ((folder.size() == 2 || (folder.size() == 3 && folder[2] == L'\\')) && IsDriveLetter(folder[0]) &&
        folder[1] == L':') {
        return true;
    }
    // Its own name may be any a folder can hold: only a path's last name can stand for a device.
    return IsJournalPath(folder + L"\\x");
}

bool IsTemporaryPath(const std::wstring& path)
{
    return IsJournalPath(path) && IsTemporaryName(NameOf(path));
}

} // namespace

bool IsJournalPath(const std::wstring& path)
{
    if (IsDeviceName(NameOf(path))) {
        return false;
    }
    if (path.size() >= 4 && IsDriveLetter(path[0]) && path[1] == L':' && path[2] == L'\\') {
        return AreNames(path, 3);
    }
    // "\\server\share\name": neither part may be "?" or "." (the device namespaces).
    if (path.size() < 2 || path.compare(0, 2, L"\\\\") != 0) {
        return false;
    }
    const std::size_t server = path.find(L'\\', 2);
    const std::size_t share = server == std::wstring::npos ? server : path.find(L'\\', server + 1);
    return share != std::wstring::npos && AreNames(path, 2);
}

std::wstring BrokenRule(const JournalStep& step)
{
    const std::wstring kind(step.kind.begin(), step.kind.end());
    if (step.kind == recordTemporaryName) {
        if (!IsJournalFolder(step.from)) {
            return L"the folder is not a full path";
        }
        if (!step.to.empty() || step.detail.empty() ||
            !std::all_of(step.detail.begin(), step.detail.end(), [](char c) { return c >= '0' && c <= '9'; })) {
            return L"a temporary name's record holds a folder and a time";
        }
        return {};
    }
    if (step.kind == recordRecycle) {
        return IsJournalPath(step.from) && step.to.empty() && step.detail.empty()
                   ? std::wstring()
                   : L"a recycled entry's record holds its full path alone";
    }
    if (step.kind == recordMoveAside) {
        if (!IsJournalPath(step.from) || !IsTemporaryPath(step.to) || !InFolderOf(step.to, step.from)) {
            return L"a file is moved aside only to a temporary name in its own folder";
        }
        return IsWellFormedIdentity(step.detail) ? std::wstring() : L"the identity is not one the writer makes";
    }
    if (!step.detail.empty()) {
        return L"a " + kind + L" record has no fourth field";
    }
    if (step.kind == recordRename) {
        // A rename the naming step gave no path is recorded with none, and fails.
        return IsTemporaryPath(step.from) && (step.to.empty() || (IsJournalPath(step.to) && InFolderOf(step.to, step.from)))
                   ? std::wstring()
                   : L"a rename goes from a temporary name to a path in the same folder";
    }
    if (step.kind == recordMoveBack) {
        return IsTemporaryPath(step.from) && IsJournalPath(step.to) && InFolderOf(step.to, step.from)
                   ? std::wstring()
                   : L"a move back goes from a temporary name to a path in the same folder";
    }
    // recordReturn
    return IsJournalPath(step.from) && IsTemporaryPath(step.to) && InFolderOf(step.to, step.from)
               ? std::wstring()
               : L"a return goes from a path to a temporary name in the same folder";
}
