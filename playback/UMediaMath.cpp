#include "playback/UMediaMath.h"

#include <climits>
#include <cmath>
#include <cstdio>

int RoundHalfEven(double x)
{
    if (std::isnan(x)) return 0;
    if (x >= static_cast<double>(INT_MAX)) return INT_MAX;
    if (x <= static_cast<double>(INT_MIN)) return INT_MIN;
    double f = std::floor(x);
    double d = x - f;
    if (d > 0.5) return static_cast<int>(f) + 1;
    if (d < 0.5) return static_cast<int>(f);
    return std::fmod(f, 2.0) == 0.0 ? static_cast<int>(f) : static_cast<int>(f) + 1;
}

int SecondsToSteps(double seconds, double unit)
{
    if (!(unit > 0.0) || !(seconds > 0.0)) return 0;
    int steps = RoundHalfEven(seconds / unit);
    return steps > PositionSteps ? PositionSteps : steps;
}

int StepsToSeconds(int steps, double unit)
{
    if (steps <= 0) return 0;
    if (steps > PositionSteps) steps = PositionSteps;
    return RoundHalfEven(unit * steps);
}

int GainToVolumeLevel(double gain)
{
    if (!(gain > 0.0)) return -10000;  // zero, negative or NaN: silence
    double db = 2000.0 * std::log10(gain);
    if (!std::isfinite(db)) return db > 0 ? 0 : -10000;
    int level = RoundHalfEven(db);
    if (level < -10000) return -10000;
    if (level > 0) return 0;
    return level;
}

std::string DSErrorMessage(const std::string& text, std::int32_t hr)
{
    char code[9];
    std::snprintf(code, sizeof code, "%08X", static_cast<unsigned>(static_cast<std::uint32_t>(hr)));
    return text + "\r\nError Code: " + code;
}
