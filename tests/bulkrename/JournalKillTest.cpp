// Batches of the real program cut short anywhere (killed, the journal's disk filling up, a power cut
// after the kill that takes what was not flushed, cut at any byte or left as zeros), then
// recovered, the recovery itself killed and run again: every content ends at its old name exactly
// once, no temporary name is left, and the journal reads as finished.
#include <windows.h>

#include <cstdio>
#include <iterator>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "rename/PathSpelling.h"
#include "support/MessageBoxAnswerer.h"
#include "tests/bulkrename/JournalProgram.h"

namespace {

// A random tree and a batch of it, in the shapes people hand the renamer: names that are other
// members' new names (A.txt, B, C.TXT… in shuffled order), names without dots, folders inside
// folders of the batch listed before or after what they hold, a path listed twice, a missing one.
class RandomBatch {
public:
    RandomBatch(std::mt19937& generator, const std::wstring& root, int seed) : random(generator)
    {
        std::vector<std::wstring> folders{root};
        const unsigned folderCount = random() % 5;
        for (unsigned f = 0; f < folderCount; ++f) {
            const std::wstring& parent = folders[random() % folders.size()];
            folders.push_back(parent + L"\\" + FreshName(parent, true));
            CreateFolder(folders.back());
        }
        const unsigned fileCount = 3 + random() % 12;
        std::vector<std::wstring> files;
        for (unsigned i = 0; i < fileCount; ++i) {
            const std::wstring& folder = folders[random() % folders.size()];
            files.push_back(folder + L"\\" + FreshName(folder, false));
            WriteFileBytes(files.back(), "seed " + std::to_string(seed) + " file " + std::to_string(i));
        }
        for (std::size_t f = 1; f < folders.size(); ++f) {
            if (random() % 2 == 0) {
                sources.push_back(folders[f]);
            }
        }
        // Every file but a few, and at least one.
        for (std::size_t i = 0; i < files.size(); ++i) {
            if (i == 0 || random() % 8 != 0) {
                sources.push_back(files[i]);
            }
        }
        if (random() % 5 == 0) {
            sources.push_back(root + L"\\missing.txt");
        }
        if (random() % 8 == 0) {
            sources.push_back(sources[random() % sources.size()]);
        }
        std::shuffle(sources.begin(), sources.end(), random);
        // A file outside the batch where one of the first members' new names will be: the batch
        // asks about it.
        if (random() % 3 == 0) {
            const std::size_t member = random() % std::min<std::size_t>(3, sources.size());
            const std::wstring name = NameOf(sources[member]);
            const std::size_t dot = name.rfind(L'.');
            const std::wstring newName = std::wstring(1, static_cast<wchar_t>(L'A' + member)) +
                                         (dot == std::wstring::npos ? L"" : CaseFolded(name.substr(dot)));
            const std::wstring folder = FolderOf(sources[member]);
            if (PathExists(folder) && taken[CaseFolded(folder)].insert(CaseFolded(newName)).second) {
                WriteFileBytes(folder + L"\\" + newName, "seed " + std::to_string(seed) + " in the way");
            }
        }
    }

    std::vector<std::wstring> sources;

private:
    // A name not yet in `folder` (compared without case).
    std::wstring FreshName(const std::wstring& folder, bool isFolder)
    {
        static const wchar_t* const extensions[] = {L".txt", L".TXT", L".Dat", L""};
        static const wchar_t* const plain[] = {L"notes", L"Readme", L"data", L"file"};
        for (;;) {
            const std::wstring extension = isFolder ? (random() % 4 == 0 ? L".d" : L"") : extensions[random() % 4];
            std::wstring name;
            switch (random() % 4) {
            case 0:
            case 1:
                // What the renamer gives the first members.
                name = std::wstring(1, static_cast<wchar_t>(L'A' + random() % 6));
                break;
            case 2:
                name = std::wstring(2, static_cast<wchar_t>(L'A' + random() % 3));
                break;
            default:
                name = plain[random() % 4] + std::to_wstring(random() % 10);
                break;
            }
            name += extension;
            if (taken[CaseFolded(folder)].insert(CaseFolded(name)).second) {
                return name;
            }
        }
    }

