// TCheckListBox: a list of text lines, each with a check box (a one-column
// list view without a header). The user ticks a line with the mouse or the
// space bar; OnClickCheck follows every change of a tick, the program's own
// (SetChecked) included.
//
//     TCheckListBox files({{form.Handle(), 8, 8, 300, 200}});
//     files.SetChecked(files.Add("表示"), true);
#pragma once

#include <functional>
#include <string>

#include "win/UControl.h"

class TCheckListBox : public TControl {
public:
    explicit TCheckListBox(const TControlArgs& args);

    int Count() const;
    int Add(const std::string& text);  // the new line's index
    void Clear();
    std::string Item(int index) const;
    bool Checked(int index) const;
    void SetChecked(int index, bool checked);

    std::function<void(int index)> OnClickCheck;
    bool Notify(NMHDR& header, LRESULT& result) override;
    void ScaleChanged(UINT dpi) override;

private:
    void FitColumn(UINT dpi);
};
