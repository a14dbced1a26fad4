// The progress counter of the windows that show an extraction (the quiet
// runs' dialog, the wizard's extraction page): what WM_ZEL_PROGRESS does to
// the counter and to the bar.
#pragma once

#include "core/Messages.h"

#include <windows.h>

#include <cstdint>

// The bar's range after kProgressRange: counter + files, as a 16-bit bound.
constexpr int ProgressRangeUpper(int counter, int files) {
    return static_cast<int>(static_cast<std::uint16_t>(counter + files));
}

class CProgressCounter {
public:
    // What the window does to its bar for one message.
    struct BarUpdate {
        bool SetPosition = false;
        int Position = 0;
        bool SetRange = false;  // range 0 .. RangeUpper, step 1, and the "extracting" status text
        int RangeUpper = 0;
    };

    // The bar starts at position 1.
    void Start() { counter_ = 1; }
    int Value() const { return counter_; }

    // A step adds lParam steps (the worker gathers steps and posts them
    // together), one when lParam is 0. The start sets the position to 2 and
    // leaves the counter; the range becomes counter + lParam.
    BarUpdate Apply(WPARAM action, LPARAM value) {
        BarUpdate update;
        switch (action) {
        case kProgressStep:
            counter_ += value > 0 ? static_cast<int>(value) : 1;
            update.SetPosition = true;
            update.Position = counter_;
            break;
        case kProgressStart:
            update.SetPosition = true;
            update.Position = 2;
            break;
        case kProgressRange:
            update.SetRange = true;
            update.RangeUpper = ProgressRangeUpper(counter_, static_cast<int>(value));
            break;
        default:
            break;
        }
        return update;
    }

private:
    int counter_ = 0;
};
