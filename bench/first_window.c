/* How long a program takes to show its first window: starts the command line
 * it is given, waits for a visible top-level window of that process, prints
 * "first window N ms" and ends the process. Not a test: see bench/README.md.
 *   first_window.exe "C:\path\Setup.exe" [switches]                          */
#include <windows.h>

#include <stdio.h>

static BOOL CALLBACK FindVisible(HWND window, LPARAM param) {
    DWORD *pid = (DWORD *)param, owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == pid[0] && IsWindowVisible(window)) {
        pid[1] = 1;
        return FALSE;
    }
    return TRUE;
}

int wmain(void) {
    /* Everything after our own name is the command to start. */
    wchar_t *line = GetCommandLineW();
    int quoted = 0;
    while (*line && (quoted || (*line != L' ' && *line != L'\t'))) {
        if (*line == L'"') quoted = !quoted;
        ++line;
    }
    while (*line == L' ' || *line == L'\t') ++line;
    STARTUPINFOW start = {sizeof(start)};
    PROCESS_INFORMATION process;
    LARGE_INTEGER frequency, t0, t1;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&t0);
    if (!CreateProcessW(NULL, line, NULL, NULL, FALSE, 0, NULL, NULL, &start, &process)) return 2;
    DWORD search[2] = {process.dwProcessId, 0};
    for (int waited = 0; waited < 60000 && !search[1]; waited += 5) {
        EnumWindows(FindVisible, (LPARAM)search);
        if (!search[1]) Sleep(5);
    }
    QueryPerformanceCounter(&t1);
    if (search[1]) printf("first window %.0f ms\n", (double)(t1.QuadPart - t0.QuadPart) * 1000.0 / frequency.QuadPart);
    TerminateProcess(process.hProcess, 0);
    WaitForSingleObject(process.hProcess, 10000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return search[1] ? 0 : 1;
}
