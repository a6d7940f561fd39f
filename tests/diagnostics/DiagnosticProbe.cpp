// A process that writes the file engine's diagnostic lines, so the tests can see the bytes that
// leave a real process. Modes:
//   lines PATH               a FileMachine look-up failure for PATH, then a failed shell rename
//   held PATH WRITTEN GO     a failed shell rename (not flushed), signals the event WRITTEN, waits
//                            for the event GO, then a FileMachine look-up failure for PATH
//   rename FROM TO           a shell rename; exit code 0 when it succeeded, 1 when it failed
#include <windows.h>
#include <shellapi.h>

#include <string>

#include "files/FileMachine.h"
#include "files/RenameFileOperation.h"
#include "platform/UniqueHandle.h"

namespace {

bool FailedRename()
{
    RenameFileOperation rename(nullptr, L"C:\\qm-tests\\no such file", L"C:\\qm-tests\\no such name", false, true);
    return rename.Execute();
}

} // namespace

int main()
{
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (arguments == nullptr || count < 3) {
        return 2;
    }
    const std::wstring mode = arguments[1];
    int exitCode = 2;
    if (mode == L"lines") {
        const FileMachine record(nullptr, arguments[2]);
        FailedRename();
        exitCode = 0;
    } else if (mode == L"held" && count == 5) {
        FailedRename();
        const UniqueHandle written(OpenEventW(EVENT_MODIFY_STATE, FALSE, arguments[3]));
        const UniqueHandle go(OpenEventW(SYNCHRONIZE, FALSE, arguments[4]));
        SetEvent(written.Get());
        WaitForSingleObject(go.Get(), 30000);
        const FileMachine record(nullptr, arguments[2]);
        exitCode = 0;
    } else if (mode == L"rename" && count == 4) {
        RenameFileOperation rename(nullptr, arguments[2], arguments[3], false, true);
        exitCode = rename.Execute() ? 0 : 1;
    }
    LocalFree(arguments);
    return exitCode;
}
