// The one question about things standing at new paths, and the recycling after it: the real
// message box, the real recycle bin, and what an observer is told.
#include <windows.h>

#include <string>
#include <vector>

#include "rename/OverwriteQuestion.h"
#include "support/MessageBoxAnswerer.h"
#include "tests/rename/RenameFixture.h"

namespace {

using Step = RenameObserver::Step;

// Keeps the recycles it hears of, and refuses them when told to.
class RecycleRecorder : public RenameObserver {
public:
    bool BeforeSteps(Step step, const std::vector<StepPaths>& steps) override
    {
        EXPECT_EQ(step, Step::Recycle);
        runSize += steps.size();
        return !refusing;
    }
    bool BeforeStep(Step, const std::wstring&, const std::wstring&) override { return !refusing; }
    void AfterStep(Step, const std::wstring& from, const std::wstring&, bool done) override
    {
        (done ? recycled : failed).push_back(from);
    }

    std::size_t runSize = 0;
    std::vector<std::wstring> recycled;
    std::vector<std::wstring> failed;
    bool refusing = false;
};

struct QuestionCase {
    const char* name;
    int answer;
    bool observed;
    bool refusing;
    // The second taken path is gone by the time it is recycled.
    bool secondGone;
    std::int32_t outcome;
    std::size_t inTrash;
};

class OverwriteQuestionTest : public RenameFixture, public ::testing::WithParamInterface<QuestionCase> {};

TEST_P(OverwriteQuestionTest, AsksOnceAndRecyclesOnlyAfterYes)
{
    const QuestionCase& c = GetParam();
    ClearTrash();
    const std::vector<std::wstring> taken{Make(L"A.txt", "outside A"), Make(L"B\\"), Make(L"C.txt", "outside C")};
    if (c.secondGone) {
        RemoveTree(taken[1]);
    }
    const std::vector<std::wstring> none;
    StepAnnouncer announcer(none, none, none);
    RecycleRecorder recorder;
    recorder.refusing = c.refusing;
    if (c.observed) {
        announcer.Attach(recorder);
    }

    MessageBoxAnswerer answerer(c.answer);
    EXPECT_EQ(AskToReplaceTakenPaths(nullptr, taken, announcer), c.outcome);
    const std::vector<SeenMessageBox> boxes = answerer.Stop();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, L"Some files already exist with some of the destination file names.\n"
                             L"Do you want to overwrite?!\n"
                             L"(The existing files will be sent to the recycle bin)");
    EXPECT_TRUE(boxes[0].hasYes && boxes[0].hasNo && boxes[0].warningIcon);

    // What went to the recycle bin went in order, up to the first that failed, and is gone here.
    EXPECT_EQ(ListFolder(TrashFilesFolder()).size(), c.inTrash);
    for (std::size_t k = 0; k < taken.size(); ++k) {
        EXPECT_EQ(PathExists(taken[k]), k >= c.inTrash && !(c.secondGone && k == 1)) << k;
    }
    if (c.observed) {
        const bool askedAndAgreed = c.answer == IDYES;
        EXPECT_EQ(recorder.runSize, askedAndAgreed ? taken.size() : 0u);
        EXPECT_EQ(recorder.recycled.size(), c.inTrash);
        EXPECT_EQ(recorder.failed.size(), c.secondGone ? 1u : 0u);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Answers, OverwriteQuestionTest,
    ::testing::Values(QuestionCase{"YesUnobserved", IDYES, false, false, false, 0, 3},
                      QuestionCase{"YesObserved", IDYES, true, false, false, 0, 3},
                      QuestionCase{"No", IDNO, true, false, false, -2, 0},
                      QuestionCase{"YesButNotRecorded", IDYES, true, true, false, -1, 0},
                      QuestionCase{"YesAndOneIsGone", IDYES, true, false, true, -1, 1}),
    [](const ::testing::TestParamInfo<QuestionCase>& named) { return std::string(named.param.name); });

TEST(OverwriteQuestion, NothingTakenAsksNothing)
{
    const std::vector<std::wstring> none;
    const StepAnnouncer announcer(none, none, none);
    MessageBoxAnswerer answerer(IDNO);
    EXPECT_EQ(AskToReplaceTakenPaths(nullptr, none, announcer), 0);
    EXPECT_TRUE(answerer.Stop().empty());
}

} // namespace
