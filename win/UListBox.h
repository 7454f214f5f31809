// TListBox: a list box of text lines, each with a number of the program's
// (Data). OnChange when the selection moves, OnDblClick on a double click.
//
//     TListBox files({form.Handle(), 8, 8, 300, 200});
//     files.Add("a.avi", folderIndex);
//
// Owner-data mode (TListBoxArgs::OwnerData) keeps no lines at all: SetCount
// sets how many there are and OnGetText supplies a line's text whenever it
// is drawn or read, so a list of 100,000 entries costs no strings. (Wine's
// list box of this kind cannot be read from another process.)
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "win/UControl.h"

struct TListBoxArgs : TControlArgs {
    using TControlArgs::TControlArgs;
    bool OwnerData = false;
    bool HorizontalScroll = false;  // scrolls sideways to the longest line (UpdateExtent)
};

class TListBox : public TControl {
public:
    explicit TListBox(const TListBoxArgs& args);

    bool OwnerData() const { return FOwnerData; }
    int Count() const;
    // The line's text (owner data: OnGetText's).
    std::string Item(int index) const;
    LPARAM Data(int index) const;
    int ItemIndex() const;  // -1: none selected
    void SetItemIndex(int index);
    int TopIndex() const;
    void SetTopIndex(int index);

    // Lines kept by the list box (not in owner-data mode).
    int Add(const std::string& text, LPARAM data = 0);
    void Delete(int index);
    void Clear();
    // Moves the selected line (with its number) to the end of another list;
    // false when none is selected.
    bool MoveSelectedTo(TListBox& other);
    // Every line with its number, in order.
    struct TLine {
        std::string Text;
        LPARAM Data;
    };
    std::vector<TLine> Lines() const;
    void SetLines(const std::vector<TLine>& lines);
    // The sideways scroll range from the widest line (HorizontalScroll).
    void UpdateExtent();

    // Owner-data mode.
    void SetCount(int count);
    std::function<std::string(int index)> OnGetText;

    std::function<void()> OnChange;
    std::function<void()> OnDblClick;

    bool Command(HWND from, UINT id, UINT code) override;
    bool DrawItem(DRAWITEMSTRUCT& item) override;
    void ScaleChanged(UINT dpi) override;

private:
    // A line's text as the control holds it (not for owner data).
    std::wstring WideItem(int index) const;

    bool FOwnerData;
};
