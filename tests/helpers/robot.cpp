// The GUI robot of the end-to-end tests: drives the windows of another
// program in the same Wine session as a user would, with the real mouse and
// keyboard input queue (SendInput), so that owner-drawn buttons see the
// press, the release and the pointer's tracking they see from a person.
//
// One process serves a whole test: it reads one command a line from standard
// input (UTF-8, fields separated by tabs) and answers each with one line,
// "ok <json>" or "err <json string>". tests/e2e/robot.py wraps it; the
// commands are listed at Dispatch below.
#include <windows.h>

#include <commctrl.h>
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

namespace {

// ---- text and JSON ------------------------------------------------------

std::string Utf8(const std::wstring& text) {
    if (text.empty()) return std::string();
    int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                     nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size, nullptr, nullptr);
    return out;
}

std::wstring Wide(const std::string& text) {
    if (text.empty()) return std::wstring();
    int size = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(size), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size);
    return out;
}

std::string Quote(const std::wstring& text) {
    std::string out = "\"";
    for (unsigned char c : Utf8(text)) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                out += escaped;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

void AppendItem(std::string& list, const std::string& item) {
    if (!list.empty()) list += ',';
    list += item;
}

std::string Number(long long value) { return std::to_string(value); }
std::string Bool(bool value) { return value ? "true" : "false"; }

std::string HandleText(HWND window) {
    char text[32];
    std::snprintf(text, sizeof text, "\"0x%llx\"", static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(window)));
    return text;
}

// ---- windows ------------------------------------------------------------

struct Failure {
    std::string message;
};

HWND ParseHandle(const std::wstring& text) {
    HWND window = reinterpret_cast<HWND>(static_cast<UINT_PTR>(std::wcstoull(text.c_str(), nullptr, 0)));
    if (!::IsWindow(window)) throw Failure{"no such window: " + Utf8(text)};
    return window;
}

int ParseInt(const std::wstring& text) { return static_cast<int>(std::wcstol(text.c_str(), nullptr, 0)); }

std::wstring ClassOf(HWND window) {
    wchar_t name[128] = {};
    ::GetClassNameW(window, name, 128);
    return name;
}

// How long a read of a control waits for the program. A program busy on a
// loaded machine may take seconds; one that hangs answers nothing either way.
constexpr UINT kAnswerWait = 10000;

// WM_GETTEXT, not GetWindowText: an edit of another process keeps its text
// in its own buffer. A window that hangs answers nothing rather than the robot.
std::wstring TextOf(HWND window) {
    DWORD_PTR length = 0;
    if (!::SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kAnswerWait, &length)) return std::wstring();
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!::SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                               SMTO_ABORTIFHUNG, kAnswerWait, &copied))
        return std::wstring();
    text.resize(copied);
    return text;
}

std::string RectJson(HWND window) {
    RECT r = {};
    ::GetWindowRect(window, &r);
    std::string json = "[";
    json += Number(r.left) + "," + Number(r.top) + "," + Number(r.right - r.left) + "," + Number(r.bottom - r.top);
    return json + "]";
}

std::string WindowJson(HWND window) {
    DWORD process = 0;
    ::GetWindowThreadProcessId(window, &process);
    return "{\"hwnd\":" + HandleText(window) + ",\"pid\":" + Number(process) + ",\"class\":" +
           Quote(ClassOf(window)) + ",\"caption\":" + Quote(TextOf(window)) +
           ",\"visible\":" + Bool(::IsWindowVisible(window)) + ",\"enabled\":" + Bool(::IsWindowEnabled(window)) +
           ",\"rect\":" + RectJson(window) + "}";
}

