#include "rename/StepAnnouncer.h"

#include <algorithm>
#include <new>

#include "diagnostics/DiagnosticStream.h"

namespace {

void WriteNotRecorded()
{
    DiagnosticStream() << L"FilesRenamer::Rename: Could not record the next step, so it was not taken!" << std::endl;
}

} // namespace

bool StepAnnouncer::Announce(RenameObserver::Step step, const std::wstring& from, const std::wstring& to) const
{
    if (observer == nullptr || observer->BeforeStep(step, from, to)) {
        return true;
    }
    if (step == RenameObserver::Step::MoveBack || step == RenameObserver::Step::Return) {
        return true;
    }
    WriteNotRecorded();
    return false;
}

bool StepAnnouncer::AnnounceRun(RenameObserver::Step step, const std::vector<RenameObserver::StepPaths>& steps) const
{
    if (observer == nullptr || observer->BeforeSteps(step, steps)) {
        return true;
    }
    WriteNotRecorded();
    return false;
}

void StepAnnouncer::Report(RenameObserver::Step step, const std::wstring& from, const std::wstring& to, bool done) const
{
    if (observer != nullptr) {
        observer->AfterStep(step, from, to, done);
    }
}

std::size_t StepAnnouncer::RunEnd(std::size_t first) const
{
    return std::min(first + stepsPerRun, temporaryNames.size());
}

std::size_t StepAnnouncer::AnnounceMoveBacks(std::size_t first) const
{
    const std::size_t end = RunEnd(first);
    if (observer == nullptr) {
        return end;
    }
    try {
        std::vector<RenameObserver::StepPaths> steps;
        steps.reserve(end - first);
        for (std::size_t i = first; i < end; ++i) {
            steps.push_back({temporaryNames[i], oldNames[i]});
        }
        (void)observer->BeforeSteps(RenameObserver::Step::MoveBack, steps);
    } catch (const std::bad_alloc&) {
        // Each step is still announced on its own.
    }
    return end;
}

std::size_t StepAnnouncer::AnnounceReturns(std::size_t last, const std::vector<bool>& renamed) const
{
    if (observer == nullptr) {
        return 0;
    }
    std::size_t lowest = last;
    try {
        std::vector<RenameObserver::StepPaths> steps;
        for (std::size_t i = last + 1; i-- > 0 && steps.size() < stepsPerRun;) {
            if (renamed[i]) {
                steps.push_back({newNames[i], temporaryNames[i]});
                lowest = i;
            }
        }
        (void)observer->BeforeSteps(RenameObserver::Step::Return, steps);
    } catch (const std::bad_alloc&) {
        // Each step is still announced on its own.
    }
    return lowest;
}
