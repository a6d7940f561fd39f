// SplitCommandLine and the command of each verb against a small model written from the rules
// alone, over many seeded random command lines.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "setup/CommandLine.h"
#include "setup/SetupCommand.h"

namespace {

// The rules, restated: split at every blank outside quotes (a quote toggles quoting and a
// backslash escapes nothing), and keep the first three fields, empty where there are fewer.
std::vector<std::wstring> ModelTokens(const std::wstring& line)
{
    std::vector<std::wstring> fields(1);
    bool quoted = false;
    for (const wchar_t unit : line) {
        if (unit == L'"') {
            quoted = !quoted;
        }
        if (unit == L' ' && !quoted) {
            fields.emplace_back();
        } else {
            fields.back().push_back(unit);
        }
    }
    fields.resize(3);
    return fields;
}

std::wstring ModelCommand(const std::vector<std::wstring>& tokens)
{
    std::wstring folder = tokens[2];
    if (!folder.empty()) {
        folder.erase(folder.size() - 1);
    }
    if (tokens[1] == L"/Install") {
        return L"regsvr32 /s " + folder + L"Quillmoss.dll\"";
    }
    if (tokens[1] == L"/Uninstall" || tokens[1] == L"Rollback") {
        return L"regsvr32 /s /u " + folder + L"Quillmoss.dll\"";
    }
    return L"";
}

std::wstring RandomLine(std::mt19937& random)
{
    static const std::vector<std::wstring> pieces = {
        L" ", L"  ", L"\t", L"\"", L"\\", L"/Install", L"/Uninstall", L"Rollback", L"/install", L"ROLLBACK",
        L"\"C:\\Program Files\\Quillmoss\\\"", L"C:\\Apps\\", L"setup.exe", L"\"C:\\P F\\QuillmossSetup.exe\"",
        L"\u00e9", L"\u20ac", std::wstring{0xD83D, 0xDE00}, std::wstring{0xD800}, std::wstring{0xDC00}, L"x"};
    std::uniform_int_distribution<std::size_t> piece(0, pieces.size() - 1);
    std::uniform_int_distribution<int> shape(0, 9);
    std::wstring line;
    const int kind = shape(random);
    if (kind == 0) {
        // Lengths around the command buffer, and far past the system's command-line limit.
        const std::size_t lengths[] = {990, 997, 998, 999, 1000, 1023, 1024, 1025, 33000, 70000};
        line = L"setup.exe /Install \"C:\\" +
               std::wstring(lengths[std::uniform_int_distribution<std::size_t>(0, 9)(random)], L'x') + L"\\\"";
    } else {
        const int count = std::uniform_int_distribution<int>(0, 12)(random);
        for (int i = 0; i < count; ++i) {
            line += pieces[piece(random)];
        }
    }
    return line;
}

TEST(SplitCommandLineProperty, AgreesWithTheModelOnRandomLines)
{
    std::mt19937 random(1024);
    for (int round = 0; round < 20000; ++round) {
        const std::wstring line = RandomLine(random);
        const CommandLineTokens tokens = SplitCommandLine(line);
        const std::vector<std::wstring> expected = ModelTokens(line);
        ASSERT_EQ(tokens.program, expected[0]) << "round " << round;
        ASSERT_EQ(tokens.verb, expected[1]) << "round " << round;
        ASSERT_EQ(tokens.folder, expected[2]) << "round " << round;
        ASSERT_EQ(BuildRegistrationCommand(tokens), ModelCommand(expected)) << "round " << round;
    }
}

} // namespace
