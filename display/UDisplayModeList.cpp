#include "display/UDisplayModeList.h"

#include <algorithm>
#include <limits>
#include <utility>

bool operator==(const TDisplayMode& a, const TDisplayMode& b) { return CompareDisplayModes(a, b) == 0; }

bool operator!=(const TDisplayMode& a, const TDisplayMode& b) { return !(a == b); }

int CompareDisplayModes(const TDisplayMode& a, const TDisplayMode& b)
{
    auto cmp = [](int32_t x, int32_t y) { return x < y ? -1 : (x > y ? 1 : 0); };
    if (int r = cmp(a.Width, b.Width)) return r;
    if (int r = cmp(a.Height, b.Height)) return r;
    if (int r = cmp(a.BitsPerPixel, b.BitsPerPixel)) return r;
    return cmp(a.RefreshRate, b.RefreshRate);
}

TDisplayModeList::TDisplayModeList(const TEnumerator& enumerate)
{
    for (int32_t number = 0;; ++number) {
        TDisplayMode mode;
        if (!enumerate(number, mode)) break;
        Modes.push_back(mode);
        if (number == std::numeric_limits<int32_t>::max()) break;
    }
    Sort();
}

TDisplayModeList::TDisplayModeList(std::vector<TDisplayMode> modes) : Modes(std::move(modes)) { Sort(); }

void TDisplayModeList::Sort()
{
    std::stable_sort(Modes.begin(), Modes.end(), [](const TDisplayMode& a, const TDisplayMode& b) {
        return CompareDisplayModes(a, b) < 0;
    });
}

TDisplayMode TDisplayModeList::FindNearestMode(int32_t width, int32_t height, int32_t bitsPerPixel) const
{
    // Distances in 64 bits: any two 32-bit values differ by less than 2^32.
    auto distance = [](int32_t a, int32_t b) {
        int64_t d = int64_t(a) - int64_t(b);
        return d < 0 ? -d : d;
    };
    TDisplayMode best;
    best.Width = std::numeric_limits<int32_t>::max();
    best.Height = std::numeric_limits<int32_t>::max();
    best.BitsPerPixel = bitsPerPixel;
    for (const TDisplayMode& mode : Modes) {
        if (distance(mode.Width, width) <= distance(best.Width, width) &&
            distance(mode.Height, height) <= distance(best.Height, height) &&
            (bitsPerPixel == 0 || mode.BitsPerPixel == bitsPerPixel))
            best = mode;
    }
    best.RefreshRate = 0;
    return best;
}

std::vector<int32_t> TDisplayModeList::RefreshRatesOf(const TDisplayMode& mode) const
{
    std::vector<int32_t> rates{0};
    for (const TDisplayMode& m : Modes) {
        if (m.Width == mode.Width && m.Height == mode.Height && m.BitsPerPixel == mode.BitsPerPixel)
            rates.push_back(m.RefreshRate);
    }
    return rates;
}

TSharedDisplayModeList::TSharedDisplayModeList(TFactory factory) : Factory(std::move(factory)) {}

const TDisplayModeList& TSharedDisplayModeList::Get()
{
    std::lock_guard<std::mutex> guard(Lock);
    if (!List) {
        std::unique_ptr<TDisplayModeList> made = Factory ? Factory() : nullptr;
        List = made ? std::move(made) : std::make_unique<TDisplayModeList>(std::vector<TDisplayMode>{});
    }
    return *List;
}
