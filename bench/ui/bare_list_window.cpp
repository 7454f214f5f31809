// The start-up benchmark's baseline: a plain Win32 program that opens one
// window with an owner-data list box (control 101, as the player's file
// list), shows it and waits for messages. Given a play list file as its
// argument it first loads it with LoadFromFile and shows its entries.
#include <windows.h>

#include <memory>
#include <string>

#include "playlist/UPlayList.h"

namespace {

const int ListId = 101;
std::unique_ptr<TPlayList> List;
HWND ListBox = nullptr;

LRESULT CALLBACK WindowProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
        case WM_SIZE:
            if (ListBox) MoveWindow(ListBox, 0, 0, LOWORD(lp), HIWORD(lp), TRUE);
            return 0;
        case WM_DRAWITEM: {
            auto* item = reinterpret_cast<DRAWITEMSTRUCT*>(lp);
            if (item->itemID == static_cast<UINT>(-1)) return TRUE;
            const bool selected = item->itemState & ODS_SELECTED;
            FillRect(item->hDC, &item->rcItem, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
            SetBkMode(item->hDC, TRANSPARENT);
            SetTextColor(item->hDC, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
            if (List && static_cast<int>(item->itemID) < List->FileCount()) {
                const std::string name = List->Files(static_cast<int>(item->itemID)).DisplayName();
                TextOutA(item->hDC, item->rcItem.left + 2, item->rcItem.top, name.data(),
                         static_cast<int>(name.size()));
            }
            return TRUE;
        }
        case WM_CLOSE:
            DestroyWindow(wnd);
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
    }
    return DefWindowProcA(wnd, msg, wp, lp);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int)
{
    std::string listFile = commandLine;
    if (listFile.size() >= 2 && listFile.front() == '"' && listFile.back() == '"')
        listFile = listFile.substr(1, listFile.size() - 2);
    if (!listFile.empty()) {
        List = std::make_unique<TPlayList>("Big", "");
        List->LoadFromFile(listFile);
    }

    WNDCLASSA wc = {};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = "TBareListWindow";
    RegisterClassA(&wc);
    HWND main = CreateWindowExA(0, wc.lpszClassName, "Bare", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                CW_USEDEFAULT, 480, 390, nullptr, nullptr, instance, nullptr);
    if (!main) return 1;
    RECT client;
    GetClientRect(main, &client);
    ListBox = CreateWindowExA(WS_EX_CLIENTEDGE, "LISTBOX", "",
                              WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_NODATA | LBS_OWNERDRAWFIXED |
                                  LBS_NOTIFY | LBS_NOINTEGRALHEIGHT,
                              0, 0, client.right, client.bottom, main,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(ListId)), instance, nullptr);
    SendMessageA(ListBox, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    SendMessageA(ListBox, LB_SETCOUNT, List ? List->FileCount() : 0, 0);
    ShowWindow(main, SW_SHOW);
    UpdateWindow(main);

    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}
