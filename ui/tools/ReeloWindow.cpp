// Helper of scripts/screenshot and scripts/package's check: finds a visible
// top-level window of a class in the prefix's desktop and works on it from
// outside, the way a user would.
//   ReeloWindow wait CLASS [timeout-ms]   prints "left top width height"
//   ReeloWindow fit CLASS [timeout-ms]    moves it fully onto the screen, then as wait
//   ReeloWindow move CLASS X Y            moves it to X, Y, then as wait
//   ReeloWindow close CLASS               asks it to close (WM_CLOSE)
//   ReeloWindow gone CLASS [timeout-ms]   waits until no such window is visible
//   ReeloWindow keys CLASS KEY...         brings it to the front and types the keys:
//                                         a letter or digit, enter, esc, tab, space,
//                                         up, down, left, right, f4, each optionally
//                                         after ctrl+, alt+ or shift+ (ctrl+p, alt+c)
//   ReeloWindow click CLASS X Y           a left click at X, Y of its client area
//   ReeloWindow tree CLASS N              gives the tree view in it the focus and selects
//                                         its item N (0 is the first, counted down the
//                                         expanded items), touching nothing else; its owner
//                                         is told as of a user's choice. Prints the tree's
//                                         "left top width height"; exit code 1 without item N
// Exit code 1 when the window did not appear in time (20 s by default).
// Coordinates are the screen's pixels at any scale of the display.
#include <windows.h>

#include <commctrl.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

HWND FindVisible(const char* cls)
{
    HWND hwnd = nullptr;
    while ((hwnd = FindWindowExA(nullptr, hwnd, cls, nullptr)) != nullptr)
        if (IsWindowVisible(hwnd)) return hwnd;
    return nullptr;
}

HWND WaitVisible(const char* cls, int timeout)
{
    for (int waited = 0;; waited += 100) {
        if (HWND hwnd = FindVisible(cls)) return hwnd;
        if (waited >= timeout) return nullptr;
        Sleep(100);
    }
}

void PrintRect(HWND hwnd)
{
    RECT r;
    GetWindowRect(hwnd, &r);
    std::printf("%ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
}

INPUT Key(WORD vk, bool up)
{
    INPUT i = {};
    i.type = INPUT_KEYBOARD;
    i.ki.wVk = vk;
    i.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    return i;
}

// "ctrl+alt+x" as virtual keys: modifiers first, the key last; 0 when unknown.
std::vector<WORD> ParseKey(std::string chord)
{
    std::vector<WORD> keys;
    for (;;) {
        const size_t plus = chord.find('+');
        if (plus == std::string::npos || plus + 1 == chord.size()) break;
        const std::string mod = chord.substr(0, plus);
        chord.erase(0, plus + 1);
        if (mod == "ctrl")
            keys.push_back(VK_CONTROL);
        else if (mod == "alt")
            keys.push_back(VK_MENU);
        else if (mod == "shift")
            keys.push_back(VK_SHIFT);
        else
            return {};
    }
    static const struct {
        const char* Name;
        WORD Vk;
    } named[] = {{"enter", VK_RETURN}, {"esc", VK_ESCAPE}, {"tab", VK_TAB},   {"space", VK_SPACE},
                 {"up", VK_UP},        {"down", VK_DOWN},  {"left", VK_LEFT}, {"right", VK_RIGHT},
                 {"f4", VK_F4},        {"home", VK_HOME},  {"end", VK_END}};
    WORD vk = 0;
    if (chord.size() == 1 && std::isalnum(static_cast<unsigned char>(chord[0])))
        vk = static_cast<WORD>(std::toupper(static_cast<unsigned char>(chord[0])));
    for (const auto& n : named)
        if (chord == n.Name) vk = n.Vk;
    if (!vk) return {};
    keys.push_back(vk);
    return keys;
}

bool BringToFront(HWND hwnd)
{
    for (int i = 0; i < 20; ++i) {
        if (GetForegroundWindow() == hwnd) return true;
        SetForegroundWindow(hwnd);
        Sleep(100);
    }
    return GetForegroundWindow() == hwnd;
}

void Click(HWND hwnd, int x, int y)
{
    POINT p{x, y};
    ClientToScreen(hwnd, &p);
    const int cx = GetSystemMetrics(SM_CXSCREEN), cy = GetSystemMetrics(SM_CYSCREEN);
    INPUT in[3] = {};
    for (INPUT& i : in) {
        i.type = INPUT_MOUSE;
        i.mi.dx = p.x * 65535 / (cx - 1);
        i.mi.dy = p.y * 65535 / (cy - 1);
    }
    in[0].mi.dwFlags = MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_MOVE;
    in[1].mi.dwFlags = MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_LEFTDOWN;
    in[2].mi.dwFlags = MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_LEFTUP;
    SendInput(3, in, sizeof(INPUT));
}

// Tree items are handles, not pointers: the messages below mean the same in
// another process (a message that fills a buffer, such as TVM_GETITEM, would
// not).
LRESULT SendTo(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(hwnd, msg, wp, lp, SMTO_ABORTIFHUNG, 10000, &result)) return 0;
    return static_cast<LRESULT>(result);
}

