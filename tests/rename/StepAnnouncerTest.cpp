#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "rename/StepAnnouncer.h"
#include "support/DiagnosticCapture.h"

namespace {

using Step = RenameObserver::Step;

// Keeps every run and step it hears of, and refuses them when told to.
class RecordingObserver : public RenameObserver {
public:
    bool BeforeSteps(Step step, const std::vector<StepPaths>& steps) override
    {
        runs.push_back({step, steps});
        return !refusing;
    }
    bool BeforeStep(Step, const std::wstring&, const std::wstring&) override
    {
        ++announced;
        return !refusing;
    }
    void AfterStep(Step, const std::wstring&, const std::wstring&, bool) override { ++reported; }

    struct Run {
        Step step;
        std::vector<StepPaths> steps;
    };
    std::vector<Run> runs;
    int announced = 0;
    int reported = 0;
    bool refusing = false;
};

struct Lists {
    explicit Lists(std::size_t count)
    {
        for (std::size_t i = 0; i < count; ++i) {
            temporaryNames.push_back(L"C:\\d\\qms" + std::to_wstring(i) + L".tmp");
            newNames.push_back(L"C:\\d\\new" + std::to_wstring(i));
            oldNames.push_back(L"C:\\d\\old" + std::to_wstring(i));
        }
    }
    std::vector<std::wstring> temporaryNames;
    std::vector<std::wstring> newNames;
    std::vector<std::wstring> oldNames;
};

TEST(StepAnnouncer, WithoutAnObserverEveryStepGoesAheadAndNothingIsWritten)
{
    const DiagnosticCapture diagnostics;
    const Lists lists(3);
    const StepAnnouncer announcer(lists.temporaryNames, lists.newNames, lists.oldNames);
    EXPECT_FALSE(announcer.Observed());
    EXPECT_TRUE(announcer.Announce(Step::MoveAside, L"C:\\d\\a", L"C:\\d\\qms1.tmp"));
    EXPECT_TRUE(announcer.AnnounceRun(Step::Recycle, {{L"C:\\d\\A", {}}}));
    EXPECT_TRUE(announcer.AnnounceRenames(0, [&lists](std::size_t i) { return lists.newNames[i]; }));
    EXPECT_EQ(announcer.AnnounceMoveBacks(1), 3u);
    announcer.Report(Step::MoveAside, L"C:\\d\\a", L"C:\\d\\qms1.tmp", true);
    EXPECT_EQ(diagnostics.Text(), L"");
}

TEST(StepAnnouncer, AStepThatCannotBeRecordedIsNotTakenUnlessItPutsAFileBack)
{
    const DiagnosticCapture diagnostics;
    const Lists lists(1);
    StepAnnouncer announcer(lists.temporaryNames, lists.newNames, lists.oldNames);
    RecordingObserver observer;
    observer.refusing = true;
    announcer.Attach(observer);
    const std::wstring line = L"FilesRenamer::Rename: Could not record the next step, so it was not taken!\n";
    for (const Step step : {Step::TemporaryName, Step::MoveAside, Step::Rename, Step::Recycle}) {
        EXPECT_FALSE(announcer.Announce(step, L"C:\\d\\a", L"C:\\d\\b"));
    }
    EXPECT_FALSE(announcer.AnnounceRun(Step::Rename, {{L"C:\\d\\qms0.tmp", L"C:\\d\\A"}}));
    EXPECT_EQ(diagnostics.Text(), line + line + line + line + line);
    EXPECT_TRUE(announcer.Announce(Step::MoveBack, L"C:\\d\\qms0.tmp", L"C:\\d\\old0"));
    EXPECT_TRUE(announcer.Announce(Step::Return, L"C:\\d\\new0", L"C:\\d\\qms0.tmp"));
    EXPECT_EQ(diagnostics.Text(), line + line + line + line + line);
    EXPECT_EQ(observer.announced, 6);
}

TEST(StepAnnouncer, RunsAreBoundedHoweverLargeTheBatch)
{
    const Lists lists(2500);
    StepAnnouncer announcer(lists.temporaryNames, lists.newNames, lists.oldNames);
    RecordingObserver observer;
    announcer.Attach(observer);

    EXPECT_TRUE(announcer.AnnounceRenames(2000, [&lists](std::size_t i) { return lists.newNames[i]; }));
    EXPECT_EQ(announcer.AnnounceMoveBacks(0), 1024u);
    EXPECT_EQ(announcer.AnnounceMoveBacks(2048), 2500u);
    // Every other file took its new name: the returns, last first, skip the others.
    std::vector<bool> renamed(2500);
    for (std::size_t i = 0; i < renamed.size(); i += 2) {
        renamed[i] = true;
    }
    EXPECT_EQ(announcer.AnnounceReturns(2499, renamed), 2498u - 2 * 1023);

    ASSERT_EQ(observer.runs.size(), 4u);
    EXPECT_EQ(observer.runs[0].step, Step::Rename);
    EXPECT_EQ(observer.runs[0].steps.size(), 500u);
    EXPECT_EQ(observer.runs[0].steps.front().from, L"C:\\d\\qms2000.tmp");
    EXPECT_EQ(observer.runs[0].steps.front().to, L"C:\\d\\new2000");
    EXPECT_EQ(observer.runs[1].steps.size(), 1024u);
    EXPECT_EQ(observer.runs[1].steps.back().to, L"C:\\d\\old1023");
    EXPECT_EQ(observer.runs[2].steps.size(), 452u);
    EXPECT_EQ(observer.runs[3].step, Step::Return);
    EXPECT_EQ(observer.runs[3].steps.size(), 1024u);
    EXPECT_EQ(observer.runs[3].steps.front().from, L"C:\\d\\new2498");
    EXPECT_EQ(observer.runs[3].steps.front().to, L"C:\\d\\qms2498.tmp");
}

} // namespace
