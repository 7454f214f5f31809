// Helper of scripts/screenshot: waits for a top-level window of a class in
// the prefix's desktop and prints its bounds, or asks it to close.
//   ReeloWindow wait CLASS [timeout-ms]   prints "left top width height"
//   ReeloWindow fit CLASS                 moves it fully onto the screen, then as wait
//   ReeloWindow close CLASS
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: ReeloWindow wait|close CLASS [timeout-ms]\n");
        return 2;
    }
    int timeout = argc > 3 ? std::atoi(argv[3]) : 20000;
    HWND hwnd = nullptr;
    for (int waited = 0; waited <= timeout; waited += 100) {
        hwnd = FindWindowA(argv[2], nullptr);
        if (hwnd && IsWindowVisible(hwnd)) break;
        Sleep(100);
    }
    if (!hwnd) return 1;
    if (std::strcmp(argv[1], "close") == 0) {
        PostMessageA(hwnd, WM_CLOSE, 0, 0);
        return 0;
    }
    RECT r;
    GetWindowRect(hwnd, &r);
    if (std::strcmp(argv[1], "fit") == 0) {
        RECT work;
        SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
        LONG dx = r.right > work.right ? work.right - r.right : 0;
        LONG dy = r.bottom > work.bottom ? work.bottom - r.bottom : 0;
        if (r.left + dx < work.left) dx = work.left - r.left;
        if (r.top + dy < work.top) dy = work.top - r.top;
        if (dx || dy) {
            SetWindowPos(hwnd, nullptr, r.left + dx, r.top + dy, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
            Sleep(300);
            GetWindowRect(hwnd, &r);
        }
    }
    std::printf("%ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
    return 0;
}