HTREEITEM TreeItem(HWND tree, int index)
{
    auto item = reinterpret_cast<HTREEITEM>(SendTo(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
    for (int i = 0; item && i < index; ++i)
        item = reinterpret_cast<HTREEITEM>(
            SendTo(tree, TVM_GETNEXTITEM, TVGN_NEXTVISIBLE, reinterpret_cast<LPARAM>(item)));
    return item;
}

int SelectTreeItem(HWND hwnd, const char* cls, int index)
{
    HWND tree = FindWindowExA(hwnd, nullptr, WC_TREEVIEWA, nullptr);
    if (!tree) {
        std::fprintf(stderr, "ReeloWindow: %s has no tree view\n", cls);
        return 1;
    }
    HTREEITEM item = index >= 0 ? TreeItem(tree, index) : nullptr;
    if (!item) {
        std::fprintf(stderr, "ReeloWindow: the tree of %s has no item %d\n", cls, index);
        return 1;
    }
    // The tree takes the focus first, as under a click, so that it shows the
    // selection; the focus of another thread is set while sharing its input.
    const DWORD owner = GetWindowThreadProcessId(tree, nullptr);
    bool focused = false;
    if (AttachThreadInput(GetCurrentThreadId(), owner, TRUE)) {
        SetFocus(tree);
        focused = GetFocus() == tree;
        AttachThreadInput(GetCurrentThreadId(), owner, FALSE);
    }
    if (!focused) std::fprintf(stderr, "ReeloWindow: the tree of %s did not take the focus\n", cls);
    SendTo(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
    if (reinterpret_cast<HTREEITEM>(SendTo(tree, TVM_GETNEXTITEM, TVGN_CARET, 0)) != item) {
        std::fprintf(stderr, "ReeloWindow: the tree of %s kept its selection\n", cls);
        return 1;
    }
    Sleep(300);
    PrintRect(tree);
    return 0;
}

// Real pixels: a program unaware of the display's scale would see every
// other window's rectangle scaled down to 96 DPI.
void UseRealPixels()
{
    using TSetContext = BOOL(WINAPI*)(HANDLE);
    HMODULE user = GetModuleHandleA("user32.dll");
    auto setContext = reinterpret_cast<TSetContext>(
        reinterpret_cast<void*>(GetProcAddress(user, "SetProcessDpiAwarenessContext")));
    // DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2
    if (!setContext || !setContext(reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-4)))) SetProcessDPIAware();
}

int Usage()
{
    std::fprintf(stderr, "usage: ReeloWindow wait|fit|move|close|gone|keys|click|tree CLASS ...\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3) return Usage();
    UseRealPixels();
    const std::string cmd = argv[1];
    const char* cls = argv[2];
    const bool timed = cmd == "wait" || cmd == "fit" || cmd == "gone";
    const int timeout = timed && argc > 3 ? std::atoi(argv[3]) : 20000;

    if (cmd == "gone") {
        for (int waited = 0; FindVisible(cls); waited += 100) {
            if (waited >= timeout) return 1;
            Sleep(100);
        }
        return 0;
    }
    HWND hwnd = WaitVisible(cls, timeout);
    if (!hwnd) return 1;
    if (cmd == "close") {
        PostMessageA(hwnd, WM_CLOSE, 0, 0);
        return 0;
    }
    if (cmd == "keys") {
        if (!BringToFront(hwnd)) std::fprintf(stderr, "ReeloWindow: %s is not in front\n", cls);
        for (int a = 3; a < argc; ++a) {
            const std::vector<WORD> keys = ParseKey(argv[a]);
            if (keys.empty()) {
                std::fprintf(stderr, "ReeloWindow: unknown key %s\n", argv[a]);
                return 2;
            }
            std::vector<INPUT> in;
            for (WORD vk : keys) in.push_back(Key(vk, false));
            for (auto k = keys.rbegin(); k != keys.rend(); ++k) in.push_back(Key(*k, true));
            SendInput(static_cast<UINT>(in.size()), in.data(), sizeof(INPUT));
            // Let the program take each key (menus open between them).
            Sleep(300);
        }
        return 0;
    }
    if (cmd == "click") {
        if (argc < 5) return Usage();
        BringToFront(hwnd);
        Click(hwnd, std::atoi(argv[3]), std::atoi(argv[4]));
        Sleep(300);
        return 0;
    }
    if (cmd == "tree") {
        if (argc < 4) return Usage();
        return SelectTreeItem(hwnd, cls, std::atoi(argv[3]));
    }
    RECT r;
    GetWindowRect(hwnd, &r);
    if (cmd == "move") {
        if (argc < 5) return Usage();
        SetWindowPos(hwnd, nullptr, std::atoi(argv[3]), std::atoi(argv[4]), 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        Sleep(300);
    } else if (cmd == "fit") {
        RECT work;
        SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
        LONG dx = r.right > work.right ? work.right - r.right : 0;
        LONG dy = r.bottom > work.bottom ? work.bottom - r.bottom : 0;
        if (r.left + dx < work.left) dx = work.left - r.left;
        if (r.top + dy < work.top) dy = work.top - r.top;
        if (dx || dy) {
            SetWindowPos(hwnd, nullptr, r.left + dx, r.top + dy, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
            Sleep(300);
        }
    } else if (cmd != "wait") {
        return Usage();
    }
    PrintRect(hwnd);
    return 0;
}
