#include "rename/journal/JournalReader.h"

#include <windows.h>

#include <algorithm>
#include <iterator>
#include <map>
#include <set>

#include "platform/FindHandle.h"
#include "platform/UniqueHandle.h"
#include "rename/PathSpelling.h"
#include "rename/journal/JournalFormat.h"
#include "rename/journal/JournalRules.h"

namespace {

// Read this much at a time: a journal of a huge batch is never held whole.
constexpr DWORD chunkSize = 1 << 20;

std::vector<std::string> SplitFields(const std::string& line)
{
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (std::size_t tab = line.find('\t'); tab != std::string::npos; tab = line.find('\t', start)) {
        fields.push_back(line.substr(start, tab - start));
        start = tab + 1;
    }
    fields.push_back(line.substr(start));
    return fields;
}

bool ReadBytes(HANDLE file, long long offset, std::size_t count, std::string& bytes)
{
    LARGE_INTEGER position{};
    position.QuadPart = offset;
    bytes.assign(count, '\0');
    DWORD read = 0;
    return SetFilePointerEx(file, position, nullptr, FILE_BEGIN) &&
           (count == 0 || ReadFile(file, bytes.data(), static_cast<DWORD>(count), &read, nullptr)) && read == count;
}

// The lines of a file, read a chunk at a time, each with the offset just past its line break.
class LineSource {
public:
    explicit LineSource(HANDLE source) : file(source) {}

    // The next whole line (without its break); false at the end or on a read error (see Failed),
    // with a last line that has no break left in `rest`.
    bool Next(std::string& line, long long& endOffset)
    {
        for (;;) {
            const std::size_t lineBreak = buffer.find('\n', start);
            if (lineBreak != std::string::npos) {
                line.assign(buffer, start, lineBreak - start);
                offset += static_cast<long long>(lineBreak + 1 - start);
                start = lineBreak + 1;
                endOffset = offset;
                return true;
            }
            buffer.erase(0, start);
            start = 0;
            if (!Fill()) {
                rest = buffer;
                return false;
            }
        }
    }

    // Whether every byte not yet read as a line, from the first NUL of `line` on, is a NUL.
    bool OnlyZerosFollow(const std::string& line)
    {
        if (line.find_first_not_of('\0', line.find('\0')) != std::string::npos) {
            return false;
        }
        for (;;) {
            if (buffer.find_first_not_of('\0', start) != std::string::npos) {
                return false;
            }
            buffer.clear();
            start = 0;
            if (!Fill()) {
                return !failed;
            }
        }
    }

    bool Failed() const { return failed; }
    const std::string& Rest() const { return rest; }

private:
    bool Fill()
    {
        std::string chunk(chunkSize, '\0');
        DWORD read = 0;
        if (!ReadFile(file, chunk.data(), chunkSize, &read, nullptr)) {
            failed = true;
            return false;
        }
        if (read == 0) {
            return false;
        }
        buffer.append(chunk, 0, read);
        return true;
    }

    HANDLE file;
    std::string buffer;
    std::size_t start = 0;
    long long offset = 0;
    std::string rest;
    bool failed = false;
};

bool IsStepKind(const std::string& kind)
{
    return kind == recordTemporaryName || kind == recordMoveAside || kind == recordRename || kind == recordMoveBack ||
           kind == recordReturn || kind == recordRecycle;
}

// The plan being read: its steps, and how many of them, from the front, the journal has reached.
struct Plan {
    std::vector<JournalStep> steps;
    std::size_t reached = 0;
    bool open = false;
};

bool ParseStep(const std::vector<std::string>& fields, std::size_t first, JournalStep& step)
{
    const std::size_t count = fields.size() - first;
    if (count < 3 || count > 4 || !IsStepKind(fields[first])) {
        return false;
    }
    step.kind = fields[first];
    if (count == 4) {
        step.detail = fields[first + 3];
    }
    return FromJournalText(fields[first + 1], step.from) && FromJournalText(fields[first + 2], step.to);
}

// A step the plan holds, from the first not yet reached on (a step of a plan may be skipped):
// it and every step before it are reached, and the step takes the plan's detail if it has none.
// False when the plan does not hold it.
bool Reach(Plan& plan, JournalStep& step)
{
    // A plan holds steps of one kind: a step of another is no step of it.
    if (plan.steps.empty() || plan.steps.front().kind != step.kind) {
        return false;
    }
    for (std::size_t k = plan.reached; k < plan.steps.size(); ++k) {
        const JournalStep& planned = plan.steps[k];
        if (planned.from == step.from && planned.to == step.to) {
            plan.reached = k + 1;
            if (step.detail.empty()) {
                step.detail = planned.detail;
            }
            return true;
        }
    }
    return false;
}

// The records of one journal, line by line, and what they add up to.
class RecordParser {
public:
    explicit RecordParser(JournalContents& contents) : journal(contents) {}

