#include "files/FileMachine.h"

#include <shlwapi.h>

#include "diagnostics/DiagnosticStream.h"
#include "files/FileText.h"
#include "platform/FindHandle.h"

namespace {

// Only A-Z: the result must not depend on the user's locale.
std::wstring LowerCaseAscii(std::wstring text)
{
    for (wchar_t& unit : text) {
        if (unit >= L'A' && unit <= L'Z') {
            unit = static_cast<wchar_t>(unit + (L'a' - L'A'));
        }
    }
    return text;
}

} // namespace

std::wstring ExtensionOf(const std::wstring& path)
{
    const std::size_t dot = path.rfind(L'.');
    return dot == std::wstring::npos ? std::wstring() : LowerCaseAscii(path.substr(dot + 1));
}

FileMachine::FileMachine(HWND owner, const std::wstring& entryPath) : QuillmossElement(owner), path(entryPath)
{
    Populate();
}

void FileMachine::GetPath(std::wstring& out) const
{
    out = path;
}

void FileMachine::GetFolder(std::wstring& out) const
{
    out = folder;
}

void FileMachine::GetExtension(std::wstring& out) const
{
    out = extension;
}

void FileMachine::Populate()
{
    name = path;
    baseName = path;
    pathWithoutExtension = path;

    const std::size_t dot = path.rfind(L'.');
    if (dot != std::wstring::npos) {
        extension = ExtensionOf(path);
        pathWithoutExtension = path.substr(0, dot);
    }

    const std::size_t slash = path.rfind(L'\\');
    if (slash != std::wstring::npos) {
        name = path.substr(slash + 1);
        if (!extension.empty() && dot > slash) {
            baseName = path.substr(slash + 1, dot - slash - 1);
        } else {
            baseName = name;
        }
        folder = path.substr(0, slash);
    }

    WIN32_FIND_DATAW data{};
    const FindHandle search(FindFirstFileW(path.c_str(), &data));
    if (!search.IsValid()) {
        DiagnosticStream() << L"FileMachine: FindFirstFile failed for ";
        WriteUtf8(path, true, DiagnosticStream());
        return;
    }
    creationTime = FormatFileTime(&data.ftCreationTime);
    lastAccessTime = FormatFileTime(&data.ftLastAccessTime);
    sizeOrCount = GetSizeOrEntryCount(path);
    isFile = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::uint64_t GetSizeOrEntryCount(const std::wstring& entryPath)
{
    WIN32_FIND_DATAW data{};
    {
        const FindHandle search(FindFirstFileW(entryPath.c_str(), &data));
        if (!search.IsValid()) {
            DiagnosticStream() << L"FindFirstFile failed for ";
            WriteUtf8(entryPath, true, DiagnosticStream());
            return 0;
        }
    }

    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    }

    std::uint64_t count = 0;
    const std::wstring pattern = entryPath + L"\\*.*";
    const FindHandle entries(FindFirstFileW(pattern.c_str(), &data));
    if (!entries.IsValid()) {
        return count;
    }
    do {
        if (StrCmpW(data.cFileName, L".") != 0 && StrCmpW(data.cFileName, L"..") != 0) {
            ++count;
        }
    } while (FindNextFileW(entries.Get(), &data));
    return count;
}
