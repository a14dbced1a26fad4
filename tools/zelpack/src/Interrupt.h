// Files that must not outlive a build stopped by Ctrl-C or a kill: half-written
// outputs, and parts or cabinets that only a finished package gives a meaning.
#pragma once

#include <filesystem>

namespace zelpack {

// Removes the registered files on SIGINT, SIGTERM and SIGHUP, then dies of the signal.
void InstallInterruptCleanup();

void RemoveOnInterrupt(const std::filesystem::path& path);
void KeepOnInterrupt(const std::filesystem::path& path);

}  // namespace zelpack