std::string ControlJson(HWND control) {
    std::wstring cls = ClassOf(control);
    std::string json = "{\"hwnd\":" + HandleText(control) + ",\"id\":" + Number(::GetDlgCtrlID(control)) +
                       ",\"class\":" + Quote(cls) + ",\"text\":" + Quote(TextOf(control)) +
                       ",\"visible\":" + Bool(::IsWindowVisible(control)) +
                       ",\"enabled\":" + Bool(::IsWindowEnabled(control)) + ",\"rect\":" + RectJson(control) +
                       ",\"parent\":" + HandleText(::GetParent(control));
    if (::_wcsicmp(cls.c_str(), L"Button") == 0) {
        DWORD_PTR check = 0;
        ::SendMessageTimeoutW(control, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, kAnswerWait, &check);
        json += ",\"checked\":" + Number(static_cast<long long>(check));
    }
    return json + "}";
}

BOOL CALLBACK CollectOtherProcesses(HWND window, LPARAM param) {
    DWORD process = 0;
    ::GetWindowThreadProcessId(window, &process);
    if (process != ::GetCurrentProcessId()) reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
    return TRUE;
}

BOOL CALLBACK CollectAll(HWND window, LPARAM param) {
    reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
    return TRUE;
}

std::vector<HWND> TopLevelWindows() {
    std::vector<HWND> found;
    ::EnumWindows(CollectOtherProcesses, reinterpret_cast<LPARAM>(&found));
    return found;
}

std::vector<HWND> Descendants(HWND window) {
    std::vector<HWND> found;
    ::EnumChildWindows(window, CollectAll, reinterpret_cast<LPARAM>(&found));
    return found;
}

// Pages of a wizard share ids; the visible control is the one a user sees.
HWND FindControl(HWND window, int id) {
    HWND hidden = nullptr;
    for (HWND child : Descendants(window)) {
        if (::GetDlgCtrlID(child) != id) continue;
        if (::IsWindowVisible(child)) return child;
        if (hidden == nullptr) hidden = child;
    }
    return hidden;
}

HWND Control(HWND window, int id) {
    HWND control = FindControl(window, id);
    if (control == nullptr) throw Failure{"no control " + std::to_string(id)};
    return control;
}

bool CaptionMatches(const std::wstring& caption, const std::wstring& wanted, bool exact) {
    return exact ? caption == wanted : caption.find(wanted) != std::wstring::npos;
}

bool IsMessageBox(HWND window) {
    // The text static of a system message box has id 0xFFFF.
    return ClassOf(window) == L"#32770" && ::GetDlgItem(window, 0xFFFF) != nullptr;
}

enum class Kind { Any, Box, NotBox };

HWND FindTopLevel(const std::wstring& caption, bool exact, Kind kind) {
    for (HWND window : TopLevelWindows()) {
        if (!::IsWindowVisible(window) || !CaptionMatches(TextOf(window), caption, exact)) continue;
        if (kind == Kind::Box && !IsMessageBox(window)) continue;
        if (kind == Kind::NotBox && IsMessageBox(window)) continue;
        return window;
    }
    return nullptr;
}

template <typename Probe>
auto WaitFor(int timeoutMs, Probe probe) -> decltype(probe()) {
    const DWORD start = ::GetTickCount();
    for (;;) {
        if (auto found = probe()) return found;
        if (static_cast<int>(::GetTickCount() - start) >= timeoutMs) return decltype(probe()){};
        ::Sleep(20);
    }
}

// ---- input ----------------------------------------------------------------

void Pause(int ms) { ::Sleep(static_cast<DWORD>(ms)); }

void SendOne(INPUT input) {
    if (::SendInput(1, &input, sizeof(INPUT)) != 1) throw Failure{"SendInput failed"};
}

void Mouse(DWORD flags) {
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    SendOne(input);
}

void MoveTo(POINT point) {
    ::SetCursorPos(point.x, point.y);
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dx = MulDiv(point.x, 65535, ::GetSystemMetrics(SM_CXSCREEN) - 1);
    input.mi.dy = MulDiv(point.y, 65535, ::GetSystemMetrics(SM_CYSCREEN) - 1);
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendOne(input);
}

