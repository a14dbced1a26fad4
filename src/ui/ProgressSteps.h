// What the extraction's progress message (1066) does to a progress bar, and
// how a window lets its worker end; shared by the progress dialog of quiet
// runs and the wizard's extraction page.
#pragma once

#include <windows.h>

#include "ui/ProgressCounter.h"

// Applies one progress message to bar with the window's own counter. True
// when the range was set, after which the window shows its "extracting"
// status text.
bool ApplyProgressStep(HWND bar, CProgressCounter& counter, WPARAM action, LPARAM value);

// The worker sends its lines and progress to the window and waits for them:
// a plain wait for its end would leave it blocked, holding the cabinet open
// so that the working folder could not be removed. Lets it run and handles
// what it sends for at most the worker's stop limit.
void LetWorkerFinish();
