// The journal of a batch, --undo and --recover, through the real QuillmossRename.exe: undone after
// every kind of ending, recovered from journals cut short or planted, and exact names kept.
#include <windows.h>

#include <iterator>
#include <string>
#include <vector>

#include "platform/UniqueHandle.h"
#include "rename/PathSpelling.h"
#include "rename/journal/JournalFormat.h"
#include "rename/journal/JournalRules.h"
#include "support/MessageBoxAnswerer.h"
#include "tests/bulkrename/JournalProgram.h"

namespace {

TEST(JournalText, WritesEveryNameExactlyAndReadsItBack)
{
    const struct {
        std::wstring text;
        std::string bytes;
    } cases[] = {
        {L"", ""},
        {L"C:\\plain\\a.txt", "C:\\plain\\a.txt"},
        {L"caf\u00e9 \u20ac", "caf\xC3\xA9 \xE2\x82\xAC"},
        {L"\U0001F600", "\xF0\x9F\x98\x80"},
        {L"\uFFFE\uFFFF", "\xEF\xBF\xBE\xEF\xBF\xBF"},
        // Lone surrogates, which a Windows name may hold: written as their three bytes.
        {std::wstring(1, static_cast<wchar_t>(0xD800)) + L"x", "\xED\xA0\x80x"},
        {L"x" + std::wstring(1, static_cast<wchar_t>(0xDFFF)), "x\xED\xBF\xBF"},
        {std::wstring{static_cast<wchar_t>(0xDC00), static_cast<wchar_t>(0xD800)}, "\xED\xB0\x80\xED\xA0\x80"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(JournalText(c.text), c.bytes);
        std::wstring back;
        EXPECT_TRUE(FromJournalText(c.bytes, back));
        EXPECT_EQ(back, c.text) << c.bytes;
    }
}

TEST(JournalText, RefusesBytesItNeverWrites)
{
    for (const std::string bytes : {"\x80", "\xC0\x80", "\xE2\x82", "\xF4\x90\x80\x80", "\xF8\x88\x80\x80\x80",
                                    "\xE0\x80\xAF", "a\xC3",
                                    // a pair of surrogates written as two halves
                                    "\xED\xA0\xBD\xED\xB8\x80"}) {
        std::wstring text;
        EXPECT_FALSE(FromJournalText(bytes, text)) << bytes;
    }
}

TEST(JournalRules, TakeFullPathsInTheOneSpellingOnly)
{
    const struct {
        std::wstring path;
        bool taken;
    } cases[] = {
        {L"C:\\a.txt", true},
        {L"c:\\Some folder\\a b.TXT", true},
        {L"\\\\server\\share\\a.txt", true},
        {L"C:\\del\u007fname", true},
        {L"C:\\", false},
        {L"C:a.txt", false},
        {L"\\\\server\\share", false},
        {L"\\\\?\\C:\\a.txt", false},
        {L"\\\\.\\C:\\a.txt", false},
        {L"\\\\?\\UNC\\server\\share\\a.txt", false},
        {L"C:\\x\\..\\a.txt", false},
        {L"C:\\x\\.\\a.txt", false},
        {L"C:\\x\\\\a.txt", false},
        {L"C:\\x\\", false},
        {L"C:/x/a.txt", false},
        {L"C:\\a.txt:stream", false},
        {L"C:\\a.txt.", false},
        {L"C:\\a.txt ", false},
        {L"C:\\a\u0001.txt", false},
        {L"C:\\a*.txt", false},
        {L"relative\\a.txt", false},
        // A last name the system takes for a device; a folder may have such a name.
        {L"C:\\x\\NUL.txt", false},
        {L"C:\\x\\con .txt", false},
        {L"C:\\x\\com1", false},
        {L"C:\\x\\Lpt9.tar.gz", false},
        {L"C:\\x\\console.txt", true},
        {L"C:\\x\\com10", true},
        {L"C:\\con\\a.txt", true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsJournalPath(c.path), c.taken) << Utf8(c.path);
    }
    // A temporary name may be asked for in a root, where a file of the root lies.
    for (const std::wstring folder : {L"C:", L"C:\\", L"\\\\server\\share", L"C:\\x", L"C:\\aux"}) {
        JournalStep step;
        step.kind = "name";
        step.from = folder;
        step.detail = "134414383194934275";
        EXPECT_EQ(BrokenRule(step), L"") << Utf8(folder);
    }
}

TEST_F(JournalFrontTest, AnUndoPutsBackABatchAndCanItselfBeUndone)
{
    Make(L"a.txt", "a");
    Make(L"b.doc", "b");
    Make(L"Sub\\c.TXT", "c");
    const auto before = Snapshot(folder);
    const std::wstring j1 = At(L"j1.journal");
    ASSERT_EQ(RenameWithJournal(j1, {L"a.txt", L"Sub\\c.TXT", L"Sub", L"b.doc"}).exitCode, 0u);
    const auto renamed = Snapshot(folder);
    EXPECT_EQ(renamed.count(L"A.txt"), 1u);
    EXPECT_EQ(renamed.count(L"C\\B.txt"), 1u);
    EXPECT_EQ(renamed.count(L"D.doc"), 1u);

    // The journal named in the long-path form: the undo records it in the one spelling.
    const std::wstring u1 = At(L"u1.journal");
    const ProcessRun undo = Run(L"--journal " + Quoted(u1) + L" --undo " + Quoted(L"\\\\?\\" + j1));
    EXPECT_EQ(undo.exitCode, 0u) << undo.standardOutput << undo.standardError;
    EXPECT_EQ(undo.standardError, "status=0 Succeeded operation=12 succeeded=4 failed=0 message=\"\"\n");
    auto after = Snapshot(folder);
    after.erase(L"j1.journal");
    after.erase(L"u1.journal");
    EXPECT_EQ(after, before) << Describe(after);

    // The undo wrote a journal of its own: undoing it renames the files again.
    EXPECT_EQ(Run(L"--no-journal --undo " + Quoted(u1)).exitCode, 0u);
    auto again = Snapshot(folder);
    again.erase(L"u1.journal");
    EXPECT_EQ(again, renamed) << Describe(again);
}

TEST_F(JournalFrontTest, AnUndoTwiceInARowChangesNothingTheSecondTime)
{
    // a.txt only changes case (to A.txt): under either name the system finds it.
    Make(L"a.txt", "1");
    Make(L"two.txt", "2");
    const std::wstring j1 = At(L"j1.journal");
    ASSERT_EQ(RenameWithJournal(j1, {L"a.txt", L"two.txt"}).exitCode, 0u);
    ASSERT_EQ(Run(L"--no-journal --undo " + Quoted(j1)).exitCode, 0u);
    const auto undone = Snapshot(folder);
    EXPECT_EQ(undone.at(L"a.txt"), "1");

    const ProcessRun second = Run(L"--undo " + Quoted(j1));
    EXPECT_EQ(second.exitCode, 0u) << second.standardOutput << second.standardError;
    EXPECT_EQ(second.standardOutput, "already at its old name: " + Utf8(At(L"a.txt")) + "\n" +
                                         "already at its old name: " + Utf8(At(L"two.txt")) + "\n");
    EXPECT_EQ(Snapshot(folder), undone);
}

TEST_F(JournalFrontTest, AnUndoAfterAPartlyFailedBatchPutsBackWhatWasRenamed)
{
    Make(L"x.txt", "x");
    Make(L"y.txt", "y");
    const auto before = Snapshot(folder);
    const std::wstring j1 = At(L"j1.journal");
    ASSERT_EQ(RenameWithJournal(j1, {L"x.txt", L"gone.txt", L"y.txt"}).exitCode, 3u);
    EXPECT_EQ(ReadFileBytes(At(L"B.txt")), "y");

    EXPECT_EQ(Run(L"--no-journal --undo " + Quoted(j1)).exitCode, 0u);
    auto after = Snapshot(folder);
    after.erase(L"j1.journal");
    EXPECT_EQ(after, before) << Describe(after);
}

TEST_F(JournalFrontTest, AnUndoAfterYesNamesWhatStaysInTheRecycleBin)
{
    Make(L"Sub\\q.txt", "q");
    Make(L"Sub\\r.txt", "r");
    Make(L"Sub\\B.txt", "in the way");
    const std::wstring j1 = At(L"j1.journal");
    {
        MessageBoxAnswerer answerer(IDYES);
        const ProcessRun run = RenameWithJournal(j1, {L"Sub\\q.txt", L"Sub\\r.txt"});
        EXPECT_EQ(run.exitCode, 0u) << run.standardOutput << run.standardError;
        EXPECT_EQ(answerer.Stop().size(), 1u);
    }
    EXPECT_EQ(ReadFileBytes(At(L"Sub\\B.txt")), "r");

    const ProcessRun undo = Run(L"--no-journal --undo " + Quoted(j1));
    EXPECT_EQ(undo.exitCode, 0u) << undo.standardOutput << undo.standardError;
    EXPECT_NE(undo.standardOutput.find("stays in the recycle bin: " + Utf8(At(L"Sub\\B.txt")) + "\n"),
              std::string::npos)
        << undo.standardOutput;
    EXPECT_EQ(ReadFileBytes(At(L"Sub\\q.txt")), "q");
    EXPECT_EQ(ReadFileBytes(At(L"Sub\\r.txt")), "r");
    EXPECT_FALSE(PathExists(At(L"Sub\\B.txt")));
}

TEST_F(JournalFrontTest, AnUndosDryRunNamesWhatStandsAtAnOldNameAndTheQuestion)
{
    Make(L"photos\\p1.jpg", "p1");
    const std::wstring j1 = At(L"j1.journal");
    ASSERT_EQ(RenameWithJournal(j1, {L"photos"}).exitCode, 0u);
    Make(L"photos\\new.jpg", "new");

    const ProcessRun dryRun = Run(L"--undo --dry-run " + Quoted(j1));
    EXPECT_EQ(dryRun.exitCode, 0u);
    EXPECT_EQ(dryRun.standardOutput, Utf8(At(L"A")) + " -> " + Utf8(At(L"photos")) + "\ntaken: " +
                                         Utf8(At(L"photos")) +
                                         "\nwould undo: 1 back to their old names, 0 left\n"
                                         "would ask once; after Yes what is taken goes to the recycle bin, after No "
                                         "nothing is undone\n");
    // As it said: after No, nothing is undone.
    MessageBoxAnswerer answerer(IDNO);
    const ProcessRun undo = Run(L"--no-journal --undo " + Quoted(j1));
    EXPECT_EQ(answerer.Stop().size(), 1u);
    EXPECT_EQ(undo.exitCode, 6u) << undo.standardOutput;
    EXPECT_EQ(ReadFileBytes(At(L"photos\\new.jpg")), "new");
    EXPECT_EQ(ReadFileBytes(At(L"A\\p1.jpg")), "p1");

    // A file of the batch held open stops the undo before anything moves, as its dry run says.
    Make(L"x.txt", "x");
    const std::wstring j2 = At(L"j2.journal");
    ASSERT_EQ(RenameWithJournal(j2, {L"x.txt"}).exitCode, 0u);
    const UniqueHandle held(
        CreateFileW(At(L"A.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    const ProcessRun openDryRun = Run(L"--undo --dry-run " + Quoted(j2));
    EXPECT_EQ(openDryRun.standardOutput, Utf8(At(L"A.txt")) + " -> " + Utf8(At(L"x.txt")) + "\nopen: " +
                                             Utf8(At(L"A.txt")) + "\nwould undo nothing: a file of the batch is open\n");
    EXPECT_EQ(Run(L"--no-journal --undo " + Quoted(j2)).exitCode, 4u);
}

TEST_F(JournalFrontTest, AnUndoRecyclesNoFolderThatHoldsAFileItLeftAlone)
{
    // x.txt became A.txt and the folder Album became B; then a new folder Album was made and A.txt
    // put in it: x is left alone, so Album, which holds it, is not recycled and B keeps its name.
    Make(L"x.txt", "x");
    Make(L"Album\\in.txt", "in");
    const std::wstring j1 = At(L"j1.journal");
    ASSERT_EQ(RenameWithJournal(j1, {L"x.txt", L"Album"}).exitCode, 0u);
    Make(L"Album\\");
    ASSERT_TRUE(MoveFileW(At(L"A.txt").c_str(), At(L"Album\\A.txt").c_str()));
    ClearTrash();
    MessageBoxAnswerer answerer(IDYES);
    const ProcessRun undo = Run(L"--no-journal --undo " + Quoted(j1));
    EXPECT_TRUE(answerer.Stop().empty()) << "nothing was to be replaced";
    EXPECT_EQ(undo.exitCode, 3u) << undo.standardOutput;
    EXPECT_EQ(ReadFileBytes(At(L"Album\\A.txt")), "x");
    EXPECT_EQ(ReadFileBytes(At(L"B\\in.txt")), "in");
    EXPECT_TRUE(ListFolder(TrashFilesFolder()).empty());
}

TEST_F(JournalFrontTest, AnUndosDryRunSaysWhereAFileEndsWhenItsFolderStays)
{
    // F\x.txt became F\A.txt, then F became B and g.txt C.txt; then C.txt was renamed F by hand.
    // g is left alone and holds F, so B stays: x.txt goes back to its name inside B.
    Make(L"F\\x.txt", "x");
    Make(L"g.txt", "g");
    const std::wstring j1 = At(L"j1.journal");
    ASSERT_EQ(RenameWithJournal(j1, {L"F\\x.txt", L"F", L"g.txt"}).exitCode, 0u);
    ASSERT_TRUE(MoveFileW(At(L"C.txt").c_str(), At(L"F").c_str()));
    const ProcessRun dryRun = Run(L"--undo --dry-run " + Quoted(j1));
    EXPECT_NE(dryRun.standardOutput.find(Utf8(At(L"B\\A.txt")) + " -> " + Utf8(At(L"B\\x.txt")) + "\n"),
              std::string::npos)
        << dryRun.standardOutput;
    EXPECT_EQ(Run(L"--no-journal --undo " + Quoted(j1)).exitCode, 3u);
    EXPECT_EQ(ReadFileBytes(At(L"B\\x.txt")), "x");
}

TEST_F(JournalFrontTest, AnUndoLeavesAloneAndNamesFilesChangedSince)
{
    Make(L"a.txt", "a");
    Make(L"b.txt", "b");
    Make(L"c.txt", "c");
    const std::wstring j1 = At(L"j1.journal");
    ASSERT_EQ(RenameWithJournal(j1, {L"a.txt", L"b.txt", L"c.txt"}).exitCode, 0u);
    // Renamed by hand, and replaced by another file under the same name.
    ASSERT_TRUE(MoveFileW(At(L"B.txt").c_str(), At(L"by hand.txt").c_str()));
    ASSERT_TRUE(DeleteFileW(At(L"C.txt").c_str()));
    Make(L"C.txt", "another file");

    const ProcessRun undo = Run(L"--no-journal --undo " + Quoted(j1));
    EXPECT_EQ(undo.exitCode, 3u);
    EXPECT_EQ(undo.standardOutput,
              "changed since the batch, left alone: " + Utf8(At(L"B.txt")) + " (old name: " + Utf8(At(L"b.txt")) +
                  ")\n" + "changed since the batch, left alone: " + Utf8(At(L"C.txt")) +
                  " (old name: " + Utf8(At(L"c.txt")) + ")\n" + "DeleteFileOrFolder Success!\n" +
                  "RenameFileOrFolder Success!\n" + "RenameFileOrFolder Success!\n");
    EXPECT_EQ(undo.standardError,
              "status=3 SomeFilesFailed operation=12 succeeded=1 failed=2 message=\"2 files failed to rename.\"\n");
    EXPECT_EQ(ReadFileBytes(At(L"a.txt")), "a");
    EXPECT_EQ(ReadFileBytes(At(L"by hand.txt")), "b");
    EXPECT_EQ(ReadFileBytes(At(L"C.txt")), "another file");
}

TEST_F(JournalFrontTest, JournalsHoldExactPathsWithEveryCharacterANameMayHold)
{
    // Every printable ASCII character a name may hold, DEL (no control character to the file
    // system), letters of other scripts and a character outside the basic plane (a surrogate pair).
    const std::wstring name = L"every !#$%&'()+,-.;=@[]^_`{}~\u007f \u00e9\u00df\u20ac\u4e2d\U0001F600 name";
    Make(name + L"\\", "");
    Make(name + L"\\" + name + L".TXT", "inside");
    const auto before = Snapshot(folder);
    const std::wstring j1 = At(L"j1.journal");
    ASSERT_EQ(RenameWithJournal(j1, {name + L"\\" + name + L".TXT", name}).exitCode, 0u);
    EXPECT_FALSE(PathExists(At(name)));

    const std::string journal = ReadFileBytes(j1);
    EXPECT_NE(journal.find("aside\t" + Utf8(At(name + L"\\" + name + L".TXT")) + "\t"), std::string::npos) << journal;
    EXPECT_NE(journal.find("aside\t" + Utf8(At(name)) + "\t"), std::string::npos) << journal;

    EXPECT_EQ(Run(L"--no-journal --undo " + Quoted(j1)).exitCode, 0u);
    auto after = Snapshot(folder);
    after.erase(L"j1.journal");
    EXPECT_EQ(after, before) << Describe(after);
}

TEST_F(JournalFrontTest, ABatchThatCannotWriteItsJournalRenamesNothing)
{
    Make(L"a.txt", "a");
    Make(L"taken.journal", "mine");
    const struct {
        std::wstring journal;
        std::string problem;
    } cases[] = {
        {At(L"taken.journal"), "already exists"},
        {At(L"no such folder\\j.journal"), "cannot create the journal"},
    };
    for (const auto& c : cases) {
        const ProcessRun run = Run(L"--journal " + Quoted(c.journal) + L" a.txt");
        EXPECT_EQ(run.exitCode, 73u);
        EXPECT_NE(run.standardError.find(c.problem), std::string::npos) << run.standardError;
        EXPECT_NE(run.standardError.find("nothing was renamed"), std::string::npos) << run.standardError;
        EXPECT_EQ(ReadFileBytes(At(L"a.txt")), "a");
    }
    EXPECT_EQ(ReadFileBytes(At(L"taken.journal")), "mine");
}

TEST_F(JournalFrontTest, ADamagedJournalIsRefusedAndNothingMoves)
{
    Make(L"qms1.tmp", "moved");
    const std::string aside = AsideRecords(Utf8(At(L"a.txt")), Utf8(At(L"qms1.tmp")), "");
    const struct {
        std::string text;
        std::string problem;
    } cases[] = {
        {"", "not a rename journal: "},
        {"Quillmoss rename journal\t9\n" + aside, "damaged at line 1"},
        {Header() + "plan\n" + aside, "damaged at line 3"},
        {Header() + "plan\trename\tfrom\n" + aside, "damaged at line 3"},
        {Header() + "plan\tmove\tfrom\tto\n" + aside, "damaged at line 3"},
        {Header() + aside + std::string(3, '\0') + "done\n", "damaged at line 6"},
        {Header() + "done\n" + aside, "damaged at line 3"},
        {Header() + aside + "done\n", "damaged at line 6"},
        {Header() + "rename\tfrom\n" + aside, "damaged at line 3"},
        {Header() + "rename\t\xff\xfe\tto\n" + aside, "damaged at line 3"},
        {Header() + aside + "end\n", "damaged at line 6"},
    };
    for (const auto& c : cases) {
        const std::wstring journal = At(L"damaged " + std::to_wstring(&c - cases) + L".journal");
        WriteFileBytes(journal, c.text);
        for (const wchar_t* command : {L"--recover ", L"--undo "}) {
            const ProcessRun run = Run(command + Quoted(journal));
            EXPECT_EQ(run.exitCode, 2u) << c.text;
            EXPECT_NE(run.standardError.find(c.problem), std::string::npos) << c.text << run.standardError;
        }
    }
    EXPECT_EQ(ReadFileBytes(At(L"qms1.tmp")), "moved");
    EXPECT_FALSE(PathExists(At(L"a.txt")));
    DeleteFileW(At(L"qms1.tmp").c_str());
}

TEST_F(JournalFrontTest, ARecoveryRemovesOnlyThePlaceholderTheDeadBatchMade)
{
    // The batch died between asking for a temporary name and recording it.
    const std::string journal = Header() + "name\t" + Utf8(folder) + "\t\t" + std::to_string(Now()) + "\n";
    WriteFileBytes(At(L"qms1a2b.tmp"), "");
    WriteFileBytes(At(L"qmsffff.tmp"), "someone's data");
    WriteFileBytes(At(L"qms0001.tmp"), "");
    WriteFileBytes(At(L"qmsnotes.tmp"), "");
    {
        // An empty placeholder of long ago is not this batch's.
        const UniqueHandle old(CreateFileW(At(L"qms0001.tmp").c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING,
                                           FILE_ATTRIBUTE_NORMAL, nullptr));
        const FILETIME longAgo{0, 0x01D5C000};
        ASSERT_TRUE(SetFileTime(old.Get(), &longAgo, &longAgo, &longAgo));
    }
    const std::wstring j1 = At(L"j1.journal");
    WriteFileBytes(j1, journal);

    const ProcessRun recover = Run(L"--recover " + Quoted(j1));
    EXPECT_EQ(recover.exitCode, 0u) << recover.standardOutput << recover.standardError;
    EXPECT_EQ(recover.standardOutput, "removed placeholder: " + Utf8(At(L"qms1a2b.tmp")) + "\n" +
                                          "recovered: 0 put back, 1 placeholders removed, 0 left\n");
    EXPECT_FALSE(PathExists(At(L"qms1a2b.tmp")));
    EXPECT_EQ(ReadFileBytes(At(L"qmsffff.tmp")), "someone's data");
    EXPECT_TRUE(PathExists(At(L"qms0001.tmp")));
    EXPECT_TRUE(PathExists(At(L"qmsnotes.tmp")));
    EXPECT_EQ(LastLine(ReadFileBytes(j1)), "end\trecovered");
    for (const wchar_t* name : {L"qmsffff.tmp", L"qms0001.tmp", L"qmsnotes.tmp"}) {
        DeleteFileW(At(name).c_str());
    }
}

TEST_F(JournalFrontTest, ARecoveryTellsAMoveThatHappenedFromOneThatDidNot)
{
    const struct {
        const char* name;
        bool sourceThere;
        bool temporaryThere;
        std::string temporaryContent;
        std::string expectedLine;
        DWORD exitCode;
        // Moved, then emptied and given other times: the batch's own file, which a file system
        // that reports the last write as the creation time no longer tells from another.
        bool edited = false;
    } cases[] = {
        // Died after the move: the file goes back.
        {"moved", false, true, "content", "put back: ", 0},
        // Died before it: what stands at the temporary name is the empty placeholder.
        {"not moved", true, true, "", "removed placeholder: ", 0},
        // Died before the placeholder went: nothing to do.
        {"placeholder gone", true, false, "", "recovered: 0 put back", 0},
        // Something that is neither the file nor a placeholder stands there too: named and left.
        {"both there", true, true, "other", "left alone, not the batch's: ", 3},
        // Empty, but with the file's index: never taken for a placeholder.
        {"moved and emptied", false, true, "", "left alone, cannot tell what it is: ", 3, true},
    };
    for (const auto& c : cases) {
        const std::wstring source = At(FromUtf8(c.name) + L".txt");
        const std::wstring temporary = At(L"qms0" + std::to_wstring(&c - cases) + L"00.tmp");
        WriteFileBytes(source, "content");
        const std::string identity = IdentityOf(source);
        if (!c.sourceThere) {
            ASSERT_TRUE(MoveFileW(source.c_str(), temporary.c_str()));
            if (c.edited) {
                WriteFileBytes(temporary, "");
                const UniqueHandle file(CreateFileW(temporary.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr,
                                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
                const FILETIME past{0x5B3C8000, 0x01C0F1D3};
                ASSERT_TRUE(SetFileTime(file.Get(), &past, &past, &past));
            }
        } else if (c.temporaryThere) {
            WriteFileBytes(temporary, c.temporaryContent);
        }
        const std::wstring journal = At(FromUtf8(c.name) + L".journal");
        WriteFileBytes(journal, Header() + "name\t" + Utf8(folder) + "\t\t" + std::to_string(Now()) + "\nplan\taside\t" +
                                    Utf8(source) + "\t" + Utf8(temporary) + "\t" + identity + "\naside\t" +
                                    Utf8(source) + "\t" + Utf8(temporary) + "\n");
        const ProcessRun recover = Run(L"--recover " + Quoted(journal));
        EXPECT_EQ(recover.exitCode, c.exitCode) << c.name;
        EXPECT_NE(recover.standardOutput.find(c.expectedLine), std::string::npos) << c.name << recover.standardOutput;
        EXPECT_EQ(PathExists(source), !c.edited) << c.name;
        if (c.edited) {
            EXPECT_NE(recover.standardOutput.find(" 1 left\n"), std::string::npos) << "named once";
        }
        EXPECT_EQ(ReadFileBytes(c.edited ? temporary : source), c.edited ? "" : "content") << c.name;
        EXPECT_EQ(PathExists(temporary), c.temporaryContent == "other" || c.edited) << c.name;
        EXPECT_EQ(LastLine(ReadFileBytes(journal)) == "end\trecovered", c.exitCode == 0) << c.name;
        DeleteFileW(temporary.c_str());
    }
}

TEST_F(JournalFrontTest, ARecoveryFollowsAPlanPastItsLastRecordButNotPastItsEnd)
{
    // Three files moved aside, then a plan of their renames: the journal records only the first
    // (a power cut took the rest), but the disk shows the second happened and the third did not.
    const char* names[] = {"a", "b", "c"};
    const char* endsAt[] = {"new a.txt", "new b.txt", "qmsc.tmp"};
    std::string records;
    std::string plan;
    for (std::size_t k = 0; k < 3; ++k) {
        const std::wstring old = At(FromUtf8(names[k]) + L".txt");
        const std::wstring temporary = At(L"qms" + FromUtf8(names[k]) + L".tmp");
        const std::wstring renamed = At(L"new " + FromUtf8(names[k]) + L".txt");
        Make(FromUtf8(names[k]) + L".txt", names[k]);
        records += AsideRecords(Utf8(old), Utf8(temporary), IdentityOf(old));
        plan += "plan\trename\t" + Utf8(temporary) + "\t" + Utf8(renamed) + "\n";
        ASSERT_TRUE(MoveFileW(old.c_str(), At(FromUtf8(endsAt[k])).c_str()));
    }
    const std::wstring cut = At(L"cut.journal");
    // The end of the file the system had grown but not yet written reads as zeros.
    WriteFileBytes(cut, Header() + records + plan + "rename\t" + Utf8(At(L"qmsa.tmp")) + "\t" + Utf8(At(L"new a.txt")) +
                            "\ndone\n" + std::string(4096, '\0'));
    const ProcessRun recover = Run(L"--recover " + Quoted(cut));
    EXPECT_EQ(recover.exitCode, 0u) << recover.standardOutput;
    EXPECT_NE(recover.standardOutput.find("recovered: 3 put back, 0 placeholders removed, 0 left"), std::string::npos)
        << recover.standardOutput;
    for (const char* name : names) {
        EXPECT_EQ(ReadFileBytes(At(FromUtf8(name) + L".txt")), name);
    }
    EXPECT_EQ(TemporaryFilesIn(folder).size(), 0u);

    // A plan the batch left for another (its files went back) ends there: what took the name
    // the plan meant for a file since is someone else's, and stays.
    Make(L"x.txt", "x");
    Make(L"X new.txt", "someone's");
    const std::wstring ended = At(L"ended.journal");
    WriteFileBytes(ended, Header() + AsideRecords(Utf8(At(L"x.txt")), Utf8(At(L"qmse.tmp")), IdentityOf(At(L"x.txt"))) +
                              "plan\trename\t" + Utf8(At(L"qmse.tmp")) + "\t" +
                              Utf8(At(L"X new.txt")) + "\n" + "plan\tback\t" + Utf8(At(L"qmse.tmp")) + "\t" +
                              Utf8(At(L"x.txt")) + "\n" + "back\t" + Utf8(At(L"qmse.tmp")) + "\t" + Utf8(At(L"x.txt")) +
                              "\ndone\n");
    const ProcessRun again = Run(L"--recover " + Quoted(ended));
    EXPECT_EQ(again.exitCode, 0u) << again.standardOutput;
    EXPECT_EQ(ReadFileBytes(At(L"x.txt")), "x");
    EXPECT_EQ(ReadFileBytes(At(L"X new.txt")), "someone's");
}

TEST_F(JournalFrontTest, ANewRunNamesAnUnfinishedBatchAndTheCommandThatRecoversIt)
{
    // A batch that died with one file moved aside, its journal where journals live by default.
    Make(L"old name.txt", "content");
    const std::string identity = IdentityOf(At(L"old name.txt"));
    ASSERT_TRUE(MoveFileW(At(L"old name.txt").c_str(), At(L"qms7e7e.tmp").c_str()));
    const std::wstring unfinished = DefaultJournalFolder() + L"\\9999-12-31 23.59.59.999.journal";
    CreateDirectoryW(FolderOf(DefaultJournalFolder()).c_str(), nullptr);
    CreateDirectoryW(DefaultJournalFolder().c_str(), nullptr);
    WriteFileBytes(unfinished,
                   Header() + AsideRecords(Utf8(At(L"old name.txt")), Utf8(At(L"qms7e7e.tmp")), identity));
    struct Cleanup {
        std::wstring path;
        ~Cleanup() { DeleteFileW(path.c_str()); }
    } cleanup{unfinished};

    Make(L"other.txt", "other");
    const ProcessRun run = Run(L"other.txt");
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_NE(run.standardError.find("an earlier batch never finished"), std::string::npos) << run.standardError;
    EXPECT_NE(run.standardError.find("run: QuillmossRename --recover \"" + Utf8(unfinished) + "\"\n"),
              std::string::npos)
        << run.standardError;

    // Without a journal named, --recover takes the newest unfinished one.
    const ProcessRun recover = Run(L"--recover");
    EXPECT_EQ(recover.exitCode, 0u) << recover.standardOutput << recover.standardError;
    EXPECT_EQ(ReadFileBytes(At(L"old name.txt")), "content");
    EXPECT_EQ(Run(L"A.txt").standardError.find("never finished"), std::string::npos);
}

// Drops the journal's last line: the record a process cut short never wrote.
void DropLastLine(const std::wstring& journal)
{
    std::string text = ReadFileBytes(journal);
    text.erase(text.rfind('\n', text.size() - 2) + 1);
    WriteFileBytes(journal, text);
}

TEST_F(JournalFrontTest, ARecoveryRunAgainMovesNothingTwice)
{
    // A rotation: C.txt takes A.txt, A.txt takes B.txt, B.txt takes C.txt.
    Make(L"A.txt", "a");
    Make(L"B.txt", "b");
    Make(L"C.txt", "c");
    const auto before = Snapshot(folder);
    const std::wstring j1 = At(L"j1.journal");
    ASSERT_EQ(RenameWithJournal(j1, {L"C.txt", L"A.txt", L"B.txt"}).exitCode, 0u);
    ASSERT_EQ(ReadFileBytes(At(L"A.txt")), "c");
    // The batch died just before its end: every file stands at its new name.
    DropLastLine(j1);

    const ProcessRun dryRun = Run(L"--recover --dry-run " + Quoted(j1));
    EXPECT_EQ(dryRun.standardOutput, "would put back: " + Utf8(At(L"B.txt")) + "\n" + "would put back: " +
                                         Utf8(At(L"A.txt")) + "\n" + "would put back: " + Utf8(At(L"C.txt")) + "\n" +
                                         "would recover: 3 put back, 0 placeholders removed, 0 left\n");
    EXPECT_EQ(ReadFileBytes(At(L"A.txt")), "c");

    const ProcessRun recover = Run(L"--recover " + Quoted(j1));
    EXPECT_EQ(recover.exitCode, 0u) << recover.standardOutput;
    auto after = Snapshot(folder);
    after.erase(L"j1.journal");
    EXPECT_EQ(after, before) << Describe(after);

    // That recovery was cut short before it marked the journal, or a name was put right by hand
    // first: a second one finds every file home and moves none.
    DropLastLine(j1);
    const ProcessRun again = Run(L"--recover " + Quoted(j1));
    EXPECT_EQ(again.exitCode, 0u) << again.standardOutput;
    EXPECT_EQ(again.standardOutput, "recovered: 0 put back, 0 placeholders removed, 0 left\n");
    after = Snapshot(folder);
    after.erase(L"j1.journal");
    EXPECT_EQ(after, before) << Describe(after);
    EXPECT_EQ(LastLine(ReadFileBytes(j1)), "end\trecovered");
}

TEST_F(JournalFrontTest, ARecoveryLeavesAFileTheBatchPutBackWhereItIs)
{
    // The batch moved a.txt aside and back, then died; someone's file took the temporary name
    // since. a.txt is home: nothing moves, nothing is left.
    Make(L"a.txt", "a");
    Make(L"qms5.tmp", "someone's");
    const std::string a = Utf8(At(L"a.txt"));
    const std::string temporary = Utf8(At(L"qms5.tmp"));
    const std::wstring journal = At(L"j1.journal");
    WriteFileBytes(journal, Header() + AsideRecords(a, temporary, IdentityOf(At(L"a.txt"))) + "plan\tback\t" +
                                temporary + "\t" + a + "\nback\t" + temporary + "\t" + a + "\ndone\n");
    const auto before = Snapshot(folder);
    const ProcessRun recover = Run(L"--recover " + Quoted(journal));
    EXPECT_EQ(recover.exitCode, 0u) << recover.standardOutput;
    EXPECT_EQ(recover.standardOutput, "recovered: 0 put back, 0 placeholders removed, 0 left\n");
    auto after = Snapshot(folder);
    after.erase(L"j1.journal");
    auto expected = before;
    expected.erase(L"j1.journal");
    EXPECT_EQ(after, expected) << Describe(after);
    DeleteFileW(At(L"qms5.tmp").c_str());

    // It died putting b.txt back after an exception: b.txt had taken its new name C.txt and was
    // returned to its temporary name; someone's file has C.txt since. It goes home directly.
    Make(L"b.txt", "b");
    const std::string b = Utf8(At(L"b.txt"));
    const std::string temporaryB = Utf8(At(L"qms6.tmp"));
    const std::string newB = Utf8(At(L"C.txt"));
    const std::string identity = IdentityOf(At(L"b.txt"));
    ASSERT_TRUE(MoveFileW(At(L"b.txt").c_str(), At(L"qms6.tmp").c_str()));
    Make(L"C.txt", "someone's");
    const std::wstring returned = At(L"j2.journal");
    WriteFileBytes(returned, Header() + AsideRecords(b, temporaryB, identity) + "plan\trename\t" + temporaryB + "\t" +
                                 newB + "\nrename\t" + temporaryB + "\t" + newB + "\ndone\nplan\treturn\t" + newB +
                                 "\t" + temporaryB + "\nreturn\t" + newB + "\t" + temporaryB + "\ndone\nplan\tback\t" +
                                 temporaryB + "\t" + b + "\n");
    const ProcessRun home = Run(L"--recover " + Quoted(returned));
    EXPECT_EQ(home.exitCode, 0u) << home.standardOutput;
    EXPECT_EQ(home.standardOutput, "put back: " + b + "\nrecovered: 1 put back, 0 placeholders removed, 0 left\n");
    EXPECT_EQ(ReadFileBytes(At(L"b.txt")), "b");
    EXPECT_EQ(ReadFileBytes(At(L"C.txt")), "someone's");
}

TEST_F(JournalFrontTest, ARecoveryRemovesNoEmptyTemporaryFileMadeAfterTheBatchDied)
{
    // The batch asked for temporary names two minutes ago and died a minute ago: an empty qms*.tmp
    // made in between is its placeholder; one made since (another batch's file moved aside, say)
    // is not.
    const unsigned long long minute = 60ULL * 10 * 1000 * 1000;
    const unsigned long long now = Now();
    const auto setWritten = [](const std::wstring& path, unsigned long long time) {
        const UniqueHandle file(
            CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        const FILETIME when{static_cast<DWORD>(time), static_cast<DWORD>(time >> 32)};
        ASSERT_TRUE(SetFileTime(file.Get(), &when, &when, &when));
    };
    const std::wstring placeholder = Make(L"qms8.tmp", "");
    WriteFileBytes(placeholder, "");
    setWritten(placeholder, now - 3 * minute / 2);
    WriteFileBytes(At(L"qms9.tmp"), "");
    const std::wstring journal = At(L"j1.journal");
    WriteFileBytes(journal, Header() + "name\t" + Utf8(folder) + "\t\t" + std::to_string(now - 2 * minute) + "\n");
    setWritten(journal, now - minute);

    const ProcessRun recover = Run(L"--recover " + Quoted(journal));
    EXPECT_EQ(recover.exitCode, 0u) << recover.standardOutput;
    EXPECT_EQ(recover.standardOutput, "removed placeholder: " + Utf8(placeholder) +
                                          "\nrecovered: 0 put back, 1 placeholders removed, 0 left\n");
    EXPECT_TRUE(PathExists(At(L"qms9.tmp")));
    DeleteFileW(At(L"qms9.tmp").c_str());
}

TEST_F(JournalFrontTest, ARecoveryNamesWhatTheBatchMayHaveRecycled)
{
    // A power cut kept the plan of two recycles, not their records: what is gone may be in the
    // recycle bin, what is there was not recycled.
    Make(L"kept.txt", "kept");
    const std::wstring journal = At(L"j1.journal");
    WriteFileBytes(journal, Header() + "plan\trecycle\t" + Utf8(At(L"gone.txt")) + "\t\nplan\trecycle\t" +
                                Utf8(At(L"kept.txt")) + "\t\n");
    const ProcessRun recover = Run(L"--recover " + Quoted(journal));
    EXPECT_EQ(recover.exitCode, 0u) << recover.standardOutput;
    EXPECT_EQ(recover.standardOutput, "perhaps in the recycle bin: " + Utf8(At(L"gone.txt")) +
                                          "\nrecovered: 0 put back, 0 placeholders removed, 0 left\n");
}

TEST_F(JournalFrontTest, AJournalThatBreaksAWriterRuleIsRefusedWholeAndNothingMoves)
{
    // Each journal would move a file somewhere if it were trusted: the file lies where its step
    // says the batch left it.
    Make(L"One\\x.exe", "x");
    Make(L"One\\qms1.tmp", "moved");
    Make(L"Two\\", "");
    const std::string identity = IdentityOf(At(L"One\\qms1.tmp"));
    const auto before = Snapshot(folder);
    const std::string one = Utf8(At(L"One"));
    const std::string two = Utf8(At(L"Two"));
    const auto aside = [&identity](const std::string& from, const std::string& to) {
        return AsideRecords(from, to, identity);
    };
    const std::string good = aside(one + "\\a.txt", one + "\\qms1.tmp");
    const struct {
        const char* rule;
        std::string records;
        std::size_t line;
    } cases[] = {
        {"into another folder", aside(one + "\\x.exe", two + "\\x.exe"), 3},
        {"a temporary name in another folder", aside(two + "\\a.txt", one + "\\qms1.tmp"), 3},
        {"not a temporary name", aside(one + "\\a.txt", one + "\\x.exe"), 3},
        {"a relative path", aside("One\\a.txt", "One\\qms1.tmp"), 3},
        {"a device prefix", aside("\\\\?\\" + one + "\\a.txt", "\\\\?\\" + one + "\\qms1.tmp"), 3},
        {"a device path", aside("\\\\.\\" + one + "\\a.txt", "\\\\.\\" + one + "\\qms1.tmp"), 3},
        {"a .. segment", aside(one + "\\..\\One\\a.txt", one + "\\..\\One\\qms1.tmp"), 3},
        {"a . segment", aside(one + "\\.\\a.txt", one + "\\.\\qms1.tmp"), 3},
        {"an empty segment", aside(one + "\\\\a.txt", one + "\\\\qms1.tmp"), 3},
        {"a control character", aside(one + "\\a\x01.txt", one + "\\qms1.tmp"), 3},
        {"a stream", aside(one + "\\a.txt:data", one + "\\qms1.tmp"), 3},
        {"a trailing dot", aside(one + "\\a.txt.", one + "\\qms1.tmp"), 3},
        {"a malformed identity", AsideRecords(one + "\\a.txt", one + "\\qms1.tmp", "xyz"), 3},
        {"a move aside no plan holds", "aside\t" + one + "\\a.txt\t" + one + "\\qms1.tmp\t" + identity + "\ndone\n", 3},
        {"a pair of surrogates as two halves", aside(one + "\\a\xED\xA0\xBD\xED\xB8\x80.txt", one + "\\qms1.tmp"), 3},
        {"a device name", aside(one + "\\nul.txt", one + "\\qms1.tmp"), 3},
        {"a rename out of its folder", good + "rename\t" + one + "\\qms1.tmp\t" + two + "\\A.txt\ndone\n", 6},
        {"a rename from no temporary name", good + "rename\t" + one + "\\x.exe\t" + one + "\\A.exe\ndone\n", 6},
        {"a move back out of its folder", good + "back\t" + one + "\\qms1.tmp\t" + two + "\\a.txt\ndone\n", 6},
        {"a return to no temporary name", good + "return\t" + one + "\\x.exe\t" + one + "\\y.exe\ndone\n", 6},
        {"a name asked for in a folder nothing moves from",
         "name\t" + two + "\t\t" + std::to_string(Now()) + "\n" + good, 3},
        {"a name with no time", "name\t" + one + "\t\t\n" + good, 3},
        {"a recycled entry with a destination", good + "recycle\t" + one + "\\x.exe\t" + two + "\\x.exe\ndone\n", 6},
        {"an end that is no status", good + "end\tsoon\n", 6},
        {"a record after the end", good + "end\t0\n" + good, 7},
        {"no begin", good, 2},
    };
    for (const auto& c : cases) {
        const std::wstring journal = At(L"planted " + std::to_wstring(&c - cases) + L".journal");
        const std::string head = std::string(c.rule) == "no begin" ? std::string(journalHeader) + "\n" : Header();
        WriteFileBytes(journal, head + c.records);
        for (const wchar_t* command : {L"--recover ", L"--recover --dry-run ", L"--undo "}) {
            const ProcessRun run = Run(command + Quoted(journal));
            EXPECT_EQ(run.exitCode, 2u) << c.rule << run.standardOutput;
            EXPECT_NE(run.standardError.find("damaged at line " + std::to_string(c.line) + " ("), std::string::npos)
                << c.rule << ": " << run.standardError;
        }
        auto after = Snapshot(folder);
        for (auto it = after.begin(); it != after.end();) {
            it = it->first.find(L".journal") != std::wstring::npos ? after.erase(it) : std::next(it);
        }
        EXPECT_EQ(after, before) << c.rule << Describe(after);
    }
    // The same journal kept to the rules is used.
    const std::wstring kept = At(L"kept.journal");
    WriteFileBytes(kept, Header() + good);
    const ProcessRun recover = Run(L"--recover " + Quoted(kept));
    EXPECT_EQ(recover.exitCode, 0u) << recover.standardOutput << recover.standardError;
    EXPECT_EQ(ReadFileBytes(At(L"One\\a.txt")), "moved");
}

TEST_F(JournalFrontTest, ALostTailIsCutOffBeforeTheRecoveryMarksTheJournal)
{
    const struct {
        const char* name;
        // Whether the next group's temporary names were asked for: whole records, which stay.
        bool nextGroupAsked;
        std::string tail;
    } cases[] = {
        {"zeros", false, std::string(4096, '\0')},
        {"a torn record", false, "rename\tC:\\some"},
        {"a torn record, then zeros", false, "rename\tC:\\some" + std::string(100, '\0')},
        // The next group's temporary names were asked for, and the plan of its moves was cut.
        {"a torn plan", true, "plan\taside\tC:\\some"},
    };
    for (const auto& c : cases) {
        const std::wstring name = FromUtf8(c.name);
        Make(name + L"\\qms2.tmp", "content");
        Make(name + L"\\Next\\", "");
        const std::string identity = IdentityOf(At(name + L"\\qms2.tmp"));
        const std::wstring journal = At(name + L".journal");
        std::string records = Header() + AsideRecords(Utf8(At(name + L"\\f.txt")), Utf8(At(name + L"\\qms2.tmp")), identity);
        if (c.nextGroupAsked) {
            records += "name\t" + Utf8(At(name + L"\\Next")) + "\t\t" + std::to_string(Now()) + "\n";
            WriteFileBytes(At(name + L"\\Next\\qms5.tmp"), "");
        }
        WriteFileBytes(journal, records + c.tail);

        const ProcessRun recover = Run(L"--recover " + Quoted(journal));
        EXPECT_EQ(recover.exitCode, 0u) << c.name << recover.standardOutput << recover.standardError;
        EXPECT_EQ(ReadFileBytes(At(name + L"\\f.txt")), "content") << c.name;
        EXPECT_EQ(ReadFileBytes(journal), records + "end\trecovered\n") << c.name;
        EXPECT_FALSE(PathExists(At(name + L"\\Next\\qms5.tmp"))) << c.name;
        // Read as finished from then on, by a recovery, an undo and a new batch alike.
        const ProcessRun again = Run(L"--recover " + Quoted(journal));
        EXPECT_EQ(again.exitCode, 0u) << c.name << again.standardError;
        EXPECT_NE(again.standardOutput.find("nothing to recover"), std::string::npos) << c.name;
        const ProcessRun undo = Run(L"--no-journal --undo " + Quoted(journal));
        EXPECT_EQ(undo.exitCode, 0u) << c.name << undo.standardOutput << undo.standardError;
        EXPECT_EQ(ReadFileBytes(At(name + L"\\f.txt")), "content") << c.name;
    }
}

TEST_F(JournalFrontTest, AJournalThatCannotBeWrittenToTheEndStopsTheBatchWhichPutsEveryFileBack)
{
    for (const wchar_t* name : {L"a.txt", L"b.txt", L"c.txt", L"d.txt"}) {
        Make(name, ToUtf8(name));
    }
    const auto before = Snapshot(folder);
    const std::wstring j1 = At(L"j1.journal");
    // The disk fills up as the second move aside is recorded.
    SetEnvironmentVariableW(L"QM_TEST_JOURNAL_WRITES", L"9");
    const ProcessRun run = RenameWithJournal(j1, {L"a.txt", L"b.txt", L"c.txt", L"d.txt"});
    SetEnvironmentVariableW(L"QM_TEST_JOURNAL_WRITES", nullptr);
    EXPECT_EQ(run.exitCode, 1u);
    // One step was refused; the put-backs after it were taken, unrecorded.
    EXPECT_EQ(run.standardOutput, "DeleteFileOrFolder Success!\nRenameFileOrFolder Success!\n"
                                  "DeleteFileOrFolder Success!\nRenameFileOrFolder Success!\n"
                                  "FilesRenamer::Rename: Could not record the next step, so it was not taken!\n"
                                  "RenameFileOrFolder Success!\nRenameFileOrFolder Success!\n"
                                  "FilesRenamer::Rename: Unexpected error!\n");
    EXPECT_NE(run.standardError.find("cannot write the journal"), std::string::npos) << run.standardError;
    auto after = Snapshot(folder);
    after.erase(L"j1.journal");
    EXPECT_EQ(after, before) << Describe(after);

    // The journal ends in a torn record; its recovery finds every file home and moves none.
    const ProcessRun recover = Run(L"--recover " + Quoted(j1));
    EXPECT_EQ(recover.exitCode, 0u) << recover.standardOutput << recover.standardError;
    EXPECT_EQ(recover.standardOutput, "recovered: 0 put back, 0 placeholders removed, 0 left\n");
    after = Snapshot(folder);
    after.erase(L"j1.journal");
    EXPECT_EQ(after, before) << Describe(after);
}

TEST_F(JournalFrontTest, OneRunOfAUsersAtATime)
{
    Make(L"a.txt", "a");
    Make(L"qms3.tmp", "moved");
    const std::wstring unfinished = At(L"unfinished.journal");
    WriteFileBytes(unfinished, Header() + AsideRecords(Utf8(At(L"b.txt")), Utf8(At(L"qms3.tmp")), IdentityOf(At(L"qms3.tmp"))));
    const std::wstring lockPath = FolderOf(DefaultJournalFolder()) + L"\\QuillmossRename.lock";
    CreateDirectoryW(FolderOf(lockPath).c_str(), nullptr);
    {
        // Another run holds the lock, as the program does, for as long as it runs.
        const UniqueHandle held(CreateFileW(lockPath.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(held.IsValid());
        for (const std::wstring& arguments : {std::wstring(L"a.txt"), std::wstring(L"--no-journal a.txt"), L"--recover " + Quoted(unfinished),
                                            L"--undo " + Quoted(unfinished)}) {
            const ProcessRun run = Run(arguments);
            EXPECT_EQ(run.exitCode, 75u) << run.standardError;
            EXPECT_NE(run.standardError.find("another rename, undo or recovery of yours is running"), std::string::npos)
                << run.standardError;
            EXPECT_EQ(run.standardOutput, "");
        }
        // A dry run changes nothing, and goes ahead.
        EXPECT_EQ(Run(L"--dry-run a.txt").exitCode, 0u);
        EXPECT_EQ(Run(L"--recover --dry-run " + Quoted(unfinished)).exitCode, 0u);
        EXPECT_EQ(ReadFileBytes(At(L"a.txt")), "a");
        EXPECT_EQ(ReadFileBytes(At(L"qms3.tmp")), "moved");
    }
    EXPECT_EQ(Run(L"--recover " + Quoted(unfinished)).exitCode, 0u);
    EXPECT_EQ(ReadFileBytes(At(L"b.txt")), "moved");
    EXPECT_EQ(Run(L"--no-journal a.txt").exitCode, 0u);
    EXPECT_EQ(ReadFileBytes(At(L"A.txt")), "a");
}

TEST_F(JournalFrontTest, AnUndoNeverAsksAboutOrRecyclesAFileItLeftAlone)
{
    // x.txt took A.txt and A.txt took B.txt; then A.txt was replaced by someone's file.
    Make(L"x.txt", "x");
    Make(L"A.txt", "a");
    const std::wstring j1 = At(L"j1.journal");
    ASSERT_EQ(RenameWithJournal(j1, {L"x.txt", L"A.txt"}).exitCode, 0u);
    ASSERT_TRUE(DeleteFileW(At(L"A.txt").c_str()));
    Make(L"A.txt", "someone's");

    const std::string expected = "changed since the batch, left alone: " + Utf8(At(L"A.txt")) + " (old name: " +
                                 Utf8(At(L"x.txt")) + ")\n" + "left alone, its old name is held by a file left alone: " +
                                 Utf8(At(L"B.txt")) + " (old name: " + Utf8(At(L"A.txt")) + ")\n";
    const ProcessRun dryRun = Run(L"--undo --dry-run " + Quoted(j1));
    EXPECT_EQ(dryRun.standardOutput, expected + "would undo: 0 back to their old names, 2 left\n");

    MessageBoxAnswerer answerer(IDYES);
    const ProcessRun undo = Run(L"--no-journal --undo " + Quoted(j1));
    EXPECT_EQ(answerer.Stop().size(), 0u);
    EXPECT_EQ(undo.exitCode, 3u);
    EXPECT_EQ(undo.standardOutput, expected);
    EXPECT_EQ(undo.standardError,
              "status=3 SomeFilesFailed operation=12 succeeded=0 failed=2 message=\"2 files failed to rename.\"\n");
    EXPECT_EQ(ReadFileBytes(At(L"A.txt")), "someone's");
    EXPECT_EQ(ReadFileBytes(At(L"B.txt")), "a");
}

TEST_F(JournalFrontTest, AnUndoNeverAsksAboutAFileItLeftAloneWhereverItNowStands)
{
    // In a folder of the batch, which the undo moves back with what it holds: D\b.txt took
    // D\A.txt, D\A.txt took D\B.txt, D became C; then C\A.txt was replaced.
    Make(L"D\\b.txt", "b");
    Make(L"D\\A.txt", "a");
    const std::wstring j1 = At(L"j1.journal");
    ASSERT_EQ(RenameWithJournal(j1, {L"D\\b.txt", L"D\\A.txt", L"D"}).exitCode, 0u);
    ASSERT_EQ(ReadFileBytes(At(L"C\\B.txt")), "a");
    ASSERT_TRUE(DeleteFileW(At(L"C\\A.txt").c_str()));
    Make(L"C\\A.txt", "someone's");
    // Flat, the file left alone moved by hand to another file's old name: x.txt took A.txt,
    // y.txt took B.txt, then A.txt was renamed y.txt.
    Make(L"F\\x.txt", "x");
    Make(L"F\\y.txt", "y");
    const std::wstring j2 = At(L"j2.journal");
    ASSERT_EQ(RenameWithJournal(j2, {L"F\\x.txt", L"F\\y.txt"}).exitCode, 0u);
    ASSERT_TRUE(MoveFileW(At(L"F\\A.txt").c_str(), At(L"F\\y.txt").c_str()));

    MessageBoxAnswerer answerer(IDYES);
    const ProcessRun folderUndo = Run(L"--no-journal --undo " + Quoted(j1));
    const ProcessRun flatUndo = Run(L"--no-journal --undo " + Quoted(j2));
    EXPECT_EQ(answerer.Stop().size(), 0u);
    EXPECT_EQ(folderUndo.exitCode, 3u) << folderUndo.standardOutput << folderUndo.standardError;
    EXPECT_EQ(ReadFileBytes(At(L"D\\A.txt")), "someone's");
    EXPECT_EQ(ReadFileBytes(At(L"D\\B.txt")), "a");
    EXPECT_EQ(flatUndo.exitCode, 3u) << flatUndo.standardOutput << flatUndo.standardError;
    EXPECT_NE(flatUndo.standardOutput.find("left alone, its old name is held by a file left alone: " +
                                           Utf8(At(L"F\\B.txt"))),
              std::string::npos)
        << flatUndo.standardOutput;
    EXPECT_EQ(ReadFileBytes(At(L"F\\y.txt")), "x");
    EXPECT_EQ(ReadFileBytes(At(L"F\\B.txt")), "y");
}

TEST_F(JournalFrontTest, ABareUndoTakesTheNewestBatchThatHasSomethingToUndoAndSaysWhich)
{
    // Only this test's journals in the default folder.
    for (const std::wstring& name : ListFolder(DefaultJournalFolder())) {
        DeleteFileW((DefaultJournalFolder() + L"\\" + name).c_str());
    }
    Make(L"first.txt", "1");
    ASSERT_EQ(Run(L"first.txt").exitCode, 0u);
    Make(L"Later\\second.txt", "2");
    ASSERT_EQ(Run(L"Later\\second.txt").exitCode, 0u);
    ASSERT_EQ(ReadFileBytes(At(L"Later\\A.txt")), "2");
    // The newest batch renamed nothing that is still under its new name.
    ASSERT_TRUE(MoveFileW(At(L"Later\\A.txt").c_str(), At(L"by hand.txt").c_str()));
    const std::vector<std::wstring> journals = ListFolder(DefaultJournalFolder());
    ASSERT_EQ(journals.size(), 2u);
    const std::wstring firstJournal = DefaultJournalFolder() + L"\\" + journals.front();

    const ProcessRun undo = Run(L"--undo");
    EXPECT_EQ(undo.exitCode, 0u) << undo.standardOutput << undo.standardError;
    EXPECT_NE(undo.standardError.find("QuillmossRename: undoing the batch of the journal " + Utf8(firstJournal) + "\n"),
              std::string::npos)
        << undo.standardError;
    EXPECT_EQ(ReadFileBytes(At(L"first.txt")), "1");
    // Neither the undo's own journal nor the batch it undid is taken again.
    const ProcessRun again = Run(L"--undo");
    EXPECT_EQ(again.exitCode, 2u) << again.standardOutput << again.standardError;
    EXPECT_NE(again.standardError.find("no journal to undo"), std::string::npos) << again.standardError;
    EXPECT_EQ(ReadFileBytes(At(L"first.txt")), "1");
    EXPECT_EQ(ReadFileBytes(At(L"by hand.txt")), "2");

    // The undo undone by name renames first.txt again: its batch is there to undo once more.
    const std::wstring undoJournal = DefaultJournalFolder() + L"\\" + ListFolder(DefaultJournalFolder()).back();
    ASSERT_EQ(Run(L"--undo " + Quoted(undoJournal)).exitCode, 0u);
    ASSERT_EQ(ReadFileBytes(At(L"A.txt")), "1");
    const ProcessRun third = Run(L"--undo");
    EXPECT_EQ(third.exitCode, 0u) << third.standardOutput << third.standardError;
    EXPECT_NE(third.standardError.find("undoing the batch of the journal " + Utf8(firstJournal) + "\n"),
              std::string::npos)
        << third.standardError;
    EXPECT_EQ(ReadFileBytes(At(L"first.txt")), "1");
    for (const std::wstring& name : ListFolder(DefaultJournalFolder())) {
        DeleteFileW((DefaultJournalFolder() + L"\\" + name).c_str());
    }
}

} // namespace
