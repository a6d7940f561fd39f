// The two-phase renamer with a scripted subclass: the open-file probe, the phases, and every
// way out, each checked against the files on disk.
#include <windows.h>

#include <array>
#include <cwchar>
#include <new>
#include <utility>

#include "platform/UniqueHandle.h"
#include "rename/FilesRenamer.h"
#include "rename/OperationRunner.h"
#include "tests/rename/RenameFixture.h"

namespace {

// Gives the new names it was handed (as many as there are moved files, or `names` if fewer) and
// returns `outcome`.
class ScriptedRenamer : public FilesRenamer {
public:
    ScriptedRenamer(const PathList& paths, std::int32_t scriptedOutcome, std::vector<std::wstring> scriptedNames)
        : FilesRenamer(nullptr, paths), outcome(scriptedOutcome), names(std::move(scriptedNames))
    {
    }

    int calls = 0;
    std::vector<std::wstring> movedAtCall;

private:
    std::int32_t ComputeNewNames() override
    {
        ++calls;
        movedAtCall = oldNames;
        for (std::size_t i = 0; i < names.size() && i < oldNames.size(); ++i) {
            newNames.push_back(names[i]);
        }
        return outcome;
    }

    std::int32_t outcome;
    std::vector<std::wstring> names;
};

// Runs out of memory while naming, after every file was moved aside.
class ThrowingRenamer : public FilesRenamer {
public:
    explicit ThrowingRenamer(const PathList& paths) : FilesRenamer(nullptr, paths) {}

private:
    std::int32_t ComputeNewNames() override { throw std::bad_alloc(); }
};

using FilesRenamerTest = RenameFixture;

TEST_F(FilesRenamerTest, AnExceptionPutsEveryMovedFileBackAndGoesOn)
{
    const PathList paths{Make(L"sub\\inner.txt"), Make(L"sub\\"), Make(L"two.txt")};
    ThrowingRenamer renamer(paths);
    OperationResult result;
    EXPECT_THROW(renamer.Rename(result), std::bad_alloc);

    EXPECT_EQ(ReadFileBytes(paths[0]), "sub\\inner.txt");
    EXPECT_EQ(ReadFileBytes(paths[2]), "two.txt");
    EXPECT_EQ(ListFolder(folder), (std::vector<std::wstring>{L"sub", L"two.txt"}));
    EXPECT_TRUE(TemporaryFilesIn(folder + L"\\sub").empty());
}

TEST_F(FilesRenamerTest, RenamesThroughTemporaryNamesAndCountsMissingSources)
{
    const PathList paths{Make(L"one.txt"), At(L"missing.txt"), Make(L"two.txt")};
    ScriptedRenamer renamer(paths, 0, {At(L"two.txt"), At(L"one.txt")});
    OperationResult result;
    renamer.Rename(result);

    ExpectResult(result, SomeFilesFailed, L"1 files failed to rename.", 2, 1);
    EXPECT_EQ(renamer.calls, 1);
    EXPECT_EQ(renamer.movedAtCall, (std::vector<std::wstring>{paths[0], paths[2]}));
    EXPECT_EQ(ReadFileBytes(At(L"two.txt")), "one.txt") << "a swap inside the batch never collides";
    EXPECT_EQ(ReadFileBytes(At(L"one.txt")), "two.txt");
    EXPECT_NE(diagnostics.Text().find(L"1. File doesn't exist: " + paths[1] + L"\n"), std::wstring::npos);
}

TEST_F(FilesRenamerTest, AFileHeldOpenStopsEverythingBeforeAnythingMoves)
{
    const PathList paths{Make(L"a.txt"), Make(L"held.txt"), Make(L"c.txt")};
    const UniqueHandle held(
        CreateFileW(paths[1].c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(held.IsValid());
    EXPECT_TRUE(IsFileLocked(paths[1]));

    ScriptedRenamer renamer(paths, 0, {At(L"x.txt"), At(L"y.txt"), At(L"z.txt")});
    OperationResult result;
    renamer.Rename(result);

    ExpectResult(result, FilesOpen, L"Some of the files are open.\nCan't complete rename operation.", 0, 3);
    EXPECT_EQ(renamer.calls, 0);
    EXPECT_EQ(diagnostics.Text(), L"FilesRenamer::Rename: Some files are open!\n");
    EXPECT_EQ(ListFolder(folder), (std::vector<std::wstring>{L"a.txt", L"c.txt", L"held.txt"}));
}

TEST_F(FilesRenamerTest, NeitherAMissingPathNorAFolderNorAFileOpenWithSharingLooksLocked)
{
    EXPECT_FALSE(IsFileLocked(At(L"missing.txt")));
    EXPECT_FALSE(IsFileLocked(Make(L"folder\\")));
    EXPECT_FALSE(IsFileLocked(Make(L"free.txt")));
    const std::wstring shared = Make(L"shared.txt");
    const UniqueHandle open(CreateFileW(shared.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    EXPECT_TRUE(IsFileLocked(shared)) << "the probe asks for exclusive access";
}

struct ComputeFailure {
    const char* name;
    std::int32_t outcome;
    std::size_t namesGiven;
    std::int32_t status;
    const wchar_t* line;
};

class FilesRenamerComputeFailureTest : public RenameFixture,
                                       public ::testing::WithParamInterface<ComputeFailure> {};

TEST_P(FilesRenamerComputeFailureTest, PutsEveryMovedFileBack)
{
    const ComputeFailure& c = GetParam();
    const PathList paths{Make(L"a.txt"), Make(L"sub\\"), At(L"missing.txt"), Make(L"c.txt")};
    std::vector<std::wstring> names{At(L"A.txt"), At(L"B"), At(L"C.txt")};
    names.resize(c.namesGiven);
    ScriptedRenamer renamer(paths, c.outcome, names);
    OperationResult result;
    renamer.Rename(result);

    if (c.status == UserDeclined) {
        ExpectResult(result, UserDeclined, L"", 0, 4);
    } else {
        ExpectResult(result, UnexpectedError, L"An unexpected error occured.", 0, 0);
    }
    EXPECT_EQ(ListFolder(folder), (std::vector<std::wstring>{L"a.txt", L"c.txt", L"sub"}));
    EXPECT_EQ(ReadFileBytes(At(L"a.txt")), "a.txt");
    const std::wstring text = diagnostics.Text();
    EXPECT_NE(text.find(c.line), std::wstring::npos);
    EXPECT_EQ(text.find(L"left under a temporary name"), std::wstring::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, FilesRenamerComputeFailureTest,
    ::testing::Values(
        ComputeFailure{"Declined", -2, 3, UserDeclined,
                       L"FilesRenamer::Rename: User decided not to overwrite existing files. Operation failed!\n"},
        ComputeFailure{"Failed", -1, 3, UnexpectedError, L"FilesRenamer::Rename: Unexpected error!\n"},
        ComputeFailure{"TooFewNames", 0, 2, UnexpectedError, L"FilesRenamer::Rename: Unexpected error!\n"},
        ComputeFailure{"NoNames", 0, 0, UnexpectedError, L"FilesRenamer::Rename: Unexpected error!\n"}),
    [](const auto& test) { return std::string(test.param.name); });

TEST_F(FilesRenamerTest, AFinalRenameThatFailsPutsThatFileBackAndTheRestGoOn)
{
    const PathList paths{Make(L"a.txt"), Make(L"b.txt"), Make(L"c.txt")};
    // The middle name is longer than the shell accepts.
    ScriptedRenamer renamer(paths, 0, {At(L"A.txt"), At(std::wstring(300, L'B')), At(L"C.txt")});
    OperationResult result;
    renamer.Rename(result);

    ExpectResult(result, SomeFilesFailed, L"1 files failed to rename.", 2, 1);
    EXPECT_EQ(ListFolder(folder), (std::vector<std::wstring>{L"A.txt", L"C.txt", L"b.txt"}));
    EXPECT_EQ(ReadFileBytes(At(L"A.txt")), "a.txt");
    EXPECT_EQ(ReadFileBytes(At(L"b.txt")), "b.txt");
    EXPECT_EQ(ReadFileBytes(At(L"C.txt")), "c.txt");
}

TEST_F(FilesRenamerTest, PhaseOneFailingAtALaterSourcePutsTheEarlierOnesBack)
{
    // No temporary name can be made in a folder this long.
    const std::wstring deep = Make(std::wstring(247 - folder.size() - 1, L'd') + L"\\");
    ASSERT_EQ(deep.size(), 247u);
    const std::wstring late = deep + L"\\f";
    WriteFileBytes(late, "late");
    const PathList paths{Make(L"first.txt"), Make(L"second.txt"), late};
    ScriptedRenamer renamer(paths, 0, {At(L"A"), At(L"B"), At(L"C")});
    OperationResult result;
    renamer.Rename(result);

    ExpectResult(result, UnexpectedError, L"An unexpected error occured.", 0, 0);
    EXPECT_EQ(renamer.calls, 0);
    EXPECT_EQ(ReadFileBytes(At(L"first.txt")), "first.txt");
    EXPECT_EQ(ReadFileBytes(At(L"second.txt")), "second.txt");
    EXPECT_EQ(ReadFileBytes(late), "late");
    const std::wstring text = diagnostics.Text();
    const std::size_t stepLine = text.find(L"FilesRenamer::Rename: GetTempFileName failed!\n");
    const std::size_t errorLine = text.find(L"FilesRenamer::Rename: Unexpected error!\n");
    ASSERT_NE(stepLine, std::wstring::npos);
    ASSERT_NE(errorLine, std::wstring::npos);
    EXPECT_LT(stepLine, errorLine);
    EXPECT_EQ(text.substr(errorLine), L"FilesRenamer::Rename: Unexpected error!\n");
}

TEST_F(FilesRenamerTest, ASourceAtATemporaryNameOfTheBatchIsMissingNotMovedAgain)
{
    // Listed after a.txt: the names the system gives temporary names next (it counts on from the
    // clock, a unit a millisecond, so a name made just now says where; resolving each listed path
    // takes less). None exists when the batch begins; the one a.txt moves to is a.txt, which must
    // not be moved aside again.
    std::array<wchar_t, MAX_PATH> probe{};
    ASSERT_NE(GetTempFileNameW(folder.c_str(), L"qmstmp", 0, probe.data()), 0u);
    ASSERT_TRUE(DeleteFileW(probe.data()));
    const unsigned first = std::wcstoul(std::wcsrchr(probe.data(), L'\\') + 4, nullptr, 16);
    PathList paths{Make(L"a.txt")};
    for (unsigned k = 0; k < 6000; ++k) {
        std::array<wchar_t, 16> name{};
        std::swprintf(name.data(), name.size(), L"qms%x.tmp", (first + k) & 0xFFFF);
        paths.push_back(At(name.data()));
    }
    OperationResult result;
    OperationRunner().Alphabetize(result, paths);

    const auto missing = static_cast<std::int32_t>(paths.size() - 1);
    ExpectResult(result, SomeFilesFailed, std::to_wstring(missing) + L" files failed to rename.", 1, missing);
    EXPECT_EQ(ListFolder(folder), std::vector<std::wstring>{L"A.txt"});
    EXPECT_EQ(ReadFileBytes(At(L"A.txt")), "a.txt");
    EXPECT_EQ(diagnostics.Text().find(L"left under a temporary name"), std::wstring::npos);
}

TEST_F(FilesRenamerTest, ARelativeSourceIsMovedAsideInItsOwnFolder)
{
    Make(L"relative.txt");
    std::array<wchar_t, MAX_PATH> previous{};
    GetCurrentDirectoryW(static_cast<DWORD>(previous.size()), previous.data());
    ASSERT_TRUE(SetCurrentDirectoryW(folder.c_str()));
    ScriptedRenamer renamer({L"relative.txt"}, 0, {At(L"A.txt")});
    OperationResult result;
    renamer.Rename(result);
    SetCurrentDirectoryW(previous.data());

    ExpectResult(result, Succeeded, L"", 1, 0);
    EXPECT_EQ(renamer.movedAtCall, std::vector<std::wstring>{At(L"relative.txt")});
    EXPECT_EQ(ListFolder(folder), std::vector<std::wstring>{L"A.txt"});
}

TEST_F(FilesRenamerTest, AnEmptyListAndAllMissingSources)
{
    ScriptedRenamer empty({}, 0, {});
    OperationResult emptyResult;
    empty.Rename(emptyResult);
    ExpectResult(emptyResult, Succeeded, L"", 0, 0);
    EXPECT_EQ(empty.calls, 1);
    EXPECT_EQ(diagnostics.Text(), L"");

    ScriptedRenamer missing({At(L"x"), At(L"y"), At(L"x")}, 0, {});
    OperationResult missingResult;
    missing.Rename(missingResult);
    ExpectResult(missingResult, SomeFilesFailed, L"3 files failed to rename.", 0, 3);
    EXPECT_EQ(missing.calls, 1);
}

TEST_F(FilesRenamerTest, ASubclassMayCountFailuresOfItsOwn)
{
    const PathList paths{Make(L"a.txt"), Make(L"b.txt")};
    ScriptedRenamer renamer(paths, 1, {At(L"A.txt"), At(L"B.txt")});
    OperationResult result;
    renamer.Rename(result);
    ExpectResult(result, SomeFilesFailed, L"1 files failed to rename.", 1, 1);
    EXPECT_EQ(ListFolder(folder), (std::vector<std::wstring>{L"A.txt", L"B.txt"}));
}

} // namespace
