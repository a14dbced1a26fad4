#include "app/App.h"
#include "platform/SystemLibrary.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
    zel::HardenDllSearchPath();
    return theApp.Run(instance);
}
