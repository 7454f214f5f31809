// Arithmetic of the media graph: seek steps, seconds and volume levels, and
// the layout of DirectShow error messages.
// Free of any Windows API so that it is tested natively.
#pragma once

#include <cstdint>
#include <string>

// Positions are steps on 0..10000; 10000 is the stream's stop time.
constexpr int PositionSteps = 10000;

// Nearest integer, ties to even (2.5 -> 2, 3.5 -> 4), independent of the
// floating-point rounding mode. Values beyond the int range are clamped.
int RoundHalfEven(double x);

// Current position (seconds) in steps of unit seconds: rounded, at most
// 10000, never negative; 0 when the unit is 0 (a stream with no length).
int SecondsToSteps(double seconds, double unit);

// Length in whole seconds of steps (capped at 10000) of unit seconds; 0 for
// steps <= 0.
int StepsToSeconds(int steps, double unit);

// A linear amplitude gain as IBasicAudio volume in hundredths of a decibel:
// 2000 * log10(gain), rounded, clamped to -10000..0; 0 or less gives -10000.
int GainToVolumeLevel(double gain);

// The message of a DirectShow error: the system's text for the code, a line
// break, "Error Code: " and the code as 8 upper-case hexadecimal digits.
std::string DSErrorMessage(const std::string& text, std::int32_t hr);
