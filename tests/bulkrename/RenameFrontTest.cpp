// QuillmossRename.exe: its command line, list files, summary line, dry run and exit codes.
#include <windows.h>

#include <array>
#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "platform/UniqueHandle.h"
#include "bulkrename/RenameFront.h"
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
                      ParseCase{{L"--", L"C:\\--odd name"}, Action::Rename, {L"C:\\--odd name"}},
                      // Every path comes out as one spelling.
                      ParseCase{{L"C:\\D/x.txt\\", L"C:\\D\\..\\E\\y. "}, Action::Rename,
                                {L"C:\\D\\x.txt", L"C:\\E\\y"}},
                      ParseCase{{L"--help", L"--bogus"}, Action::Help, {}},
                      ParseCase{{L"-h"}, Action::Help, {}},
                      ParseCase{{L"C:\\a.txt", L"-?"}, Action::Help, {}},
                      ParseCase{{L"/?"}, Action::Help, {}},
                      // A path no folder holds refuses the whole command line.
                      ParseCase{{L"C:\\a.txt", L"C:\\"}, Action::BadUsage, {}},
                      ParseCase{{L"C:\\a.txt", L""}, Action::BadUsage, {}},
                      ParseCase{{L"\\\\server\\share\\"}, Action::BadUsage, {}},
                      ParseCase{{L"CON"}, Action::BadUsage, {}},
                      ParseCase{{}, Action::BadUsage, {}},
                      ParseCase{{L"--dry-run"}, Action::BadUsage, {}},
                      ParseCase{{L"--bogus", L"C:\\a.txt"}, Action::BadUsage, {}},
                      ParseCase{{L"C:\\a.txt", L"--list"}, Action::BadUsage, {}},
                      ParseCase{{L"--list", L"C:\\qm-tests\\no such list.txt"}, Action::BadUsage, {}},
                      // Undo and recovery take at most one journal and no paths.
                      ParseCase{{L"--undo"}, Action::Undo, {}},
                      ParseCase{{L"--undo", L"C:\\j.journal", L"--dry-run"}, Action::Undo, {}},
                      ParseCase{{L"--no-journal", L"--undo"}, Action::Undo, {}},
                      ParseCase{{L"--recover", L"C:\\j.journal"}, Action::Recover, {}},
                      ParseCase{{L"--dry-run", L"--recover"}, Action::Recover, {}},
                      ParseCase{{L"--undo", L"--recover"}, Action::BadUsage, {}},
                      ParseCase{{L"--undo", L"C:\\a", L"C:\\b"}, Action::BadUsage, {}},
                      ParseCase{{L"--recover", L"--journal", L"C:\\j.journal"}, Action::BadUsage, {}},
                      ParseCase{{L"--recover", L"--no-journal"}, Action::BadUsage, {}},
                      ParseCase{{L"--journal", L"C:\\j.journal", L"--no-journal", L"C:\\a.txt"}, Action::BadUsage, {}},
                      ParseCase{{L"C:\\a.txt", L"--journal"}, Action::BadUsage, {}},
                      ParseCase{{L"--journal", L"C:\\j.journal", L"C:\\a.txt"}, Action::Rename, {L"C:\\a.txt"}}));

TEST(ParseRenameRequest, JournalsAreNamedByTheirFullPaths)
{
    std::array<wchar_t, MAX_PATH> current{};
    const DWORD length = GetCurrentDirectoryW(static_cast<DWORD>(current.size()), current.data());
    std::wstring folder(current.data(), length);
    folder += folder.back() == L'\\' ? L"" : L"\\";
    const RenameRequest undo = ParseRenameRequest({L"--undo", L"j.journal"});
    EXPECT_EQ(undo.journal, folder + L"j.journal");
    EXPECT_TRUE(undo.ownJournal.file.empty());
    const RenameRequest rename = ParseRenameRequest({L"--journal", L"sub\\..\\new.journal", L"C:\\a.txt"});
    EXPECT_EQ(rename.ownJournal.file, folder + L"new.journal");
    EXPECT_TRUE(ParseRenameRequest({L"--recover"}).journal.empty());
    // One spelling, as a journal records the path of the journal it undoes.
    EXPECT_EQ(ParseRenameRequest({L"--undo", L"\\\\?\\C:\\x\\j.journal"}).journal, L"C:\\x\\j.journal");
    EXPECT_EQ(ParseRenameRequest({L"--recover", L"\\\\.\\C:\\x\\j.journal"}).journal, L"C:\\x\\j.journal");
    EXPECT_FALSE(ParseRenameRequest({L"--undo", L"CON"}).problem.empty());
    EXPECT_FALSE(ParseRenameRequest({L"--journal", L"\\\\.\\pipe\\j", L"C:\\a.txt"}).problem.empty());
}

