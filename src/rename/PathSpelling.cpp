#include "rename/PathSpelling.h"

#include <windows.h>

#include <algorithm>
#include <cwctype>

namespace {

// GetFullPathNameW and GetLongPathNameW into a string of the size they ask for; false on failure.
template <typename Call>
bool CallForPath(Call call, std::wstring& out)
{
    const DWORD size = call(nullptr, 0);
    if (size == 0) {
        return false;
    }
    std::wstring buffer(size, L'\0');
    const DWORD length = call(buffer.data(), size);
    if (length == 0 || length >= size) {
        return false;
    }
    buffer.resize(length);
    out = std::move(buffer);
    return true;
}

bool FullPathOf(const std::wstring& path, std::wstring& full)
{
    return CallForPath(
        [&path](wchar_t* buffer, DWORD size) { return GetFullPathNameW(path.c_str(), size, buffer, nullptr); }, full);
}

bool IsDriveLetter(wchar_t unit)
{
    return (unit >= L'A' && unit <= L'Z') || (unit >= L'a' && unit <= L'z');
}

bool StartsWith(const std::wstring& text, const wchar_t* prefix)
{
    const std::size_t length = std::char_traits<wchar_t>::length(prefix);
    return text.size() >= length &&
           CompareStringOrdinal(text.c_str(), static_cast<int>(length), prefix, static_cast<int>(length), TRUE) ==
               CSTR_EQUAL;
}

// The units of a full path that make its root: "C:\" or "\\server\share" (0 when neither).
std::size_t RootLength(const std::wstring& full)
{
    if (full.size() >= 3 && IsDriveLetter(full[0]) && full[1] == L':' && full[2] == L'\\') {
        return 3;
    }
    if (StartsWith(full, L"\\\\")) {
        const std::size_t server = full.find(L'\\', 2);
        if (server == std::wstring::npos || server == 2) {
            return 0;
        }
        const std::size_t share = full.find(L'\\', server + 1);
        return share == std::wstring::npos ? full.size() : share;
    }
    return 0;
}

// `full` (a device-namespace path, "\\?\..." or "\\.\...") as the same path without that prefix,
// when it has one that can go: a drive path or, after "\\?\UNC\", a share. Given literally as
// "\\?\...", every name is taken as it stands, so the prefix may only go when resolving the rest
// changes nothing ("\\?\C:\a." names a file "a.", which "C:\a." does not).
bool WithoutDevicePrefix(const std::wstring& full, bool literal, std::wstring& plain)
{
    if (StartsWith(full, L"\\\\?\\UNC\\")) {
        plain = L"\\\\" + full.substr(8);
    } else if (full.size() >= 7 && IsDriveLetter(full[4]) && full[5] == L':' && full[6] == L'\\') {
        plain = full.substr(4);
    } else {
        return false;
    }
    std::wstring resolved;
    if (!FullPathOf(plain, resolved) || (literal && resolved != plain)) {
        return false;
    }
    plain = std::move(resolved);
    return true;
}

} // namespace

bool ResolvePath(const std::wstring& path, std::wstring& resolved)
{
    if (path.empty() || path.find(L'\0') != std::wstring::npos) {
        return false;
    }
    // Only the exact "\\?\" form skips the system's resolving; "//?/" and "\\.\" are resolved.
    const bool literal = StartsWith(path, L"\\\\?\\");
    std::wstring full = path;
    if (!literal && !FullPathOf(path, full)) {
        return false;
    }
    if ((StartsWith(full, L"\\\\?\\") || StartsWith(full, L"\\\\.\\")) && !WithoutDevicePrefix(full, literal, full)) {
        return false;
    }
    // A device ("CON", "\\.\pipe\x") or another namespace is no entry of a folder.
    const std::size_t root = RootLength(full);
    if (root == 0) {
        return false;
    }
    while (full.size() > root && full.back() == L'\\') {
        full.pop_back();
    }
    if (full.size() <= root) {
        return false;
    }
    // Past the root every name must be kept as written; a share root's own names are the server's.
    for (std::size_t at = root == 3 ? 3 : root + 1; at <= full.size();) {
        const std::size_t slash = std::min(full.find(L'\\', at), full.size());
        if (!IsPlainName(full.substr(at, slash - at))) {
            return false;
        }
        at = slash + 1;
    }
    if (IsDeviceName(NameOf(full))) {
        return false;
    }
    std::wstring longForm;
    if (CallForPath([&full](wchar_t* buffer,
                            DWORD size) { return GetLongPathNameW(full.c_str(), buffer, size); },
                    longForm)) {
        full = std::move(longForm);
    }
    resolved = std::move(full);
    return true;
}

bool IsPlainName(const std::wstring& name)
{
    if (name.empty() || name == L"." || name == L".." || name.back() == L'.' || name.back() == L' ') {
        return false;
    }
    return std::none_of(name.begin(), name.end(), [](wchar_t unit) {
        return unit < 0x20 || std::wstring(L"<>:\"/|?*\\").find(unit) != std::wstring::npos;
    });
}

bool IsDeviceName(const std::wstring& name)
{
    std::wstring base = CaseFolded(name.substr(0, name.find(L'.')));
    base.erase(base.find_last_not_of(L' ') + 1);
    static const wchar_t* const devices[] = {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"};
    if (std::any_of(std::begin(devices), std::end(devices), [&base](const wchar_t* device) { return base == device; })) {
        return true;
    }
    // COM1 to COM9 and LPT1 to LPT9, and with the superscript digits one to three.
    return base.size() == 4 && (base.rfind(L"COM", 0) == 0 || base.rfind(L"LPT", 0) == 0) &&
           std::wstring(L"123456789\u00b9\u00b2\u00b3").find(base[3]) != std::wstring::npos;
}

bool IsTemporaryName(const std::wstring& name)
{
    const std::wstring folded = CaseFolded(name);
    if (folded.size() < 8 || folded.size() > 11 || folded.rfind(L"QMS", 0) != 0 ||
        folded.compare(folded.size() - 4, 4, L".TMP") != 0) {
        return false;
    }
    return std::all_of(folded.begin() + 3, folded.end() - 4, [](wchar_t unit) { return std::iswxdigit(unit) != 0; });
}

std::wstring FolderOf(const std::wstring& path)
{
    const std::size_t slash = path.rfind(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

std::wstring NameOf(const std::wstring& path)
{
    const std::size_t slash = path.rfind(L'\\');
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

std::wstring CaseFolded(std::wstring path)
{
    if (!path.empty()) {
        CharUpperBuffW(path.data(), static_cast<DWORD>(path.size()));
    }
    return path;
}

bool SamePath(const std::wstring& first, const std::wstring& second)
{
    return CompareStringOrdinal(first.c_str(), static_cast<int>(first.size()), second.c_str(),
                                static_cast<int>(second.size()), TRUE) == CSTR_EQUAL;
}

bool IsInsideFolder(const std::wstring& path, const std::wstring& folder)
{
    return path.size() > folder.size() && path[folder.size()] == L'\\' &&
           CompareStringOrdinal(path.c_str(), static_cast<int>(folder.size()), folder.c_str(),
                                static_cast<int>(folder.size()), TRUE) == CSTR_EQUAL;
}

std::wstring Rebased(const std::wstring& path, const std::wstring& from, const std::wstring& to)
{
    return to + path.substr(from.size());
}
