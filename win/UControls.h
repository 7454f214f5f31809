// The small control kinds, each a thin object over its child window (see
// UControl.h for creation and reflection).
//
// TButton      push button; OnClick. BS_DEFPUSHBUTTON in Style for the default.
// TCheckBox    check box; OnClick after the mark changed. Auto = false leaves
//              the mark to the program (a box linked to an action).
// TRadioGroup  a group box with one radio button per item, stacked (or side
//              by side in Columns); ItemIndex (-1: none), OnClick after the
//              choice changed.
// TLabel       static text; SetText.
// TEdit        single-line edit; OnChange.
// TSpinEdit    an edit with an up-down beside it for a number in Min..Max;
//              Value, SetValue, OnChange.
// TComboBox    drop-down list (no free text); Add, ItemIndex, OnChange.
// TProgressBar a bar from Min to Max; SetPosition.
// TTreeView    tree of text items each with a number; Add, Select, OnChange
//              with the selected item's number.
// TPageHost    tab control with a page (a plain child window holding the
//              page's controls) per tab. HideTabs shrinks the tabs to 1 x 1 so
//              that something else (a tree) picks the page; OnChange.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "win/UControl.h"

class TButton : public TControl {
public:
    explicit TButton(const TControlArgs& args);
    std::function<void()> OnClick;
    void Click();  // as if the user clicked it
    bool Command(HWND from, UINT id, UINT code) override;
};

struct TCheckBoxArgs : TControlArgs {
    using TControlArgs::TControlArgs;
    bool Auto = true;
};

class TCheckBox : public TControl {
public:
    explicit TCheckBox(const TCheckBoxArgs& args);
    bool Checked() const;
    void SetChecked(bool checked);
    std::function<void()> OnClick;
    bool Command(HWND from, UINT id, UINT code) override;
};

struct TRadioGroupArgs : TControlArgs {
    using TControlArgs::TControlArgs;
    std::vector<std::string> Items;
    int ItemHeight = 22;
    int Columns = 1;  // buttons per row
};

class TRadioGroup : public TControl {
public:
    explicit TRadioGroup(const TRadioGroupArgs& args);
    ~TRadioGroup() override;
    int ItemIndex() const;
    void SetItemIndex(int index);
    int Count() const { return static_cast<int>(FButtons.size()); }
    HWND Button(int index) const { return FButtons[index]; }
    void SetEnabled(bool enabled);
    std::function<void()> OnClick;
    bool Command(HWND from, UINT id, UINT code) override;

private:
    std::vector<HWND> FButtons;
};

class TLabel : public TControl {
public:
    explicit TLabel(const TControlArgs& args);
};

class TEdit : public TControl {
public:
    explicit TEdit(const TControlArgs& args);
    std::function<void()> OnChange;
    bool Command(HWND from, UINT id, UINT code) override;
};

struct TSpinEditArgs : TControlArgs {
    using TControlArgs::TControlArgs;
    int Min = 0;
    int Max = 100;
    int Value = 0;
};

class TSpinEdit : public TEdit {
public:
    explicit TSpinEdit(const TSpinEditArgs& args);
    ~TSpinEdit() override;
    // The number shown, clamped to the range (Min when the text is no number).
    int Value() const;
    void SetValue(int value);
    void SetRange(int min, int max);
    HWND UpDown() const { return FUpDown; }

private:
    HWND FUpDown = nullptr;
    int FMin, FMax;
};

class TComboBox : public TControl {
public:
    explicit TComboBox(const TControlArgs& args);  // Height: with the list dropped down
    int Add(const std::string& text);
    void Clear();
    int Count() const;
    std::string Item(int index) const;
    int ItemIndex() const;
    void SetItemIndex(int index);
    std::function<void()> OnChange;  // the user picked another item
    bool Command(HWND from, UINT id, UINT code) override;
};

struct TProgressBarArgs : TControlArgs {
    using TControlArgs::TControlArgs;
    int Min = 0;
    int Max = 100;
};

class TProgressBar : public TControl {
public:
    explicit TProgressBar(const TProgressBarArgs& args);
    int Position() const;
    void SetPosition(int position);
};

class TTreeView : public TControl {
public:
    explicit TTreeView(const TControlArgs& args);
    // A new last child of parent (nullptr: a root); data comes back in OnChange.
    HTREEITEM Add(HTREEITEM parent, const std::string& text, LPARAM data = 0);
    void Clear();
    void Select(HTREEITEM item);
    HTREEITEM Selected() const;
    LPARAM Data(HTREEITEM item) const;
    void Expand(HTREEITEM item);
    std::function<void(LPARAM data)> OnChange;
    bool Notify(NMHDR& header, LRESULT& result) override;
};

struct TPageHostArgs : TControlArgs {
    using TControlArgs::TControlArgs;
    bool HideTabs = false;
};

class TPageHost : public TControl {
public:
    explicit TPageHost(const TPageHostArgs& args);
    ~TPageHost() override;
    // A new page and its tab; the page's controls are made with the page as parent.
    HWND AddPage(const std::string& caption);
    int PageCount() const { return static_cast<int>(FPages.size()); }
    HWND Page(int index) const { return FPages[index]; }
    int ActivePage() const;
    void SetActivePage(int index);
    std::function<void()> OnChange;  // the user picked another tab
    bool Notify(NMHDR& header, LRESULT& result) override;

protected:
    bool SubclassMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;

private:
    void ShowActivePage();
    RECT PageRect() const;
    std::vector<HWND> FPages;
};
