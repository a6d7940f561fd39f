// The least the platform can do for a bulk rename: for every file of a list, exactly the calls
// the renamer must make (the open-file probe, the existence checks, the look-ups of the file
// record including the failing one of the naming step, the temporary name, the shell delete and
// the two shell renames) and the same diagnostic lines and new names, in plain loops.
// Usage: RenameFloor --list FILE (UTF-8, one path a line)
#include <windows.h>
#include <shellapi.h>
#include <shlwapi.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::string Utf8(const std::wstring& text)
{
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                         nullptr);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size, nullptr, nullptr);
    return bytes;
}

std::vector<std::wstring> ReadList(const wchar_t* file)
{
    std::vector<std::wstring> paths;
    HANDLE handle = CreateFileW(file, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return paths;
    }
    const DWORD size = GetFileSize(handle, nullptr);
    std::string bytes(size, '\0');
    DWORD read = 0;
    ReadFile(handle, bytes.data(), size, &read, nullptr);
    CloseHandle(handle);
    std::wstring text(static_cast<std::size_t>(size), L'\0');
    text.resize(static_cast<std::size_t>(
        MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(read), text.data(), static_cast<int>(size))));
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find(L'\n', start);
        end = end == std::wstring::npos ? text.size() : end;
        std::wstring line = text.substr(start, end - start);
        if (!line.empty() && line.back() == L'\r') {
            line.pop_back();
        }
        if (!line.empty()) {
            paths.push_back(line);
        }
        start = end + 1;
    }
    return paths;
}

int Shell(UINT function, const std::wstring& from, const std::wstring& to, FILEOP_FLAGS flags)
{
    wchar_t source[MAX_PATH] = {};
    wchar_t destination[MAX_PATH] = {};
    lstrcpynW(source, from.c_str(), MAX_PATH - 1);
    lstrcpynW(destination, to.c_str(), MAX_PATH - 1);
    SHFILEOPSTRUCTW operation{};
    operation.wFunc = function;
    operation.pFrom = source;
    operation.pTo = destination;
    operation.fFlags = flags;
    return SHFileOperationW(&operation);
}

void Line(const char* name, int result)
{
    std::fputs(name, stdout);
    std::fputs(result == 0 ? " Success!\n" : " Failed!\n", stdout);
}

} // namespace

int main()
{
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (count != 3) {
        std::fputs("Usage: RenameFloor --list FILE\n", stderr);
        return 2;
    }
    const std::vector<std::wstring> paths = ReadList(arguments[2]);
    LocalFree(arguments);

    for (const std::wstring& path : paths) {
        HANDLE probe = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                   nullptr);
        if (probe != INVALID_HANDLE_VALUE) {
            CloseHandle(probe);
        }
    }

    std::vector<std::wstring> temporary(paths.size());
    WIN32_FIND_DATAW data{};
    for (std::size_t i = 0; i < paths.size(); ++i) {
        const std::wstring& path = paths[i];
        PathFileExistsW(path.c_str());
        // The file record: its look-up with the two times it keeps as text, then its size.
        FindClose(FindFirstFileW(path.c_str(), &data));
        SYSTEMTIME time{};
        FileTimeToSystemTime(&data.ftCreationTime, &time);
        FileTimeToSystemTime(&data.ftLastAccessTime, &time);
        FindClose(FindFirstFileW(path.c_str(), &data));
        const std::wstring folder = path.substr(0, path.rfind(L'\\'));
        wchar_t name[MAX_PATH] = {};
        GetTempFileNameW(folder.c_str(), L"qmstmp", 0, name);
        temporary[i] = name;
        Line("DeleteFileOrFolder", Shell(FO_DELETE, temporary[i], L"", 0x0614));
        Line("RenameFileOrFolder", Shell(FO_RENAME, path, temporary[i], 0x0654));
    }

    std::vector<std::wstring> newPaths(paths.size());
    for (std::size_t i = 0; i < paths.size(); ++i) {
        const std::wstring& path = paths[i];
        HANDLE search = FindFirstFileW(path.c_str(), &data);
        if (search != INVALID_HANDLE_VALUE) {
            FindClose(search);
        }
        std::fputs(("FileMachine: FindFirstFile failed for " + Utf8(path) + "\n").c_str(), stdout);
        std::fflush(stdout);
        const std::size_t dot = path.rfind(L'.');
        const std::size_t slash = path.rfind(L'\\');
        std::wstring extension = dot == std::wstring::npos ? L"" : path.substr(dot + 1);
        for (wchar_t& unit : extension) {
            unit = unit >= L'A' && unit <= L'Z' ? static_cast<wchar_t>(unit + 0x20) : unit;
        }
        const std::size_t letters = i / 26 + 1;
        if (slash + 1 + letters + (extension.empty() ? 0 : extension.size() + 1) <= MAX_PATH - 2) {
            newPaths[i] = path.substr(0, slash + 1) + std::wstring(letters, static_cast<wchar_t>(L'A' + i % 26)) +
                          (extension.empty() ? L"" : L"." + extension);
            PathFileExistsW(newPaths[i].c_str());
        }
    }

    for (std::size_t i = 0; i < paths.size(); ++i) {
        if (!newPaths[i].empty()) {
            Line("RenameFileOrFolder", Shell(FO_RENAME, temporary[i], newPaths[i], 0x0654));
        } else {
            Line("RenameFileOrFolder", 1);
            Line("RenameFileOrFolder", Shell(FO_RENAME, temporary[i], paths[i], 0x0654));
        }
    }
    return 0;
}