void Key(WORD vk, bool up) {
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = vk;
    input.ki.wScan = static_cast<WORD>(::MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    switch (vk) {
    case VK_LEFT: case VK_RIGHT: case VK_UP: case VK_DOWN: case VK_HOME: case VK_END: case VK_PRIOR: case VK_NEXT:
    case VK_INSERT: case VK_DELETE:
        input.ki.dwFlags |= KEYEVENTF_EXTENDEDKEY;
        break;
    default:
        break;
    }
    SendOne(input);
}

void Character(wchar_t c) {
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wScan = c;
    input.ki.dwFlags = KEYEVENTF_UNICODE;
    SendOne(input);
    input.ki.dwFlags = KEYEVENTF_UNICODE | KEYEVENTF_KEYUP;
    SendOne(input);
}

WORD VirtualKey(const std::wstring& name) {
    static const struct {
        const wchar_t* name;
        WORD vk;
    } keys[] = {{L"TAB", VK_TAB},       {L"ENTER", VK_RETURN}, {L"RETURN", VK_RETURN}, {L"ESCAPE", VK_ESCAPE},
                {L"ESC", VK_ESCAPE},    {L"SPACE", VK_SPACE},  {L"LEFT", VK_LEFT},     {L"RIGHT", VK_RIGHT},
                {L"UP", VK_UP},         {L"DOWN", VK_DOWN},    {L"HOME", VK_HOME},     {L"END", VK_END},
                {L"BACKSPACE", VK_BACK}, {L"DELETE", VK_DELETE}, {L"PAGEUP", VK_PRIOR}, {L"PAGEDOWN", VK_NEXT},
                {L"SHIFT", VK_SHIFT},   {L"CTRL", VK_CONTROL}, {L"ALT", VK_MENU}};
    for (const auto& key : keys)
        if (name == key.name) return key.vk;
    if (name.size() >= 2 && name[0] == L'F') {
        int n = _wtoi(name.c_str() + 1);
        if (n >= 1 && n <= 12) return static_cast<WORD>(VK_F1 + n - 1);
    }
    if (name.size() == 1 && ((name[0] >= L'A' && name[0] <= L'Z') || (name[0] >= L'0' && name[0] <= L'9')))
        return name[0];
    throw Failure{"unknown key: " + Utf8(name)};
}

// "SHIFT+TAB": the modifiers are held while the last key goes down and up.
void Chord(std::wstring spec) {
    for (auto& c : spec) c = static_cast<wchar_t>(::towupper(c));
    std::vector<WORD> keys;
    size_t start = 0;
    for (;;) {
        size_t plus = spec.find(L'+', start);
        keys.push_back(VirtualKey(spec.substr(start, plus == std::wstring::npos ? plus : plus - start)));
        if (plus == std::wstring::npos) break;
        start = plus + 1;
    }
    for (WORD vk : keys) Key(vk, false);
    for (auto it = keys.rbegin(); it != keys.rend(); ++it) Key(*it, true);
}

// Input goes through the target's queue in its own time: wait until its
// process is idle again, so that what the next command reads is the outcome.
void Settle(HWND window) {
    DWORD processId = 0;
    if (window != nullptr) ::GetWindowThreadProcessId(window, &processId);
    HANDLE process = processId != 0 ? ::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, processId) : nullptr;
    Pause(30);
    if (process != nullptr) {
        ::WaitForInputIdle(process, 2000);
        ::CloseHandle(process);
    }
}

HWND TopOf(HWND window) {
    HWND top = ::GetAncestor(window, GA_ROOT);
    return top != nullptr ? top : window;
}

void BringToFront(HWND window) {
    HWND top = TopOf(window);
    if (::GetForegroundWindow() == top) return;
    ::SetForegroundWindow(top);
    WaitFor(1000, [&] { return ::GetForegroundWindow() == top; });
}

