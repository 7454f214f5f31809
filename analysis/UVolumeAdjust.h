// Base volumes that bring the files of a list to one loudness: every file
// louder than a reference is attenuated to it; none is ever made louder.
// Free of any Windows API.
#pragma once

#include <optional>
#include <vector>

// What becomes of one entry's "\Common\BaseVolume".
struct TBaseVolume {
    enum TAction { Keep, Remove, Set };
    TAction Action = Keep;
    double Value = 1.0;  // Set: the gain, above 0 and below 1
};

// levels: each entry's level on a linear amplitude scale (a peak or mean
// sample value; a level in decibels must be turned into an amplitude
// first), or nullopt for an entry that holds none. reference: the index of
// the reference entry, or -1 for the quietest entry.
//
// The reference level r is the chosen entry's, or the smallest of the list.
// An entry without a level and an entry of level 0 (silence, or no audio the
// analyser could read) are never the reference: a chosen one of that kind
// gives way to the quietest entry, since attenuating every file to an
// unknown or silent level would mute the list. Then each entry with level b
// gets r / b when r < b and loses its base volume otherwise; an entry
// without a level keeps whatever base volume it has.
std::vector<TBaseVolume> ComputeBaseVolumes(const std::vector<std::optional<double>>& levels, int reference);
