// The application object: message loop with idle processing, termination,
// the process-wide command table for menu items, work posted from other
// threads (Post), and the handler for exceptions that no command caught.
#pragma once

#include <windows.h>

#include <exception>
#include <functional>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

class TForm;

// A registered command id; unregisters itself when destroyed.
class TCommand {
public:
    TCommand() = default;
    explicit TCommand(std::function<void(UINT code)> handler);
    ~TCommand();
    TCommand(TCommand&& other) noexcept;
    TCommand& operator=(TCommand&& other) noexcept;
    TCommand(const TCommand&) = delete;
    TCommand& operator=(const TCommand&) = delete;
    UINT Id() const { return FId; }

private:
    UINT FId = 0;
};

class TApplication {
public:
    TApplication();
    ~TApplication();
    TApplication(const TApplication&) = delete;
    TApplication& operator=(const TApplication&) = delete;

    // The hidden application window; owner of every form.
    HWND Handle() const { return FHandle; }
    HINSTANCE Instance() const { return FInstance; }
    std::string Title = "Reelo";

    // Closing this form ends the loop.
    TForm* MainForm = nullptr;

    // Runs the loop until Terminate.
    void Run();
    // One message, or when the queue is empty: idle handlers, then wait.
    void HandleMessage();
    // Dispatches every message waiting in the queue, without idle processing.
    void ProcessMessages();
    void Terminate();
    bool Terminated() const { return FTerminated; }

    // Runs fn on the GUI thread from its message loop; callable from any
    // thread while the application exists. An exception from fn reaches
    // the application's handler. Work still queued when the application
    // goes is dropped.
    void Post(std::function<void()> fn);
    bool OnGuiThread() const { return std::this_thread::get_id() == FGuiThread; }

    // A message the loop takes for a window goes first to the filter of its
    // top-level window (a form's accelerators and dialog keys), which
    // returns true when it consumed the message. One filter per window; a
    // window removes its own before it goes.
    void SetMessageFilter(HWND window, std::function<bool(MSG& msg)> filter);
    void RemoveMessageFilter(HWND window);

    // Idle handlers run whenever the queue becomes empty.
    int AddIdleHandler(std::function<void()> handler);
    void RemoveIdleHandler(int id);
    void DoIdle();

    // WM_QUERYENDSESSION and WM_ENDSESSION, which every top-level window of
    // the program passes here first: the session may end (TRUE), and when it
    // ends, OnEndSession runs once, in whichever window is told first,
    // before that window answers. False for any other message.
    bool SessionMessage(UINT msg, WPARAM wp, LRESULT& result);
    std::function<void()> OnEndSession;

    // Shows the text of an exception (message box, stop icon) or hands it to
    // OnException when that is set. Never throws.
    void HandleException(const std::exception& e) noexcept;
    void HandleCurrentException() noexcept;  // inside a catch block
    std::function<void(const std::exception&)> OnException;

    // The UI font for child controls on a display of dpi (one font per DPI,
    // kept while the application lives); without dpi the system's.
    HFONT Font() const;
    HFONT Font(UINT dpi) const;

    // Command table (menu items, accelerators, buttons).
    UINT RegisterCommand(std::function<void(UINT code)> handler);
    void UnregisterCommand(UINT id);
    bool DispatchCommand(UINT id, UINT code);

private:
    static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    bool ProcessMessage(MSG& msg);
    void RunPosted();

    HINSTANCE FInstance = nullptr;
    HWND FHandle = nullptr;
    mutable std::map<UINT, HFONT> FFonts;
    bool FTerminated = false;
    bool FSessionEnded = false;
    std::map<int, std::function<void()>> FIdleHandlers;
    int FNextIdle = 1;
    std::map<UINT, std::function<void(UINT)>> FCommands;
    UINT FNextCommand = 1000;
    std::map<HWND, std::function<bool(MSG&)>> FMessageFilters;
    std::thread::id FGuiThread;
    std::mutex FPostLock;
    std::deque<std::function<void()>> FPosted;
};

// The one application object of the process (created by the program entry or
// by a test; nullptr before that).
extern TApplication* Application;

// Runs f, handing any exception to the application's handler. For callbacks
// coming from Windows, where no exception may pass.
template <typename F>
void Guarded(F&& f) noexcept
{
    try {
        f();
    } catch (...) {
        if (Application) Application->HandleCurrentException();
    }
}