POINT CentreOf(HWND control) {
    RECT r = {};
    ::GetWindowRect(control, &r);
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

// A press and release where a user's pointer would be: the control must be
// what lies under that point, or the click would land on whatever covers it.
void ClickAt(HWND target, POINT point) {
    BringToFront(target);
    HWND under = ::WindowFromPoint(point);
    if (under != target && !::IsChild(target, under))
        throw Failure{"the point is covered by " + Utf8(ClassOf(under)) + " " + Utf8(TextOf(under))};
    MoveTo(point);
    Settle(target);
    Mouse(MOUSEEVENTF_LEFTDOWN);
    Settle(target);
    Mouse(MOUSEEVENTF_LEFTUP);
    Settle(target);
}

void Click(HWND control) {
    if (!::IsWindowVisible(control)) throw Failure{"control is not visible"};
    ClickAt(control, CentreOf(control));
}

// The title bar's close box, found where the window itself says it is.
void ClickCloseBox(HWND window) {
    RECT r = {};
    ::GetWindowRect(window, &r);
    const int caption = ::GetSystemMetrics(SM_CYCAPTION);
    std::string seen;
    for (int y = r.top + 2; y < r.top + caption + 8; y += 2) {
        for (int x = r.right - 2; x > r.right - 3 * caption; x -= 2) {
            DWORD_PTR hit = HTNOWHERE;
            if (!::SendMessageTimeoutW(window, WM_NCHITTEST, 0, MAKELPARAM(x, y), SMTO_NORMAL, 5000, &hit))
                throw Failure{"the window did not answer where its close box is"};
            if (hit == HTCLOSE) {
                ClickAt(window, POINT{x - 2, y + 2});
                return;
            }
            AppendItem(seen, Number(static_cast<long long>(hit)));
        }
    }
    throw Failure{"the window has no close box (hit codes " + seen + ")"};
}

HWND FocusOf(HWND window) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof(info);
    ::GetGUIThreadInfo(::GetWindowThreadProcessId(window, nullptr), &info);
    return info.hwndFocus;
}

// Input reaches the program later than messages sent to it, so the text is
// selected with keys (they stay in order behind the click), not EM_SETSEL.
std::wstring TypeInto(HWND edit, const std::wstring& text) {
    Click(edit);
    if (!WaitFor(10000, [&] { return FocusOf(edit) == edit; })) throw Failure{"the edit did not take the focus"};
    Chord(L"CTRL+HOME");
    Chord(L"CTRL+SHIFT+END");
    if (text.empty()) Chord(L"DELETE");
    for (wchar_t c : text) Character(c);
    Settle(edit);
    std::wstring now;
    WaitFor(10000, [&] { return (now = TextOf(edit)) == text; });
    return now;
}

std::string FocusJson() {
    HWND foreground = ::GetForegroundWindow();
    GUITHREADINFO info = {};
    info.cbSize = sizeof(info);
    DWORD thread = foreground != nullptr ? ::GetWindowThreadProcessId(foreground, nullptr) : 0;
    if (thread != 0) ::GetGUIThreadInfo(thread, &info);
    std::string json = "{\"foreground\":" + HandleText(foreground) + ",\"caption\":" +
                       Quote(foreground != nullptr ? TextOf(foreground) : std::wstring()) +
                       ",\"focus\":" + HandleText(info.hwndFocus) +
                       ",\"id\":" + Number(info.hwndFocus != nullptr ? ::GetDlgCtrlID(info.hwndFocus) : 0);
    if (info.hwndFocus != nullptr) json += ",\"class\":" + Quote(ClassOf(info.hwndFocus));
    return json + "}";
}

