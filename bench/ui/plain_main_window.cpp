// A second start-up baseline: the player's windows made with the plain API
// and nothing behind them. Like Reelo.exe it has visual styles (the same
// manifest) and OLE, a hidden application window and owner window, a hidden
// movie window, and a main window with a menu bar of six menus, the same
// eighteen controls in the same places (the file list is control 101, owner
// data) and two drop targets. What Reelo.exe takes beyond this program is
// its own work; what this program takes beyond bare_list_window.exe is what
// Windows (here Wine) takes for those windows.
#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

namespace {

const UINT ListId = 101;

// Accepts nothing; enough for RegisterDragDrop.
struct TNoDrop : IDropTarget {
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        if (iid != IID_IUnknown && iid != IID_IDropTarget) {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        *out = this;
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE DragEnter(IDataObject*, DWORD, POINTL, DWORD* effect) override
    {
        *effect = DROPEFFECT_NONE;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DragOver(DWORD, POINTL, DWORD* effect) override
    {
        *effect = DROPEFFECT_NONE;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DragLeave() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Drop(IDataObject*, DWORD, POINTL, DWORD* effect) override
    {
        *effect = DROPEFFECT_NONE;
        return S_OK;
    }
};

HWND MainWindow = nullptr;

LRESULT CALLBACK WindowProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
        case WM_DRAWITEM:
            return TRUE;  // the list is empty
        case WM_CLOSE:
            DestroyWindow(wnd);
            return 0;
        case WM_DESTROY:
            if (wnd == MainWindow) PostQuitMessage(0);
            return 0;
    }
    return DefWindowProcA(wnd, msg, wp, lp);
}

HMENU MenuBar()
{
    static const char* const titles[] = {"ファイル(&F)", "プレイリスト(&L)", "表示(&V)",
                                         "再生(&P)",     "設定(&C)",         "ヘルプ(&H)"};
    static const int items[] = {5, 12, 12, 16, 9, 3};
    HMENU bar = CreateMenu();
    UINT id = 1000;
    for (int m = 0; m < 6; ++m) {
        HMENU sub = CreatePopupMenu();
        for (int i = 0; i < items[m]; ++i) AppendMenuA(sub, MF_STRING, id++, "メニューの項目(&M)\tCtrl+M");
        AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(sub), titles[m]);
    }
    return bar;
}

struct TChild {
    UINT Id;
    const char* ClassName;
    const char* Text;
    DWORD Style;
    int Left, Top, Width, Height;
};

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    OleInitialize(nullptr);
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&icc);

    WNDCLASSA wc = {};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = "TPlainWindow";
    RegisterClassA(&wc);
    HWND app = CreateWindowExA(0, wc.lpszClassName, "Plain", WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, 0, 0, 0,
                               nullptr, nullptr, instance, nullptr);
    HWND owner = CreateWindowExA(0, wc.lpszClassName, "Owner", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                 CW_USEDEFAULT, 878, 627, app, nullptr, instance, nullptr);
    HWND movie = CreateWindowExA(WS_EX_APPWINDOW, wc.lpszClassName, "Movie", WS_POPUP | WS_CAPTION, 352, 264,
                                 320, 240, owner, nullptr, instance, nullptr);
    MainWindow = CreateWindowExA(WS_EX_APPWINDOW, wc.lpszClassName, "Plain", WS_OVERLAPPEDWINDOW,
                                 CW_USEDEFAULT, CW_USEDEFAULT, 480, 390, owner, MenuBar(), instance, nullptr);
    if (!app || !owner || !movie || !MainWindow) return 1;

    const DWORD check = BS_CHECKBOX | WS_TABSTOP;
    const TChild children[] = {
        {0, WC_COMBOBOXA, "", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, 8, 8, 456, 200},
        {ListId, WC_LISTBOXA, "",
         WS_VSCROLL | LBS_NODATA | LBS_OWNERDRAWFIXED | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_TABSTOP, 8, 36,
         456, 150},
        {0, WC_BUTTONA, "上", WS_TABSTOP, 8, 192, 44, 24},
        {0, WC_BUTTONA, "下", WS_TABSTOP, 56, 192, 44, 24},
        {0, WC_BUTTONA, "削除", WS_TABSTOP, 104, 192, 52, 24},
        {0, WC_BUTTONA, "追加", WS_TABSTOP, 160, 192, 52, 24},
        {0, WC_BUTTONA, "Random", check, 228, 192, 76, 24},
        {0, WC_BUTTONA, "Repeat", check, 308, 192, 76, 24},
        {0, TOOLBARCLASSNAMEA, "", TBSTYLE_FLAT | TBSTYLE_LIST | CCS_NORESIZE | CCS_NODIVIDER, 8, 222, 300,
         28},
        {0, WC_BUTTONA, "全画面", check, 316, 224, 76, 24},
        {0, WC_BUTTONA, "最前面", check, 396, 224, 76, 24},
        {0, TRACKBAR_CLASSA, "", TBS_NOTICKS | WS_TABSTOP, 4, 254, 404, 26},
        {0, WC_STATICA, "00:00", SS_RIGHT, 412, 259, 52, 18},
        {0, WC_STATICA, "", SS_ENDELLIPSIS, 8, 284, 456, 18},
        {0, WC_STATICA, "Vol.", 0, 8, 316, 30, 18},
        {0, TRACKBAR_CLASSA, "", WS_TABSTOP, 40, 310, 200, 28},
        {0, WC_STATICA, "0", 0, 244, 316, 44, 18},
        {0, WC_BUTTONA, "Mute", check, 300, 312, 76, 24},
    };
    auto font = reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT));
    HWND list = nullptr;
    for (const TChild& c : children) {
        const bool isList = c.Id == ListId;
        HWND child =
            CreateWindowExA(isList ? WS_EX_CLIENTEDGE : 0, c.ClassName, c.Text,
                            WS_CHILD | WS_VISIBLE | c.Style, c.Left, c.Top, c.Width, c.Height, MainWindow,
                            reinterpret_cast<HMENU>(static_cast<UINT_PTR>(c.Id)), instance, nullptr);
        SendMessageA(child, WM_SETFONT, font, FALSE);
        if (isList) list = child;
    }
    SendMessageA(list, LB_SETCOUNT, 0, 0);
    static TNoDrop listDrop, movieDrop;
    RegisterDragDrop(list, &listDrop);
    RegisterDragDrop(movie, &movieDrop);

    ShowWindow(MainWindow, SW_SHOW);
    UpdateWindow(MainWindow);

    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    RevokeDragDrop(list);
    RevokeDragDrop(movie);
    OleUninitialize();
    return 0;
}
