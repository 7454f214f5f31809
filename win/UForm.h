// Forms: top-level windows with creation parameters, show, hide and close
// events, and modal showing with a modal result. Every dialog is a form
// shown with ShowModal. A form passes its child controls' notifications to
// their objects (UControl.h).
//
// A form is sized in design units (UDpi.h) for the DPI of the monitor it is
// on. When it moves to a monitor of another scale (WM_DPICHANGED) it takes
// the rectangle Windows suggests, gives its controls the UI font for the new
// DPI and places them again from their design rectangles. Its icons are the
// system's sizes for its DPI.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "win/UControl.h"
#include "win/UGdiHandles.h"

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
    // The client size in design units, scaled to the window's DPI. False:
    // in pixels, which a change of DPI leaves as they are (a window sized by
    // what it shows, such as a movie).
    bool DesignUnits = true;
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

    // In pixels of the screen (as stored for the next start).
    RECT BoundsRect() const;
    void SetBounds(int left, int top, int width, int height);
    // Keeps the size and moves the form to the middle of the work area of
    // its owner's monitor (the form's own when it has no visible owner).
    void CenterOnScreen();
    // The DPI the form is laid out for.
    UINT Dpi() const { return FDpi; }
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
    void ChangeDpi(UINT dpi, const RECT& suggested);
    void SetIcons();

    HWND FHandle = nullptr;
    HACCEL FAccel = nullptr;
    UINT FDpi = 96;
    bool FDesignUnits = true;
    TIcon FSmallIcon, FBigIcon;
    bool FModal = false;
    bool FDestroying = false;
};
