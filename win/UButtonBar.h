// TButtonBar: a row of text buttons (a common-controls toolbar), such as the
// transport buttons play, pause, stop, previous and next. Each button has a
// number of the program's choosing; a hidden button gives its place to the
// others. OnClick tells which button was pressed, unless the button has a
// handler of its own (SetButtonHandler). An action linked to a
// button (TAction::LinkBarButton) shows its enabled and visible state there.
//
//     TButtonBarArgs args(form.Handle(), 8, 8, 300, 28);
//     args.Buttons = {{btPlay, "再生"}, {btPause, "一時停止"}};
//     TButtonBar bar(args);
//     bar.SetButtonVisible(btPause, false);
//     bar.OnClick = [&](int id) { ... };
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "win/UControl.h"

struct TBarButton {
    int Id;  // 1..0xFFFF
    std::string Caption;
};

struct TButtonBarArgs : TControlArgs {
    using TControlArgs::TControlArgs;
    std::vector<TBarButton> Buttons;
};

class TButtonBar : public TControl {
public:
    explicit TButtonBar(const TButtonBarArgs& args);
    bool ButtonVisible(int id) const;
    void SetButtonVisible(int id, bool visible);
    bool ButtonEnabled(int id) const;
    void SetButtonEnabled(int id, bool enabled);
    // Runs OnClick as a click on the button would (if shown and enabled).
    void Click(int id);
    // The button's place in the bar's client area (empty when hidden).
    RECT ButtonRect(int id) const;
    std::function<void(int id)> OnClick;
    void SetButtonHandler(int id, std::function<void()> handler);
    bool Command(HWND from, UINT id, UINT code) override;

private:
    void Run(int id);
    std::map<int, std::function<void()>> FHandlers;
};
