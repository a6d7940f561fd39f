#pragma once

#include "files/FileOperation.h"

// Renames (or moves) one file or folder through the shell to a complete new path. Always undoable.
// An empty destination is refused: the operation fails without reaching the shell.
class RenameFileOperation : private FileOperation {
public:
    RenameFileOperation(HWND owner, const wchar_t* source, const wchar_t* destination, bool confirmOperation,
                        bool silentOperation);

    bool Execute() override;

    using FileOperation::allowUndo;
    using FileOperation::confirm;
    using FileOperation::destinationPath;
    using FileOperation::operationName;
    using FileOperation::silent;
    using FileOperation::sourcePath;
};
