#pragma once

#include <windows.h>
#include <shellapi.h>

#include <string>

#include "files/QuillmossElement.h"

// The shell's path limit: a path of at most 258 units fits with its terminator and the zero
// that closes the shell's list of paths.
inline constexpr std::size_t shellPathUnits = MAX_PATH;
inline constexpr std::size_t longestShellPath = shellPathUnits - 2;

// SHFileOperationW flags: FOF_NOCONFIRMMKDIR always, plus FOF_NOCONFIRMATION unless `confirm`,
// FOF_SILENT | FOF_NOERRORUI when `silent`, FOF_ALLOWUNDO when `allowUndo`.
FILEOP_FLAGS ShellOperationFlags(bool confirm, bool silent, bool allowUndo);

// One shell delete or rename of one path. Executing it writes "<operationName> Success!" or
// "<operationName> Failed!" to the diagnostic stream (no flush) and returns the outcome.
class FileOperation : private QuillmossElement {
public:
    FileOperation(const FileOperation&) = delete;
    FileOperation& operator=(const FileOperation&) = delete;

    virtual bool Execute() = 0;

    wchar_t sourcePath[shellPathUnits];
    wchar_t destinationPath[shellPathUnits];
    bool confirm;
    bool silent;
    bool allowUndo;
    std::wstring operationName;

protected:
    FileOperation(HWND owner, const wchar_t* source, const wchar_t* destination, bool confirmOperation,
                  bool silentOperation, bool allowUndoOperation);
    // Operations are built and destroyed as their concrete class, never through this base.
    ~FileOperation() = default;

    bool ExecuteShellOperation(UINT function);

    // False when a path was too long for its buffer (or a rename has no destination): such an
    // operation is never handed to the shell, and nothing is ever written past a buffer.
    bool pathsFit;
};