    std::mt19937& random;
    std::map<std::wstring, std::set<std::wstring>> taken;
};

// A dry run's lines as the run itself words them.
std::string AsRun(std::string text)
{
    const std::pair<std::string, std::string> wordings[] = {{"would put back: ", "put back: "},
                                                            {"would remove placeholder: ", "removed placeholder: "},
                                                            {"would recover: ", "recovered: "}};
    for (const auto& [dry, run] : wordings) {
        for (std::size_t at = text.find(dry); at != std::string::npos; at = text.find(dry, at + run.size())) {
            text.replace(at, dry.size(), run);
        }
    }
    return text;
}

// Cuts the journal as a power cut after the kill would: what was flushed stays, the rest is cut
// at any byte, and half the time what was cut reads as zeros. False when all was flushed.
bool CutAsAPowerLossWould(const std::wstring& journal, std::string& written, std::mt19937& random, bool& zeros)
{
    const std::size_t flushed = FlushedPart(written).size();
    if (flushed >= written.size()) {
        return false;
    }
    const std::size_t cut = flushed + random() % (written.size() - flushed);
    zeros = random() % 2 == 0;
    written = written.substr(0, cut) + (zeros ? std::string(written.size() - cut, '\0') : std::string());
    WriteFileBytes(journal, written);
    return true;
}

std::vector<std::string> Fields(const std::string& line)
{
    std::vector<std::string> fields;
    std::size_t from = 0;
    for (std::size_t tab = line.find('\t'); tab != std::string::npos; from = tab + 1, tab = line.find('\t', from)) {
        fields.push_back(line.substr(from, tab - from));
    }
    fields.push_back(line.substr(from));
    return fields;
}

// The path `path` had before the batch: a folder of the batch it lies in may have been moved
// aside to a temporary name (the journal's "aside" records `asides` say from where).
std::wstring PathBeforeTheBatch(std::wstring path, const std::vector<std::pair<std::wstring, std::wstring>>& asides)
{
    for (auto it = asides.rbegin(); it != asides.rend(); ++it) {
        if (IsInsideFolder(path, it->second)) {
            path = Rebased(path, it->second, it->first);
        }
    }
    return path;
}

// `before` less what the batch sent to the recycle bin (the journal `text` names it): a recovery
// and an undo leave that in the bin.
std::map<std::wstring, std::string> WithoutRecycled(std::map<std::wstring, std::string> before, const std::string& text,
                                                    const std::wstring& root)
{
    std::vector<std::pair<std::wstring, std::wstring>> asides;
    for (std::size_t start = 0, end = text.find('\n'); end != std::string::npos; start = end + 1, end = text.find('\n', start)) {
        const std::vector<std::string> fields = Fields(text.substr(start, end - start));
        const std::size_t kind = fields[0] == "plan" ? 1 : 0;
        if (fields.size() > kind + 2 && fields[kind] == "aside") {
            asides.emplace_back(FromUtf8(fields[kind + 1]), FromUtf8(fields[kind + 2]));
        }
        if (fields.size() <= kind + 1 || fields[kind] != "recycle") {
            continue;
        }
        const std::wstring path = PathBeforeTheBatch(FromUtf8(fields[kind + 1]), asides);
        if (PathExists(path) || !IsInsideFolder(path, root)) {
            continue;
        }
        const std::wstring relative = path.substr(root.size() + 1);
        for (auto it = before.begin(); it != before.end();) {
            it = SamePath(it->first, relative) || IsInsideFolder(it->first, relative) ? before.erase(it) : std::next(it);
        }
    }
    return before;
}

struct Totals {
    int killed = 0;
    int inDoubt = 0;
    int diskFull = 0;
    int powerCuts = 0;
    int zeroFilled = 0;
    int recoveriesKilled = 0;
    int dryRunsCompared = 0;
    int finishedFirst = 0;
    int undoesKilled = 0;
    int placeholders = 0;
    int questions = 0;
};

TEST_F(JournalFrontTest, CutShortAnywhereThenRecoveredNothingIsLost)
{
    const int first = EnvironmentNumber("QM_KILL_FIRST_SEED", 1);
    const int count = EnvironmentNumber("QM_KILL_SEEDS", 24);
    Totals totals;
    for (int seed = first; seed < first + count; ++seed) {
        std::mt19937 random(static_cast<std::mt19937::result_type>(seed));
        const std::wstring root = At(L"seed " + std::to_wstring(seed));
        CreateFolder(root);
        const RandomBatch batch(random, root, seed);
        const auto before = Snapshot(root);
        // Something outside the batch may stand at a new name: the batch asks, once.
        MessageBoxAnswerer answerer(random() % 2 == 0 ? IDYES : IDNO);

        const std::wstring journal = At(L"seed " + std::to_wstring(seed) + L".journal");
        const std::wstring list = At(L"seed " + std::to_wstring(seed) + L".list");
        std::wstring text;
        for (const std::wstring& path : batch.sources) {
            text += path + L"\n";
        }
        WriteFileBytes(list, ToUtf8(text));
        const std::wstring rename = L"--journal " + Quoted(journal) + L" --list " + Quoted(list);
        const std::size_t steps = batch.sources.size();
        std::string how;
        switch (random() % 4) {
        case 0:
        case 1: {
            const std::size_t trigger = 1 + random() % (9 * steps + 3);
            totals.killed += KillAfter(rename, root, journal, true, trigger) ? 1 : 0;
            how = "killed after " + std::to_string(trigger) + " journal records";
            break;
        }
        case 2: {
            const std::size_t trigger = 1 + random() % (2 * steps + 2);
            totals.killed += KillAfter(rename, root, journal, false, trigger) ? 1 : 0;
            how = "killed after " + std::to_string(trigger) + " output lines";
            break;
        }
        default: {
            // The journal's disk fills up: the batch refuses every step it can no longer record.
            const unsigned writes = random() % (4 * static_cast<unsigned>(steps) + 4);
            SetEnvironmentVariableW(L"QM_TEST_JOURNAL_WRITES", std::to_wstring(writes).c_str());
            const ProcessRun run = Front(rename, root);
            SetEnvironmentVariableW(L"QM_TEST_JOURNAL_WRITES", nullptr);
            ++totals.diskFull;
            how = "journal full after " + std::to_string(writes) + " writes, exit " + std::to_string(run.exitCode);
            break;
        }
        }
        std::string written = ReadFileBytes(journal);
        const std::string wholeJournal = written;
        const std::string last = LastLine(written);
        const bool finished = last.rfind("end\t", 0) == 0;
        totals.inDoubt += !finished && last != "done" && last != "failed" ? 1 : 0;
        bool zeros = false;
        if (!finished && random() % 2 == 0 && CutAsAPowerLossWould(journal, written, random, zeros)) {
            ++totals.powerCuts;
            totals.zeroFilled += zeros ? 1 : 0;
            how += zeros ? ", then a power cut (zeros)" : ", then a power cut";
        }
        const std::string context = "seed " + std::to_string(seed) + " (" + how + ")\njournal:\n" + written;

        if (finished) {
            ++totals.finishedFirst;
            // A batch that got to its end is undone instead, and the undo, killed at its own random
            // point, is recovered first: every file is then back where the batch left it.
            const auto renamed = Snapshot(root);
            const std::wstring undoJournal = At(L"seed " + std::to_wstring(seed) + L" undo.journal");
            const std::size_t undoTrigger = 1 + random() % (9 * steps + 3);
            if (KillAfter(L"--journal " + Quoted(undoJournal) + L" --undo " + Quoted(journal), root, undoJournal, true,
                          undoTrigger) &&
                LastLine(ReadFileBytes(undoJournal)).rfind("end\t", 0) != 0) {
                ++totals.undoesKilled;
                const ProcessRun recoverUndo = Front(L"--recover " + Quoted(undoJournal), root);
                EXPECT_EQ(recoverUndo.exitCode, 0u) << context << recoverUndo.standardOutput;
                EXPECT_EQ(Snapshot(root), renamed) << context << "undo killed after " << undoTrigger
                                                   << " journal records\nrecovery:\n" << recoverUndo.standardOutput;
                EXPECT_EQ(TemporaryFileBelow(root), L"") << context;
            }
            DeleteFileW(undoJournal.c_str());
            const ProcessRun undo = Front(L"--no-journal --undo " + Quoted(journal), root);
            EXPECT_EQ(undo.exitCode, 0u) << context << undo.standardOutput << undo.standardError;
        } else {
            const ProcessRun dryRun = Front(L"--recover --dry-run " + Quoted(journal), root);
            EXPECT_EQ(dryRun.exitCode, 0u) << context << dryRun.standardOutput << dryRun.standardError;
            std::string recovery;
            if (random() % 2 == 0) {
                // The recovery is cut short too, as often as it takes.
                for (int attempt = 0; attempt < 3; ++attempt) {
                    const std::size_t trigger = 1 + random() % (CountLines(dryRun.standardOutput) + 1);
                    if (!KillAfter(L"--recover " + Quoted(journal), root, journal, false, trigger)) {
                        break;
                    }
                    ++totals.recoveriesKilled;
                }
                const ProcessRun recover = Front(L"--recover " + Quoted(journal), root);
                EXPECT_EQ(recover.exitCode, 0u) << context << recover.standardOutput;
                recovery = recover.standardOutput;
            } else {
                const ProcessRun recover = Front(L"--recover " + Quoted(journal), root);
                EXPECT_EQ(recover.exitCode, 0u) << context << recover.standardOutput;
                // The dry run saw the disk the recovery saw, and said what it then did.
                EXPECT_EQ(AsRun(dryRun.standardOutput), recover.standardOutput) << context;
                ++totals.dryRunsCompared;
                recovery = recover.standardOutput;
            }
            totals.placeholders += recovery.find("removed placeholder") != std::string::npos ? 1 : 0;
            EXPECT_EQ(LastLine(ReadFileBytes(journal)), "end\trecovered") << context;
        }
        const auto after = Snapshot(root);
        const auto expected = WithoutRecycled(before, wholeJournal, root);
        EXPECT_EQ(after, expected) << context << "before:\n" << Describe(before) << "after:\n" << Describe(after);
        EXPECT_EQ(TemporaryFileBelow(root), L"") << context;

        // Whatever ended the batch, its journal now reads as finished, and nothing more moves.
        const ProcessRun again = Front(L"--recover " + Quoted(journal), root);
        EXPECT_EQ(again.exitCode, 0u) << context << again.standardError;
        EXPECT_NE(again.standardOutput.find("nothing to recover"), std::string::npos) << context;
        const ProcessRun undoAgain = Front(L"--no-journal --undo " + Quoted(journal), root);
        EXPECT_EQ(undoAgain.exitCode, 0u) << context << undoAgain.standardOutput << undoAgain.standardError;
        EXPECT_EQ(Snapshot(root), after) << context;
        totals.questions += static_cast<int>(answerer.Stop().size());
        if (!HasFailure()) {
            RemoveTree(root);
            DeleteFileW(journal.c_str());
            DeleteFileW(list.c_str());
        }
    }
    std::printf("%d batches: %d killed, %d with a full journal disk (%d left a step in doubt); %d power cuts (%d left "
                "zeros); %d reached the end first (the undo of %d of them killed and recovered); recoveries: %d "
                "killed and run again, %d matched their dry run line for line, %d removed a placeholder; %d questions "
                "answered\n",
                count, totals.killed, totals.diskFull, totals.inDoubt, totals.powerCuts, totals.zeroFilled,
                totals.finishedFirst, totals.undoesKilled, totals.recoveriesKilled, totals.dryRunsCompared,
                totals.placeholders, totals.questions);
}

} // namespace
