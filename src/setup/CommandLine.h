#pragma once

#include <string>
#include <string_view>

// The three leading tokens of the setup program's command line. Each keeps every unit it
// covers, double quotes included; slots the line did not reach stay empty.
struct CommandLineTokens {
    std::wstring program;
    std::wstring verb;
    std::wstring folder;
};

// Splits at blanks outside double quotes. A quote toggles quoting and stays in the token,
// a backslash escapes nothing, and everything after the third token is dropped.
CommandLineTokens SplitCommandLine(std::wstring_view commandLine);
