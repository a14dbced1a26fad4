/* What two calls the stub makes for every extracted file cost on this
 * machine: a message sent from a worker thread to a window of the main
 * thread (waiting for it to be handled), and one log line appended with its
 * own open, seek, write and close. Part of bench/run.sh, not of the stub.
 *
 *   wine_costs.exe LOGFILE [COUNT]
 */
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#define WM_PROBE (WM_USER + 42)

static HWND window;
static const wchar_t* logPath;
static int count = 5000;

static double Microseconds(LARGE_INTEGER from, LARGE_INTEGER to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return (double)(to.QuadPart - from.QuadPart) * 1e6 / (double)frequency.QuadPart / count;
}

static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PROBE) return 1;
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

static DWORD WINAPI Worker(LPVOID unused) {
    static const char line[] = "12:00:00|          |FdiCallback                         |Extracting file : "
                               "C:\\zelbench\\stub\\dir00\\file00000.txt\r\n";
    LARGE_INTEGER start, end;
    int i;
    (void)unused;
    QueryPerformanceCounter(&start);
    for (i = 0; i < count; ++i) SendMessageW(window, WM_PROBE, 1, 0);
    QueryPerformanceCounter(&end);
    printf("sent message %.0f us\n", Microseconds(start, end));

    QueryPerformanceCounter(&start);
    for (i = 0; i < count; ++i) {
        DWORD written = 0;
        HANDLE file = CreateFileW(logPath, GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                  NULL);
        if (file == INVALID_HANDLE_VALUE) break;
        SetFilePointer(file, 0, NULL, FILE_END);
        WriteFile(file, line, sizeof line - 1, &written, NULL);
        CloseHandle(file);
    }
    QueryPerformanceCounter(&end);
    printf("log line %.0f us\n", Microseconds(start, end));
    DeleteFileW(logPath);
    PostMessageW(window, WM_QUIT, 0, 0);
    return 0;
}

int main(void) {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    WNDCLASSW windowClass = {0};
    HANDLE thread;
    MSG msg;
    if (argv == NULL || argc < 2) {
        fprintf(stderr, "usage: wine_costs.exe LOGFILE [COUNT]\n");
        return 2;
    }
    logPath = argv[1];
    if (argc > 2) count = _wtoi(argv[2]) > 0 ? _wtoi(argv[2]) : count;

    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = GetModuleHandleW(NULL);
    windowClass.lpszClassName = L"ZelBenchProbe";
    RegisterClassW(&windowClass);
    window = CreateWindowW(L"ZelBenchProbe", L"", 0, 0, 0, 0, 0, NULL, NULL, windowClass.hInstance, NULL);
    thread = CreateThread(NULL, 0, Worker, NULL, 0, NULL);
    if (window == NULL || thread == NULL) return 1;
    while (GetMessageW(&msg, NULL, 0, 0) > 0) DispatchMessageW(&msg);
    WaitForSingleObject(thread, INFINITE);
    return 0;
}
