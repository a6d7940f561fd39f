// Random batches with injected faults: whatever happens, no file may be lost or left where
// nobody can find it. Each batch is a random tree of real files with distinct contents; after the
// run every content must exist exactly once, in a place that the outcome allows, and the result
// must agree with the disk. Sources are spelled as people type them (relative, with "/" or "..",
// a trailing backslash, a short name, another case). A second property: without faults, the dry
// run's prediction is what the run then does. Fixed seeds, always run in full; QM_SOAK_SECONDS=N
// runs the generator for N seconds more, QM_FIRST_SEED=S starts it at seed S, QM_SEED_COUNT=N
// runs N fixed seeds instead of 120.
#include <gtest/gtest.h>

#include <windows.h>

#include <array>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "diagnostics/DiagnosticStream.h"
#include "platform/UniqueHandle.h"
#include "rename/FilesRenamer.h"
#include "rename/FilesRenamerAlphabetize.h"
#include "rename/OperationRunner.h"
#include "rename/PathSpelling.h"
#include "bulkrename/DryRun.h"
#include "rename/journal/JournalReader.h"
#include "rename/journal/RenameJournal.h"
#include "support/MessageBoxAnswerer.h"
#include "support/TestFiles.h"
#include "support/TestProcess.h"

namespace {

// ---- The model: the naming rules restated from the outside. ----

std::wstring Canon(std::wstring path)
{
    while (!path.empty() && path.back() == L'.' && path.size() > 1 && path[path.size() - 2] != L'\\') {
        path.pop_back();
    }
    if (!path.empty()) {
        CharUpperBuffW(path.data(), static_cast<DWORD>(path.size()));
    }
    return path;
}

std::wstring FolderOf(const std::wstring& path)
{
    const std::size_t slash = path.rfind(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

std::wstring LeafOf(const std::wstring& path)
{
    return path.substr(path.rfind(L'\\') + 1);
}

std::wstring ModelNewPath(const std::wstring& path, std::size_t position)
{
    std::wstring extension;
    const std::size_t dot = path.rfind(L'.');
    if (dot != std::wstring::npos) {
        extension = path.substr(dot + 1);
        for (wchar_t& unit : extension) {
            unit = (unit >= L'A' && unit <= L'Z') ? static_cast<wchar_t>(unit + 32) : unit;
        }
    }
    std::wstring newPath = FolderOf(path) + L"\\" + std::wstring(position / 26 + 1, static_cast<wchar_t>(L'A' + position % 26));
    if (!extension.empty()) {
        newPath += L"." + extension;
    }
    return newPath;
}

bool IsInside(const std::wstring& canonPath, const std::wstring& canonFolder)
{
    return canonPath.size() > canonFolder.size() && canonPath.compare(0, canonFolder.size(), canonFolder) == 0 &&
           canonPath[canonFolder.size()] == L'\\';
}

// A file or folder of the tree with a content of its own (a folder's is in its marker file).
struct Item {
    std::wstring path;
    std::string token;
    bool folder = false;
};

// Where a batch entry went in the model: moved aside at `position`, or not (missing). `path` is
// the entry's real path (the spelling the batch gave it resolved), `spelling` what the batch gave.
struct Entry {
    std::wstring path;
    std::wstring spelling;
    std::optional<std::size_t> itemIndex;
    std::optional<std::size_t> position;
    std::wstring newPath;
};

enum class Fault {
    None,
    SourceOpenBeforeProbe,
    SourceOpenAfterProbe,
    DestinationTaken,
    TemporaryNameHeldOpen,
    ComputeFails,
    ComputeDeclines,
    ComputeNamesTooFew,
};

const char* FaultName(Fault fault)
{
    switch (fault) {
    case Fault::None: return "none";
    case Fault::SourceOpenBeforeProbe: return "source open before the probe";
    case Fault::SourceOpenAfterProbe: return "source opened after the probe";
    case Fault::DestinationTaken: return "destination taken after the check";
    case Fault::TemporaryNameHeldOpen: return "temporary name held open";
    case Fault::ComputeFails: return "naming step fails";
    case Fault::ComputeDeclines: return "naming step declines";
    case Fault::ComputeNamesTooFew: return "naming step names too few";
    }
    return "?";
}

// A stream buffer that keeps what the engine writes and lets a test act on a line as it is
// written (the engine is synchronous, so the action runs between two of its steps).
class TriggerBuffer : public std::wstreambuf {
public:
    std::wstring text;
    std::function<void(const std::wstring& line)> onLine;

protected:
    int_type overflow(int_type unit) override
    {
        if (unit != traits_type::eof()) {
            text.push_back(traits_type::to_char_type(unit));
            if (unit == L'\n') {
                const std::size_t start = text.rfind(L'\n', text.size() - 2);
                const std::wstring line = text.substr(start == std::wstring::npos ? 0 : start + 1);
                if (onLine) {
                    onLine(line);
                }
            }
        }
        return unit;
    }
};

// Gives the model's names, then fails in the way it was told to.
class FailingRenamer : public FilesRenamer {
public:
    FailingRenamer(const PathList& paths, Fault failure) : FilesRenamer(nullptr, paths), fault(failure) {}

private:
    std::int32_t ComputeNewNames() override
    {
        for (std::size_t i = 0; i < oldNames.size(); ++i) {
            if (fault == Fault::ComputeNamesTooFew && i + 1 == oldNames.size()) {
                break;
            }
            newNames.push_back(ModelNewPath(oldNames[i], i));
        }
        return fault == Fault::ComputeFails ? -1 : fault == Fault::ComputeDeclines ? -2 : 0;
    }

    Fault fault;
};

struct Totals {
    int batches = 0;
    int filesMoved = 0;
    int faults = 0;
    int lost = 0;
    std::map<std::string, int> byFault;
};

class RandomBatch {
public:
    RandomBatch(unsigned batchSeed, Totals& runTotals) : seed(batchSeed), random(batchSeed), totals(runTotals) {}

    // A failure of the generator itself (a file it cannot make) names its seed too.
    void Guarded(void (RandomBatch::*run)())
    {
        try {
            (this->*run)();
        } catch (const std::exception& exception) {
            ADD_FAILURE() << "seed " << seed << ": " << exception.what();
        }
    }

    void Run()
    {
        SCOPED_TRACE("seed " + std::to_string(seed));
        Prepare();
        ChooseFault();
        SCOPED_TRACE(std::string("fault: ") + FaultName(fault) + (throughProgram ? ", through the program" : ""));
        Execute();
        ReleaseHandles();
        Check();
        KeepOutputOfAFailure();
        ++totals.batches;
        ++totals.byFault[FaultName(fault)];
        totals.faults += fault == Fault::None ? 0 : 1;
    }

    // Without faults: the dry run's prediction, then the run on the same tree, must agree on
    // every file, the question, the recycled paths and the result.
    void RunPredicted()
    {
        SCOPED_TRACE("seed " + std::to_string(seed) + ", prediction");
        Prepare();
        answer = Chance(0.5) ? IDYES : IDNO;
        const std::vector<const Entry*> moved = MovedEntries();
        if (!moved.empty() && Chance(0.15)) {
            const Entry* held = Pick(moved);
            if (!items[*held->itemIndex].folder) {
                HoldOpen(held->path);
            }
        }
        RenamePrediction prediction;
        {
            const InCurrentFolder inRoot(root);
            prediction = PredictRename(batch);
        }
        Execute();
        ReleaseHandles();
        Check();
        CheckPrediction(prediction);
        KeepOutputOfAFailure();
        ++totals.batches;
    }

private:
    // Relative spellings are relative to the batch's root, in the test and in the program alike.
    class InCurrentFolder {
    public:
        explicit InCurrentFolder(const std::wstring& folder)
        {
            previous.resize(MAX_PATH);
            previous.resize(GetCurrentDirectoryW(MAX_PATH, previous.data()));
            SetCurrentDirectoryW(folder.c_str());
        }
        ~InCurrentFolder() { SetCurrentDirectoryW(previous.c_str()); }
        InCurrentFolder(const InCurrentFolder&) = delete;
        InCurrentFolder& operator=(const InCurrentFolder&) = delete;

    private:
        std::wstring previous;
    };

    void Prepare()
    {
        root = MakeScratchFolder(L"random batch");
        ClearTrash();
        BuildTree();
        BuildBatch();
        PlanModel();
        AddOutsideFilesAtNewPaths();
    }

    // A failure keeps what the engine or the program wrote, with the seed above it.
    void KeepOutputOfAFailure() const
    {
        if (::testing::Test::HasFailure()) {
            std::cout << "seed " << seed << ", fault " << FaultName(fault) << ", exit code " << exitCode
                      << "\n--- standard output\n" << ToUtf8(output) << "--- standard error\n" << errors
                      << "---\n";
        }
    }

    template <typename T>
    const T& Pick(const std::vector<T>& values)
    {
        return values[std::uniform_int_distribution<std::size_t>(0, values.size() - 1)(random)];
    }

    bool Chance(double probability) { return std::bernoulli_distribution(probability)(random); }

    std::string NewToken() { return "T" + std::to_string(seed) + "-" + std::to_string(items.size()); }

    void AddFile(const std::wstring& path)
    {
        Item item{path, NewToken(), false};
        WriteFileBytes(path, item.token);
        items.push_back(item);
    }

    void AddFolder(const std::wstring& path)
    {
        Item item{path, NewToken(), true};
        CreateFolder(path);
        WriteFileBytes(path + L"\\inside.dat", item.token);
        items.push_back(item);
    }

    void FillFolder(const std::wstring& folder, int files)
    {
        static const std::vector<std::wstring> bases = {
            L"a", L"B", L"Caf\u00e9", L"na\u00efve", L"x.y", L"\u00fcn\u00efc\u00f6d\u00e9", L"\U0001F600 smile",
            L"A", L"BB", L"C", L"report", L"data.tar", L"\u0130stanbul", L"AA"};
        static const std::vector<std::wstring> extensions = {L".txt", L".TXT", L".Jpg", L"", L".tar.GZ", L".\u00c4",
                                                             L".jpg"};
        std::set<std::wstring> used;
        for (int i = 0; i < files; ++i) {
            const std::wstring name = Pick(bases) + Pick(extensions);
            if (used.insert(Canon(name)).second && name != L"inside.dat") {
                AddFile(folder + L"\\" + name);
            }
        }
    }

    void BuildTree()
    {
        static const std::vector<std::wstring> folderNames = {L"F\u00fcr", L"data", L"Ordner.\u00e4", L"x.y",
                                                              L"\u211d\u2211 set", L"P"};
        const int folderCount = std::uniform_int_distribution<int>(1, 3)(random);
        std::set<std::wstring> used;
        for (int f = 0; f < folderCount; ++f) {
            const std::wstring name = Pick(folderNames);
            if (!used.insert(name).second) {
                continue;
            }
            const std::wstring folder = root + L"\\" + name;
            AddFolder(folder);
            FillFolder(folder, std::uniform_int_distribution<int>(1, 7)(random));
            if (Chance(0.4)) {
                // A folder named like a new name may stand where a file of the batch is to go,
                // holding files of the batch itself.
                const std::wstring letter = folder + L"\\C";
                const std::wstring sub = Chance(0.5) && !PathExists(letter) ? letter : folder + L"\\Photos.2009";
                AddFolder(sub);
                FillFolder(sub, std::uniform_int_distribution<int>(0, 2)(random));
                if (Chance(0.5)) {
                    // A third level, named without a dot, as is a folder of letters.
                    AddFolder(sub + L"\\Q");
                    FillFolder(sub + L"\\Q", std::uniform_int_distribution<int>(1, 3)(random));
                }
            }
        }
        if (Chance(0.35)) {
            // A second way to one of the folders (a link; a junction or a substituted drive on
            // Windows): the batch may name what lies in it either way.
            std::vector<std::wstring> folders;
            for (const Item& item : items) {
                if (item.folder) {
                    folders.push_back(item.path);
                }
            }
            aliasTarget = Pick(folders);
            if (!MakeFolderLink(root + L"\\Alias", aliasTarget)) {
                throw std::runtime_error("cannot make a link to a folder");
            }
        }
    }

    // A spelling of `path` (an entry of the tree) that resolves to it.
    std::wstring Spelled(const std::wstring& path, bool folder)
    {
        const std::wstring relative = path.substr(root.size() + 1);
        switch (std::uniform_int_distribution<int>(0, 9)(random)) {
        case 0: {
            std::wstring slashed = path;
            slashed[slashed.rfind(L'\\')] = L'/';
            return slashed;
        }
        case 1: return relative;
        case 2: {
            const std::size_t slash = relative.find(L'\\');
            return slash == std::wstring::npos ? L".\\" + relative
                                               : L".\\" + relative.substr(0, slash) + L"\\..\\" + relative;
        }
        case 3: return folder ? path + L"\\" : path;
        case 4: {
            std::array<wchar_t, MAX_PATH> shortPath{};
            const DWORD length = GetShortPathNameW(path.c_str(), shortPath.data(), MAX_PATH);
            return length == 0 || length >= MAX_PATH ? path : std::wstring(shortPath.data(), length);
        }
        case 5: {
            // Only A-Z: the file system's comparison does not undo every case mapping ("I" is not
            // the upper case of the "i" that lower-casing "\u0130" gives).
            std::wstring mixed = path;
            for (std::size_t i = root.size(); i < mixed.size(); ++i) {
                wchar_t& unit = mixed[i];
                const bool letter = (unit >= L'a' && unit <= L'z') || (unit >= L'A' && unit <= L'Z');
                if (letter && Chance(0.5)) {
                    unit = static_cast<wchar_t>(unit ^ 0x20);
                }
            }
            return mixed;
        }
        case 6:
            if (!aliasTarget.empty() && IsInside(Canon(path), Canon(aliasTarget))) {
                return root + L"\\Alias" + path.substr(aliasTarget.size());
            }
            return path;
        default: return path;
        }
    }

    void BuildBatch()
    {
        std::vector<std::size_t> chosen;
        for (std::size_t i = 0; i < items.size(); ++i) {
            // Top folders join less often: they take everything below them along.
            const bool topFolder = items[i].folder && FolderOf(items[i].path) == root;
            if (Chance(topFolder ? 0.15 : 0.7)) {
                chosen.push_back(i);
            }
        }
        std::shuffle(chosen.begin(), chosen.end(), random);
        for (const std::size_t i : chosen) {
            batchItems.emplace_back(i);
            batch.push_back(Spelled(items[i].path, items[i].folder));
        }
        const int extras = std::uniform_int_distribution<int>(0, 3)(random);
        for (int e = 0; e < extras && !chosen.empty(); ++e) {
            const std::size_t at = std::uniform_int_distribution<std::size_t>(0, batch.size())(random);
            const std::size_t some = Pick(chosen);
            std::wstring extra;
            std::optional<std::size_t> item = some;
            switch (std::uniform_int_distribution<int>(0, 3)(random)) {
            case 0:
                extra = FolderOf(items[some].path) + L"\\missing " + std::to_wstring(e) + L".txt";
                item.reset();
                break;
            case 1: extra = items[some].path; break;
            case 2: {
                extra = items[some].path;
                CharUpperBuffW(extra.data(), static_cast<DWORD>(extra.size()));
                break;
            }
            default: extra = items[some].path + L"."; break;
            }
            batch.insert(batch.begin() + static_cast<std::ptrdiff_t>(at), extra);
            batchItems.insert(batchItems.begin() + static_cast<std::ptrdiff_t>(at), item);
        }
    }

    // Which entries move, at which position, and where they would end on success.
    void PlanModel()
    {
        std::vector<std::wstring> movedCanon;
        std::size_t position = 0;
        for (std::size_t b = 0; b < batch.size(); ++b) {
            const std::optional<std::size_t> item = batchItems[b];
            Entry entry{item ? items[*item].path : batch[b], batch[b], item, std::nullopt, L""};
            const std::wstring canon = Canon(entry.path);
            bool present = item.has_value();
            for (const std::wstring& moved : movedCanon) {
                if (canon == moved || IsInside(canon, moved)) {
                    present = false;
                }
            }
            if (present) {
                entry.position = position;
                entry.newPath = ModelNewPath(entry.path, position++);
                movedCanon.push_back(canon);
            }
            entries.push_back(entry);
        }
    }

    void AddOutsideFilesAtNewPaths()
    {
        for (const Entry& entry : entries) {
            if (entry.position && Chance(0.25) && !PathExists(entry.newPath) && IsFolder(FolderOf(entry.newPath))) {
                AddFile(entry.newPath);
            }
        }
    }

    std::vector<const Entry*> MovedEntries() const
    {
        std::vector<const Entry*> moved;
        for (const Entry& entry : entries) {
            if (entry.position) {
                moved.push_back(&entry);
            }
        }
        return moved;
    }

    void ChooseFault()
    {
        const std::vector<Fault> faults = {Fault::None,          Fault::None,
                                           Fault::SourceOpenBeforeProbe, Fault::SourceOpenAfterProbe,
                                           Fault::DestinationTaken,      Fault::TemporaryNameHeldOpen,
                                           Fault::ComputeFails,          Fault::ComputeDeclines,
                                           Fault::ComputeNamesTooFew};
        fault = Pick(faults);
        answer = Chance(0.5) ? IDYES : IDNO;
        if (fault == Fault::DestinationTaken) {
            // The new path is taken once every check is done, when the first file has already
            // taken its own new name: the victim is a later file whose folder stays where it is.
            const std::vector<const Entry*> moved = MovedEntries();
            std::vector<const Entry*> candidates;
            for (std::size_t m = 1; m < moved.size(); ++m) {
                if (!InsideAMovedFolder(moved[m]->path)) {
                    candidates.push_back(moved[m]);
                }
            }
            if (candidates.empty()) {
                fault = Fault::None;
            } else {
                victim = Pick(candidates);
            }
        }
        // Some batches run in a real QuillmossRename.exe, so the bytes it writes can be checked.
        // (The program refuses an empty list as bad usage.)
        throughProgram = (fault == Fault::None || fault == Fault::SourceOpenBeforeProbe) && Chance(0.5) && !batch.empty();
    }

    void HoldOpen(const std::wstring& path)
    {
        handles.push_back(std::make_unique<UniqueHandle>(CreateFileW(
            path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr)));
    }

    void ReleaseHandles() { handles.clear(); }

    void ArmTrigger(TriggerBuffer& buffer)
    {
        const std::vector<const Entry*> moved = MovedEntries();
        if (fault == Fault::SourceOpenAfterProbe && moved.size() >= 2) {
            // After the first file moved aside, the next one is opened: its move fails.
            const std::wstring next = moved[1]->path;
            buffer.onLine = [this, next, fired = false](const std::wstring& line) mutable {
                if (!fired && line == L"RenameFileOrFolder Success!\n") {
                    fired = true;
                    HoldOpen(next);
                }
            };
        }
        if (fault == Fault::DestinationTaken) {
            // The naming step writes a look-up line for each file and checks its new path right
            // after it; the first other line comes once every check is done.
            buffer.onLine = [this, naming = false, fired = false](const std::wstring& line) mutable {
                const bool lookUp = line.rfind(L"FileMachine: FindFirstFile failed for ", 0) == 0;
                if (!fired && naming && !lookUp) {
                    fired = true;
                    CreateDirectoryW(victim->newPath.c_str(), nullptr);
                }
                naming = naming || lookUp;
            };
        }
        if (fault == Fault::TemporaryNameHeldOpen && !moved.empty()) {
            const Entry* held = Pick(moved);
            buffer.onLine = [this, held, fired = false](const std::wstring& line) mutable {
                if (fired || line.rfind(L"FileMachine: FindFirstFile failed for ", 0) != 0) {
                    return;
                }
                fired = true;
                for (const std::wstring& name : TemporaryFilesIn(FolderOf(held->path))) {
                    HoldOpen(FolderOf(held->path) + L"\\" + name);
                    break;
                }
            };
        }
    }

    void Execute()
    {
        if (fault == Fault::SourceOpenBeforeProbe) {
            const std::vector<const Entry*> moved = MovedEntries();
            if (!moved.empty()) {
                const Entry* held = Pick(moved);
                if (!items[*held->itemIndex].folder) {
                    HoldOpen(held->path);
                }
            }
        }
        MessageBoxAnswerer answerer(answer);
        const InCurrentFolder inRoot(root);
        if (throughProgram) {
            const std::wstring list = MakeTemporaryFilePath(L"list");
            std::wstring text;
            for (const std::wstring& path : batch) {
                text += path + L"\n";
            }
            WriteFileBytes(list, ToUtf8(text));
            const std::wstring program = ProgramFolder() + L"\\QuillmossRename.exe";
            const ProcessRun run = RunProcess(program, Quoted(program) + L" --list " + Quoted(list), root);
            DeleteFileW(list.c_str());
            output = FromUtf8(run.standardOutput);
            errors = run.standardError;
            exitCode = run.exitCode;
            CheckBytes(run.standardOutput);
            ParseSummary(run.standardError);
            EXPECT_EQ(run.exitCode, static_cast<DWORD>(result.statusCode));
        } else {
            // Most batches run as people get them, with a journal; it must change nothing the
            // batch does, and read back as a finished journal.
            const std::wstring journalPath = MakeTemporaryFilePath(L"random journal");
            struct Removed {
                const std::wstring& path;
                ~Removed() { DeleteFileW(path.c_str()); }
            } removeTheJournal{journalPath};
            RenameJournal journal;
            std::wstring problem;
            const bool journaled = Chance(0.7) && journal.Create(journalPath, "rename", problem);
            TriggerBuffer buffer;
            ArmTrigger(buffer);
            std::wstreambuf* previous = DiagnosticStream().rdbuf(&buffer);
            if (fault == Fault::ComputeFails || fault == Fault::ComputeDeclines || fault == Fault::ComputeNamesTooFew) {
                FailingRenamer renamer(batch, fault);
                if (journaled) {
                    renamer.Observe(journal);
                }
                renamer.Rename(result);
            } else {
                OperationRunner runner;
                PathList paths = batch;
                if (journaled) {
                    runner.Alphabetize(result, paths, journal);
                } else {
                    runner.Alphabetize(result, paths);
                }
            }
            DiagnosticStream().rdbuf(previous);
            if (journaled) {
                journal.Finish(result);
                JournalContents contents;
                EXPECT_TRUE(ReadJournal(journalPath, contents, problem) && contents.finished)
                    << "the batch's journal: " << ToUtf8(problem);
            }
            output.clear();
            for (const wchar_t unit : buffer.text) {
                output.push_back(unit);
            }
            output = FromUtf8(std::string(output.begin(), output.end()));
        }
        boxesAnswered = answerer.Stop().size();
    }

    static void CheckBytes(const std::string& bytes)
    {
        if (!bytes.empty()) {
            EXPECT_GT(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()),
                                          nullptr, 0),
                      0)
                << "the diagnostic output is not valid UTF-8";
        }
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            if (bytes[i] == '\n') {
                EXPECT_TRUE(i > 0 && bytes[i - 1] == '\r') << "a line feed without a carriage return";
            } else if (bytes[i] == '\r') {
                EXPECT_TRUE(i + 1 < bytes.size() && bytes[i + 1] == '\n') << "a lone carriage return";
            }
        }
        EXPECT_TRUE(bytes.empty() || bytes.back() == '\n') << "the last line is not ended";
    }

