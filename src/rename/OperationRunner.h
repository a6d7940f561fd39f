#pragma once

#include <windows.h>

#include "rename/OperationResult.h"
#include "rename/PathList.h"
#include "rename/RenameObserver.h"

// The way into the bulk-rename engine: runs one rename of a path list and reports the outcome
// into a result the caller owns.
class OperationRunner {
public:
    OperationRunner();
    ~OperationRunner();

    OperationRunner(const OperationRunner&) = delete;
    OperationRunner& operator=(const OperationRunner&) = delete;

    // Renames the paths to A, B, ... (see FilesRenamerAlphabetize); a new renamer every call,
    // so every batch starts at A.
    void Alphabetize(OperationResult& result, PathList& paths);
    // The same, telling `observer` of every step that moves something.
    void Alphabetize(OperationResult& result, PathList& paths, RenameObserver& observer);

    HWND ownerWindow;
};