TEST(ParseRenameRequest, ARelativePathAfterTheEndOfOptionsIsResolved)
{
    std::array<wchar_t, MAX_PATH> current{};
    const DWORD length = GetCurrentDirectoryW(static_cast<DWORD>(current.size()), current.data());
    const std::wstring folder(current.data(), length);
    const RenameRequest request = ParseRenameRequest({L"--", L"--odd name"});
    EXPECT_EQ(request.action, Action::Rename);
    EXPECT_EQ(request.paths, PathList{(folder.back() == L'\\' ? folder : folder + L"\\") + L"--odd name"});
}

TEST(SplitArguments, AQuoteOnlyQuotesAndABackslashStaysABackslash)
{
    const struct {
        std::wstring commandLine;
        std::vector<std::wstring> arguments;
    } cases[] = {
        {L"QuillmossRename", {}},
        {L"\"C:\\Program Files\\QuillmossRename.exe\" a  b\tc", {L"a", L"b", L"c"}},
        {L"QuillmossRename \"C:\\My Photos\\\" --dry-run", {L"C:\\My Photos\\", L"--dry-run"}},
        {L"QuillmossRename C:\\a\\\\ \"\" x\"y z\"", {L"C:\\a\\\\", L"", L"xy z"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SplitArguments(c.commandLine), c.arguments) << ToUtf8(c.commandLine);
    }
}

TEST(RunGuarded, AnEscapedExceptionIsOneLineAndItsOwnExitCode)
{
    std::FILE* errors = std::tmpfile();
    ASSERT_NE(errors, nullptr);
    EXPECT_EQ(RunGuarded([]() -> int { throw std::bad_alloc(); }, errors), internalErrorExitCode);
    EXPECT_EQ(RunGuarded([]() -> int { throw 42; }, errors), internalErrorExitCode);
    EXPECT_EQ(RunGuarded([] { return 3; }, errors), 3);
    std::rewind(errors);
    std::array<char, 256> text{};
    const std::size_t read = std::fread(text.data(), 1, text.size() - 1, errors);
    std::fclose(errors);
    EXPECT_EQ(std::string(text.data(), read), "QuillmossRename: internal error: std::bad_alloc\n"
                                              "QuillmossRename: internal error: unknown exception\n");
}

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

TEST_F(RenameFrontTest, ListFilesInUtf16NeedTheirByteOrderMark)
{
    const std::wstring list = At(L"list.txt");
    const std::wstring text = L"C:\\caf\u00e9.txt\r\n\r\nC:\\\U0001F600\n";
    std::string little = "\xFF\xFE";
    std::string big = "\xFE\xFF";
    std::string unmarked;
    for (const wchar_t unit : text) {
        little += {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
        big += {static_cast<char>(unit >> 8), static_cast<char>(unit & 0xFF)};
        unmarked += {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
    }
    for (const std::string& bytes : {little, big}) {
        WriteFileBytes(list, bytes);
        PathList paths;
        std::wstring problem;
        ASSERT_TRUE(ReadPathListFile(list, paths, problem)) << ToUtf8(problem);
        EXPECT_EQ(paths, (PathList{L"C:\\caf\u00e9.txt", L"C:\\\U0001F600"}));
    }

    WriteFileBytes(list, unmarked);
    PathList paths;
    std::wstring problem;
    EXPECT_FALSE(ReadPathListFile(list, paths, problem));
    EXPECT_TRUE(paths.empty());
    EXPECT_NE(problem.find(L"NUL"), std::wstring::npos) << ToUtf8(problem);
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
    EXPECT_EQ(run.standardOutput, ToUtf8(b) + " -> " + ToUtf8(At(L"A.txt")) + "\r\n" + "missing: " +
                                      ToUtf8(At(L"gone")) + "\r\n" + ToUtf8(a) + " -> " + ToUtf8(At(L"B.txt")) +
                                      "\r\n" + ToUtf8(pic) + " -> " + ToUtf8(At(L"C.jpg")) + "\r\n" + "taken: " +
                                      ToUtf8(At(L"C.jpg")) + "\r\n" +
                                      "would ask once; after Yes: status=3 SomeFilesFailed operation=12 succeeded=3 "
                                      "failed=1 message=\"1 files failed to rename.\"\r\n"
                                      "after No: status=6 UserDeclined operation=12 succeeded=0 failed=4 message=\"\"\r\n");
    EXPECT_EQ(ListFolder(folder), (std::vector<std::wstring>{L"A.txt", L"C.jpg", L"b.TXT", L"pic.JPG"}));
    EXPECT_EQ(ReadFileBytes(a), "A.txt");
}

TEST_F(RenameFrontTest, ADryRunFollowsTheRulesOfTheRun)
{
    // A file listed after its folder is gone with it; the folder takes its file along; a file
    // held open stops everything.
    const std::wstring inner = Make(L"X\\f.txt");
    const std::wstring x = At(L"X");
    const std::wstring dotted = Make(L"a.b\\file");
    const ProcessRun run = RunFront(L"--dry-run " + Quoted(At(L"X/f.txt")) + L" " + Quoted(x) + L" " + Quoted(inner) +
                                    L" " + Quoted(dotted));
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(run.standardOutput, ToUtf8(inner) + " -> " + ToUtf8(At(L"B\\A.txt")) + "\r\n" + ToUtf8(x) + " -> " +
                                      ToUtf8(At(L"B")) + "\r\nmissing: " + ToUtf8(inner) + "\r\nrefused: " +
                                      ToUtf8(dotted) + " (its extension lies in a folder name)\r\n" +
                                      "would end: status=3 SomeFilesFailed operation=12 succeeded=2 failed=2 "
                                      "message=\"2 files failed to rename.\"\r\n");

    const UniqueHandle held(
        CreateFileW(inner.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    const ProcessRun open = RunFront(L"--dry-run " + Quoted(dotted) + L" " + Quoted(inner));
    EXPECT_EQ(open.standardOutput, "open: " + ToUtf8(inner) + "\r\n" +
                                       "would end: status=4 FilesOpen operation=12 succeeded=0 failed=2 "
                                       "message=\"Some of the files are open.\\nCan't complete rename operation.\"\r\n");
}

// Every file below `root` with its content, as "relative path=content" lines, folders as "path\".
std::string Tree(const std::wstring& root, const std::wstring& relative = L"")
{
    std::string tree;
    for (const std::wstring& name : ListFolder(relative.empty() ? root : root + L"\\" + relative)) {
        const std::wstring path = relative.empty() ? name : relative + L"\\" + name;
        tree += IsFolder(root + L"\\" + path) ? ToUtf8(path) + "\\\n" + Tree(root, path)
                                               : ToUtf8(path) + "=" + ReadFileBytes(root + L"\\" + path) + "\n";
    }
    return tree;
}

TEST_F(RenameFrontTest, BatchShapesEndWhereTheDryRunSaysWithTheJournalOn)
{
    const struct {
        const char* shape;
        std::vector<std::wstring> files;
        std::vector<std::wstring> batch;
        // The dry run's lines, "@" standing for the case's folder.
        std::string lines;
        DWORD exitCode;
        std::string tree;
    } cases[] = {
        // The extension is the one of the name the file was given by, not of the temporary name
        // its folder moved aside under.
        {"a file with no dot before its folder",
         {L"D\\X\\notes"},
         {L"D\\X\\notes", L"D\\X"},
         "@\\D\\X\\notes -> @\\D\\B\\A\n@\\D\\X -> @\\D\\B\n",
         0,
         "D\\\nD\\B\\\nD\\B\\A=D\\X\\notes\n"},
        {"a folder with no dot before the folder that holds it",
         {L"D\\P\\Q\\f.txt"},
         {L"D\\P\\Q", L"D\\P"},
         "@\\D\\P\\Q -> @\\D\\B\\A\n@\\D\\P -> @\\D\\B\n",
         0,
         "D\\\nD\\B\\\nD\\B\\A\\\nD\\B\\A\\f.txt=D\\P\\Q\\f.txt\n"},
        // F\A keeps its name (a folder holding a file of the batch stands at its new path F\C), so
        // report, whose new name is A, keeps its own.
        {"a file that keeps its name keeps it from another",
         {L"F\\report", L"F\\C\\y", L"F\\A"},
         {L"F\\report", L"F\\C\\y", L"F\\A"},
         "refused: @\\F\\report (a file that keeps its name holds its new path)\n@\\F\\C\\y -> @\\F\\C\\B\n"
         "refused: @\\F\\A (a folder holding files of the batch stands at its new path)\n",
         3,
         "F\\\nF\\A=F\\A\nF\\C\\\nF\\C\\B=F\\C\\y\nF\\report=F\\report\n"},
    };
    for (const auto& c : cases) {
        const std::wstring caseFolder = Make(FromUtf8(c.shape) + L"\\");
        std::wstring arguments;
        for (const std::wstring& file : c.files) {
            Make(FromUtf8(c.shape) + L"\\" + file, ToUtf8(file));
        }
        for (const std::wstring& path : c.batch) {
            arguments += L" " + Quoted(caseFolder + L"\\" + path);
        }
        std::string expected;
        for (const char unit : std::string(c.lines)) {
            expected += unit == '@' ? ToUtf8(caseFolder) : unit == '\n' ? std::string("\r\n") : std::string(1, unit);
        }
        const ProcessRun dryRun = RunFront(L"--dry-run" + arguments);
        EXPECT_EQ(dryRun.standardOutput.substr(0, expected.size()), expected) << c.shape;
        const ProcessRun run = RunFront(arguments);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.shape << run.standardOutput;
        EXPECT_EQ(Tree(caseFolder), c.tree) << c.shape << run.standardOutput;
    }
}

TEST_F(RenameFrontTest, AFileSpelledWithASlashFollowsItsFolder)
{
    // "X/f.txt" then "X": the file moves aside inside X, then X moves; both end renamed, nothing
    // left under a temporary name.
    Make(L"X\\f.txt");
    const ProcessRun run = RunFront(Quoted(At(L"X/f.txt")) + L" " + Quoted(At(L"X")));
    EXPECT_EQ(run.exitCode, 0u) << run.standardError;
    EXPECT_EQ(run.standardError, "status=0 Succeeded operation=12 succeeded=2 failed=0 message=\"\"\r\n");
    EXPECT_EQ(run.standardOutput.find("File left under a temporary name"), std::string::npos);
    EXPECT_EQ(ListFolder(folder), std::vector<std::wstring>{L"B"});
    EXPECT_EQ(ReadFileBytes(At(L"B\\A.txt")), "X\\f.txt");
}

TEST_F(RenameFrontTest, RelativePathsAndATrailingBackslashAsTyped)
{
    Make(L"one.txt");
    Make(L"Photos\\p.png");
    const std::wstring program = ProgramFolder() + L"\\QuillmossRename.exe";
    const ProcessRun run =
        RunProcess(program, Quoted(program) + L" one.txt \".\\Photos\\\"", folder);
    EXPECT_EQ(run.exitCode, 0u) << run.standardError;
    EXPECT_EQ(ListFolder(folder), (std::vector<std::wstring>{L"A.txt", L"B"}));
    EXPECT_EQ(ReadFileBytes(At(L"B\\p.png")), "Photos\\p.png");
}

TEST_F(RenameFrontTest, BadUsageExitsWithTwo)
{
    const std::wstring kept = Make(L"kept.txt");
    for (const std::wstring& arguments :
         {std::wstring(), std::wstring(L"--bogus"), L"--list " + Quoted(At(L"no such list")),
          Quoted(kept) + L" C:\\", Quoted(kept) + L" \"\""}) {
        const ProcessRun run = RunFront(arguments);
        EXPECT_EQ(run.exitCode, 2u) << ToUtf8(arguments);
        EXPECT_EQ(run.standardError.rfind("QuillmossRename: ", 0), 0u) << run.standardError;
        EXPECT_NE(run.standardError.find("Usage: QuillmossRename"), std::string::npos);
        EXPECT_EQ(run.standardOutput, "");
    }
    EXPECT_EQ(ListFolder(folder), std::vector<std::wstring>{L"kept.txt"});
    EXPECT_NE(RunFront(Quoted(kept) + L" C:\\").standardError.find("cannot rename \"C:\\\""), std::string::npos);
    for (const wchar_t* option : {L"--help", L"-h", L"-?", L"/?"}) {
        const ProcessRun help = RunFront(option);
        EXPECT_EQ(help.exitCode, 0u);
        EXPECT_EQ(help.standardOutput.rfind("Usage: QuillmossRename", 0), 0u) << ToUtf8(option);
    }
}

} // namespace
