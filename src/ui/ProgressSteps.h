// What the extraction's progress message (1066) does to a progress bar, and
// how a window lets its worker end; shared by the progress dialog of quiet
// runs and the wizard's extraction page.
#pragma once

#include <windows.h>

#include <cstdint>

// The progress bar's range after action 3: counter + files, as a 16-bit bound.
constexpr int ProgressRangeUpper(int counter, int files) {
    return static_cast<int>(static_cast<std::uint16_t>(counter + files));
}

// Applies action 1 (one more file), 2 (position 2) or 3 (range for value
// more files) to bar with the window's own counter. True for action 3, after
// which the window shows its "extracting" status text.
bool ApplyProgressStep(HWND bar, int& counter, WPARAM action, LPARAM value);

// The worker sends its lines and progress to the window and waits for them:
// a plain wait for its end would leave it blocked, holding the cabinet open
// so that the working folder could not be removed. Lets it run and handles
// what it sends for at most the worker's stop limit.
void LetWorkerFinish();
