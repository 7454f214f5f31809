// Forms: top-level windows with creation parameters, show, hide and close
// events, and modal showing with a modal result. Every dialog is a form
// shown with ShowModal. A form passes its child controls' notifications to
// their objects (UControl.h).
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "win/UControl.h"

enum TModalResult : int {
    mrNone = 0,
    mrOK = IDOK,
    mrCancel = IDCANCEL,
    mrYes = IDYES,
    mrNo = IDNO,
};

// What closing a form does: nothing, or hide it (a modal form: end with
// mrCancel unless a result is set; the main form: end the application).
// A form is owned by its creator, who destroys it.
enum class TCloseAction { None, Hide };

struct TCreateParams {
    std::string ClassName = "TForm";
    std::string Caption;
    DWORD Style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
    DWORD ExStyle = 0;
    int Left = CW_USEDEFAULT;
    int Top = CW_USEDEFAULT;
    // Client size; the window is made large enough around it (menu included).
    int ClientWidth = 320;
    int ClientHeight = 240;
    HWND Owner = nullptr;  // nullptr: the application window
    HMENU Menu = nullptr;
    // The window class's, taken when a class of this name is first registered.
    UINT ClassStyle = CS_DBLCLKS;
    HBRUSH Background = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    bool ClassIcon = true;  // the program's icon

    // A fixed-size dialog frame (caption, close box, no sizing border).
    static TCreateParams Dialog(const std::string& className, const std::string& caption, int clientWidth,
                                int clientHeight, HWND owner);
};

class TForm {
public:
    TForm() = default;
    virtual ~TForm();
    TForm(const TForm&) = delete;
    TForm& operator=(const TForm&) = delete;

    HWND Handle() const { return FHandle; }
    static TForm* FromHandle(HWND hwnd);

    // A form with more to do on showing or hiding (a close request hides it
    // through Hide) overrides these.
    virtual void Show();
    virtual void Hide();
    void SetVisible(bool visible) { visible ? Show() : Hide(); }
    bool Visible() const;
    // Sends WM_CLOSE (the OnClose event decides).
    void Close();

    // Shows the form modally: the other windows of the thread are disabled
    // until ModalResult is set (or the form is closed, mrCancel).
    int ShowModal();
    int ModalResult = mrNone;
    bool Modal() const { return FModal; }

    RECT BoundsRect() const;
    void SetBounds(int left, int top, int width, int height);
    // Keeps the size and moves the form to the middle of the screen.
    void CenterOnScreen();
    std::string Caption() const;
    void SetCaption(const std::string& text);

    // Accelerators translated by the message loop for this form's windows.
    void SetAccelerators(const std::vector<ACCEL>& table);

    std::function<void()> OnShow;
    // Once the form is on the screen (posted after OnShow).
    std::function<void()> OnShown;
    std::function<void()> OnHide;
    // Default action: Hide (a modal form: mrCancel; the main form: terminate).
    std::function<void(TCloseAction&)> OnClose;
    // Any message before the default handling; return true when handled.
    std::function<bool(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result)> OnMessage;
    // WM_COMMAND that neither a control object nor the application's command
    // table took (dialog ids).
    std::function<void(UINT id, UINT code, HWND control)> OnCommand;

    // Called by the message loop; true when the message was consumed.
    bool PreTranslate(MSG& msg);
    // Handle dialog keys (Tab, Enter, Esc) with IsDialogMessage.
    bool DialogKeys = false;

protected:
    // Builds the window; derived forms call it from their constructors.
    void CreateHandle(TCreateParams params);
    // Adjusts the creation parameters before the window is made.
    virtual void CreateParams(TCreateParams& params) {}
    virtual LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp);
    void DestroyHandle();

private:
    static LRESULT CALLBACK StaticWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    void DoClose();

    HWND FHandle = nullptr;
    HACCEL FAccel = nullptr;
    bool FModal = false;
    bool FDestroying = false;
};
