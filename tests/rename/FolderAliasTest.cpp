// One folder reached by two ways (a link or junction, a substituted drive): the renamer takes it
// for one folder, with or without a journal, and the dry run says so too.
#include <windows.h>

#include <string>
#include <vector>

#include "bulkrename/DryRun.h"
#include "rename/OperationRunner.h"
#include "rename/PathResolver.h"
#include "rename/PlaceholderFiles.h"
#include "rename/journal/JournalReader.h"
#include "rename/journal/RenameJournal.h"
#include "support/MessageBoxAnswerer.h"
#include "tests/rename/RenameFixture.h"

namespace {

// `lines` with every temporary name ("qms3f0a.tmp") the same: the system picks them anew each run.
std::wstring WithoutTemporaryNumbers(std::wstring lines)
{
    for (std::size_t at = lines.find(L"\\qms"); at != std::wstring::npos; at = lines.find(L"\\qms", at + 1)) {
        const std::size_t end = lines.find(L".tmp", at);
        if (end != std::wstring::npos && end - at <= 8) {
            lines.replace(at + 4, end - at - 4, L"#");
        }
    }
    return lines;
}

class FolderAliasTest : public RenameFixture {
protected:
    void SetUp() override
    {
        RenameFixture::SetUp();
        Make(L"Real\\Sub\\f.txt");
        Make(L"Real\\Sub\\g");
        ASSERT_TRUE(MakeFolderLink(At(L"Link"), At(L"Real"))) << "cannot make a link to a folder";
    }

    // The tree below the scratch folder, a link as its own entry, with each file's content.
    std::vector<std::wstring> TreeOf(const std::wstring& root) const
    {
        std::vector<std::wstring> tree;
        for (const std::wstring& name : ListFolder(root)) {
            const std::wstring path = root + L"\\" + name;
            const std::wstring relative = path.substr(folder.size() + 1);
            if (IsLink(path)) {
                tree.push_back(relative + L" (link)");
            } else if (IsFolder(path)) {
                tree.push_back(relative + L"\\");
                for (const std::wstring& below : TreeOf(path)) {
                    tree.push_back(below);
                }
            } else {
                tree.push_back(relative + L" = " + FromUtf8(ReadFileBytes(path)));
            }
        }
        return tree;
    }

