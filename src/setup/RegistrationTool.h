#pragma once

#include <windows.h>

#include <string_view>

// Starts the system's own regsvr32 with `command` as its command line and waits for it at most
// `waitMilliseconds` (0: not at all). Returns false, starting nothing, when the command does not
// fit the 1024-unit buffer (a command cut short could name another file) or the system folder
// cannot be read.
bool StartRegistrationTool(std::wstring_view command, DWORD waitMilliseconds);
