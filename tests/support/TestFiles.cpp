#include "support/TestFiles.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <functional>
#include <stdexcept>

#include "platform/UniqueHandle.h"
#include "support/TestProcess.h"

namespace {

std::wstring Join(const std::wstring& folder, const std::wstring& name)
{
    return folder + L"\\" + name;
}

} // namespace

namespace {

// A link removed as the entry it is: RemoveDirectoryW on Windows; under Wine, where that reaches
// the folder the link leads to, by the host.
void RemoveLink(const std::wstring& path)
{
    if (RemoveDirectoryW(path.c_str()) == FALSE && DeleteFileW(path.c_str()) == FALSE) {
        RunHostCommand(L"/bin/rm", {L"-f", L"--"}, {path}, [&path] { return !IsLink(path); });
    }
}

} // namespace

bool RunHostCommand(const std::wstring& program, const std::vector<std::wstring>& options,
                    const std::vector<std::wstring>& paths, const std::function<bool()>& done)
{
    std::wstring commandLine = program;
    for (const std::wstring& option : options) {
        commandLine += L" " + option;
    }
    for (const std::wstring& path : paths) {
        // The last name as written: Wine would look it up without case and may find another.
        const std::size_t slash = path.rfind(L'\\');
        const std::string folder = ToUnixPath(path.substr(0, slash));
        if (slash == std::wstring::npos || folder.empty()) {
            return false;
        }
        commandLine += L" \"" + FromUtf8(folder) + L"/" + path.substr(slash + 1) + L"\"";
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started{};
    if (CreateProcessW((L"Z:" + program).c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                       &startup, &started) == FALSE) {
        return false;
    }
    // The handles Wine returns for a host program are not its process's: closing them closed
    // handles of this process (its standard output among them). They are left open.
    return WaitUntil(done, std::chrono::seconds(10));
}

std::wstring MakeScratchFolder(const std::wstring& name)
{
    const std::wstring root = L"C:\\qm-tests";
    CreateDirectoryW(root.c_str(), nullptr);
    const std::wstring folder = Join(root, name);
    RemoveTree(folder);
    CreateFolder(folder);
    return folder;
}

std::wstring MakeTemporaryFilePath(const std::wstring& tag)
{
    static std::atomic<unsigned> counter{0};
    std::array<wchar_t, MAX_PATH + 1> temp{};
    GetTempPathW(static_cast<DWORD>(temp.size()), temp.data());
    return std::wstring(temp.data()) + L"qm-" + tag + L"-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
           std::to_wstring(counter++) + L".tmp";
}

bool PathExists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsFolder(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

void WriteFileBytes(const std::wstring& path, const std::string& bytes)
{
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                  nullptr));
    if (!file.IsValid()) {
        throw std::runtime_error("cannot create " + ToUtf8(path));
    }
    DWORD written = 0;
    WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

std::string ReadFileBytes(const std::wstring& path)
{
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    std::string bytes;
    if (!file.IsValid()) {
        return bytes;
    }
    std::array<char, 65536> chunk{};
    DWORD read = 0;
    while (ReadFile(file.Get(), chunk.data(), static_cast<DWORD>(chunk.size()), &read, nullptr) && read > 0) {
        bytes.append(chunk.data(), read);
    }
    return bytes;
}

void CreateFolder(const std::wstring& path)
{
    if (!CreateDirectoryW(path.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
        throw std::runtime_error("cannot create folder " + ToUtf8(path));
    }
}

void CopyFileTo(const std::wstring& from, const std::wstring& to)
{
    if (!CopyFileW(from.c_str(), to.c_str(), FALSE)) {
        throw std::runtime_error("cannot copy " + ToUtf8(from) + " to " + ToUtf8(to));
    }
}

void RemoveTree(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return;
    }
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        RemoveLink(path);
        return;
    }
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        DeleteFileW(path.c_str());
        return;
    }
    for (const std::wstring& name : ListFolder(path)) {
        RemoveTree(Join(path, name));
    }
    // A link whose folder is gone is seen by no Win32 call under Wine, yet keeps the folder
    // from being empty: the host removes what is left, links as links.
    if (RemoveDirectoryW(path.c_str()) == FALSE) {
        RunHostCommand(L"/bin/rm", {L"-rf", L"--"}, {path},
                       [&path] { return GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES; });
    }
}