    void ParseSummary(const std::string& summary)
    {
        int status = -1;
        int operation = -1;
        int succeeded = -1;
        int failed = -1;
        char name[64] = {};
        ASSERT_EQ(std::sscanf(summary.c_str(), "status=%d %63s operation=%d succeeded=%d failed=%d", &status, name,
                              &operation, &succeeded, &failed),
                  5)
            << "no summary line from the program (seed " << seed << ", exit code " << exitCode << "): " << summary;
        result.statusCode = status;
        result.operationCode = operation;
        result.succeededCount = succeeded;
        result.failedCount = failed;
    }

    // Where each content is now: in the tree below the root, or in the recycle bin.
    void Survey(const std::wstring& folder, bool inTrash, std::map<std::string, std::vector<std::wstring>>& found,
                std::vector<std::wstring>& trashFound) const
    {
        for (const std::wstring& name : ListFolder(folder)) {
            const std::wstring path = folder + L"\\" + name;
            if (IsLink(path) || path == root + L"\\Alias") {
                // The folder it leads to is surveyed itself; once that folder has moved, a file
                // of the batch may take its name, and the link leads to that file.
                continue;
            }
            if (IsFolder(path)) {
                Survey(path, inTrash, found, trashFound);
                continue;
            }
            const std::string content = ReadFileBytes(path);
            if (content.rfind("T" + std::to_string(seed) + "-", 0) != 0) {
                continue;
            }
            const std::wstring where = name == L"inside.dat" ? folder : path;
            found[content].push_back(where);
            if (inTrash) {
                trashFound.push_back(where);
            }
        }
    }

