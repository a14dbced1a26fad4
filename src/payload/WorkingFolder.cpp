#include "payload/Initializer.h"

#include "logging/LogFile.h"
#include "platform/SettingsFile.h"

#include <windows.h>

#include <cmath>

int ComputeBufferSize(unsigned per128, std::uint32_t physicalBytes) {
    if (per128 == 0) per128 = CTavoInitalizer::kDefaultBufferSize;
    auto blocks = static_cast<std::uint32_t>(std::ceil(physicalBytes / 134217728.0));
    return static_cast<int>(blocks * per128);
}

void CTavoInitalizer::SetBufferSize() {
    auto per128 = static_cast<unsigned>(
        CSettingsFile(SettingsFilePath).GetInt(L"Size", L"128MB", kDefaultBufferSize));
    theLog.LogMessage(11, L"SetBufferSize", L"BufferSize in ToolSettings : %u", per128);
    MEMORYSTATUS memory = {};
    memory.dwLength = sizeof(memory);
    ::GlobalMemoryStatus(&memory);
    BufferSize = ComputeBufferSize(per128, static_cast<std::uint32_t>(memory.dwTotalPhys));
    theLog.LogMessage(11, L"SetBufferSize", L"Calculated BufferSize : %u", static_cast<unsigned>(BufferSize));
}
