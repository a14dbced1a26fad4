#include "app/SingleInstance.h"

CSingleInstance::CSingleInstance(const wchar_t* name) {
    mutex_.reset(::CreateMutexW(nullptr, FALSE, name));
    lastError_ = ::GetLastError();
}
