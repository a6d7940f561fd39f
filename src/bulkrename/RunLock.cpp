#include "bulkrename/RunLock.h"

#include <windows.h>
#include <shlobj.h>

#include "rename/PathSpelling.h"
#include "rename/journal/JournalFormat.h"

RunLock::Outcome RunLock::Take(const std::wstring& path, std::wstring& problem)
{
    const std::wstring folder = FolderOf(path);
    const int made = SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
    if (made != ERROR_SUCCESS && made != ERROR_ALREADY_EXISTS && made != ERROR_FILE_EXISTS) {
        problem = L"cannot create the folder " + folder + L" (error " + std::to_wstring(made) + L")";
        return Outcome::Failed;
    }
    file.Reset(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                           nullptr));
    if (file.IsValid()) {
        return Outcome::Taken;
    }
    const DWORD error = GetLastError();
    if (error == ERROR_SHARING_VIOLATION) {
        return Outcome::Busy;
    }
    problem = L"cannot open " + path + L" (error " + std::to_wstring(error) + L")";
    return Outcome::Failed;
}

std::wstring DefaultRunLockPath()
{
    const std::wstring journals = DefaultJournalFolder();
    return journals.empty() ? std::wstring() : FolderOf(journals) + L"\\QuillmossRename.lock";
}