    // Paths are compared as the file system does, without case.
    bool NamedByALine(const std::wstring& path) const
    {
        return Canon(output).find(Canon(path)) != std::wstring::npos;
    }

    // A folder of the batch that could go neither forward nor back keeps its contents: they are
    // found through the line that names the folder.
    bool InsideANamedTemporaryFolder(const std::wstring& place) const
    {
        for (std::wstring folder = FolderOf(place); folder.size() > root.size(); folder = FolderOf(folder)) {
            const std::wstring leaf = LeafOf(folder);
            if (CompareStringOrdinal(leaf.c_str(), 3, L"qms", 3, TRUE) == CSTR_EQUAL && NamedByALine(folder)) {
                return true;
            }
        }
        return false;
    }

    bool InsideAMovedFolder(const std::wstring& path) const
    {
        for (const Entry& entry : entries) {
            if (entry.position && IsInside(Canon(path), Canon(entry.path))) {
                return true;
            }
        }
        return false;
    }

    // The places a path may be in after the run: its moved ancestors may have ended under their
    // old or new names.
    std::set<std::wstring> Resolve(const std::wstring& folder, const std::wstring& leaf) const
    {
        std::set<std::wstring> places{Canon(folder + L"\\" + leaf)};
        for (const Entry& entry : entries) {
            if (entry.position && IsInside(Canon(folder + L"\\" + leaf), Canon(entry.path))) {
                // The entry may name its folder with a trailing dot: measure the path without it.
                const std::wstring rest = (folder + L"\\" + leaf).substr(Canon(entry.path).size());
                for (const std::wstring& base : Resolve(FolderOf(entry.newPath), LeafOf(entry.newPath))) {
                    places.insert(base + Canon(rest));
                }
            }
        }
        return places;
    }

