#include "files/RenameFileOperation.h"

#include <shellapi.h>

RenameFileOperation::RenameFileOperation(HWND owner, const wchar_t* source, const wchar_t* destination,
                                         bool confirmOperation, bool silentOperation)
    : FileOperation(owner, source, destination, confirmOperation, silentOperation, true)
{
    operationName = L"RenameFileOrFolder";
}

bool RenameFileOperation::Execute()
{
    return ExecuteShellOperation(FO_RENAME);
}
