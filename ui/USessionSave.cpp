#include "ui/USessionSave.h"

#include <algorithm>

#include "base/UFileName.h"
#include "playlist/UPlayList.h"
#include "settings/USetting.h"

void TSaveSchedule::Changed(uint64_t now)
{
    if (!FPending) FFirst = now;
    FPending = true;
    FLast = now;
}

uint64_t TSaveSchedule::Due() const
{
    // The end of the burst, or MaxDelay after its first change if it goes
    // on; never sooner than the last write allows. Both are at most
    // MaxDelay after the last change, which came after the last write.
    return std::max(std::min(FLast + Quiet, FFirst + MaxDelay), FEarliest);
}

void TSaveSchedule::Written(uint64_t now)
{
    FPending = false;
    FFailing = false;
    FEarliest = now + MaxDelay;
}

bool TSaveSchedule::Failed(uint64_t now)
{
    const bool first = !FFailing;
    FFailing = true;
    FEarliest = now + RetryDelay;
    return first;
}

void TListMarks::Written(const TPlayList& list, const std::string& file)
{
    const uint64_t stamp = TSetting::LatestStamp();
    for (TMark& m : FMarks) {
        if (FileName::SameFileName(m.File, file)) {
            m.List = &list;
            m.Stamp = stamp;
            return;
        }
    }
    FMarks.push_back({file, &list, stamp});
}

bool TListMarks::Unchanged(const TPlayList& list, const std::string& file) const
{
    for (const TMark& m : FMarks)
        if (FileName::SameFileName(m.File, file)) return m.List == &list && !list.ChangedSince(m.Stamp);
    return false;
}
