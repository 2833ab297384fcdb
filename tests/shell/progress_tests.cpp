#include "shell/progress.h"

#include "shell_fixture.h"

namespace stowix::test {
namespace {

struct Step {
    bool restartUpward = false;
    bool fill = false;
};

// The bar is an activity indicator: it sweeps 0 to 100 and back with a beep at each end.
TEST(StepProgress, sweeps_wraps_and_beeps_at_each_end) {
    struct Case {
        const char* name;
        std::int16_t direction, position;  // the state before the steps
        std::vector<Step> steps;
        int expectedValue;
        std::int16_t expectedDirection;
        int expectedBeeps;
    };
    const std::vector<Step> hundredPlain(100);
    std::vector<Step> hundredAndOne(101);
    const Case cases[] = {
        {"100 plain steps reach 100 with one beep", 0, 0, hundredPlain, 100, -1, 1},
        {"the step after reaching 100 goes down", 0, 0, hundredAndOne, 99, -1, 1},
        {"a new run's first step wraps a full bar to 0", -1, 100, {{true, false}}, 0, 0, 1},
        {"restartUpward turns the direction, not the position", -1, 57, {{true, false}}, 58, 0, 0},
        {"fill ends at 100 with a beep", 0, 30, {{false, true}}, 100, -1, 1},
        {"a plain step after fill shows 99", 0, 30, {{false, true}, Step{}}, 99, -1, 1},
        {"going down past 0 jumps to 100", -1, 0, {Step{}}, 100, -1, 1},
        {"going down to 0 turns up", -1, 1, {Step{}}, 0, 0, 1},
        {"a position above 100 comes back to 0", 0, 150, {Step{}}, 0, 0, 1},
        {"a position below 0 comes back to 100", -1, -5, {Step{}}, 100, -1, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EventLog log;
        FakeProgressBar bar(log, "ProgressBar1");
        FakeSystem system(log);
        ProgressState state{c.direction, c.position};
        for (const Step& step : c.steps)
            StepProgress(state, bar, system, step.restartUpward, step.fill);
        EXPECT_EQ(bar.Value(), c.expectedValue);
        EXPECT_EQ(state.ProgressPosition, c.expectedValue);
        EXPECT_EQ(state.ProgressDirection, c.expectedDirection);
        EXPECT_EQ(log.Matching("Beep").size(), c.expectedBeeps);
    }
}

class WindowProgress : public ShellFixture {};

TEST_F(WindowProgress, the_window_keeps_its_own_state_between_steps) {
    window->StepProgress(false, true);
    window->StepProgress(false, false);
    window->StepProgress(true, false);
    EXPECT_EQ(
        log.Matching("ProgressBar1.Value"),
        QStringList({"ProgressBar1.Value=100", "ProgressBar1.Value=99", "ProgressBar1.Value=100"}));
}

}  // namespace
}  // namespace stowix::test