    void Check()
    {
        std::map<std::string, std::vector<std::wstring>> found;
        std::vector<std::wstring> trashFound;
        Survey(root, false, found, trashFound);
        Survey(TrashFilesFolder(), true, found, trashFound);
        const bool agreed = boxesAnswered > 0 && answer == IDYES;

        std::map<std::size_t, const Entry*> movedByItem;
        for (const Entry& entry : entries) {
            if (entry.position) {
                movedByItem[*entry.itemIndex] = &entry;
            }
        }

        // A file whose new name is its old one (A.txt first in the batch) is at both: the disk
        // cannot tell whether it was renamed, so such files bound the count from above only.
        int atNewName = 0;
        int atBoth = 0;
        for (std::size_t i = 0; i < items.size(); ++i) {
            const Item& item = items[i];
            const std::vector<std::wstring>& places = found[item.token];
            if (places.size() != 1) {
                ++totals.lost;
                ADD_FAILURE() << "content " << item.token << " of " << ToUtf8(item.path) << " found "
                              << places.size() << " times (fault: " << FaultName(fault) << ", seed " << seed << ")";
                continue;
            }
            const std::wstring& place = places[0];
            const std::wstring canonPlace = Canon(place);
            const bool inTrash = std::find(trashFound.begin(), trashFound.end(), place) != trashFound.end();
            if (inTrash) {
                EXPECT_TRUE(agreed) << ToUtf8(item.path) << " went to the recycle bin without a Yes";
                continue;
            }
            std::set<std::wstring> allowed = Resolve(FolderOf(item.path), LeafOf(item.path));
            const auto moved = movedByItem.find(i);
            if (moved != movedByItem.end()) {
                const std::set<std::wstring> renamed =
                    Resolve(FolderOf(moved->second->newPath), LeafOf(moved->second->newPath));
                if (renamed.count(canonPlace) != 0) {
                    ++(allowed.count(canonPlace) != 0 ? atBoth : atNewName);
                    continue;
                }
                const std::wstring leaf = LeafOf(place);
                if (CompareStringOrdinal(leaf.c_str(), 3, L"qms", 3, TRUE) == CSTR_EQUAL) {
                    EXPECT_TRUE(NamedByALine(place)) << "left under " << ToUtf8(place) << " with no line naming it"
                                                     << " (fault: " << FaultName(fault) << ", seed " << seed << ")";
                    continue;
                }
            }
            if (InsideANamedTemporaryFolder(place)) {
                // Inside a folder that could go neither forward nor back: renamed where it lies,
                // back under its old name, or both when the two names are one.
                if (moved != movedByItem.end() && Canon(LeafOf(place)) == Canon(LeafOf(moved->second->newPath))) {
                    ++(Canon(LeafOf(place)) == Canon(LeafOf(item.path)) ? atBoth : atNewName);
                }
                continue;
            }
            EXPECT_EQ(allowed.count(canonPlace), 1u)
                << ToUtf8(item.path) << " ended at " << ToUtf8(place) << " (fault: " << FaultName(fault)
                << ", seed " << seed << ")";
        }
        totals.filesMoved += atNewName;

        // The result agrees with the disk.
        const int sources = static_cast<int>(batch.size());
        switch (result.statusCode) {
        case 0:
            EXPECT_EQ(result.succeededCount, sources);
            EXPECT_EQ(result.failedCount, 0);
            EXPECT_EQ(atNewName + atBoth, static_cast<int>(MovedEntries().size()));
            break;
        case 3:
            EXPECT_EQ(result.succeededCount + result.failedCount, sources);
            EXPECT_GE(result.succeededCount, atNewName);
            EXPECT_LE(result.succeededCount, atNewName + atBoth);
            if (fault == Fault::DestinationTaken) {
                EXPECT_GE(result.failedCount, 1) << "the taken destination did not make a rename fail";
            }
            break;
        case 1:
        case 4:
        case 6:
            EXPECT_EQ(atNewName, 0) << "status " << result.statusCode << ", seed " << seed;
            EXPECT_EQ(result.succeededCount, 0);
            break;
        default: ADD_FAILURE() << "status " << result.statusCode;
        }
        EXPECT_EQ(result.operationCode, 12);

        // No temporary name anywhere without a line naming it.
        std::function<void(const std::wstring&)> scan = [&](const std::wstring& folder) {
            for (const std::wstring& name : TemporaryFilesIn(folder)) {
                EXPECT_TRUE(NamedByALine(folder + L"\\" + name)) << "unnamed " << ToUtf8(folder + L"\\" + name);
            }
            for (const std::wstring& name : ListFolder(folder)) {
                if (IsFolder(folder + L"\\" + name) && !IsLink(folder + L"\\" + name) &&
                    folder + L"\\" + name != root + L"\\Alias") {
                    scan(folder + L"\\" + name);
                }
            }
        };
        scan(root);
    }

