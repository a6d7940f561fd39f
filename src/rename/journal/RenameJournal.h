#pragma once

#include <string>
#include <vector>

#include "platform/UniqueHandle.h"
#include "rename/OperationResult.h"
#include "rename/RenameObserver.h"
#include "rename/journal/JournalFormat.h"

// Writes the journal of one batch (see JournalFormat.h) as the engine reports its steps. What a
// step is about to do is on the disk (flushed) before the step is taken, so that a batch cut off
// at any point can be put back. A run of steps the engine announces at once is written and flushed
// as one plan, and each of its steps then without a flush of its own: a flush costs far more than
// a move, and the plan already holds the step. Outcomes are written without a flush too: a
// process that dies still leaves them to the system, and after a power loss the disk itself tells
// what happened.
class RenameJournal : public RenameObserver {
public:
    RenameJournal() = default;
    ~RenameJournal() = default;

    RenameJournal(const RenameJournal&) = delete;
    RenameJournal& operator=(const RenameJournal&) = delete;

    // Creates the journal at `path` (never over an existing file) and records the start of a batch
    // of `action` ("rename", or "undo" followed by the journal it undoes). False, with `problem`
    // set, when it cannot.
    bool Create(const std::wstring& path, const std::string& action, std::wstring& problem);
    // Creates a journal named by the current time (UTC) in `folder`, which is made if missing.
    bool CreateIn(const std::wstring& folder, const std::string& action, std::wstring& problem);

    bool BeforeSteps(Step step, const std::vector<StepPaths>& steps) override;
    bool BeforeStep(Step step, const std::wstring& from, const std::wstring& to) override;
    void AfterStep(Step step, const std::wstring& from, const std::wstring& to, bool done) override;

    // Records the end of the batch with its result.
    void Finish(const OperationResult& result);

    const std::wstring& Path() const { return journalPath; }

    // For tests of a journal that cannot be written to the end: after `count` more writes, the
    // next one writes half its bytes and fails, as a disk that fills up would.
    void LimitWrites(std::size_t count) { writesLeft = count; }

private:
    bool Write(const std::string& record, bool durable);
    // "kind<TAB>from<TAB>to", with the step's detail if asked for (a name's time, a moved file's
    // identity), and the line break: a step's record, or the body of a plan record.
    std::string Record(Step step, const std::wstring& from, const std::wstring& to, bool withDetail);
    // Whether the step is the next of the plan (or a later one: a step of it may be skipped).
    bool IsPlanned(Step step, const std::wstring& from, const std::wstring& to);

    UniqueHandle file;
    std::wstring journalPath;
    // The last plan written, and how far the engine has got through it.
    Step plannedKind = Step::TemporaryName;
    std::vector<StepPaths> planned;
    std::size_t nextPlanned = 0;
    KnownVolumes volumes;
    // Writes still allowed (see LimitWrites).
    static constexpr std::size_t unlimitedWrites = static_cast<std::size_t>(-1);
    std::size_t writesLeft = unlimitedWrites;
    // Set by the first write that fails: every step after it is refused.
    bool broken = false;
};

// Appends one record to the journal at `path` (a recovery's "end"), flushed, where its last whole
// record ends (`intactLength`, see JournalContents): a lost tail after it is cut off first, or the
// record would stand where no reader looks. False when it cannot.
bool AppendJournalRecord(const std::wstring& path, long long intactLength, const std::string& record);