std::string BoxJson(HWND box) {
    std::string buttons;
    for (HWND child : Descendants(box)) {
        if (::_wcsicmp(ClassOf(child).c_str(), L"Button") != 0 || !::IsWindowVisible(child)) continue;
        AppendItem(buttons, "{\"id\":" + Number(::GetDlgCtrlID(child)) + ",\"text\":" + Quote(TextOf(child)) + "}");
    }
    return "{\"hwnd\":" + HandleText(box) + ",\"caption\":" + Quote(TextOf(box)) + ",\"text\":" +
           Quote(TextOf(::GetDlgItem(box, 0xFFFF))) + ",\"buttons\":[" + buttons + "]}";
}

std::wstring WithoutAmpersands(const std::wstring& text) {
    std::wstring plain;
    for (wchar_t c : text)
        if (c != L'&') plain += c;
    return plain;
}

// A button given by its caption (without "&") or by its id.
HWND BoxButton(HWND box, const std::wstring& which) {
    for (HWND child : Descendants(box)) {
        if (::_wcsicmp(ClassOf(child).c_str(), L"Button") != 0 || !::IsWindowVisible(child)) continue;
        if (WithoutAmpersands(TextOf(child)) == which) return child;
    }
    if (!which.empty() && iswdigit(which[0])) return Control(box, ParseInt(which));
    throw Failure{"no button " + Utf8(which)};
}

std::string ProgressJson(HWND bar) {
    DWORD_PTR pos = 0, low = 0, high = 0;
    ::SendMessageTimeoutW(bar, PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, kAnswerWait, &pos);
    ::SendMessageTimeoutW(bar, PBM_GETRANGE, TRUE, 0, SMTO_ABORTIFHUNG, kAnswerWait, &low);
    ::SendMessageTimeoutW(bar, PBM_GETRANGE, FALSE, 0, SMTO_ABORTIFHUNG, kAnswerWait, &high);
    return "{\"pos\":" + Number(static_cast<int>(pos)) + ",\"low\":" + Number(static_cast<int>(low)) +
           ",\"high\":" + Number(static_cast<int>(high)) + "}";
}

// A list view's items: text, image and selection. The list lives in
// another process, so its item records are exchanged through memory there.
std::string ListItemsJson(HWND list) {
    DWORD process = 0;
    ::GetWindowThreadProcessId(list, &process);
    HANDLE target = ::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, process);
    if (target == nullptr) throw Failure{"cannot open the list's process"};
    constexpr int kTextChars = 512;
    const SIZE_T size = sizeof(LVITEMW) + kTextChars * sizeof(wchar_t);
    auto* remote = static_cast<char*>(::VirtualAllocEx(target, nullptr, size, MEM_COMMIT, PAGE_READWRITE));
    std::string json;
    DWORD_PTR count = 0;
    ::SendMessageTimeoutW(list, LVM_GETITEMCOUNT, 0, 0, SMTO_ABORTIFHUNG, kAnswerWait, &count);
    for (int i = 0; remote != nullptr && i < static_cast<int>(count); ++i) {
        LVITEMW item = {};
        item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_STATE;
        item.iItem = i;
        item.stateMask = LVIS_SELECTED;
        item.pszText = reinterpret_cast<wchar_t*>(remote + sizeof(LVITEMW));
        item.cchTextMax = kTextChars;
        SIZE_T moved = 0;
        ::WriteProcessMemory(target, remote, &item, sizeof(item), &moved);
        DWORD_PTR done = 0;
        ::SendMessageTimeoutW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(remote), SMTO_ABORTIFHUNG, kAnswerWait, &done);
        std::wstring text(kTextChars, L'\0');
        ::ReadProcessMemory(target, remote, &item, sizeof(item), &moved);
        ::ReadProcessMemory(target, remote + sizeof(LVITEMW), text.data(), kTextChars * sizeof(wchar_t), &moved);
        text.resize(std::wcslen(text.c_str()));
        AppendItem(json, "{\"text\":" + Quote(text) + ",\"image\":" + Number(item.iImage) +
                             ",\"selected\":" + Bool((item.state & LVIS_SELECTED) != 0) + "}");
    }
    if (remote != nullptr) ::VirtualFreeEx(target, remote, 0, MEM_RELEASE);
    ::CloseHandle(target);
    return "[" + json + "]";
}

