// Display modes: the sorted list of the modes the display offers, the nearest
// mode for a video size and the refresh rates of one mode.
//
// This header needs no Windows API; the enumeration of the display and the
// mode changer (TDisplayModeChanger) are Windows-only, in
// "display/UDisplayModeChanger.h".
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "base/UException.h"

// One screen mode. RefreshRate 0 stands for the display's default rate;
// Width 0 marks "no mode".
struct TDisplayMode {
    int32_t Width = 0;
    int32_t Height = 0;
    int32_t BitsPerPixel = 0;
    int32_t RefreshRate = 0;
};

bool operator==(const TDisplayMode& a, const TDisplayMode& b);
bool operator!=(const TDisplayMode& a, const TDisplayMode& b);

// The list order: Width, then Height, then BitsPerPixel, then RefreshRate,
// each ascending. Returns <0, 0 or >0.
int CompareDisplayModes(const TDisplayMode& a, const TDisplayMode& b);

// Failures of mode changes; the message is CP932 text.
class EDispChangeError : public Exception {
public:
    using Exception::Exception;
};

class TDisplayModeList {
public:
    // Called for mode number 0, 1, 2, ... until it returns false; each call
    // that returns true has filled in one mode.
    using TEnumerator = std::function<bool(int32_t number, TDisplayMode& mode)>;

#ifdef _WIN32
    // Enumerates the modes of the primary display (EnumDisplaySettingsA).
    TDisplayModeList();
#endif
    explicit TDisplayModeList(const TEnumerator& enumerate);
    explicit TDisplayModeList(std::vector<TDisplayMode> modes);

    // The nearest mode for a video of width x height: the list is walked in
    // order and a mode is taken when it is at least as near as the one taken
    // so far on both axes (so of equally near modes the last one wins).
    // bitsPerPixel 0 accepts every depth. The result's RefreshRate is 0.
    // When no mode qualifies the result is Width = Height = INT32_MAX, a mode
    // no display offers, which the changer refuses.
    TDisplayMode FindNearestMode(int32_t width, int32_t height, int32_t bitsPerPixel) const;

    // 0 (the default rate) followed by the rate of every listed mode with the
    // same width, height and depth as mode, in list order.
    std::vector<int32_t> RefreshRatesOf(const TDisplayMode& mode) const;

    std::size_t Count() const { return Modes.size(); }
    const TDisplayMode& operator[](std::size_t index) const { return Modes.at(index); }
    const std::vector<TDisplayMode>& Items() const { return Modes; }

private:
    void Sort();
    std::vector<TDisplayMode> Modes;
};

// A list made once, on first request, and shared from then on. Get may be
// called from any thread; the list is built only by the first caller, under
// the holder's lock, and never changes afterwards. When making the list
// fails the exception reaches that caller and the next request tries again.
class TSharedDisplayModeList {
public:
    using TFactory = std::function<std::unique_ptr<TDisplayModeList>()>;

    explicit TSharedDisplayModeList(TFactory factory);
    TSharedDisplayModeList(const TSharedDisplayModeList&) = delete;
    TSharedDisplayModeList& operator=(const TSharedDisplayModeList&) = delete;

    const TDisplayModeList& Get();

private:
    std::mutex Lock;
    TFactory Factory;
    std::unique_ptr<TDisplayModeList> List;
};
