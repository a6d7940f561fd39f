// The renamer's calls to the platform, argument by argument: the placeholder's removal, the moves,
// the question and the recycling, each owned by the renamer's window; and what the renamer does
// when the shell refuses to remove the placeholder.
#include <windows.h>

#include <string>
#include <vector>

#include "rename/FilesRenamerAlphabetize.h"
#include "rename/OperationRunner.h"
#include "support/MessageBoxAnswerer.h"
#include "support/PlatformCallRecorder.h"
#include "tests/rename/RenameFixture.h"

namespace {

const std::wstring question =
    L"Some files already exist with some of the destination file names.\nDo you want to overwrite?!\n"
    L"(The existing files will be sent to the recycle bin)";

// The rest of every shell operation's line: the flags, then the fields the renamer leaves alone.
std::wstring Rest(const wchar_t* flags)
{
    return L", fFlags=" + std::wstring(flags) + L", fAnyOperationsAborted=0, hNameMappings=null, lpszProgressTitle=null)";
}

using RenamerCallsTest = RenameFixture;

TEST_F(RenamerCallsTest, EveryShellOperationAndTheQuestionWithAllTheirArguments)
{
    // Through the runner the owner is null; built directly the renamer hands on its own window.
    for (const HWND owner : {static_cast<HWND>(nullptr), GetDesktopWindow()}) {
        ClearTrash();
        const std::wstring outside = Make(L"A.txt", "outside");
        const std::wstring source = Make(L"b.TXT");
        std::vector<std::wstring> calls;
        {
            MessageBoxAnswerer answerer(IDYES);
            const PlatformCallRecorder recorder;
            OperationResult result;
            PathList paths{source};
            if (owner == nullptr) {
                OperationRunner().Alphabetize(result, paths);
            } else {
                FilesRenamerAlphabetize(owner, paths).Rename(result);
            }
            calls = recorder.Calls();
            ExpectResult(result, Succeeded, L"", 1, 0);
        }
        const std::wstring window = L"hwnd=" + RecordedHandle(owner);
        const std::wstring temporary = L"\"" + folder + L"\\qms*.tmp\"";
        EXPECT_EQ(calls, (std::vector<std::wstring>{
                             // FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI | FOF_NOCONFIRMMKDIR; the
                             // placeholder goes for good, what is in the way to the recycle bin, and
                             // every rename carries FOF_ALLOWUNDO.
                             L"SHFileOperationW(" + window + L", wFunc=FO_DELETE, pFrom=[" + temporary + L"], pTo=[]" +
                                 Rest(L"0x614"),
                             L"SHFileOperationW(" + window + L", wFunc=FO_RENAME, pFrom=[\"" + source + L"\"], pTo=[" +
                                 temporary + L"]" + Rest(L"0x654"),
                             L"MessageBoxW(hWnd=" + RecordedHandle(owner) + L", lpText=\"" + question +
                                 L"\", lpCaption=\"Warning!\", uType=0x34)",
                             L"SHFileOperationW(" + window + L", wFunc=FO_DELETE, pFrom=[\"" + outside + L"\"], pTo=[]" +
                                 Rest(L"0x654"),
                             L"SHFileOperationW(" + window + L", wFunc=FO_RENAME, pFrom=[" + temporary + L"], pTo=[\"" +
                                 outside + L"\"]" + Rest(L"0x654")}))
            << "owner " << ToUtf8(RecordedHandle(owner));
        EXPECT_EQ(ReadFileBytes(outside), "b.TXT");
        RemoveTree(outside);
    }
}

TEST_F(RenamerCallsTest, APlaceholderTheShellWillNotRemoveFailsTheBatchAndIsRemovedAnyway)
{
    const std::wstring source = Make(L"b.txt");
    OperationResult result;
    std::vector<std::wstring> calls;
    {
        PlatformCallRecorder recorder;
        recorder.failShellOperation = [](const SHFILEOPSTRUCTW& operation) { return operation.wFunc == FO_DELETE; };
        PathList paths{source};
        OperationRunner().Alphabetize(result, paths);
        calls = recorder.Calls();
    }
    ExpectResult(result, UnexpectedError, L"An unexpected error occured.", 0, 0);
    EXPECT_EQ(calls.size(), 1u);
    EXPECT_EQ(diagnostics.Text(), L"DeleteFileOrFolder Failed!\n"
                                  L"FilesRenamer::Rename: DelenteFileOperation failed!\n"
                                  L"FilesRenamer::Rename: Unexpected error!\n");
    EXPECT_EQ(ListFolder(folder), std::vector<std::wstring>{L"b.txt"});
}

} // namespace
