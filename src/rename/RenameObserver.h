#pragma once

#include <string>
#include <vector>

// Told of every step of a batch that moves something, before it is taken and after: what a
// journal needs to put the files back after the process dies half-way, or to undo the batch.
// Paths are full paths in the engine's one spelling, valid at the moment of the step. Observers
// are called while files are being put back after an exception too, so they must not throw.
class RenameObserver {
public:
    enum class Step {
        // A temporary name is about to be made in folder `from` (the system creates an empty
        // placeholder under it); `to` is empty.
        TemporaryName,
        // source `from` to its temporary name `to` (the placeholder at `to` is removed first)
        MoveAside,
        // temporary name `from` to the new path `to`
        Rename,
        // temporary name `from` back to the old name `to`
        MoveBack,
        // after an exception: new path `from` back to the temporary name `to`
        Return,
        // `from`, which stands at a new path, to the recycle bin; `to` is empty
        Recycle,
    };

    struct StepPaths {
        std::wstring from;
        std::wstring to;
    };

    // Before a run of steps of one kind that will be taken in this order, each of them announced
    // again with BeforeStep as it is taken; a step of the run may be skipped, and the run ends when
    // the next one is announced (its steps not yet taken never will be). An observer can record the
    // whole run at once instead of step by step. False when none of the steps may be taken.
    virtual bool BeforeSteps(Step step, const std::vector<StepPaths>& steps) = 0;
    // Before the step. False when the step must not be taken because it could not be recorded;
    // the engine then treats a forward step as failed. Steps that put files back are taken anyway.
    virtual bool BeforeStep(Step step, const std::wstring& from, const std::wstring& to) = 0;
    // After the step, with whether it happened.
    virtual void AfterStep(Step step, const std::wstring& from, const std::wstring& to, bool done) = 0;

protected:
    // Observers are owned and destroyed by whoever made them, never through this interface.
    ~RenameObserver() = default;
};