// ---- commands -------------------------------------------------------------

std::vector<std::wstring> Split(const std::wstring& line) {
    std::vector<std::wstring> fields;
    size_t start = 0;
    for (;;) {
        size_t tab = line.find(L'\t', start);
        fields.push_back(line.substr(start, tab == std::wstring::npos ? tab : tab - start));
        if (tab == std::wstring::npos) return fields;
        start = tab + 1;
    }
}

//   windows                              every top-level window of other processes
//   find-window CAPTION exact|sub any|box|window TIMEOUT_MS
//                                        the first visible top-level window whose caption matches
//   gone HWND TIMEOUT_MS                 waits until the window is destroyed or hidden
//   window HWND                          the window's caption, class, states and rectangle
//   controls HWND                        every descendant control
//   wait-control HWND ID TIMEOUT_MS      waits until control ID is visible; its state
//   control HWND ID                      the control's text and states
//   click HWND ID                        press and release the left button on the control
//   close-box HWND                       press and release on the title bar's close box
//   key SPEC [HWND]                      a key or chord (SHIFT+TAB, ALT+F4) to the foreground
//                                        window (HWND's top-level window is brought to the front)
//   type HWND ID TEXT                    click into the edit, select its text, type TEXT
//   focus                                the foreground window and its focused control
//   box CAPTION exact|sub TIMEOUT_MS     a visible message box: its text and buttons
//   box-button HWND BUTTON               press and release on the box's button, given by
//                                        its caption without "&" or by its id
//   progress HWND ID                     a progress bar's position and range
//   list-items HWND ID                   a list view's items: text, image, selected
//   post|send HWND MSG WPARAM LPARAM     a raw message (numbers only)
//   sleep MS
//   quit
std::string Dispatch(const std::vector<std::wstring>& f) {
    const std::wstring& verb = f[0];
    auto need = [&](size_t n) {
        if (f.size() != n + 1) throw Failure{"wrong number of fields for " + Utf8(verb)};
    };
    if (verb == L"windows") {
        std::string list;
        for (HWND window : TopLevelWindows()) AppendItem(list, WindowJson(window));
        return "[" + list + "]";
    }
    if (verb == L"find-window") {
        need(4);
        Kind kind = f[3] == L"box" ? Kind::Box : f[3] == L"window" ? Kind::NotBox : Kind::Any;
        HWND window = WaitFor(ParseInt(f[4]), [&] { return FindTopLevel(f[1], f[2] == L"exact", kind); });
        if (window == nullptr) throw Failure{"no window " + Utf8(f[1])};
        return WindowJson(window);
    }
    if (verb == L"gone") {
        need(2);
        HWND window = reinterpret_cast<HWND>(static_cast<UINT_PTR>(std::wcstoull(f[1].c_str(), nullptr, 0)));
        bool gone = WaitFor(ParseInt(f[2]), [&] { return !::IsWindow(window) || !::IsWindowVisible(window); });
        if (!gone) throw Failure{"the window is still there"};
        return "true";
    }
    if (verb == L"window") {
        need(1);
        return WindowJson(ParseHandle(f[1]));
    }
    if (verb == L"controls") {
        need(1);
        std::string list;
        for (HWND child : Descendants(ParseHandle(f[1]))) AppendItem(list, ControlJson(child));
        return "[" + list + "]";
    }
    if (verb == L"wait-control") {
        need(3);
        HWND window = ParseHandle(f[1]);
        int id = ParseInt(f[2]);
        HWND control = WaitFor(ParseInt(f[3]), [&]() -> HWND {
            HWND c = ::IsWindow(window) ? FindControl(window, id) : nullptr;
            return c != nullptr && ::IsWindowVisible(c) ? c : nullptr;
        });
        if (control == nullptr) throw Failure{"control " + Utf8(f[2]) + " did not become visible"};
        return ControlJson(control);
    }
    if (verb == L"control") {
        need(2);
        return ControlJson(Control(ParseHandle(f[1]), ParseInt(f[2])));
    }
    if (verb == L"click") {
        need(2);
        Click(Control(ParseHandle(f[1]), ParseInt(f[2])));
        return "true";
    }
    if (verb == L"close-box") {
        need(1);
        ClickCloseBox(ParseHandle(f[1]));
        return "true";
    }
    if (verb == L"key") {
        if (f.size() != 2 && f.size() != 3) throw Failure{"key SPEC [HWND]"};
        if (f.size() == 3) BringToFront(ParseHandle(f[2]));
        HWND target = ::GetForegroundWindow();
        Chord(f[1]);
        Settle(target);
        return "true";
    }
    if (verb == L"type") {
        need(3);
        return Quote(TypeInto(Control(ParseHandle(f[1]), ParseInt(f[2])), f[3]));
    }
    if (verb == L"focus") return FocusJson();
    if (verb == L"box") {
        need(3);
        HWND box = WaitFor(ParseInt(f[3]), [&] { return FindTopLevel(f[1], f[2] == L"exact", Kind::Box); });
        if (box == nullptr) throw Failure{"no message box " + Utf8(f[1])};
        return BoxJson(box);
    }
    if (verb == L"box-button") {
        need(2);
        Click(BoxButton(ParseHandle(f[1]), f[2]));
        return "true";
    }
    if (verb == L"progress") {
        need(2);
        return ProgressJson(Control(ParseHandle(f[1]), ParseInt(f[2])));
    }
    if (verb == L"list-items") {
        need(2);
        return ListItemsJson(Control(ParseHandle(f[1]), ParseInt(f[2])));
    }
    if (verb == L"post" || verb == L"send") {
        if (f.size() != 5 && f.size() != 6) throw Failure{"post|send HWND MESSAGE WPARAM LPARAM [COUNT]"};
        HWND window = ParseHandle(f[1]);
        UINT message = static_cast<UINT>(ParseInt(f[2]));
        WPARAM wParam = static_cast<WPARAM>(std::wcstoll(f[3].c_str(), nullptr, 0));
        LPARAM lParam = static_cast<LPARAM>(std::wcstoll(f[4].c_str(), nullptr, 0));
        if (verb == L"post") {
            // Several at once land in the queue back to back, before the
            // program can answer the first.
            const int count = f.size() > 5 ? ParseInt(f[5]) : 1;
            bool posted = true;
            for (int i = 0; i < count; ++i) posted = ::PostMessageW(window, message, wParam, lParam) && posted;
            return Bool(posted);
        }
        DWORD_PTR result = 0;
        if (!::SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, 5000, &result))
            throw Failure{"the window did not answer"};
        return Number(static_cast<long long>(result));
    }
    if (verb == L"sleep") {
        need(1);
        Pause(ParseInt(f[1]));
        return "true";
    }
    throw Failure{"unknown command: " + Utf8(verb)};
}

void Answer(const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

}  // namespace

int wmain() {
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stdin), _O_BINARY);
    Answer("ok \"ready\"");
    std::string line;
    for (int c; (c = std::fgetc(stdin)) != EOF;) {
        if (c != '\n') {
            if (c != '\r') line += static_cast<char>(c);
            continue;
        }
        std::vector<std::wstring> fields = Split(Wide(line));
        line.clear();
        if (fields[0].empty()) continue;
        if (fields[0] == L"quit") {
            Answer("ok true");
            return 0;
        }
        try {
            std::string answer = "ok ";
            Answer(answer + Dispatch(fields));
        } catch (const Failure& failure) {
            std::string answer = "err ";
            Answer(answer + Quote(Wide(failure.message)));
        }
    }
    return 0;
}