    // Empty when `line` (line `number`) is a record that may stand here; otherwise why not.
    std::wstring Parse(const std::string& line, std::size_t number)
    {
        if (number == 1) {
            return line == journalHeader ? std::wstring() : L"not a rename journal";
        }
        const std::vector<std::string> fields = SplitFields(line);
        const std::string& kind = fields[0];
        if (number == 2) {
            return kind == recordBegin && IsAction(line) ? std::wstring() : L"the batch's \"begin\" record must come first";
        }
        if (journal.finished) {
            return L"a record after the end";
        }
        const bool continuesPlan = plan.open;
        plan.open = kind == recordPlan;
        if (kind == recordPlan) {
            return ParsePlanned(fields, number, continuesPlan);
        }
        if ((kind == recordDone || kind == recordFailed) && fields.size() == 1) {
            if (journal.steps.empty() || journal.steps.back().outcome != JournalStep::Outcome::Unknown) {
                return L"an outcome with no step before it";
            }
            journal.steps.back().outcome = kind == recordDone ? JournalStep::Outcome::Done : JournalStep::Outcome::Failed;
            return {};
        }
        if (kind == recordEnd && fields.size() == 2) {
            if (fields[1] != endRecovered && (fields[1].empty() || fields[1].find_first_not_of("0123456789") != std::string::npos)) {
                return L"the end holds a status or \"recovered\"";
            }
            journal.finished = true;
            journal.end = fields[1];
            return {};
        }
        JournalStep step;
        if (!ParseStep(fields, 0, step)) {
            return L"not a record";
        }
        // Every move aside is planned, with its file's identity, before the first of its group.
        if (!Reach(plan, step) && step.kind == recordMoveAside) {
            return L"a move aside no plan before it holds";
        }
        step.line = number;
        std::wstring broken = BrokenRule(step);
        if (broken.empty()) {
            journal.steps.push_back(std::move(step));
        }
        return broken;
    }

    // The folders of every move aside planned, reached or not.
    const std::set<std::wstring>& PlannedAsideFolders() const { return plannedAsideFolders; }

    // The steps of the last plan the journal does not reach come after every recorded step.
    void Finish()
    {
        const auto unreached = plan.steps.begin() + static_cast<std::ptrdiff_t>(plan.reached);
        journal.steps.insert(journal.steps.end(), std::make_move_iterator(unreached),
                             std::make_move_iterator(plan.steps.end()));
    }

private:
    static bool IsAction(const std::string& line)
    {
        const std::string rename = std::string(recordBegin) + "\trename";
        const std::string undo = std::string(recordBegin) + "\tundo\t";
        std::wstring undone;
        return line == rename ||
               (line.rfind(undo, 0) == 0 && FromJournalText(line.substr(undo.size()), undone) && IsJournalPath(undone));
    }

    std::wstring ParsePlanned(const std::vector<std::string>& fields, std::size_t number, bool continuesPlan)
    {
        JournalStep step;
        step.recorded = false;
        step.line = number;
        if (!ParseStep(fields, 1, step)) {
            return L"not a record";
        }
        std::wstring broken = BrokenRule(step);
        if (!broken.empty()) {
            return broken;
        }
        if (step.kind == recordMoveAside) {
            plannedAsideFolders.insert(CaseFolded(FolderOf(step.from)));
        }
        // A new plan, which a step of another kind starts too, ends the one before: its steps
        // not reached never will be.
        if (!continuesPlan || plan.steps.empty() || plan.steps.front().kind != step.kind) {
            plan.steps.clear();
            plan.reached = 0;
        }
        plan.steps.push_back(std::move(step));
        return {};
    }

