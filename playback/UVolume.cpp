#include "playback/UVolume.h"

#include <cmath>

double TVolume::Gain() const
{
    if (FMuted) return 0.0;
    return FPercent / 100.0 * FBaseVolume;
}

bool TVolume::SetPercent(int percent)
{
    if (percent > 100) percent = 100;
    if (percent < 0) percent = 0;
    if (percent == FPercent) return false;
    FPercent = percent;
    return !FMuted;
}

bool TVolume::SetBaseVolume(double base)
{
    if (std::isnan(base)) base = 1.0;
    if (base > 1.0) base = 1.0;
    if (base < 0.0) base = 0.0;
    FBaseVolume = base;
    return !FMuted;
}

bool TVolume::SetMuted(bool on)
{
    FMuted = on;
    return true;
}
