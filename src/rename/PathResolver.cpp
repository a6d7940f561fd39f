#include "rename/PathResolver.h"

#include <windows.h>

#include <array>
#include <utility>

#include "platform/UniqueHandle.h"
#include "rename/PathSpelling.h"

namespace {

// The text of a final path without its "\\?\" prefix: "\\?\C:\D" is "C:\D", "\\?\UNC\s\x\D" is
// "\\s\x\D". False for what has no such spelling (a volume with no drive letter).
bool WithoutFinalPrefix(const std::wstring& finalText, std::wstring& plain)
{
    const std::wstring unc = L"\\\\?\\UNC\\";
    if (finalText.compare(0, unc.size(), unc) == 0) {
        plain = L"\\\\" + finalText.substr(unc.size());
        return true;
    }
    if (finalText.size() >= 7 && finalText.compare(0, 4, L"\\\\?\\") == 0 && finalText[5] == L':' &&
        finalText[6] == L'\\') {
        plain = finalText.substr(4);
        return true;
    }
    return false;
}

} // namespace

bool FinalFolderPath(const std::wstring& folder, std::wstring& finalPath)
{
    // A drive root is opened as "C:\": "C:" alone is the current folder of drive C.
    const std::wstring openPath = folder.size() == 2 && folder[1] == L':' ? folder + L'\\' : folder;
    // No access is asked for, only the entry itself: a folder the user may not read resolves too.
    const UniqueHandle handle(CreateFileW(openPath.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                          nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!handle.IsValid()) {
        return false;
    }
    // One call where the path fits the buffer; a longer one is asked for again at its size.
    std::array<wchar_t, MAX_PATH + 8> buffer{};
    std::wstring finalText;
    const DWORD flags = FILE_NAME_NORMALIZED | VOLUME_NAME_DOS;
    DWORD length = GetFinalPathNameByHandleW(handle.Get(), buffer.data(), static_cast<DWORD>(buffer.size()), flags);
    if (length == 0) {
        return false;
    }
    if (length < buffer.size()) {
        finalText.assign(buffer.data(), length);
    } else {
        finalText.resize(length);
        const DWORD size = length;
        length = GetFinalPathNameByHandleW(handle.Get(), finalText.data(), size, flags);
        if (length == 0 || length >= size) {
            return false;
        }
        finalText.resize(length);
    }
    std::wstring plain;
    if (!WithoutFinalPrefix(finalText, plain)) {
        return false;
    }
    // "C:\" is the root; every other folder ends without a separator.
    while (!plain.empty() && plain.back() == L'\\') {
        plain.pop_back();
    }
    if (plain.empty()) {
        return false;
    }
    finalPath = std::move(plain);
    return true;
}

bool PathResolver::Resolve(const std::wstring& path, std::wstring& resolved)
{
    std::wstring spelled;
    if (!ResolvePath(path, spelled)) {
        return false;
    }
    const std::wstring folder = FolderOf(spelled);
    auto known = finalFolders.find(folder);
    if (known == finalFolders.end()) {
        std::wstring finalPath;
        if (!FinalFolderPath(folder, finalPath)) {
            finalPath = folder;
        }
        known = finalFolders.emplace(folder, std::move(finalPath)).first;
    }
    resolved = known->second + spelled.substr(folder.size());
    return true;
}

bool LinkTargetOf(const std::wstring& path, std::wstring& target)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
           FinalFolderPath(path, target);
}