    void CheckPrediction(const RenamePrediction& prediction)
    {
        EXPECT_TRUE(prediction.unplaced.empty() && prediction.cannotMoveAside.empty());
        EXPECT_EQ(boxesAnswered > 0, !prediction.taken.empty());
        const OperationResult& expected =
            prediction.taken.empty() || answer == IDYES ? prediction.result : prediction.declined;
        EXPECT_EQ(result.statusCode, expected.statusCode);
        EXPECT_EQ(result.message, expected.message);
        EXPECT_EQ(result.succeededCount, expected.succeededCount);
        EXPECT_EQ(result.failedCount, expected.failedCount);
        if (!prediction.open.empty()) {
            EXPECT_EQ(result.statusCode, FilesOpen);
            return;
        }

        std::map<std::string, std::vector<std::wstring>> found;
        std::vector<std::wstring> trashFound;
        Survey(root, false, found, trashFound);
        const bool renaming = expected.statusCode == Succeeded || expected.statusCode == SomeFilesFailed;
        ASSERT_EQ(prediction.files.size(), batch.size());
        for (std::size_t b = 0; b < batch.size(); ++b) {
            const RenamePrediction::File& file = prediction.files[b];
            if (file.fate == RenamePrediction::Fate::Missing) {
                EXPECT_NE(output.find(L"1. File doesn't exist: " + batch[b] + L"\n"), std::wstring::npos)
                    << "predicted missing: " << ToUtf8(batch[b]);
                continue;
            }
            const std::vector<std::wstring>& places = found[items[*batchItems[b]].token];
            ASSERT_EQ(places.size(), 1u) << ToUtf8(batch[b]);
            const std::wstring expectedPlace = renaming ? file.finalPath : items[*batchItems[b]].path;
            EXPECT_EQ(Canon(places[0]), Canon(expectedPlace))
                << ToUtf8(batch[b]) << (file.fate == RenamePrediction::Fate::Refused ? " (refused)" : "");
        }
        // What stood at each taken path went to the recycle bin after Yes, and stayed after No.
        Survey(TrashFilesFolder(), true, found, trashFound);
        for (const std::wstring& taken : prediction.taken) {
            std::string token;
            for (const Item& item : items) {
                token = Canon(item.path) == Canon(taken) ? item.token : token;
            }
            ASSERT_FALSE(token.empty()) << "nothing of the tree stood at the taken path " << ToUtf8(taken);
            ASSERT_EQ(found[token].size(), 1u) << ToUtf8(taken);
            const bool recycled =
                std::find(trashFound.begin(), trashFound.end(), found[token][0]) != trashFound.end();
            EXPECT_EQ(recycled, answer == IDYES) << "taken: " << ToUtf8(taken);
        }
        EXPECT_EQ(trashFound.size(), answer == IDYES ? prediction.taken.size() : 0u);
    }

