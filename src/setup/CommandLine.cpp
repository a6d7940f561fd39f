#include "setup/CommandLine.h"

#include <array>
#include <cstddef>

CommandLineTokens SplitCommandLine(std::wstring_view commandLine)
{
    constexpr std::size_t tokenCount = 3;
    std::array<std::wstring, tokenCount> tokens;
    std::size_t stored = 0;
    std::size_t tokenStart = 0;
    bool inQuotes = false;
    bool stoppedEarly = false;

    for (std::size_t i = 0; i < commandLine.size() && !stoppedEarly; ++i) {
        const wchar_t unit = commandLine[i];
        if (unit == L'"') {
            inQuotes = !inQuotes;
        } else if (unit == L' ' && !inQuotes) {
            if (stored == tokenCount) {
                stoppedEarly = true;
            } else {
                tokens[stored++] = std::wstring(commandLine.substr(tokenStart, i - tokenStart));
                tokenStart = i + 1;
            }
        }
    }
    if (!stoppedEarly && stored < tokenCount) {
        tokens[stored] = std::wstring(commandLine.substr(tokenStart));
    }
    return CommandLineTokens{std::move(tokens[0]), std::move(tokens[1]), std::move(tokens[2])};
}
