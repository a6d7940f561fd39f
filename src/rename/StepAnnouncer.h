#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "rename/RenameObserver.h"

// Tells the observer of a batch, when there is one, of each step that moves something before it
// is taken and of its outcome after, and of runs of steps known in advance, at most `stepsPerRun`
// at a time so that a record of a run stays small however large the batch. Without an observer it
// does nothing at all and every step may be taken. It reads the renamer's lists of the moved files
// (each position one file: where it lies, where it goes, where it came from) as they are then.
class StepAnnouncer {
public:
    static constexpr std::size_t stepsPerRun = 1024;

    StepAnnouncer(const std::vector<std::wstring>& temporaryPaths, const std::vector<std::wstring>& newPaths,
                  const std::vector<std::wstring>& oldPaths)
        : temporaryNames(temporaryPaths), newNames(newPaths), oldNames(oldPaths)
    {
    }

    void Attach(RenameObserver& stepObserver) { observer = &stepObserver; }
    bool Observed() const { return observer != nullptr; }

    // A step about to be taken: false when it must not be, since it could not be recorded (with a
    // line saying so). A step that puts a file back is taken whether or not it could be recorded.
    bool Announce(RenameObserver::Step step, const std::wstring& from, const std::wstring& to) const;
    // A run of steps about to be taken in order: false, with the same line, when none may be.
    bool AnnounceRun(RenameObserver::Step step, const std::vector<RenameObserver::StepPaths>& steps) const;
    void Report(RenameObserver::Step step, const std::wstring& from, const std::wstring& to, bool done) const;

    // The run of renames from file `first` on, each to the path it may take (`targets(i)`): false
    // when none may be taken.
    template <typename Targets>
    bool AnnounceRenames(std::size_t first, Targets targets) const
    {
        if (observer == nullptr) {
            return true;
        }
        std::vector<RenameObserver::StepPaths> steps;
        const std::size_t end = RunEnd(first);
        steps.reserve(end - first);
        for (std::size_t i = first; i < end; ++i) {
            steps.push_back({temporaryNames[i], targets(i)});
        }
        return AnnounceRun(RenameObserver::Step::Rename, steps);
    }
    // Files go back whether or not their steps can be recorded, so the runs that put them back are
    // announced if their lists can be built at all (after an exception, memory may be short).
    // The moves back to old names from file `first` on: returns the end of the run.
    std::size_t AnnounceMoveBacks(std::size_t first) const;
    // The returns of the files that took their new names (`renamed`) to their temporary names,
    // from file `last` down: returns the lowest position the run covers.
    std::size_t AnnounceReturns(std::size_t last, const std::vector<bool>& renamed) const;

private:
    std::size_t RunEnd(std::size_t first) const;

    const std::vector<std::wstring>& temporaryNames;
    const std::vector<std::wstring>& newNames;
    const std::vector<std::wstring>& oldNames;
    RenameObserver* observer = nullptr;
};