    JournalContents& journal;
    Plan plan;
    std::set<std::wstring> plannedAsideFolders;
};

// A temporary name is asked for in the folder of a file about to move aside, which the writer
// plans before the first move of its group: a "name" record whose folder no move aside (planned,
// or taken) leaves from is not the writer's, unless it failed (the file it was for stops the
// batch before its move is planned). Those after the last recorded move aside are the batch's last
// asks, whose moves it may never have got to record, or whose plan a lost tail cut short. Empty,
// or why not and the line.
std::wstring CheckNamedFolders(const JournalContents& journal, const std::set<std::wstring>& plannedAsideFolders,
                               std::size_t& line)
{
    std::set<std::wstring> asideFolders = plannedAsideFolders;
    std::size_t lastAside = 0;
    for (std::size_t k = 0; k < journal.steps.size(); ++k) {
        const JournalStep& step = journal.steps[k];
        if (step.kind == recordMoveAside) {
            asideFolders.insert(CaseFolded(FolderOf(step.from)));
            lastAside = step.recorded ? k + 1 : lastAside;
        }
    }
    for (std::size_t k = 0; k < lastAside; ++k) {
        const JournalStep& step = journal.steps[k];
        if (step.kind != recordTemporaryName || step.outcome == JournalStep::Outcome::Failed) {
            continue;
        }
        std::wstring folder = CaseFolded(step.from);
        if (folder.size() == 3 && folder[2] == L'\\') {
            folder.pop_back();
        }
        if (asideFolders.count(folder) == 0) {
            line = step.line;
            return L"a temporary name asked for in a folder no file moves aside from";
        }
    }
    return {};
}

// What the journal knows of one entry while its steps are followed: who it is, and where the
// batch found it.
struct TracedEntry {
    std::string identity;
    std::wstring origin;
};

// The entry at `path`, or inside a folder traced at one of the folders above it, as far as the
// journal knows it. `holder` is set to the nearest folder above it that a step moved (length 0
// for none).
TracedEntry Traced(const std::map<std::wstring, TracedEntry>& entries, const std::wstring& path,
                   std::size_t& holderLength, std::string& holderIdentity)
{
    holderLength = 0;
    holderIdentity.clear();
    TracedEntry entry{{}, path};
    for (std::wstring folder = FolderOf(path); !folder.empty(); folder = FolderOf(folder)) {
        const auto above = entries.find(CaseFolded(folder));
        if (above != entries.end()) {
            holderLength = folder.size();
            holderIdentity = above->second.identity;
            entry.origin = above->second.origin.empty() ? std::wstring() : above->second.origin + path.substr(folder.size());
            break;
        }
    }
    const auto exact = entries.find(CaseFolded(path));
    if (exact != entries.end()) {
        return exact->second;
    }
    return entry;
}

// Gives each move the identity of the entry it moves, and each move aside the path its source had
// before the batch, by following the steps in order: a step that may have happened is taken to
// have, since every later step of the same entry assumes it did.
void TraceEntries(JournalContents& journal)
{
    std::map<std::wstring, TracedEntry> entries;
    for (JournalStep& step : journal.steps) {
        if (!IsMoveRecord(step.kind)) {
            continue;
        }
        TracedEntry entry = Traced(entries, step.from, step.holderLength, step.holderIdentity);
        if (step.kind == recordMoveAside) {
            entry.identity = step.detail;
            step.origin = entry.origin;
        }
        step.identity = entry.identity;
        if (step.outcome == JournalStep::Outcome::Failed || step.to.empty()) {
            continue;
        }
        // Whatever lay inside a moved folder moved with it.
        const std::wstring key = CaseFolded(step.from);
        entries.erase(key);
        std::vector<std::pair<std::wstring, TracedEntry>> inside;
        for (auto it = entries.lower_bound(key + L"\\"); it != entries.end() && IsInsideFolder(it->first, key);) {
            inside.emplace_back(CaseFolded(Rebased(it->first, key, step.to)), std::move(it->second));
            it = entries.erase(it);
        }
        for (auto& [path, moved] : inside) {
            entries[path] = std::move(moved);
        }
        entries[CaseFolded(step.to)] = std::move(entry);
    }
}

std::wstring Damaged(const std::wstring& path, std::size_t line, const std::wstring& why)
{
    return L"not a rename journal, or damaged at line " + std::to_wstring(line) + L" (" + why + L"): " + path;
}

} // namespace

bool ReadJournal(const std::wstring& path, JournalContents& journal, std::wstring& problem)
{
    journal = JournalContents();
    const UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid()) {
        problem = L"cannot read the journal " + path;
        return false;
    }
    FILETIME written{};
    if (GetFileTime(file.Get(), nullptr, nullptr, &written)) {
        journal.lastWritten = (static_cast<unsigned long long>(written.dwHighDateTime) << 32) | written.dwLowDateTime;
    }
    LineSource lines(file.Get());
    RecordParser parser(journal);
    std::string line;
    long long endOffset = 0;
    std::size_t number = 0;
    while (lines.Next(line, endOffset)) {
        ++number;
        // A power cut can leave the end of a file the system had grown but not yet written as
        // zeros: records that were never on the disk, like any other lost tail.
        if (line.find('\0') != std::string::npos) {
            if (!lines.OnlyZerosFollow(line)) {
                problem = Damaged(path, number, L"zeros before a record");
                return false;
            }
            break;
        }
        const std::wstring broken = parser.Parse(line, number);
        if (!broken.empty()) {
            problem = Damaged(path, number, broken);
            return false;
        }
        journal.intactLength = endOffset;
    }
    if (lines.Failed()) {
        problem = L"cannot read the journal " + path;
        return false;
    }
    if (number < 2) {
        problem = L"not a rename journal: " + path;
        return false;
    }
    parser.Finish();
    std::size_t badLine = 0;
    const std::wstring broken = CheckNamedFolders(journal, parser.PlannedAsideFolders(), badLine);
    if (!broken.empty()) {
        problem = Damaged(path, badLine, broken);
        return false;
    }
    TraceEntries(journal);
    return true;
}

