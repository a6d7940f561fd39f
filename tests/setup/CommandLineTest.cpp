#include <gtest/gtest.h>

#include "setup/CommandLine.h"

namespace {

struct SplitCase {
    const wchar_t* line;
    const wchar_t* program;
    const wchar_t* verb;
    const wchar_t* folder;
};

class SplitCommandLineTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitCommandLineTest, GivesTheThreeLeadingTokens)
{
    const SplitCase& c = GetParam();
    const CommandLineTokens tokens = SplitCommandLine(c.line);
    EXPECT_EQ(tokens.program, c.program);
    EXPECT_EQ(tokens.verb, c.verb);
    EXPECT_EQ(tokens.folder, c.folder);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, SplitCommandLineTest,
    ::testing::Values(
        // What the installer passes: quotes are kept, the blank inside them does not split.
        SplitCase{LR"("C:\P F\QuillmossSetup.exe" /Install "C:\Program Files\Quillmoss\")",
                  LR"("C:\P F\QuillmossSetup.exe")", L"/Install", LR"("C:\Program Files\Quillmoss\")"},
        SplitCase{LR"(setup.exe Rollback "C:\A\")", L"setup.exe", L"Rollback", LR"("C:\A\")"},
        // Two blanks make an empty token; the folder then falls outside the three slots.
        SplitCase{LR"(setup.exe /Install  "C:\A\")", L"setup.exe", L"/Install", L""},
        // A blank at the very end after the verb gives an empty third token.
        SplitCase{L"setup.exe /Install ", L"setup.exe", L"/Install", L""},
        SplitCase{L"setup.exe /Uninstall", L"setup.exe", L"/Uninstall", L""},
        SplitCase{L"setup.exe", L"setup.exe", L"", L""},
        SplitCase{L"", L"", L"", L""},
        SplitCase{L" ", L"", L"", L""},
        SplitCase{L"  ", L"", L"", L""},
        SplitCase{L"a b c", L"a", L"b", L"c"},
        SplitCase{L"a b c ", L"a", L"b", L"c"},
        SplitCase{L"a b c d e", L"a", L"b", L"c"},
        SplitCase{LR"(setup.exe /Install "C:\A\" extra "more tokens")", L"setup.exe", L"/Install", LR"("C:\A\")"},
        // Tabs are not separators.
        SplitCase{L"setup.exe\t/Install\t\"C:\\A\\\"", L"setup.exe\t/Install\t\"C:\\A\\\"", L"", L""},
        // An unquoted program path with a blank shifts every token.
        SplitCase{LR"(C:\Program Files\Q\setup.exe /Install "C:\A\")", L"C:\\Program", L"Files\\Q\\setup.exe",
                  L"/Install"},
        SplitCase{L" setup.exe /Install", L"", L"setup.exe", L"/Install"},
        // Quotes anywhere toggle quoting; a backslash escapes nothing.
        SplitCase{LR"(setup.exe /In"stall x" y)", L"setup.exe", LR"(/In"stall x")", L"y"},
        SplitCase{LR"(setup.exe "/Install C:\A\)", L"setup.exe", LR"("/Install C:\A\)", L""},
        SplitCase{LR"(setup.exe /Install "C:\A\\" y)", L"setup.exe", L"/Install", LR"("C:\A\\")"},
        SplitCase{LR"(setup.exe /Install \"C:\A B\")", L"setup.exe", L"/Install", LR"(\"C:\A B\")"},
        SplitCase{LR"(setup.exe "" "")", L"setup.exe", LR"("")", LR"("")"},
        // Units outside ASCII, a surrogate pair included, are ordinary units.
        SplitCase{L"s\u00e9tup.exe /Install \"C:\\\U0001F600 \u20ac\\\"", L"s\u00e9tup.exe", L"/Install",
                  L"\"C:\\\U0001F600 \u20ac\\\""}));

} // namespace
