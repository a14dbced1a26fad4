#include "core/RunFlags.h"

std::atomic<int> CancelRequested{0};
std::atomic<int> ContinueExtraction{1};
std::atomic<int> LaunchReturned{1};
std::atomic<int> OverwriteAnswer{OverwriteNotAsked};
