// The arithmetic behind the playback settings dialog: the volume text, the
// translucency percentage, and the choice of a display mode and rate in the
// dialog's lists. Free of any Windows API.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "display/UDisplayModeList.h"

namespace PlayConfig {

// What the dialog says about a volume text that is no number from 0 to 100.
extern const char* const VolumeRangeMessage;

// A volume percentage in its shortest decimal form, always with a decimal
// point ("100.0", "12.5").
std::string FormatVolume(double percent);
// A real number (blanks around it allowed) from 0 to 100 inclusive.
bool ParseVolume(const std::string& text, double& percent);
// The text after one step of the up/down buttons (up: +10, down: -10, held
// within 0..100). Raises Exception with VolumeRangeMessage when the text is
// no volume.
std::string StepVolume(const std::string& text, bool up);

// "\Common\WindowMode\LayerAlpha" (0..255, opaque at 255) shown as the
// percentage let through (0..100) and back: 127 -> 50 -> 128.
int AlphaToPercent(int32_t alpha);
int32_t PercentToAlpha(int percent);
// The alpha to store for a percentage, given the alpha the dialog showed as a
// percentage: while the percentage is still the one shown, that alpha as it
// was (the conversions are not inverse: 256 alphas, 101 percentages);
// otherwise PercentToAlpha. An alpha outside 0..255 is never kept.
int32_t PercentToAlpha(int percent, int32_t shownAlpha);

// A line of the mode list: "640x480, 16bit".
std::string ModeText(const TDisplayMode& mode);
// The index of the last listed mode of this size (and of this depth when
// bits is not 0); 0 when none is listed.
int SelectModeIndex(const TDisplayModeList& list, int32_t width, int32_t height, int32_t bits);
// The index of the last rate equal to rate; 0 (the default rate) when none is.
int SelectRateIndex(const std::vector<int32_t>& rates, int32_t rate);

}  // namespace PlayConfig
