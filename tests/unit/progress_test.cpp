#include "core/ProgressPoster.h"
#include "ui/ProgressCounter.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// The worker posts its steps in batches; the window's counter must end where
// one step a message would have left it, around actions 2 and 3.
TEST(ProgressCounter, BatchesEndWhereSingleStepsEnd) {
    struct Message {
        WPARAM action;
        LPARAM value;
    };
    const std::vector<Message> single = {{2, 100}, {3, 70000}, {1, 0}, {1, 0}, {1, 0}, {1, 0}, {1, 0}, {2, 100},
                                         {1, 0}};
    const std::vector<Message> batched = {{2, 100}, {3, 70000}, {1, 3}, {1, 2}, {2, 100}, {1, 1}};
    auto run = [](const std::vector<Message>& messages) {
        CProgressCounter counter;
        counter.Start();
        CProgressCounter::BarUpdate last;
        int range = -1;
        for (const Message& m : messages) {
            last = counter.Apply(m.action, m.value);
            if (last.SetRange) range = last.RangeUpper;
        }
        return std::vector<int>{counter.Value(), last.Position, range};
    };
    // 1 + 6 steps; the range 1 + 70000 wraps at 16 bits.
    EXPECT_EQ(run(single), (std::vector<int>{7, 7, 4465}));
    EXPECT_EQ(run(batched), run(single));
}

TEST(ProgressCounter, ActionTwoSetsThePositionAndLeavesTheCounter) {
    CProgressCounter counter;
    counter.Start();
    counter.Apply(1, 5);
    CProgressCounter::BarUpdate update = counter.Apply(2, 100);
    EXPECT_TRUE(update.SetPosition);
    EXPECT_EQ(update.Position, 2);
    EXPECT_EQ(counter.Value(), 6);
    EXPECT_EQ(counter.Apply(1, 0).Position, 7);
    EXPECT_FALSE(counter.Apply(9, 1).SetPosition);
}

// Every step reaches the window, however they were gathered.
TEST(ProgressPoster, EveryStepArrivesAndNoneTwice) {
    HWND window = ::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                    ::GetModuleHandleW(nullptr), nullptr);
    {
        CProgressPoster poster(window);
        for (int i = 0; i < 5000; ++i) poster.Step();
    }
    int steps = 0;
    int messages = 0;
    MSG msg;
    while (::PeekMessageW(&msg, window, WM_ZEL_PROGRESS, WM_ZEL_PROGRESS, PM_REMOVE)) {
        EXPECT_EQ(msg.wParam, 1u);
        EXPECT_GT(msg.lParam, 0);
        steps += static_cast<int>(msg.lParam);
        ++messages;
    }
    ::DestroyWindow(window);
    EXPECT_EQ(steps, 5000);
    EXPECT_LT(messages, 5000);
}

}  // namespace
