#include "analysis/UVolumeAdjust.h"

namespace {

bool Usable(const std::optional<double>& level) { return level && *level > 0.0; }

}  // namespace

std::vector<TBaseVolume> ComputeBaseVolumes(const std::vector<std::optional<double>>& levels, int reference)
{
    const int n = static_cast<int>(levels.size());
    std::optional<double> r;
    if (reference >= 0 && reference < n && Usable(levels[reference])) {
        r = levels[reference];
    } else {
        for (const auto& level : levels)
            if (Usable(level) && (!r || *level < *r)) r = level;
    }
    std::vector<TBaseVolume> result(levels.size());
    for (int i = 0; i < n; ++i) {
        if (!levels[i]) continue;  // Keep
        const double b = *levels[i];
        if (r && *r < b) {
            result[i].Action = TBaseVolume::Set;
            result[i].Value = *r / b;
        } else {
            result[i].Action = TBaseVolume::Remove;
        }
    }
    return result;
}
