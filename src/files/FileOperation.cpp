#include "files/FileOperation.h"

#include <shellapi.h>
#include <shlwapi.h>

#include <cwchar>

#include "diagnostics/DiagnosticStream.h"

namespace {

// Copies `path` into a zero-filled buffer when it fits; the zero fill supplies the shell's
// closing zero. Returns false, copying nothing, when it does not.
bool CopyShellPath(wchar_t (&buffer)[shellPathUnits], const wchar_t* path)
{
    if (std::wcslen(path) > longestShellPath) {
        return false;
    }
    StrCpyW(buffer, path);
    return true;
}

} // namespace

FILEOP_FLAGS ShellOperationFlags(bool confirm, bool silent, bool allowUndo)
{
    FILEOP_FLAGS flags = FOF_NOCONFIRMMKDIR;
    if (!confirm) {
        flags |= FOF_NOCONFIRMATION;
    }
    if (silent) {
        flags |= FOF_SILENT | FOF_NOERRORUI;
    }
    if (allowUndo) {
        flags |= FOF_ALLOWUNDO;
    }
    return flags;
}

FileOperation::FileOperation(HWND owner, const wchar_t* source, const wchar_t* destination,
                             bool confirmOperation, bool silentOperation, bool allowUndoOperation)
    : QuillmossElement(owner),
      sourcePath{},
      destinationPath{},
      confirm(confirmOperation),
      silent(silentOperation),
      allowUndo(allowUndoOperation),
      pathsFit(false)
{
    const bool sourceFits = CopyShellPath(sourcePath, source);
    const bool destinationFits = CopyShellPath(destinationPath, destination);
    pathsFit = sourceFits && destinationFits;
}

bool FileOperation::ExecuteShellOperation(UINT function)
{
    int result = -1;
    if (pathsFit) {
        SHFILEOPSTRUCTW operation{};
        operation.hwnd = ownerWindow;
        operation.wFunc = function;
        operation.pFrom = sourcePath;
        // Never null: a delete hands the shell an empty list.
        operation.pTo = destinationPath;
        operation.fFlags = ShellOperationFlags(confirm, silent, allowUndo);
        result = SHFileOperationW(&operation);
    }
    DiagnosticStream() << operationName << (result == 0 ? L" Success!\n" : L" Failed!\n");
    return result == 0;
}
