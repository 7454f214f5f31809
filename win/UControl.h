// The base of every control object: one child window, created from a
// CreateArgs struct, that raises OnXxx handlers (function objects).
//
// A child window tells its parent what happened (WM_COMMAND, WM_NOTIFY,
// WM_HSCROLL/WM_VSCROLL, WM_CONTEXTMENU, WM_DRAWITEM, WM_MEASUREITEM). Forms
// and pages pass these messages back to the child's object through
// ReflectToControl, so that each object handles its own. A control whose own
// mouse messages are needed subclasses its window (Subclass).
//
//     TButton ok({form.Handle(), 10, 10, 80, 24, "OK"});
//     ok.OnClick = [&] { ... };
//
//     TListBoxArgs args(form.Handle(), 8, 40, 300, 200);
//     args.OwnerData = true;
//     TListBox files(args);
//
// Positions and sizes are in design units (UDpi.h): pixels at 96 DPI, scaled
// to the DPI of the parent's window, which lays its controls out again when
// its DPI changes (each control then gets ScaleChanged).
//
// Objects are neither copied nor moved (the window refers to the object);
// the destructor destroys the window.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <utility>

#include "win/UScreenText.h"

// What every kind's CreateArgs holds; the kinds add their own fields (and
// take this constructor).
struct TControlArgs {
    TControlArgs() = default;
    TControlArgs(HWND parent, int left, int top, int width, int height, std::string text = {})
        : Parent(parent), Left(left), Top(top), Width(width), Height(height), Text(std::move(text))
    {
    }
    HWND Parent = nullptr;
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
    std::string Text;
    DWORD Style = 0;    // added to the kind's own styles
    DWORD ExStyle = 0;  // added to the kind's own extended styles
    UINT Id = 0;        // a dialog id (IDOK, IDCANCEL) where one is wanted
};

class TControl {
public:
    virtual ~TControl();
    TControl(const TControl&) = delete;
    TControl& operator=(const TControl&) = delete;

    HWND Handle() const { return FHandle; }
    // The object of a child window made by this layer, or nullptr.
    static TControl* FromHandle(HWND hwnd);

    bool Enabled() const;
    void SetEnabled(bool enabled);
    bool Visible() const;
    void SetVisible(bool visible);
    // In design units (the rectangle is kept for a later change of DPI).
    void SetBounds(int left, int top, int width, int height);
    std::string Text() const;
    void SetText(const std::string& text);
    void SetFocus();

    // Right button or the menu key on the control: screen coordinates, or
    // (-1, -1) from the keyboard.
    std::function<void(int x, int y)> OnContextMenu;

    // Reflected notifications; true when the object handled the message.
    virtual bool Command(HWND from, UINT id, UINT code) { return false; }
    virtual bool Notify(NMHDR& header, LRESULT& result) { return false; }
    virtual bool Scroll(HWND from, UINT code) { return false; }
    virtual bool DrawItem(DRAWITEMSTRUCT& item) { return false; }
    virtual bool MeasureItem(MEASUREITEMSTRUCT& item) { return false; }
    // The window's DPI changed: the control has its new font and place and
    // adjusts what it sized itself (item heights, thumbs, columns).
    virtual void ScaleChanged(UINT dpi) {}

protected:
    TControl() = default;
    // Makes the window: the kind's class and styles plus those of args.
    void Create(const char* className, const TControlArgs& args, DWORD style, DWORD exStyle = 0);
    // Binds a further window (a radio button of a group) to this object.
    void Bind(HWND hwnd);
    // Routes the window's own messages through SubclassMessage.
    void Subclass();
    virtual bool SubclassMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) { return false; }

private:
    static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id,
                                         DWORD_PTR data);
    HWND FHandle = nullptr;
    bool FSubclassed = false;
};

// Passes a child's notification to the child's object. Window procedures of
// parents call it first; true when an object handled the message.
bool ReflectToControl(HWND parent, UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);

// Makes a plain child window with the application's font for its DPI (for
// controls that need no object, such as a group box drawn around others);
// x, y, w and h are in design units. The window is a wide one, so that it
// keeps every character it is given (UScreenText.h).
HWND CreateControl(HWND parent, const char* className, const std::string& text, DWORD style, int x, int y,
                   int w, int h, UINT id = 0, DWORD exStyle = 0);
