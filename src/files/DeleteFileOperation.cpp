#include "files/DeleteFileOperation.h"

#include <shellapi.h>

DeleteFileOperation::DeleteFileOperation(HWND owner, const wchar_t* path, bool confirmOperation,
                                         bool silentOperation, bool allowUndoOperation)
    : FileOperation(owner, path, L"", confirmOperation, silentOperation, allowUndoOperation)
{
    operationName = L"DeleteFileOrFolder";
}

bool DeleteFileOperation::Execute()
{
    return ExecuteShellOperation(FO_DELETE);
}
