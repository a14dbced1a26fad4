// Steps of the package set-up whose subsystems are not in the stub yet. Each
// subsystem that arrives takes its function out of this file.
#include "payload/Initializer.h"

int CTavoInitalizer::InitDisplay(const CommandLineSettings& settings) {
    return settings.Mode == ModeFullGui ? 1 : 520;
}
