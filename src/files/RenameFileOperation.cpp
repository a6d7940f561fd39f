#include "files/RenameFileOperation.h"

#include <shellapi.h>

RenameFileOperation::RenameFileOperation(HWND owner, const wchar_t* source, const wchar_t* destination,
                                         bool confirmOperation, bool silentOperation)
    : FileOperation(owner, source, destination, confirmOperation, silentOperation, true)
{
    operationName = L"RenameFileOrFolder";
    // A rename to nothing is no rename: it is refused like a destination that does not fit.
    if (destinationPath[0] == L'\0') {
        pathsFit = false;
    }
}

bool RenameFileOperation::Execute()
{
    return ExecuteShellOperation(FO_RENAME);
}