bool MakeFolderLink(const std::wstring& link, const std::wstring& target)
{
    if (CreateSymbolicLinkW(link.c_str(), target.c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY) != FALSE && IsLink(link)) {
        return true;
    }
    return RunHostCommand(L"/bin/ln", {L"-s", L"--"}, {target, link}, [&link] { return IsLink(link); });
}

bool IsLink(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

std::vector<std::wstring> ListFolder(const std::wstring& folder)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data{};
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (search == INVALID_HANDLE_VALUE) {
        return names;
    }
    do {
        const std::wstring name = data.cFileName;
        if (name != L"." && name != L"..") {
            names.push_back(name);
        }
    } while (FindNextFileW(search, &data));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

std::string ToUnixPath(const std::wstring& windowsPath)
{
    // wine_get_unix_file_name is Wine's own export; look it up so the tests still link elsewhere.
    using Converter = char*(__cdecl*)(const wchar_t*);
    const auto convert = reinterpret_cast<Converter>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (convert == nullptr) {
        return {};
    }
    char* unixPath = convert(windowsPath.c_str());
    if (unixPath == nullptr) {
        return {};
    }
    std::string result = unixPath;
    HeapFree(GetProcessHeap(), 0, unixPath);
    return result;
}

std::string ToUtf8(const std::wstring& text)
{
    if (text.empty()) {
        return {};
    }
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                         nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size, nullptr, nullptr);
    return bytes;
}

std::wstring FromUtf8(const std::string& text)
{
    if (text.empty()) {
        return {};
    }
    const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
    return wide;
}

namespace {

std::wstring TrashFolder()
{
    std::array<wchar_t, 4096> value{};
    const DWORD length = GetEnvironmentVariableW(L"XDG_DATA_HOME", value.data(), static_cast<DWORD>(value.size()));
    std::wstring unixPath(value.data(), length);
    std::wstring windowsPath = L"Z:" + unixPath + L"/Trash";
    std::replace(windowsPath.begin(), windowsPath.end(), L'/', L'\\');
    return windowsPath;
}

std::string PercentDecode(const std::string& text)
{
    std::string decoded;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            decoded.push_back(static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16)));
            i += 2;
        } else {
            decoded.push_back(text[i]);
        }
    }
    return decoded;
}

} // namespace

std::wstring TrashFilesFolder()
{
    return TrashFolder() + L"\\files";
}

std::wstring TrashInfoFolder()
{
    return TrashFolder() + L"\\info";
}

std::string TrashedItemOrigin(const std::wstring& trashedName)
{
    const std::string info = ReadFileBytes(TrashInfoFolder() + L"\\" + trashedName + L".trashinfo");
    const std::size_t start = info.find("Path=");
    if (start == std::string::npos) {
        return {};
    }
    const std::size_t end = info.find('\n', start);
    return PercentDecode(info.substr(start + 5, end - start - 5));
}

void ClearTrash()
{
    // Only the contents: Wine sets the Trash folders up once per process and expects them to stay.
    for (const std::wstring& trashFolder : {TrashFilesFolder(), TrashInfoFolder()}) {
        for (const std::wstring& name : ListFolder(trashFolder)) {
            RemoveTree(trashFolder + L"\\" + name);
        }
    }
}

std::vector<std::wstring> TemporaryFilesIn(const std::wstring& folder)
{
    std::vector<std::wstring> temporary;
    for (const std::wstring& name : ListFolder(folder)) {
        if (name.size() > 7 && CompareStringOrdinal(name.c_str(), 3, L"qms", 3, TRUE) == CSTR_EQUAL &&
            CompareStringOrdinal(name.c_str() + name.size() - 4, 4, L".tmp", 4, TRUE) == CSTR_EQUAL) {
            temporary.push_back(name);
        }
    }
    return temporary;
}
