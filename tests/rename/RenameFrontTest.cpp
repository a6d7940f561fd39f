// QuillmossRename.exe: its command line, list files, summary line, dry run and exit codes.
#include <string>
#include <vector>

#include "rename/front/RenameFront.h"
#include "support/TestProcess.h"
#include "tests/rename/RenameFixture.h"

namespace {

using Action = RenameRequest::Action;

struct ParseCase {
    std::vector<std::wstring> arguments;
    Action action;
    std::vector<std::wstring> paths;
};

class ParseRenameRequestTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseRenameRequestTest, ReadsOptionsAndPaths)
{
    const RenameRequest request = ParseRenameRequest(GetParam().arguments);
    EXPECT_EQ(request.action, GetParam().action);
    EXPECT_EQ(request.paths, GetParam().paths);
    EXPECT_EQ(request.problem.empty(), request.action != Action::BadUsage);
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, ParseRenameRequestTest,
    ::testing::Values(ParseCase{{L"C:\\a.txt", L"C:\\b"}, Action::Rename, {L"C:\\a.txt", L"C:\\b"}},
                      ParseCase{{L"--dry-run", L"C:\\a.txt"}, Action::DryRun, {L"C:\\a.txt"}},
                      ParseCase{{L"C:\\a.txt", L"--dry-run"}, Action::DryRun, {L"C:\\a.txt"}},
                      ParseCase{{L"--", L"--odd name"}, Action::Rename, {L"--odd name"}},
                      ParseCase{{L"--help", L"--bogus"}, Action::Help, {}},
                      ParseCase{{}, Action::BadUsage, {}},
                      ParseCase{{L"--dry-run"}, Action::BadUsage, {}},
                      ParseCase{{L"--bogus", L"C:\\a.txt"}, Action::BadUsage, {}},
                      ParseCase{{L"C:\\a.txt", L"--list"}, Action::BadUsage, {L"C:\\a.txt"}},
                      ParseCase{{L"--list", L"C:\\qm-tests\\no such list.txt"}, Action::BadUsage, {}}));

TEST(SummaryLine, OneLineWithTheMessageEscaped)
{
    OperationResult result;
    SetOperationResult(result, SomeFilesFailed, FilesRename, L"1 files failed to rename.", 2, 1);
    EXPECT_EQ(SummaryLine(result),
              "status=3 SomeFilesFailed operation=12 succeeded=2 failed=1 message=\"1 files failed to rename.\"");
    SetOperationResult(result, FilesOpen, FilesRename, L"Some of the files are open.\nCan't complete \"it\".", 0, 4);
    EXPECT_EQ(SummaryLine(result), "status=4 FilesOpen operation=12 succeeded=0 failed=4 "
                                   "message=\"Some of the files are open.\\nCan't complete \\\"it\\\".\"");
}

class RenameFrontTest : public RenameFixture {
protected:
    static ProcessRun RunFront(const std::wstring& arguments)
    {
        const std::wstring program = ProgramFolder() + L"\\QuillmossRename.exe";
        return RunProcess(program, Quoted(program) + L" " + arguments);
    }
};

TEST_F(RenameFrontTest, ListFilesAreUtf8WithBlankLinesSkipped)
{
    const std::wstring list = At(L"list.txt");
    WriteFileBytes(list, "\xEF\xBB\xBF" "C:\\a.txt\r\n\r\n  \nC:\\caf\xC3\xA9 \xE2\x82\xAC.txt\nC:\\last");
    PathList paths;
    std::wstring problem;
    ASSERT_TRUE(ReadPathListFile(list, paths, problem));
    EXPECT_EQ(paths, (PathList{L"C:\\a.txt", L"C:\\caf\u00e9 \u20ac.txt", L"C:\\last"}));

    WriteFileBytes(list, "C:\\bad \xC3(.txt\n");
    paths.clear();
    EXPECT_FALSE(ReadPathListFile(list, paths, problem));
    EXPECT_NE(problem.find(L"not UTF-8"), std::wstring::npos);
}

TEST_F(RenameFrontTest, RenamesAndReportsTheOutcome)
{
    const std::wstring a = Make(L"first.TXT");
    const std::wstring b = Make(L"second");
    const ProcessRun run = RunFront(Quoted(a) + L" " + Quoted(At(L"missing")) + L" " + Quoted(b));
    EXPECT_EQ(run.exitCode, 3u);
    EXPECT_EQ(run.standardError,
              "status=3 SomeFilesFailed operation=12 succeeded=2 failed=1 message=\"1 files failed to rename.\"\r\n");
    EXPECT_NE(run.standardOutput.find("1. File doesn't exist: " + ToUtf8(At(L"missing")) + "\r\n"), std::string::npos);
    EXPECT_EQ(ListFolder(folder), (std::vector<std::wstring>{L"A.txt", L"B"}));
}

TEST_F(RenameFrontTest, ReadsThePathsFromAList)
{
    Make(L"\u00e9t\u00e9.Txt");
    Make(L"two");
    WriteFileBytes(At(L"paths.lst"), ToUtf8(At(L"\u00e9t\u00e9.Txt") + L"\r\n\r\n" + At(L"two") + L"\r\n"));
    const ProcessRun run = RunFront(L"--list " + Quoted(At(L"paths.lst")));
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(run.standardError, "status=0 Succeeded operation=12 succeeded=2 failed=0 message=\"\"\r\n");
    EXPECT_EQ(ListFolder(folder), (std::vector<std::wstring>{L"A.txt", L"B", L"paths.lst"}));
}

TEST_F(RenameFrontTest, ADryRunTellsWithoutTouchingAnything)
{
    const std::wstring b = Make(L"b.TXT");
    const std::wstring a = Make(L"A.txt");
    Make(L"C.jpg", "outside");
    const std::wstring pic = Make(L"pic.JPG");
    const ProcessRun run =
        RunFront(L"--dry-run " + Quoted(b) + L" " + Quoted(At(L"gone")) + L" " + Quoted(a) + L" " + Quoted(pic));
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(run.standardOutput, "missing: " + ToUtf8(At(L"gone")) + "\r\n" + ToUtf8(b) + " -> " +
                                      ToUtf8(At(L"A.txt")) + "\r\n" + ToUtf8(a) + " -> " + ToUtf8(At(L"B.txt")) +
                                      "\r\n" + ToUtf8(pic) + " -> " + ToUtf8(At(L"C.jpg")) + "\r\n" +
                                      "taken: " + ToUtf8(At(L"C.jpg")) + "\r\n");
    EXPECT_EQ(ListFolder(folder), (std::vector<std::wstring>{L"A.txt", L"C.jpg", L"b.TXT", L"pic.JPG"}));
    EXPECT_EQ(ReadFileBytes(a), "A.txt");
}

TEST_F(RenameFrontTest, BadUsageExitsWithTwo)
{
    for (const std::wstring& arguments : {std::wstring(), std::wstring(L"--bogus"),
                                          L"--list " + Quoted(At(L"no such list"))}) {
        const ProcessRun run = RunFront(arguments);
        EXPECT_EQ(run.exitCode, 2u) << ToUtf8(arguments);
        EXPECT_EQ(run.standardError.rfind("QuillmossRename: ", 0), 0u) << run.standardError;
        EXPECT_NE(run.standardError.find("Usage: QuillmossRename"), std::string::npos);
        EXPECT_EQ(run.standardOutput, "");
    }
    const ProcessRun help = RunFront(L"--help");
    EXPECT_EQ(help.exitCode, 0u);
    EXPECT_EQ(help.standardOutput.rfind("Usage: QuillmossRename", 0), 0u);
}

} // namespace