    // Alphabetizes `paths`, with a journal when told; returns the lines it wrote.
    std::wstring Alphabetize(PathList paths, bool journaled, OperationResult& result)
    {
        const std::size_t start = diagnostics.Text().size();
        OperationRunner runner;
        if (!journaled) {
            runner.Alphabetize(result, paths);
            return diagnostics.Text().substr(start);
        }
        const std::wstring journalPath = MakeTemporaryFilePath(L"journal");
        std::wstring problem;
        {
            RenameJournal journal;
            EXPECT_TRUE(journal.Create(journalPath, "rename", problem)) << ToUtf8(problem);
            runner.Alphabetize(result, paths, journal);
            journal.Finish(result);
        }
        JournalContents contents;
        EXPECT_TRUE(ReadJournal(journalPath, contents, problem)) << ToUtf8(problem);
        DeleteFileW(journalPath.c_str());
        return diagnostics.Text().substr(start);
    }
};

TEST_F(FolderAliasTest, APathThroughALinkResolvesToWhereTheFolderIs)
{
    struct Case {
        const wchar_t* given;
        const wchar_t* resolved;
    };
    const Case cases[] = {
        {L"Link\\Sub\\f.txt", L"Real\\Sub\\f.txt"},
        {L"Link\\SUB\\g", L"Real\\Sub\\g"},
        // A missing entry in a linked folder: still in the folder where it would be.
        {L"Link\\Sub\\none.txt", L"Real\\Sub\\none.txt"},
        {L"Link\\Sub", L"Real\\Sub"},
        // The link itself is an entry of its own folder: never what it leads to.
        {L"Link", L"Link"},
        {L"Real\\Sub\\f.txt", L"Real\\Sub\\f.txt"},
        // A folder that is not there keeps the spelling it was given.
        {L"Gone\\x.txt", L"Gone\\x.txt"},
    };
    PathResolver resolver;
    for (const Case& c : cases) {
        // Twice: the second answer comes from what was learnt of the folder the first time.
        for (int round = 0; round < 2; ++round) {
            std::wstring resolved;
            ASSERT_TRUE(resolver.Resolve(At(c.given), resolved)) << ToUtf8(c.given);
            EXPECT_EQ(resolved, At(c.resolved)) << ToUtf8(c.given);
        }
    }
    std::wstring resolved;
    EXPECT_FALSE(resolver.Resolve(L"C:\\", resolved));
    ASSERT_TRUE(resolver.Resolve(L"C:\\qm-tests", resolved));
    EXPECT_EQ(resolved, L"C:\\qm-tests");
}

TEST_F(FolderAliasTest, AFolderReachedTwoWaysIsOneFolderWithOrWithoutAJournal)
{
    // f and g are listed through the link, their folder by its own path after them: without
    // knowing they are one folder, f and g would be moved aside in a folder that then leaves,
    // and be left under temporary names that lead nowhere.
    const PathList paths{At(L"Link\\Sub\\f.txt"), At(L"link\\sub\\g"), At(L"Real\\Sub")};
    const RenamePrediction prediction = PredictRename(paths);
    ASSERT_EQ(prediction.files.size(), 3u);
    EXPECT_EQ(prediction.files[0].finalPath, At(L"Real\\C\\A.txt"));
    EXPECT_EQ(prediction.files[1].finalPath, At(L"Real\\C\\B"));
    EXPECT_EQ(prediction.files[2].finalPath, At(L"Real\\C"));

    std::wstring lines[2];
    for (const bool journaled : {false, true}) {
        RemoveTree(At(L"Real\\C"));
        Make(L"Real\\Sub\\f.txt");
        Make(L"Real\\Sub\\g");
        OperationResult result;
        lines[journaled ? 1 : 0] = WithoutTemporaryNumbers(Alphabetize(paths, journaled, result));
        ExpectResult(result, Succeeded, L"", 3, 0);
        EXPECT_EQ(TreeOf(folder), (std::vector<std::wstring>{L"Link (link)", L"Real\\", L"Real\\C\\",
                                                             L"Real\\C\\A.txt = Real\\Sub\\f.txt",
                                                             L"Real\\C\\B = Real\\Sub\\g"}))
            << (journaled ? "with a journal" : "without a journal");
        EXPECT_TRUE(TemporaryFilesIn(At(L"Real\\C")).empty());
        EXPECT_TRUE(TemporaryFilesIn(At(L"Real")).empty());
    }
    EXPECT_EQ(lines[1], lines[0]);
}

TEST_F(FolderAliasTest, APlaceholderThatCannotBeRemovedIsRemovedOnceItsFolderIsBack)
{
    // Seen through a way to its folder that the system cannot tell is one (a second name of a
    // server, say), a placeholder's folder may have moved when its group ends. Its folder
    // leaving by another name stands for that here.
    const std::wstring away = At(L"Real\\Away");
    std::wstring stuckPath;
    std::wstring keptPath;
    {
        PlaceholderFiles placeholders;
        placeholders.Begin(2);
        ASSERT_TRUE(placeholders.Make(At(L"Real\\Sub")));
        ASSERT_TRUE(placeholders.Make(At(L"Real\\Sub")));
        stuckPath = placeholders.Path(0);
        keptPath = placeholders.Path(1);
        ASSERT_TRUE(MoveFileW(At(L"Real\\Sub").c_str(), away.c_str()));
        placeholders.End();
        EXPECT_EQ(TemporaryFilesIn(away).size(), 2u);

        // Back in place, one name now holds something else: only the empty placeholder goes.
        ASSERT_TRUE(MoveFileW(away.c_str(), At(L"Real\\Sub").c_str()));
        WriteFileBytes(keptPath, "not a placeholder");
        placeholders.RetryStuck();
        EXPECT_FALSE(PathExists(stuckPath));
        EXPECT_EQ(ReadFileBytes(keptPath), "not a placeholder");
    }
    EXPECT_EQ(ReadFileBytes(keptPath), "not a placeholder");
    DeleteFileW(keptPath.c_str());
}

TEST_F(FolderAliasTest, ALinkAtANewPathLeadingToAFolderOfMovedFilesIsNeitherAskedAboutNorRecycled)
{
    // x is to take the new path A, where a link to Real\Sub stands; f moves aside in Real\Sub.
    // Recycling the link could take the folder it leads to, f with it: x keeps its name instead.
    ASSERT_TRUE(MakeFolderLink(At(L"A"), At(L"Real\\Sub")));
    const PathList paths{Make(L"x", "outside x"), At(L"Real\\Sub\\f.txt")};
    const RenamePrediction prediction = PredictRename(paths);
    ASSERT_EQ(prediction.files.size(), 2u);
    EXPECT_EQ(prediction.files[0].fate, RenamePrediction::Fate::Refused);
    EXPECT_EQ(prediction.files[1].finalPath, At(L"Real\\Sub\\B.txt"));
    EXPECT_TRUE(prediction.taken.empty());

    ClearTrash();
    MessageBoxAnswerer answerer(IDYES);
    OperationResult result;
    Alphabetize(paths, true, result);
    EXPECT_TRUE(answerer.Stop().empty());
    ExpectResult(result, SomeFilesFailed, L"1 files failed to rename.", 1, 1);
    EXPECT_EQ(prediction.result.statusCode, result.statusCode);
    EXPECT_EQ(ReadFileBytes(At(L"x")), "outside x");
    EXPECT_TRUE(IsLink(At(L"A")));
    EXPECT_EQ(ReadFileBytes(At(L"Real\\Sub\\B.txt")), "Real\\Sub\\f.txt");
    EXPECT_TRUE(ListFolder(TrashFilesFolder()).empty());
}

} // namespace