JournalProbe ProbeJournal(const std::wstring& path)
{
    JournalProbe probe;
    // The batch that writes a journal shares it for reading only: an open that would share
    // writing is refused while it runs.
    const UniqueHandle file(
        CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid()) {
        probe.state = GetLastError() == ERROR_SHARING_VIOLATION ? JournalState::InUse : JournalState::NotAJournal;
        return probe;
    }
    LARGE_INTEGER size{};
    const std::string header = std::string(journalHeader) + "\n";
    const long long headSize = 4096;
    std::string head;
    if (!GetFileSizeEx(file.Get(), &size) || size.QuadPart < static_cast<long long>(header.size()) ||
        !ReadBytes(file.Get(), 0, static_cast<std::size_t>(std::min(size.QuadPart, headSize)), head) ||
        head.compare(0, header.size(), header) != 0) {
        return probe;
    }
    const std::string begin = std::string(recordBegin) + "\t";
    const std::size_t beginEnd = head.find('\n', header.size());
    if (beginEnd != std::string::npos && head.compare(header.size(), begin.size(), begin) == 0) {
        probe.action = head.substr(header.size() + begin.size(), beginEnd - header.size() - begin.size());
    }
    const long long tailSize = std::min<long long>(size.QuadPart, 4096);
    std::string tail;
    if (!ReadBytes(file.Get(), size.QuadPart - tailSize, static_cast<std::size_t>(tailSize), tail)) {
        return probe;
    }
    // The last whole line; an unfinished one after it, or zeros, are a lost tail.
    tail.erase(tail.find_last_not_of('\0') + 1);
    const std::size_t lastBreak = tail.rfind('\n');
    const std::size_t before = lastBreak == 0 || lastBreak == std::string::npos ? std::string::npos
                                                                                 : tail.rfind('\n', lastBreak - 1);
    const std::size_t from = before == std::string::npos ? 0 : before + 1;
    const std::string last = lastBreak == std::string::npos ? std::string() : tail.substr(from, lastBreak - from);
    const std::string end = std::string(recordEnd) + "\t";
    probe.state = last.rfind(end, 0) == 0 ? JournalState::Finished : JournalState::Unfinished;
    if (probe.state == JournalState::Finished) {
        probe.end = last.substr(end.size());
    }
    return probe;
}

std::vector<BatchFile> ReplayBatch(const JournalContents& journal)
{
    std::vector<BatchFile> files;
    // Where each file is now, by its path compared without case.
    std::map<std::wstring, std::size_t> byPath;
    for (const JournalStep& step : journal.steps) {
        if (!IsMoveRecord(step.kind) || step.outcome != JournalStep::Outcome::Done) {
            continue;
        }
        // Whatever lay inside a moved folder moved with it.
        const std::wstring key = CaseFolded(step.from);
        std::vector<std::size_t> moved;
        for (auto it = byPath.lower_bound(key + L"\\"); it != byPath.end() && IsInsideFolder(it->first, key);) {
            moved.push_back(it->second);
            it = byPath.erase(it);
        }
        for (const std::size_t i : moved) {
            files[i].finalPath = Rebased(files[i].finalPath, step.from, step.to);
            byPath[CaseFolded(files[i].finalPath)] = i;
        }
        if (step.kind == recordMoveAside) {
            files.push_back({step.from, step.to, step.detail});
            byPath[CaseFolded(step.to)] = files.size() - 1;
            continue;
        }
        const auto it = byPath.find(key);
        if (it != byPath.end()) {
            const std::size_t i = it->second;
            byPath.erase(it);
            files[i].finalPath = step.to;
            byPath[CaseFolded(step.to)] = i;
        }
    }
    return files;
}

std::vector<std::wstring> JournalsIn(const std::wstring& folder)
{
    std::vector<std::wstring> journals;
    WIN32_FIND_DATAW found{};
    const FindHandle search(FindFirstFileW((folder + L"\\*.journal").c_str(), &found));
    if (!search.IsValid()) {
        return journals;
    }
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
            journals.push_back(folder + L"\\" + found.cFileName);
        }
    } while (FindNextFileW(search.Get(), &found));
    std::sort(journals.begin(), journals.end());
    return journals;
}
