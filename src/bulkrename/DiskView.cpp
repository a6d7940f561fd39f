#include "bulkrename/DiskView.h"

#include <windows.h>

#include "platform/FindHandle.h"
#include "rename/PathSpelling.h"

namespace {

bool RealExists(const std::wstring& path)
{
    return !path.empty() && GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Removes the overlay's entries inside `folder` (case-folded), and returns them.
std::vector<std::pair<std::wstring, std::wstring>> TakeInside(std::map<std::wstring, std::wstring>& overlay,
                                                              const std::wstring& folder)
{
    std::vector<std::pair<std::wstring, std::wstring>> inside;
    for (auto it = overlay.lower_bound(folder + L"\\"); it != overlay.end() && IsInsideFolder(it->first, folder);) {
        inside.emplace_back(it->first, std::move(it->second));
        it = overlay.erase(it);
    }
    return inside;
}

} // namespace

std::wstring DiskView::RealPath(const std::wstring& path) const
{
    if (!simulated || overlay.empty()) {
        return path;
    }
    for (std::wstring seen = path; !seen.empty(); seen = FolderOf(seen)) {
        const auto it = overlay.find(CaseFolded(seen));
        if (it != overlay.end()) {
            return it->second.empty() ? std::wstring() : it->second + path.substr(seen.size());
        }
    }
    return path;
}

bool DiskView::Exists(const std::wstring& path) const
{
    return !path.empty() && RealExists(RealPath(path));
}

std::string DiskView::Identity(const std::wstring& path)
{
    const std::wstring real = path.empty() ? std::wstring() : RealPath(path);
    return RealExists(real) ? FileIdentity(real, volumes) : std::string();
}

bool DiskView::IsEmptyFile(const std::wstring& path) const
{
    const std::wstring real = RealPath(path);
    WIN32_FILE_ATTRIBUTE_DATA data{};
    return !real.empty() && GetFileAttributesExW(real.c_str(), GetFileExInfoStandard, &data) &&
           (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && data.nFileSizeHigh == 0 && data.nFileSizeLow == 0;
}

bool DiskView::Move(const std::wstring& from, const std::wstring& to)
{
    if (!simulated) {
        return MoveFileExW(from.c_str(), to.c_str(), 0) != FALSE;
    }
    const std::wstring real = RealPath(from);
    if (!RealExists(real) || Exists(to)) {
        return false;
    }
    // What the overlay says of the moved entry's contents moves with it; what it said of the
    // free place it moves to is stale.
    const std::wstring fromKey = CaseFolded(from);
    const std::wstring toKey = CaseFolded(to);
    auto inside = TakeInside(overlay, fromKey);
    (void)TakeInside(overlay, toKey);
    for (auto& [key, where] : inside) {
        overlay[toKey + key.substr(fromKey.size())] = std::move(where);
    }
    overlay[toKey] = real;
    overlay[fromKey].clear();
    return true;
}

bool DiskView::Remove(const std::wstring& path)
{
    if (!simulated) {
        return DeleteFileW(path.c_str()) != FALSE;
    }
    if (!Exists(path)) {
        return false;
    }
    overlay[CaseFolded(path)].clear();
    return true;
}

std::vector<DiskView::Found> DiskView::EmptyTemporaryFilesIn(const std::wstring& folder) const
{
    std::vector<Found> files;
    const std::wstring real = RealPath(folder);
    WIN32_FIND_DATAW found{};
    const FindHandle search(real.empty() ? INVALID_HANDLE_VALUE
                                         : FindFirstFileW((real + L"\\qms*.tmp").c_str(), &found));
    if (!search.IsValid()) {
        return files;
    }
    do {
        const std::wstring seen = folder + L"\\" + found.cFileName;
        // A file the overlay moved away, or one that stands in for another, is not there to see.
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && found.nFileSizeHigh == 0 &&
            found.nFileSizeLow == 0 && RealPath(seen) == real + L"\\" + found.cFileName) {
            files.push_back({seen, (static_cast<unsigned long long>(found.ftLastWriteTime.dwHighDateTime) << 32) |
                                       found.ftLastWriteTime.dwLowDateTime});
        }
    } while (FindNextFileW(search.Get(), &found));
    return files;
}
