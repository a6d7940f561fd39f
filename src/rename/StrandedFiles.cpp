#include "rename/StrandedFiles.h"

#include "diagnostics/DiagnosticStream.h"
#include "rename/PathSpelling.h"

void StrandedFiles::Add(const std::wstring& where, const std::wstring& oldName)
{
    files.emplace_back(where, oldName);
    byFolder.Add(FolderOf(where), files.size() - 1);
}

void StrandedFiles::FollowMovedFolder(const std::wstring& from, const std::wstring& to)
{
    if (byFolder.Empty()) {
        return;
    }
    // A stranded file's temporary and old names lie in one folder.
    for (const std::size_t k : byFolder.Inside(from)) {
        auto& [where, oldName] = files[k];
        where = Rebased(where, from, to);
        oldName = Rebased(oldName, from, to);
    }
    byFolder.Move(from, to);
}

void StrandedFiles::Report()
{
    for (const auto& [where, oldName] : files) {
        DiagnosticStream() << L"FilesRenamer::Rename: File left under a temporary name: ";
        WriteUtf8(where, false, DiagnosticStream());
        DiagnosticStream() << L" (old name: ";
        WriteUtf8(oldName, false, DiagnosticStream());
        DiagnosticStream() << L")" << std::endl;
    }
    files.clear();
    byFolder.Clear();
}
