// Paths at and past the system's limit: every operation works or fails with its own line and
// result, files end under their old or new names, and nothing is written past a buffer.
#include <windows.h>

#include <string>
#include <vector>

#include "platform/UniqueHandle.h"
#include "rename/OperationRunner.h"
#include "bulkrename/DryRun.h"
#include "rename/journal/JournalReader.h"
#include "rename/journal/RenameJournal.h"
#include "tests/rename/RenameFixture.h"

namespace {

class PathLimitsTest : public RenameFixture {
protected:
    // A folder of exactly `length` units; 246, the longest that can hold temporary names, unless told.
    std::wstring DeepFolder(std::size_t length = 246)
    {
        const std::wstring deep = Make(std::wstring(length - folder.size() - 1, L'd') + L"\\");
        EXPECT_EQ(deep.size(), length);
        return deep;
    }

    // Creates a file of exactly `length` units in `deep`, through the long-path form where needed.
    static std::wstring MakeFileOfLength(const std::wstring& deep, std::size_t length)
    {
        const std::wstring path = deep + L"\\" + std::wstring(length - deep.size() - 5, L'f') + L".TXT";
        const UniqueHandle file(CreateFileW((L"\\\\?\\" + path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
        EXPECT_TRUE(file.IsValid());
        DWORD written = 0;
        WriteFile(file.Get(), "long", 4, &written, nullptr);
        return path;
    }

    static bool ExistsLong(const std::wstring& path)
    {
        return GetFileAttributesW((L"\\\\?\\" + path).c_str()) != INVALID_FILE_ATTRIBUTES;
    }

    OperationResult Alphabetize(PathList paths)
    {
        OperationResult result;
        OperationRunner runner;
        runner.Alphabetize(result, paths);
        return result;
    }
};

struct LengthCase {
    std::size_t length;
    std::int32_t status;
    bool renamed;
    // Past the limit the system may also not find the file at all, which counts it missing.
    std::int32_t otherStatus = -1;
};

class SourceLengthTest : public PathLimitsTest, public ::testing::WithParamInterface<LengthCase> {};

TEST_P(SourceLengthTest, ASourceWorksOrFailsWithItsOwnOutcome)
{
    const std::wstring deep = DeepFolder();
    const std::wstring source = MakeFileOfLength(deep, GetParam().length);
    ASSERT_EQ(source.size(), GetParam().length);
    const OperationResult result = Alphabetize({source});

    EXPECT_TRUE(result.statusCode == GetParam().status || result.statusCode == GetParam().otherStatus)
        << result.statusCode;
    EXPECT_EQ(ExistsLong(deep + L"\\A.txt"), GetParam().renamed);
    EXPECT_EQ(ExistsLong(source), !GetParam().renamed);
    const std::wstring text = diagnostics.Text();
    if (result.statusCode == UnexpectedError) {
        EXPECT_NE(text.find(L"RenameFileOrFolder Failed!\nFilesRenamer::Rename: RenameFileOperation failed!\n"),
                  std::wstring::npos);
    }
    if (result.statusCode == SomeFilesFailed) {
        EXPECT_NE(text.find(L"1. File doesn't exist: "), std::wstring::npos);
    }
}

// Every name below `root`, folders followed by a backslash and their contents.
std::vector<std::wstring> TreeOf(const std::wstring& root)
{
    std::vector<std::wstring> tree;
    for (const std::wstring& name : ListFolder(root)) {
        const std::wstring path = root + L"\\" + name;
        if (IsFolder(path)) {
            tree.push_back(name + L"\\");
            for (const std::wstring& inside : TreeOf(path)) {
                tree.push_back(name + L"\\" + inside);
            }
        } else {
            tree.push_back(name);
        }
    }
    return tree;
}

TEST_F(PathLimitsTest, AJournalChangesNoLineAndNoFileWhenPhaseOneFails)
{
    // The second file that exists fails phase 1: no temporary name can be made in its folder, or
    // its path is too long for the shell to move it. Grouping the moves aside for the journal
    // must not show: the same lines in the same order, the same files, nothing for the sources
    // after the one that failed.
    const std::wstring noTemporaryName = Make(std::wstring(247 - folder.size() - 1, L'n') + L"\\f.txt");
    const std::wstring cannotMove = MakeFileOfLength(DeepFolder(), 259);
    for (const std::wstring& failing : {noTemporaryName, cannotMove}) {
        const PathList paths{Make(L"first.txt"), At(L"missing one.txt"), failing, Make(L"third.txt"),
                             At(L"missing two.txt")};
        const std::vector<std::wstring> before = TreeOf(folder);
        std::wstring lines[2];
        OperationResult results[2];
        std::vector<std::wstring> after[2];
        for (const bool journaled : {false, true}) {
            const std::size_t start = diagnostics.Text().size();
            PathList given = paths;
            OperationRunner runner;
            if (journaled) {
                const std::wstring journalPath = MakeTemporaryFilePath(L"journal");
                std::wstring problem;
                {
                    RenameJournal journal;
                    ASSERT_TRUE(journal.Create(journalPath, "rename", problem)) << ToUtf8(problem);
                    runner.Alphabetize(results[1], given, journal);
                    journal.Finish(results[1]);
                }
                // A recovery or an undo can read what it wrote.
                JournalContents contents;
                EXPECT_TRUE(ReadJournal(journalPath, contents, problem)) << ToUtf8(problem);
                DeleteFileW(journalPath.c_str());
            } else {
                runner.Alphabetize(results[0], given);
            }
            lines[journaled ? 1 : 0] = diagnostics.Text().substr(start);
            after[journaled ? 1 : 0] = TreeOf(folder);
        }
        EXPECT_EQ(lines[1], lines[0]) << ToUtf8(failing);
        EXPECT_EQ(results[0].statusCode, UnexpectedError);
        EXPECT_EQ(results[1].statusCode, results[0].statusCode);
        EXPECT_EQ(after[0], before);
        EXPECT_EQ(after[1], before);
        // The missing source after the failing one is never looked at.
        EXPECT_NE(lines[0].find(L"1. File doesn't exist: " + paths[1] + L"\n"), std::wstring::npos);
        EXPECT_EQ(lines[0].find(L"missing two"), std::wstring::npos) << ToUtf8(lines[0]);
    }
}

INSTANTIATE_TEST_SUITE_P(Lengths, SourceLengthTest,
                         ::testing::Values(LengthCase{257, Succeeded, true}, LengthCase{258, Succeeded, true},
                                           // Too long for the shell's buffers: the move aside is refused.
                                           LengthCase{259, UnexpectedError, false},
                                           LengthCase{260, UnexpectedError, false, SomeFilesFailed},
                                           LengthCase{400, UnexpectedError, false, SomeFilesFailed}));

TEST_F(PathLimitsTest, NewNamesThatGrowPastTheLimitFailOneByOne)
{
    // In a 246-unit folder "\" + name + ".txt" fits up to 7 letters: positions 0 to 181.
    const std::wstring deep = DeepFolder();
    PathList paths;
    for (int k = 0; k < 300; ++k) {
        paths.push_back(deep + L"\\f" + std::to_wstring(1000 + k) + L".txt");
        WriteFileBytes(paths.back(), std::to_string(k));
    }
    const OperationResult result = Alphabetize(paths);

    ExpectResult(result, SomeFilesFailed, L"118 files failed to rename.", 182, 118);
    for (int k = 0; k < 300; ++k) {
        const std::wstring renamed =
            deep + L"\\" + std::wstring(static_cast<std::size_t>(k / 26 + 1), static_cast<wchar_t>(L'A' + k % 26)) +
            L".txt";
        if (k < 182) {
            EXPECT_EQ(ReadFileBytes(renamed), std::to_string(k)) << k;
        } else {
            EXPECT_EQ(ReadFileBytes(paths[static_cast<std::size_t>(k)]), std::to_string(k)) << k;
        }
    }
    EXPECT_EQ(ListFolder(deep).size(), 300u);
    ExpectNoUnnamedTemporaryFiles(deep);
}

TEST_F(PathLimitsTest, AFolderStaysWhenTheFilesMovedAsideInItWouldOutgrowTheLimit)
{
    // f.t moves aside inside X (a path of 245 units); X's own temporary name is longer than "X",
    // so f's paths would pass the shell's limit and f could go neither forward nor back: X stays.
    const std::wstring deep = DeepFolder(243);
    const std::wstring f = Make(deep.substr(folder.size() + 1) + L"\\X\\f.t");
    const std::wstring x = deep + L"\\X";
    const RenamePrediction prediction = PredictRename({f, x});
    ASSERT_EQ(prediction.files.size(), 2u);
    EXPECT_EQ(prediction.files[0].finalPath, x + L"\\A.t");
    EXPECT_EQ(prediction.files[1].fate, RenamePrediction::Fate::Refused);
    const OperationResult result = Alphabetize({f, x});
    EXPECT_EQ(result.statusCode, prediction.result.statusCode);

    ExpectResult(result, SomeFilesFailed, L"1 files failed to rename.", 1, 1);
    EXPECT_EQ(ReadFileBytes(x + L"\\A.t"), ToUtf8(f.substr(folder.size() + 1)));
    EXPECT_EQ(ListFolder(deep), std::vector<std::wstring>{L"X"});
    EXPECT_NE(diagnostics.Text().find(L"FilesRenamer::Rename: Not moved, paths inside would grow too long: " + x +
                                      L"\n"),
              std::wstring::npos);
    ExpectNoUnnamedTemporaryFiles(deep);
}

} // namespace
