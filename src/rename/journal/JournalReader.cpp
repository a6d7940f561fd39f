#include "rename/journal/JournalReader.h"

#include <windows.h>

#include <algorithm>
#include <iterator>
#include <map>

#include "platform/FindHandle.h"
#include "platform/UniqueHandle.h"
#include "rename/PathSpelling.h"
#include "rename/journal/JournalFormat.h"

namespace {

// A batch of a million files writes a few hundred megabytes; a larger file is not a journal.
constexpr long long largestJournal = 2LL * 1024 * 1024 * 1024 - 1;

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
void Reach(Plan& plan, JournalStep& step)
{
    // A plan holds steps of one kind: a step of another is no step of it.
    if (plan.steps.empty() || plan.steps.front().kind != step.kind) {
        return;
    }
    for (std::size_t k = plan.reached; k < plan.steps.size(); ++k) {
        const JournalStep& planned = plan.steps[k];
        if (planned.from == step.from && planned.to == step.to) {
            plan.reached = k + 1;
            if (step.detail.empty()) {
                step.detail = planned.detail;
            }
            return;
        }
    }
}

bool ParseRecord(const std::string& line, JournalContents& journal, Plan& plan)
{
    const std::vector<std::string> fields = SplitFields(line);
    const std::string& kind = fields[0];
    const bool continuesPlan = plan.open;
    plan.open = kind == recordPlan;
    if (kind == recordPlan) {
        JournalStep step;
        step.recorded = false;
        if (!ParseStep(fields, 1, step)) {
            return false;
        }
        // A new plan, which a step of another kind starts too, ends the one before: its steps
        // not reached never will be.
        if (!continuesPlan || plan.steps.empty() || plan.steps.front().kind != step.kind) {
            plan.steps.clear();
            plan.reached = 0;
        }
        plan.steps.push_back(std::move(step));
        return true;
    }
    if (kind == recordBegin && fields.size() >= 2) {
        journal.action = line.substr(kind.size() + 1);
        return true;
    }
    if ((kind == recordDone || kind == recordFailed) && fields.size() == 1) {
        if (journal.steps.empty() || journal.steps.back().outcome != JournalStep::Outcome::Unknown) {
            return false;
        }
        journal.steps.back().outcome = kind == recordDone ? JournalStep::Outcome::Done : JournalStep::Outcome::Failed;
        return true;
    }
    if (kind == recordEnd && fields.size() == 2) {
        journal.finished = true;
        journal.end = fields[1];
        return true;
    }
    JournalStep step;
    if (!ParseStep(fields, 0, step)) {
        return false;
    }
    Reach(plan, step);
    journal.steps.push_back(std::move(step));
    return true;
}

} // namespace

bool ReadJournal(const std::wstring& path, JournalContents& journal, std::wstring& problem)
{
    journal = JournalContents();
    const UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    std::string bytes;
    if (!file.IsValid() || !GetFileSizeEx(file.Get(), &size) || size.QuadPart > largestJournal ||
        !ReadBytes(file.Get(), 0, static_cast<std::size_t>(size.QuadPart), bytes)) {
        problem = L"cannot read the journal " + path;
        return false;
    }
    // A power cut can leave the end of a file the system had grown but not yet written as zeros:
    // records that were never on the disk, like any other lost tail.
    bytes.erase(bytes.find_last_not_of('\0') + 1);
    std::size_t start = 0;
    std::size_t lineNumber = 0;
    Plan plan;
    for (std::size_t end = bytes.find('\n'); end != std::string::npos; end = bytes.find('\n', start)) {
        const std::string line = bytes.substr(start, end - start);
        start = end + 1;
        ++lineNumber;
        const bool parsed = lineNumber == 1 ? line == journalHeader : ParseRecord(line, journal, plan);
        if (!parsed) {
            problem = L"not a rename journal, or damaged at line " + std::to_wstring(lineNumber) + L": " + path;
            return false;
        }
    }
    if (lineNumber == 0) {
        problem = L"not a rename journal: " + path;
        return false;
    }
    // The steps of the last plan the journal does not reach come after every recorded step.
    const auto unreached = plan.steps.begin() + static_cast<std::ptrdiff_t>(plan.reached);
    journal.steps.insert(journal.steps.end(), std::make_move_iterator(unreached), std::make_move_iterator(plan.steps.end()));
    return true;
}

JournalState ProbeJournal(const std::wstring& path)
{
    // The batch that writes a journal shares it for reading only: an open that would share
    // writing is refused while it runs.
    const UniqueHandle file(
        CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid()) {
        return GetLastError() == ERROR_SHARING_VIOLATION ? JournalState::InUse : JournalState::NotAJournal;
    }
    LARGE_INTEGER size{};
    const std::string header = std::string(journalHeader) + "\n";
    std::string first;
    if (!GetFileSizeEx(file.Get(), &size) || size.QuadPart < static_cast<long long>(header.size()) ||
        !ReadBytes(file.Get(), 0, header.size(), first) || first != header) {
        return JournalState::NotAJournal;
    }
    const long long tailSize = std::min<long long>(size.QuadPart, 4096);
    std::string tail;
    if (!ReadBytes(file.Get(), size.QuadPart - tailSize, static_cast<std::size_t>(tailSize), tail)) {
        return JournalState::NotAJournal;
    }
    // The last whole line; an unfinished one after it is dropped.
    const std::size_t lastBreak = tail.rfind('\n');
    const std::size_t before = lastBreak == 0 ? std::string::npos : tail.rfind('\n', lastBreak - 1);
    const std::string last = tail.substr(before == std::string::npos ? 0 : before + 1,
                                         lastBreak - (before == std::string::npos ? 0 : before + 1));
    return last.rfind(std::string(recordEnd) + "\t", 0) == 0 ? JournalState::Finished : JournalState::Unfinished;
}

std::vector<BatchFile> ReplayBatch(const JournalContents& journal)
{
    std::vector<BatchFile> files;
    // Where each file is now, by its path compared without case.
    std::map<std::wstring, std::size_t> byPath;
    for (const JournalStep& step : journal.steps) {
        const bool moves = step.kind == recordMoveAside || step.kind == recordRename || step.kind == recordMoveBack ||
                           step.kind == recordReturn;
        if (!moves || step.outcome != JournalStep::Outcome::Done) {
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