    unsigned seed;
    std::mt19937 random;
    Totals& totals;
    std::wstring root;
    std::vector<Item> items;
    // The folder that root\\Alias leads to, when the tree has that link.
    std::wstring aliasTarget;
    PathList batch;
    std::vector<Entry> entries;
    Fault fault = Fault::None;
    int answer = IDNO;
    bool throughProgram = false;
    std::size_t boxesAnswered = 0;
    std::vector<std::unique_ptr<UniqueHandle>> handles;
    std::vector<std::optional<std::size_t>> batchItems;
    const Entry* victim = nullptr;
    OperationResult result;
    std::wstring output;
    std::string errors;
    DWORD exitCode = 0;
};

unsigned SeedCount()
{
    const char* count = std::getenv("QM_SEED_COUNT");
    return count != nullptr ? static_cast<unsigned>(std::atoi(count)) : 120u;
}

TEST(RandomBatches, NoSequenceOfEventsLosesAFile)
{
    Totals totals;
    const auto start = std::chrono::steady_clock::now();
    const char* soak = std::getenv("QM_SOAK_SECONDS");
    const int soakSeconds = soak != nullptr ? std::atoi(soak) : 0;
    const char* firstSeed = std::getenv("QM_FIRST_SEED");
    const unsigned first = firstSeed != nullptr ? static_cast<unsigned>(std::atoi(firstSeed)) : 1;
    unsigned seed = first;
    for (;; ++seed) {
        const auto elapsed = std::chrono::steady_clock::now() - start;
        const bool fixedDone = seed >= first + SeedCount();
        if (fixedDone && elapsed > std::chrono::seconds(soakSeconds)) {
            break;
        }
        RandomBatch(seed, totals).Guarded(&RandomBatch::Run);
        if (::testing::Test::HasFailure()) {
            break;
        }
    }
    std::cout << "random batches: " << totals.batches << " batches, " << totals.filesMoved
              << " files renamed, " << totals.faults << " faults injected, " << totals.lost << " files lost\n";
    for (const auto& [name, count] : totals.byFault) {
        std::cout << "  " << name << ": " << count << "\n";
    }
    EXPECT_EQ(totals.lost, 0);
}

TEST(RandomBatches, TheDryRunPredictsTheRun)
{
    Totals totals;
    const char* firstSeed = std::getenv("QM_FIRST_SEED");
    const unsigned first = firstSeed != nullptr ? static_cast<unsigned>(std::atoi(firstSeed)) : 1;
    const char* soak = std::getenv("QM_SOAK_SECONDS");
    const auto soakTime = std::chrono::seconds(soak != nullptr ? std::atoi(soak) : 0);
    const auto start = std::chrono::steady_clock::now();
    for (unsigned seed = first; seed < first + SeedCount() || std::chrono::steady_clock::now() - start < soakTime;
         ++seed) {
        RandomBatch(seed, totals).Guarded(&RandomBatch::RunPredicted);
        if (::testing::Test::HasFailure()) {
            break;
        }
    }
    std::cout << "predicted batches: " << totals.batches << "\n";
}

} // namespace
