#include "rename/front/RenameFront.h"

#include <windows.h>
#include <shlwapi.h>

#include <array>
#include <set>
#include <utility>

#include "diagnostics/DiagnosticStream.h"
#include "files/FileMachine.h"
#include "platform/UniqueHandle.h"
#include "rename/FilesRenamerAlphabetize.h"

namespace {

bool IsBlank(const std::wstring& line)
{
    return line.find_first_not_of(L" \t") == std::wstring::npos;
}

// The file system compares names without case: two spellings of one file are one file.
std::wstring IdentityOf(const std::wstring& path)
{
    std::wstring full = path;
    const DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (size > 0) {
        std::wstring buffer(size, L'\0');
        const DWORD length = GetFullPathNameW(path.c_str(), size, buffer.data(), nullptr);
        if (length > 0 && length < size) {
            full.assign(buffer.data(), length);
        }
    }
    if (!full.empty()) {
        CharUpperBuffW(full.data(), static_cast<DWORD>(full.size()));
    }
    return full;
}

// The name the alphabetical renamer gives the file at `position` among those it moves:
// 'A' + position mod 26, written position div 26 + 1 times.
std::wstring LetterName(std::size_t position)
{
    return std::wstring(position / 26 + 1, static_cast<wchar_t>(L'A' + position % 26));
}

} // namespace

RenameRequest ParseRenameRequest(const std::vector<std::wstring>& arguments)
{
    RenameRequest request;
    bool dryRun = false;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::wstring& argument = arguments[i];
        if (optionsEnded || argument.rfind(L"--", 0) != 0) {
            request.paths.push_back(argument);
        } else if (argument == L"--") {
            optionsEnded = true;
        } else if (argument == L"--help") {
            request.action = RenameRequest::Action::Help;
            return request;
        } else if (argument == L"--dry-run") {
            dryRun = true;
        } else if (argument == L"--list") {
            if (i + 1 == arguments.size()) {
                request.problem = L"--list needs a file";
                return request;
            }
            if (!ReadPathListFile(arguments[++i], request.paths, request.problem)) {
                return request;
            }
        } else {
            request.problem = L"unknown option " + argument;
            return request;
        }
    }
    if (request.paths.empty()) {
        request.problem = L"no paths to rename";
        return request;
    }
    request.action = dryRun ? RenameRequest::Action::DryRun : RenameRequest::Action::Rename;
    return request;
}

bool ReadPathListFile(const std::wstring& listFile, PathList& paths, std::wstring& problem)
{
    const UniqueHandle file(CreateFileW(listFile.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file.IsValid() || !GetFileSizeEx(file.Get(), &size) || size.QuadPart > 512 * 1024 * 1024) {
        problem = L"cannot read the list " + listFile;
        return false;
    }
    std::string bytes(static_cast<std::size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!bytes.empty() &&
        (!ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
         read != bytes.size())) {
        problem = L"cannot read the list " + listFile;
        return false;
    }
    if (bytes.rfind("\xEF\xBB\xBF", 0) == 0) {
        bytes.erase(0, 3);
    }

    std::wstring text;
    if (!bytes.empty()) {
        const int units = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(),
                                              static_cast<int>(bytes.size()), nullptr, 0);
        if (units == 0) {
            problem = L"the list " + listFile + L" is not UTF-8 text";
            return false;
        }
        text.resize(static_cast<std::size_t>(units));
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()), text.data(),
                            units);
    }

    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find(L'\n', start);
        if (end == std::wstring::npos) {
            end = text.size();
        }
        std::wstring line = text.substr(start, end - start);
        if (!line.empty() && line.back() == L'\r') {
            line.pop_back();
        }
        if (!IsBlank(line)) {
            paths.push_back(std::move(line));
        }
        start = end + 1;
    }
    return true;
}

std::string SummaryLine(const OperationResult& result)
{
    std::string message;
    for (const wchar_t unit : result.message) {
        if (unit == L'\n') {
            message += "\\n";
        } else if (unit == L'"' || unit == L'\\') {
            message += '\\';
            message += static_cast<char>(unit);
        } else {
            message += unit < 0x80 ? static_cast<char>(unit) : '?';
        }
    }
    std::string status;
    for (const wchar_t* name = OperationStatusName(result.statusCode); *name != L'\0'; ++name) {
        status += static_cast<char>(*name);
    }
    return "status=" + std::to_string(result.statusCode) + " " + status +
           " operation=" + std::to_string(result.operationCode) +
           " succeeded=" + std::to_string(result.succeededCount) + " failed=" + std::to_string(result.failedCount) +
           " message=\"" + message + "\"";
}

void WriteDryRun(const PathList& paths, std::wostream& stream)
{
    std::set<std::wstring> movedAside;
    std::vector<std::pair<std::wstring, std::wstring>> plan;
    for (const std::wstring& path : paths) {
        if (!PathFileExistsW(path.c_str()) || !movedAside.insert(IdentityOf(path)).second) {
            stream << L"missing: ";
            WriteUtf8(path, true, stream);
            continue;
        }
        std::wstring folder;
        std::wstring extension;
        {
            const FileMachine record(nullptr, path);
            record.GetFolder(folder);
            record.GetExtension(extension);
        }
        std::wstring newPath;
        BuildNewPath(folder, LetterName(plan.size()), extension, newPath);
        plan.emplace_back(path, std::move(newPath));
    }
    for (const auto& [oldPath, newPath] : plan) {
        WriteUtf8(oldPath, false, stream);
        stream << L" -> ";
        WriteUtf8(newPath, true, stream);
    }
    for (const auto& entry : plan) {
        const std::wstring& newPath = entry.second;
        if (PathFileExistsW(newPath.c_str()) && movedAside.count(IdentityOf(newPath)) == 0) {
            stream << L"taken: ";
            WriteUtf8(newPath, true, stream);
        }
    }
}

const char* RenameUsage()
{
    return "Usage: QuillmossRename [--dry-run] PATH...\n"
           "       QuillmossRename [--dry-run] --list FILE\n"
           "\n"
           "Renames the files and folders given, in order, to A, B, ... Z, AA, BB, ... keeping each\n"
           "one's folder and lower-cased extension. Asks once before replacing anything that already\n"
           "stands at a new name, and sends what it replaces to the recycle bin.\n"
           "\n"
           "  --list FILE  read the paths from FILE (UTF-8, one a line; blank lines are skipped)\n"
           "  --dry-run    print what would be renamed, missing and replaced; change nothing\n"
           "  --help       print this text\n"
           "\n"
           "The engine's diagnostic lines go to standard output, a summary line to standard error.\n"
           "Exit code: the status (0 succeeded, 1 unexpected error, 3 some files failed, 4 files open,\n"
           "6 declined), 2 for bad usage.\n";
}
