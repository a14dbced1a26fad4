#pragma once

#include "framework/Handles.h"

// A named mutex that tells whether another process of the stub runs.
class CSingleInstance {
public:
    explicit CSingleInstance(const wchar_t* name);

    bool IsAnotherInstanceRunning() const { return lastError_ == ERROR_ALREADY_EXISTS; }
    void Close() { mutex_.reset(); }

private:
    zel::UniqueHandle mutex_;
    DWORD lastError_ = 0;
};

inline constexpr wchar_t kSingleInstanceMutexName[] = L"{AA16C87C-7BE6-4670-8526-4D402D18B369}";
