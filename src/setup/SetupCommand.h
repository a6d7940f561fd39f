#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "setup/CommandLine.h"

// The writable buffer handed to CreateProcessW holds 1024 units, its terminator included.
inline constexpr std::size_t commandBufferUnits = 1024;

// The regsvr32 command line for the verb of `tokens`, built from the folder token less its last
// unit (the installer passes the folder as "C:\...\" and the library name goes inside the quotes).
// Empty when the verb is none of "/Install", "/Uninstall", "Rollback" (compared exactly).
std::wstring BuildRegistrationCommand(const CommandLineTokens& tokens);

// True for the one verb that also creates the product data folder.
bool IsInstallVerb(std::wstring_view verb);

// The whole setup run for one command line: always returns the exit code 0.
int RunSetup(std::wstring_view commandLine);
