#pragma once

#include "files/FileOperation.h"

// Deletes one file or folder through the shell: for good, or to the recycle bin with `allowUndo`.
class DeleteFileOperation : private FileOperation {
public:
    DeleteFileOperation(HWND owner, const wchar_t* path, bool confirmOperation, bool silentOperation,
                        bool allowUndoOperation);

    bool Execute() override;

    using FileOperation::allowUndo;
    using FileOperation::confirm;
    using FileOperation::destinationPath;
    using FileOperation::operationName;
    using FileOperation::silent;
    using FileOperation::sourcePath;
};
