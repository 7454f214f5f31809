#include "win/UApplication.h"

#include <commctrl.h>

#include <vector>

#include "base/UException.h"
#include "win/UDpi.h"
#include "win/UMessages.h"
#include "win/UScreenText.h"

TApplication* Application = nullptr;

TCommand::TCommand(std::function<void(UINT code)> handler)
    : FId(Application->RegisterCommand(std::move(handler)))
{
}

TCommand::~TCommand()
{
    if (FId && Application) Application->UnregisterCommand(FId);
}

TCommand::TCommand(TCommand&& other) noexcept : FId(other.FId) { other.FId = 0; }

TCommand& TCommand::operator=(TCommand&& other) noexcept
{
    if (this != &other) {
        if (FId && Application) Application->UnregisterCommand(FId);
        FId = other.FId;
        other.FId = 0;
    }
    return *this;
}

LRESULT CALLBACK TApplication::WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    LRESULT result = 0;
    if (Application && Application->SessionMessage(msg, wp, result)) return result;
    if (msg == WM_COMMAND && Application) {
        Guarded([&] { Application->DispatchCommand(LOWORD(wp), HIWORD(wp)); });
        return 0;
    }
    // Work from Post: each function is guarded on its own.
    if (msg == WM_APP_POSTED && Application) {
        Application->RunPosted();
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

TApplication::TApplication()
{
    FInstance = GetModuleHandleA(nullptr);
    FGuiThread = std::this_thread::get_id();
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&icc);

    WNDCLASSA wc = {};
    wc.lpfnWndProc = &TApplication::WndProc;
    wc.hInstance = FInstance;
    wc.hIcon = LoadIconA(FInstance, "MAINICON");
    wc.lpszClassName = "TApplication";
    RegisterClassA(&wc);
    FHandle =
        CreateWindowExA(0, "TApplication", Title.c_str(), WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
                        0, 0, 0, 0, nullptr, nullptr, FInstance, nullptr);
    if (!FHandle) throw Exception("アプリケーションウインドウを作成できませんでした");

    Application = this;
}

TApplication::~TApplication()
{
    {
        std::lock_guard<std::mutex> g(FPostLock);
        FPosted.clear();
    }
    if (FHandle) DestroyWindow(FHandle);
    for (auto& [dpi, font] : FFonts)
        if (font) DeleteObject(font);
    if (Application == this) Application = nullptr;
}

HFONT TApplication::Font() const { return Font(SystemDpi()); }

HFONT TApplication::Font(UINT dpi) const
{
    auto it = FFonts.find(dpi);
    if (it == FFonts.end()) it = FFonts.emplace(dpi, CreateMessageFontForDpi(dpi)).first;
    return it->second;
}

void TApplication::Run()
{
    while (!FTerminated) HandleMessage();
}

bool TApplication::ProcessMessage(MSG& msg)
{
    if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) return false;
    if (msg.message == WM_QUIT) {
        FTerminated = true;
        return true;
    }
    auto filter = msg.hwnd ? FMessageFilters.find(GetAncestor(msg.hwnd, GA_ROOT)) : FMessageFilters.end();
    if (filter != FMessageFilters.end()) {
        // A copy: what the filter runs may destroy the window and remove it.
        const auto consumed = filter->second;
        if (consumed(msg)) return true;
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
    return true;
}

void TApplication::HandleMessage()
{
    MSG msg;
    if (!ProcessMessage(msg)) {
        DoIdle();
        if (!FTerminated) WaitMessage();
    }
}

void TApplication::ProcessMessages()
{
    MSG msg;
    while (ProcessMessage(msg)) {
    }
}

void TApplication::Terminate()
{
    if (!FTerminated) {
        FTerminated = true;
        PostQuitMessage(0);
    }
}

void TApplication::SetMessageFilter(HWND window, std::function<bool(MSG& msg)> filter)
{
    FMessageFilters[window] = std::move(filter);
}

void TApplication::RemoveMessageFilter(HWND window) { FMessageFilters.erase(window); }

int TApplication::AddIdleHandler(std::function<void()> handler)
{
    int id = FNextIdle++;
    FIdleHandlers[id] = std::move(handler);
    return id;
}

void TApplication::RemoveIdleHandler(int id) { FIdleHandlers.erase(id); }

void TApplication::DoIdle()
{
    // A handler may add or remove handlers: walk a snapshot of the ids.
    std::vector<int> ids;
    for (auto& [id, h] : FIdleHandlers) ids.push_back(id);
    for (int id : ids) {
        auto it = FIdleHandlers.find(id);
        if (it == FIdleHandlers.end()) continue;
        auto handler = it->second;
        Guarded(handler);
    }
}

bool TApplication::SessionMessage(UINT msg, WPARAM wp, LRESULT& result)
{
    if (msg == WM_QUERYENDSESSION) {
        result = TRUE;
        return true;
    }
    if (msg != WM_ENDSESSION) return false;
    result = 0;
    // On the GUI thread: a window of another thread leaves it to the others.
    if (wp && !FSessionEnded && OnGuiThread()) {
        FSessionEnded = true;
        if (OnEndSession) Guarded(OnEndSession);
    }
    return true;
}

void TApplication::HandleException(const std::exception& e) noexcept
{
    try {
        if (OnException) {
            OnException(e);
            return;
        }
        HWND owner = GetActiveWindow();
        MessageBoxString(owner, e.what(), Title, MB_OK | MB_ICONHAND);
    } catch (...) {
    }
}

void TApplication::HandleCurrentException() noexcept
{
    try {
        throw;
    } catch (const std::exception& e) {
        HandleException(e);
    } catch (...) {
        HandleException(Exception("不明なエラーが発生しました"));
    }
}

UINT TApplication::RegisterCommand(std::function<void(UINT code)> handler)
{
    // Ids 1..999 are left to dialogs (IDOK, IDCANCEL, ...).
    while (FCommands.count(FNextCommand) || FNextCommand < 1000)
        FNextCommand = FNextCommand >= 0xEFFF ? 1000 : FNextCommand + 1;
    UINT id = FNextCommand++;
    FCommands[id] = std::move(handler);
    return id;
}

void TApplication::UnregisterCommand(UINT id) { FCommands.erase(id); }

bool TApplication::DispatchCommand(UINT id, UINT code)
{
    auto it = FCommands.find(id);
    if (it == FCommands.end()) return false;
    auto handler = it->second;  // the handler may unregister itself
    handler(code);
    return true;
}

void TApplication::Post(std::function<void()> fn)
{
    bool wake;
    {
        std::lock_guard<std::mutex> g(FPostLock);
        wake = FPosted.empty();
        FPosted.push_back(std::move(fn));
    }
    // One message wakes the loop for everything queued until it runs.
    if (wake) PostMessageA(FHandle, WM_APP_POSTED, 0, 0);
}

void TApplication::RunPosted()
{
    std::deque<std::function<void()>> work;
    {
        std::lock_guard<std::mutex> g(FPostLock);
        work.swap(FPosted);
    }
    for (auto& fn : work) Guarded(fn);
}
