// The alphabetical renamer through the operations runner, on real files, with the real question
// answered under Xvfb.
#include <windows.h>

#include <string>
#include <vector>

#include "rename/FilesRenamerAlphabetize.h"
#include "rename/OperationRunner.h"
#include "support/MessageBoxAnswerer.h"
#include "tests/rename/RenameFixture.h"

namespace {

const std::wstring questionText =
    L"Some files already exist with some of the destination file names.\nDo you want to overwrite?!\n"
    L"(The existing files will be sent to the recycle bin)";

class AlphabetizeTest : public RenameFixture {
protected:
    OperationResult Alphabetize(PathList paths)
    {
        const PathList given = paths;
        OperationResult result;
        OperationRunner runner;
        runner.Alphabetize(result, paths);
        EXPECT_EQ(paths, given) << "the caller's list is not changed";
        return result;
    }
};

std::wstring LetterName(std::size_t position)
{
    return std::wstring(position / 26 + 1, static_cast<wchar_t>(L'A' + position % 26));
}

TEST_F(AlphabetizeTest, NamesFollowThePositionInTheBatch)
{
    MessageBoxAnswerer answerer(IDNO);
    PathList paths;
    std::vector<std::wstring> expected;
    const wchar_t* extensions[] = {L".TXT", L".Jpg", L"", L".tar.GZ", L"."};
    const wchar_t* newExtensions[] = {L".txt", L".jpg", L"", L".gz", L""};
    for (std::size_t k = 0; k < 53; ++k) {
        paths.push_back(Make(L"file " + std::to_wstring(k) + extensions[k % 5], "content " + std::to_string(k)));
        expected.push_back(LetterName(k) + newExtensions[k % 5]);
    }
    const OperationResult result = Alphabetize(paths);

    ExpectResult(result, Succeeded, L"", 53, 0);
    EXPECT_TRUE(answerer.Stop().empty()) << "nothing was in the way";
    EXPECT_EQ(expected[25], L"Z.txt");
    EXPECT_EQ(expected[26], L"AA.jpg");
    EXPECT_EQ(expected[51], L"ZZ.jpg");
    EXPECT_EQ(expected[52], L"AAA");
    for (std::size_t k = 0; k < 53; ++k) {
        EXPECT_EQ(ReadFileBytes(At(expected[k])), "content " + std::to_string(k)) << ToUtf8(expected[k]);
    }
    EXPECT_EQ(ListFolder(folder).size(), 53u);
}

TEST_F(AlphabetizeTest, APathGivenAgainIsMissingTheSecondTime)
{
    // The file system ignores case: A.TXT is a.txt, already moved aside when its turn comes.
    const PathList paths{Make(L"a.txt"), At(L"A.TXT"), Make(L"b.txt"), At(L"a.txt")};
    const OperationResult result = Alphabetize(paths);
    ExpectResult(result, SomeFilesFailed, L"2 files failed to rename.", 2, 2);
    EXPECT_EQ(ListFolder(folder), (std::vector<std::wstring>{L"A.txt", L"B.txt"}));
    EXPECT_EQ(ReadFileBytes(At(L"A.txt")), "a.txt");
    EXPECT_EQ(ReadFileBytes(At(L"B.txt")), "b.txt");
}

TEST_F(AlphabetizeTest, FilesInSeveralFoldersKeepTheirFolders)
{
    const PathList paths{Make(L"X\\a.txt"), At(L"gone.txt"), Make(L"Y\\b.txt"), Make(L"Y\\Photos.2009\\"),
                         Make(L"Y\\notes"), Make(L"Y\\memo.")};
    const OperationResult result = Alphabetize(paths);
    ExpectResult(result, SomeFilesFailed, L"1 files failed to rename.", 5, 1);
    EXPECT_EQ(ListFolder(At(L"X")), std::vector<std::wstring>{L"A.txt"});
    EXPECT_EQ(ListFolder(At(L"Y")), (std::vector<std::wstring>{L"B.txt", L"C.2009", L"D", L"E"}));
    EXPECT_EQ(ReadFileBytes(At(L"Y\\B.txt")), "Y\\b.txt");
    EXPECT_EQ(ReadFileBytes(At(L"Y\\E")), "Y\\memo.");
}

TEST_F(AlphabetizeTest, AFileAndTheFolderThatHoldsItAreBothRenamed)
{
    // The file moves aside first; its folder then moves aside with it inside, and the file's
    // recorded paths follow the folder, so it is renamed where it really is.
    const PathList paths{Make(L"X\\a.txt"), Make(L"X\\"), Make(L"X\\b.txt")};
    const OperationResult result = Alphabetize(paths);
    ExpectResult(result, SomeFilesFailed, L"1 files failed to rename.", 2, 1);
    EXPECT_EQ(ListFolder(folder), std::vector<std::wstring>{L"B"});
    EXPECT_EQ(ListFolder(At(L"B")), (std::vector<std::wstring>{L"A.txt", L"b.txt"}));
    EXPECT_EQ(ReadFileBytes(At(L"B\\A.txt")), "X\\a.txt");
}

TEST_F(AlphabetizeTest, AFolderSpelledWithATrailingDotStillTakesItsFilesAlong)
{
    Make(L"X\\");
    const PathList paths{Make(L"X\\a.txt"), At(L"X.")};
    const OperationResult result = Alphabetize(paths);
    ExpectResult(result, Succeeded, L"", 2, 0);
    EXPECT_EQ(ListFolder(folder), std::vector<std::wstring>{L"B"});
    EXPECT_EQ(ListFolder(At(L"B")), std::vector<std::wstring>{L"A.txt"});
}

TEST_F(AlphabetizeTest, AFileAndItsFolderGoBackTogether)
{
    Make(L"B", "outside B");
    const PathList paths{Make(L"X\\a.txt"), Make(L"X\\")};
    MessageBoxAnswerer answerer(IDNO);
    const OperationResult result = Alphabetize(paths);
    EXPECT_EQ(answerer.Stop().size(), 1u);
    ExpectResult(result, UserDeclined, L"", 0, 2);
    EXPECT_EQ(ListFolder(folder), (std::vector<std::wstring>{L"B", L"X"}));
    EXPECT_EQ(ListFolder(At(L"X")), std::vector<std::wstring>{L"a.txt"});
}

TEST_F(AlphabetizeTest, ASwapInsideTheBatchAsksNothing)
{
    MessageBoxAnswerer answerer(IDNO);
    const OperationResult result = Alphabetize({Make(L"b.txt"), Make(L"A.txt")});
    ExpectResult(result, Succeeded, L"", 2, 0);
    EXPECT_TRUE(answerer.Stop().empty());
    EXPECT_EQ(ReadFileBytes(At(L"A.txt")), "b.txt");
    EXPECT_EQ(ReadFileBytes(At(L"B.txt")), "A.txt");
}

TEST_F(AlphabetizeTest, ADotOnlyInAFolderNameMakesANewPathThatCannotBeReached)
{
    // The extension of C:\...\a.b\file is "b\file", so its new path lies in a folder "A.b" that
    // does not exist: the rename fails and the file goes back.
    const std::wstring source = Make(L"a.b\\file");
    const OperationResult result = Alphabetize({source});
    ExpectResult(result, SomeFilesFailed, L"1 files failed to rename.", 0, 1);
    EXPECT_EQ(ReadFileBytes(source), "a.b\\file");
}

TEST_F(AlphabetizeTest, AFolderAtANewPathThatHoldsFilesOfTheBatchIsNeverRecycled)
{
    // g.txt moves aside inside B; f's new path is B: recycling B would take g.txt along.
    ClearTrash();
    const std::wstring g = Make(L"B\\g.txt");
    const std::wstring f = Make(L"f");
    MessageBoxAnswerer answerer(IDYES);
    const OperationResult result = Alphabetize({g, f});

    ExpectResult(result, SomeFilesFailed, L"1 files failed to rename.", 1, 1);
    EXPECT_TRUE(answerer.Stop().empty()) << "nothing outside the batch was in the way";
    EXPECT_EQ(ReadFileBytes(At(L"B\\A.txt")), "B\\g.txt");
    EXPECT_EQ(ReadFileBytes(f), "f");
    EXPECT_TRUE(ListFolder(TrashFilesFolder()).empty());
}

TEST_F(AlphabetizeTest, DecliningTheQuestionPutsEveryFileBack)
{
    ClearTrash();
    Make(L"A.txt", "outside A");
    Make(L"sub\\B.txt", "outside B");
    const PathList paths{Make(L"x.txt"), Make(L"sub\\y.txt"), At(L"missing"), Make(L"z")};
    MessageBoxAnswerer answerer(IDNO);
    const OperationResult result = Alphabetize(paths);
    const std::vector<SeenMessageBox> boxes = answerer.Stop();

    ExpectResult(result, UserDeclined, L"", 0, 4);
    ASSERT_EQ(boxes.size(), 1u) << "one question for the whole batch";
    EXPECT_EQ(boxes[0].text, questionText);
    EXPECT_TRUE(boxes[0].hasYes && boxes[0].hasNo);
    EXPECT_FALSE(boxes[0].hasOk || boxes[0].hasCancel);
    EXPECT_TRUE(boxes[0].warningIcon);
    EXPECT_EQ(ListFolder(folder), (std::vector<std::wstring>{L"A.txt", L"sub", L"x.txt", L"z"}));
    EXPECT_EQ(ListFolder(At(L"sub")), (std::vector<std::wstring>{L"B.txt", L"y.txt"}));
    EXPECT_EQ(ReadFileBytes(At(L"A.txt")), "outside A");
    EXPECT_EQ(ReadFileBytes(At(L"x.txt")), "x.txt");
    EXPECT_TRUE(ListFolder(TrashFilesFolder()).empty());
    EXPECT_NE(diagnostics.Text().find(
                  L"FilesRenamer::Rename: User decided not to overwrite existing files. Operation failed!\n"),
              std::wstring::npos);
}

TEST_F(AlphabetizeTest, AgreeingSendsWhatIsInTheWayToTheRecycleBin)
{
    ClearTrash();
    const std::wstring outsideA = Make(L"A.txt", "outside A");
    const std::wstring outsideC = Make(L"C", "outside C");
    const std::string unixA = ToUnixPath(outsideA);
    const std::string unixC = ToUnixPath(outsideC);
    const PathList paths{Make(L"x.txt"), Make(L"y.txt"), Make(L"z")};
    MessageBoxAnswerer answerer(IDYES);
    const OperationResult result = Alphabetize(paths);

    ExpectResult(result, Succeeded, L"", 3, 0);
    EXPECT_EQ(answerer.Stop().size(), 1u);
    EXPECT_EQ(ListFolder(folder), (std::vector<std::wstring>{L"A.txt", L"B.txt", L"C"}));
    EXPECT_EQ(ReadFileBytes(At(L"A.txt")), "x.txt");
    EXPECT_EQ(ReadFileBytes(At(L"C")), "z");
    EXPECT_EQ(ReadFileBytes(TrashFilesFolder() + L"\\A.txt"), "outside A");
    EXPECT_EQ(ReadFileBytes(TrashFilesFolder() + L"\\C"), "outside C");
    EXPECT_EQ(TrashedItemOrigin(L"A.txt"), unixA);
    EXPECT_EQ(TrashedItemOrigin(L"C"), unixC);
}

TEST_F(AlphabetizeTest, ARecycleThatFailsStopsAtOnceAndPutsTheBatchBack)
{
    ClearTrash();
    Make(L"A.txt", "outside A");
    const std::wstring outsideB = Make(L"B.txt", "outside B");
    Make(L"C.txt", "outside C");
    const PathList paths{Make(L"x.txt"), Make(L"y.txt"), Make(L"z.txt")};
    // While the question is open, the second taken file goes away: its recycle fails.
    MessageBoxAnswerer answerer(IDYES, [&] { DeleteFileW(outsideB.c_str()); });
    const OperationResult result = Alphabetize(paths);
    answerer.Stop();

    ExpectResult(result, UnexpectedError, L"An unexpected error occured.", 0, 0);
    EXPECT_EQ(ReadFileBytes(TrashFilesFolder() + L"\\A.txt"), "outside A") << "recycled before the failure";
    EXPECT_EQ(ReadFileBytes(At(L"C.txt")), "outside C") << "after the failure: not touched";
    EXPECT_FALSE(PathExists(TrashFilesFolder() + L"\\C.txt"));
    EXPECT_EQ(ListFolder(folder), (std::vector<std::wstring>{L"C.txt", L"x.txt", L"y.txt", L"z.txt"}));
}

TEST_F(AlphabetizeTest, AFinalRenameThatFailsInTheMiddle)
{
    ClearTrash();
    Make(L"A.txt", "outside A");
    const PathList paths{Make(L"x.txt"), Make(L"y.txt"), Make(L"z.txt")};
    // While the question is open, something takes y's new path B.txt.
    MessageBoxAnswerer answerer(IDYES, [&] { CreateFolder(At(L"B.txt")); });
    const OperationResult result = Alphabetize(paths);
    answerer.Stop();

    ExpectResult(result, SomeFilesFailed, L"1 files failed to rename.", 2, 1);
    EXPECT_EQ(ReadFileBytes(At(L"A.txt")), "x.txt");
    EXPECT_EQ(ReadFileBytes(At(L"y.txt")), "y.txt") << "back under its old name";
    EXPECT_EQ(ReadFileBytes(At(L"C.txt")), "z.txt") << "later files still renamed";
    EXPECT_TRUE(IsFolder(At(L"B.txt")));
}

TEST_F(AlphabetizeTest, AFileThatCannotGoBackIsNamedInALine)
{
    Make(L"A.txt", "outside A");
    const PathList paths{Make(L"x.txt"), Make(L"y.txt")};
    // While the question is open, something takes x's old name: after No it cannot go back.
    MessageBoxAnswerer answerer(IDNO, [&] { WriteFileBytes(At(L"x.txt"), "newcomer"); });
    const OperationResult result = Alphabetize(paths);
    answerer.Stop();

    ExpectResult(result, UserDeclined, L"", 0, 2);
    EXPECT_EQ(ReadFileBytes(At(L"x.txt")), "newcomer");
    EXPECT_EQ(ReadFileBytes(At(L"y.txt")), "y.txt");
    const std::vector<std::wstring> temporary = TemporaryFilesIn(folder);
    ASSERT_EQ(temporary.size(), 1u);
    EXPECT_EQ(ReadFileBytes(At(temporary[0])), "x.txt") << "the file is safe under its temporary name";
    EXPECT_NE(diagnostics.Text().find(L"FilesRenamer::Rename: File left under a temporary name: " +
                                      ToUtf8Units(At(temporary[0])) + L" (old name: " + ToUtf8Units(At(L"x.txt")) +
                                      L")\n"),
              std::wstring::npos);
}

TEST(BuildNewPath, JoinsFolderNameAndExtension)
{
    std::wstring out = L"previous";
    BuildNewPath(L"C:\\Docs", L"A", L"txt", out);
    EXPECT_EQ(out, L"C:\\Docs\\A.txt");
    BuildNewPath(L"C:\\Docs", L"BB", L"", out);
    EXPECT_EQ(out, L"C:\\Docs\\BB");
    BuildNewPath(L"", L"C", L"b\\file", out);
    EXPECT_EQ(out, L"\\C.b\\file");
}

} // namespace
