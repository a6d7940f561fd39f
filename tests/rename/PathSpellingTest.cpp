// The spellings a person may give a path: the one spelling the renamer works on, the paths it
// cannot place in a folder, and whole batches spelled in every such way, renamed in place.
#include <windows.h>

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "rename/OperationRunner.h"
#include "rename/PathSpelling.h"
#include "tests/rename/RenameFixture.h"

namespace {

// Runs with the scratch folder as the current folder, for relative spellings.
class InFolder {
public:
    explicit InFolder(const std::wstring& folder)
    {
        GetCurrentDirectoryW(static_cast<DWORD>(previous.size()), previous.data());
        EXPECT_TRUE(SetCurrentDirectoryW(folder.c_str()));
    }
    ~InFolder() { SetCurrentDirectoryW(previous.data()); }

private:
    std::array<wchar_t, MAX_PATH> previous{};
};

std::wstring ShortPathOf(const std::wstring& path)
{
    std::array<wchar_t, MAX_PATH> buffer{};
    const DWORD length = GetShortPathNameW(path.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
    return length == 0 || length >= buffer.size() ? std::wstring() : std::wstring(buffer.data(), length);
}

class PathSpellingTest : public RenameFixture {
protected:
    void SetUp() override
    {
        RenameFixture::SetUp();
        Make(L"X\\f.txt");
        Make(L"Long Folder Name\\h.txt");
    }

    // The spelling of `given` (with {} standing for the scratch folder), or nothing when refused.
    std::optional<std::wstring> Resolved(std::wstring given)
    {
        const std::size_t at = given.find(L"{}");
        if (at != std::wstring::npos) {
            given.replace(at, 2, folder);
        }
        std::wstring resolved;
        if (!ResolvePath(given, resolved)) {
            return std::nullopt;
        }
        return resolved;
    }
};

TEST_F(PathSpellingTest, EverySpellingOfAnEntryResolvesToOne)
{
    const InFolder inFolder(folder);
    const std::wstring f = At(L"X\\f.txt");
    const struct {
        std::wstring given;
        std::wstring resolved;
    } cases[] = {
        {L"{}\\X\\f.txt", f},
        {L"{}\\X/f.txt", f},
        {L"{}/X/f.txt", f},
        {L"X\\f.txt", f},
        {L".\\X\\..\\X\\.\\f.txt", f},
        {L"{}\\X\\f.txt.", f},
        {L"{}\\X\\f.txt. .", f},
        {L"{}\\X\\", At(L"X")},
        {L"{}\\X\\\\", At(L"X")},
        {L"X/", At(L"X")},
        {L"\\\\?\\{}\\X\\f.txt", f},
        {L"\\\\.\\{}\\X\\f.txt", f},
        {L"//./{}/X/f.txt", f},
        {L"//?/{}/X/f.txt", f},
        // An existing entry is spelled as the file system stores its names.
        {L"{}\\x\\F.TXT", f},
        // A path that does not exist is still placed in its folder.
        {L"{}\\X\\missing/", At(L"X\\missing")},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Resolved(c.given), std::optional<std::wstring>(c.resolved)) << ToUtf8(c.given);
    }
}

TEST_F(PathSpellingTest, AShortNameResolvesToTheLongOne)
{
    const std::wstring shortPath = ShortPathOf(At(L"Long Folder Name\\h.txt"));
    ASSERT_FALSE(shortPath.empty());
    ASSERT_EQ(shortPath.find(L"Long Folder Name"), std::wstring::npos) << ToUtf8(shortPath);
    EXPECT_EQ(Resolved(shortPath), std::optional<std::wstring>(At(L"Long Folder Name\\h.txt")));
}

TEST_F(PathSpellingTest, PathsThatNoFolderHoldsAreRefused)
{
    for (const std::wstring& given :
         {std::wstring(), std::wstring(L"C:\\"), std::wstring(L"C:/"), std::wstring(L"\\\\server\\share\\"),
          std::wstring(L"CON"), std::wstring(L"{}\\NUL"), std::wstring(L"\\\\.\\pipe\\x"),
          std::wstring(L"\\\\?\\GLOBALROOT\\Device\\x"), std::wstring(L"//./pipe/x"),
          std::wstring(L"//?/GLOBALROOT/Device/x"), std::wstring(L"{}\\X\\a\0b", 9),
          // In this form the trailing dot is part of the name: no other spelling reaches it.
          std::wstring(L"\\\\?\\{}\\X\\f.txt."),
          // A folder's trailing blank, which the system drops from a name it makes, and a port
          // spelled with a superscript digit, which Windows takes for the device.
          std::wstring(L"{}\\sp \\g.txt"), std::wstring(L"{}\\X\\COM\u00b9.txt"),
          std::wstring(L"{}\\X\\lpt3")}) {
        EXPECT_EQ(Resolved(given), std::nullopt) << ToUtf8(given);
    }
}

TEST_F(PathSpellingTest, ComparingAndRebasing)
{
    EXPECT_TRUE(SamePath(L"C:\\D\\x", L"c:\\d\\X"));
    EXPECT_FALSE(SamePath(L"C:\\D\\x", L"C:\\D\\xy"));
    EXPECT_TRUE(IsInsideFolder(L"C:\\D\\X\\f", L"c:\\d\\x"));
    EXPECT_FALSE(IsInsideFolder(L"C:\\D\\XY\\f", L"C:\\D\\X"));
    EXPECT_FALSE(IsInsideFolder(L"C:\\D\\X", L"C:\\D\\X"));
    EXPECT_EQ(Rebased(L"C:\\D\\x\\f", L"C:\\D\\X", L"C:\\D\\qms1.tmp"), L"C:\\D\\qms1.tmp\\f");
    EXPECT_EQ(FolderOf(L"C:\\D\\f"), L"C:\\D");
    EXPECT_EQ(FolderOf(L"f"), L"");
}

// A batch spelled in some way, and where its files must end.
struct SpelledBatch {
    const char* name;
    std::vector<std::wstring> sources;
    std::vector<std::wstring> expected;
};

class SpelledBatchTest : public PathSpellingTest, public ::testing::WithParamInterface<SpelledBatch> {
protected:
    std::vector<std::wstring> Tree(const std::wstring& under)
    {
        std::vector<std::wstring> all;
        for (const std::wstring& name : ListFolder(under)) {
            const std::wstring path = under + L"\\" + name;
            all.push_back(path.substr(folder.size() + 1));
            if (IsFolder(path)) {
                for (const std::wstring& inner : Tree(path)) {
                    all.push_back(inner);
                }
            }
        }
        return all;
    }
};

TEST_P(SpelledBatchTest, EveryFileIsRenamedInTheFolderItIsIn)
{
    const InFolder inFolder(folder);
    PathList paths;
    for (std::wstring source : GetParam().sources) {
        const std::size_t at = source.find(L"{}");
        if (at != std::wstring::npos) {
            source.replace(at, 2, folder);
        }
        if (source == L"<short>") {
            source = ShortPathOf(At(L"Long Folder Name\\h.txt"));
        }
        paths.push_back(source);
    }
    OperationResult result;
    OperationRunner().Alphabetize(result, paths);

    ExpectResult(result, Succeeded, L"", static_cast<std::int32_t>(paths.size()), 0);
    EXPECT_EQ(Tree(folder), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Spellings, SpelledBatchTest,
    ::testing::Values(
        // The file moves aside inside X, then X itself: the file follows its folder.
        SpelledBatch{"SlashThenItsFolder", {L"{}\\X/f.txt", L"{}\\X"},
                     {L"B", L"B\\A.txt", L"Long Folder Name", L"Long Folder Name\\h.txt"}},
        SpelledBatch{"Relative", {L"X\\f.txt", L"X"}, {L"B", L"B\\A.txt", L"Long Folder Name", L"Long Folder Name\\h.txt"}},
        SpelledBatch{"DotDot", {L"{}\\X\\..\\X\\f.txt"}, {L"Long Folder Name", L"Long Folder Name\\h.txt", L"X", L"X\\A.txt"}},
        SpelledBatch{"TrailingBackslash", {L".\\X\\"}, {L"A", L"A\\f.txt", L"Long Folder Name", L"Long Folder Name\\h.txt"}},
        SpelledBatch{"TrailingDotsAndBlanks", {L"{}\\X\\f.txt.", L"{}\\X "},
                     {L"B", L"B\\A.txt", L"Long Folder Name", L"Long Folder Name\\h.txt"}},
        SpelledBatch{"LongPathPrefix", {L"\\\\?\\{}\\X\\f.txt", L"{}\\x"},
                     {L"B", L"B\\A.txt", L"Long Folder Name", L"Long Folder Name\\h.txt"}},
        SpelledBatch{"DevicePrefixWithSlashes", {L"//./{}/X/f.txt", L"{}\\X"},
                     {L"B", L"B\\A.txt", L"Long Folder Name", L"Long Folder Name\\h.txt"}},
        SpelledBatch{"MixedCase", {L"{}\\x\\F.TXT", L"{}\\X"},
                     {L"B", L"B\\A.txt", L"Long Folder Name", L"Long Folder Name\\h.txt"}},
        SpelledBatch{"ShortName", {L"<short>", L"{}\\Long Folder Name"},
                     {L"B", L"B\\A.txt", L"X", L"X\\f.txt"}}),
    [](const ::testing::TestParamInfo<SpelledBatch>& batch) { return std::string(batch.param.name); });

TEST_F(PathSpellingTest, ABatchWithAPathNoFolderHoldsIsRefusedBeforeAnythingMoves)
{
    PathList paths{At(L"X\\f.txt"), L"C:\\"};
    OperationResult result;
    OperationRunner().Alphabetize(result, paths);

    ExpectResult(result, UnexpectedError, L"An unexpected error occured.", 0, 0);
    EXPECT_EQ(diagnostics.Text(), L"FilesRenamer::Rename: Can't tell which folder holds C:\\\n"
                                  L"FilesRenamer::Rename: Unexpected error!\n");
    EXPECT_EQ(ReadFileBytes(At(L"X\\f.txt")), "X\\f.txt");
}

} // namespace
