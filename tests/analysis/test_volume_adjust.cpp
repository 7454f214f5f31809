// Base volumes from measured levels: the reference, attenuation only, and
// entries that hold no usable level.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "analysis/UVolumeAdjust.h"

namespace {

using TLevels = std::vector<std::optional<double>>;

// "0.5", "keep", "remove" for each entry.
std::vector<std::string> Describe(const std::vector<TBaseVolume>& volumes)
{
    std::vector<std::string> out;
    for (const TBaseVolume& v : volumes)
        out.push_back(v.Action == TBaseVolume::Keep     ? "keep"
                      : v.Action == TBaseVolume::Remove ? "remove"
                                                        : std::to_string(v.Value).substr(0, 5));
    return out;
}

using TOut = std::vector<std::string>;

}  // namespace

TEST(VolumeAdjust, QuietestOrChosenReferenceOnlyAttenuates)
{
    const TLevels levels = {10000, 20000, 5000};
    EXPECT_EQ((TOut{"0.500", "0.250", "remove"}), Describe(ComputeBaseVolumes(levels, -1)));
    // The loudest as reference: no entry is louder, every base volume goes.
    EXPECT_EQ((TOut{"remove", "remove", "remove"}), Describe(ComputeBaseVolumes(levels, 1)));
    EXPECT_EQ((TOut{"remove", "0.500", "remove"}), Describe(ComputeBaseVolumes(levels, 0)));
    EXPECT_TRUE(ComputeBaseVolumes({}, -1).empty());
}

TEST(VolumeAdjust, EntriesWithoutAUsableLevel)
{
    // Never measured: keeps its base volume and is no reference (it used to
    // count as 2147483647 and get a near-silent 5000 / 2147483647).
    EXPECT_EQ((TOut{"0.500", "keep", "remove"}),
              Describe(ComputeBaseVolumes({10000, std::nullopt, 5000}, -1)));
    // Chosen as reference it gives way to the quietest entry.
    EXPECT_EQ((TOut{"0.500", "keep", "remove"}),
              Describe(ComputeBaseVolumes({10000, std::nullopt, 5000}, 1)));
    // A silent entry (or one without readable audio) would mute the others.
    EXPECT_EQ((TOut{"0.500", "remove", "remove"}), Describe(ComputeBaseVolumes({10000, 0, 5000}, -1)));
    EXPECT_EQ((TOut{"0.500", "remove", "remove"}), Describe(ComputeBaseVolumes({10000, 0, 5000}, 1)));
    // Nothing usable at all: measured entries lose their base volume, the rest keep theirs.
    EXPECT_EQ((TOut{"keep", "remove"}), Describe(ComputeBaseVolumes({std::nullopt, 0}, -1)));
}
