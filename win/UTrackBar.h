// TTrackBar: a horizontal (or vertical) track bar with a range and a
// position; OnChange whenever the user moves it (keys, mouse, page clicks).
//
//     TTrackBarArgs args(form.Handle(), 8, 8, 120, 24);
//     args.Max = 100;
//     TTrackBar volume(args);
//     volume.OnChange = [&] { controller.SetVolumePercent(volume.Position()); };
//
// TTrackBarEx (the seek bar) adds the control's own mouse events as handlers
// and PositionAtPoint, the value under a client point: left of (above) the
// channel gives Min, right of (below) it Max, between them the share of the
// channel rounded to the nearest value, halves to even.
#pragma once

#include <functional>

#include "win/UControl.h"
#include "win/UMouseButton.h"

struct TTrackBarArgs : TControlArgs {
    using TControlArgs::TControlArgs;
    int Min = 0;
    int Max = 10;
    bool Vertical = false;
    bool NoTicks = false;
    int PageSize = 0;     // 0: the control's default
    int LineSize = -1;    // -1: the control's default
    int ThumbLength = 0;  // in design units; 0: the control's default
};

class TTrackBar : public TControl {
public:
    explicit TTrackBar(const TTrackBarArgs& args);
    int Min() const;
    int Max() const;
    void SetRange(int min, int max);
    int Position() const;
    void SetPosition(int position);  // raises no OnChange
    bool Vertical() const { return FVertical; }
    std::function<void()> OnChange;
    bool Scroll(HWND from, UINT code) override;
    void ScaleChanged(UINT dpi) override;

private:
    bool FVertical;
    int FThumbLength;
};

class TTrackBarEx : public TTrackBar {
public:
    explicit TTrackBarEx(const TTrackBarArgs& args);
    // Client coordinates; keys are the MK_ flags of the message.
    using TMouseHandler = std::function<void(TMouseButton button, UINT keys, int x, int y)>;
    TMouseHandler OnMouseDown;
    TMouseHandler OnMouseUp;
    std::function<void(UINT keys, int x, int y)> OnMouseMove;

    int PositionAtPoint(int x, int y) const;

protected:
    bool SubclassMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;
};

// The arithmetic of PositionAtPoint: the value at coordinate p on a channel
// from low to high for the range min..max.
int TrackValueAt(int p, int low, int high, int min, int max);
