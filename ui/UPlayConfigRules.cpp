#include "ui/UPlayConfigRules.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "base/UException.h"

namespace PlayConfig {

const char* const VolumeRangeMessage = "0から100までの実数値を指定してください";

std::string FormatVolume(double percent)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15g", percent);
    std::string s = buf;
    if (s.find_first_of("eE") != std::string::npos) {
        // Tiny gains: a plain decimal form instead of an exponent.
        std::snprintf(buf, sizeof buf, "%.15f", percent);
        s = buf;
        s.erase(s.find_last_not_of('0') + 1);
    }
    if (s.find('.') == std::string::npos) s += ".0";
    if (s.back() == '.') s += "0";
    return s;
}

bool ParseVolume(const std::string& text, double& percent)
{
    // Optional sign, digits with an optional fraction, optional exponent;
    // nothing else (no hexadecimal, infinity or NaN).
    size_t i = 0, n = text.size();
    while (i < n && text[i] == ' ') ++i;
    while (n > i && text[n - 1] == ' ') --n;
    const size_t start = i;
    if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
    size_t digits = 0;
    while (i < n && text[i] >= '0' && text[i] <= '9') ++i, ++digits;
    if (i < n && text[i] == '.') {
        ++i;
        while (i < n && text[i] >= '0' && text[i] <= '9') ++i, ++digits;
    }
    if (digits == 0) return false;
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
        size_t expDigits = 0;
        while (i < n && text[i] >= '0' && text[i] <= '9') ++i, ++expDigits;
        if (expDigits == 0) return false;
    }
    if (i != n) return false;
    const double v = std::strtod(text.substr(start, n - start).c_str(), nullptr);
    if (!(v >= 0.0 && v <= 100.0)) return false;
    percent = v == 0.0 ? 0.0 : v;  // no "-0.0"
    return true;
}

std::string StepVolume(const std::string& text, bool up)
{
    double v;
    if (!ParseVolume(text, v)) throw Exception(VolumeRangeMessage);
    v += up ? 10.0 : -10.0;
    if (v < 0.0) v = 0.0;
    if (v > 100.0) v = 100.0;
    return FormatVolume(v);
}

int AlphaToPercent(int32_t alpha)
{
    const int64_t p = (255 - static_cast<int64_t>(alpha)) * 100 / 255;
    return static_cast<int>(p < 0 ? 0 : p > 100 ? 100 : p);
}

int32_t PercentToAlpha(int percent)
{
    if (percent < 0) percent = 0;
    if (percent > 100) percent = 100;
    return 255 - percent * 255 / 100;
}

int32_t PercentToAlpha(int percent, int32_t shownAlpha)
{
    if (shownAlpha >= 0 && shownAlpha <= 255 && percent == AlphaToPercent(shownAlpha)) return shownAlpha;
    return PercentToAlpha(percent);
}

std::string ModeText(const TDisplayMode& mode)
{
    return std::to_string(mode.Width) + "x" + std::to_string(mode.Height) + ", " +
           std::to_string(mode.BitsPerPixel) + "bit";
}

int SelectModeIndex(const TDisplayModeList& list, int32_t width, int32_t height, int32_t bits)
{
    int found = 0;
    for (size_t i = 0; i < list.Count(); ++i) {
        const TDisplayMode& m = list[i];
        if (m.Width == width && m.Height == height && (bits == 0 || m.BitsPerPixel == bits))
            found = static_cast<int>(i);
    }
    return found;
}

int SelectRateIndex(const std::vector<int32_t>& rates, int32_t rate)
{
    int found = 0;
    for (size_t i = 0; i < rates.size(); ++i)
        if (rates[i] == rate) found = static_cast<int>(i);
    return found;
}

}  // namespace PlayConfig
