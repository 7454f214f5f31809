// What keeps the exit save's files up to date while the program runs, so
// that a crash, a forced end or a power cut loses at most the last few
// seconds: when a changed file is written, and which list each list file
// holds. The main window does the writing, at idle. No Windows API.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class TPlayList;

// When the changes of one file are written (times in milliseconds): a burst
// of changes (none more than Quiet apart) costs one write, a change is
// written at most MaxDelay after it was seen, and a file that keeps changing
// (a large list being edited) is written at most once every MaxDelay.
class TSaveSchedule {
public:
    static constexpr uint64_t Quiet = 1000;
    static constexpr uint64_t MaxDelay = 5000;
    // A write that failed is tried again after this long.
    static constexpr uint64_t RetryDelay = 30000;

    void Changed(uint64_t now);
    bool Pending() const { return FPending; }
    // When the pending changes are to be written (at or before now: write).
    uint64_t Due() const;
    void Written(uint64_t now);
    // Nothing left to write after all (the file holds it already).
    void Cancel() { FPending = false; }
    // The write failed; true for the first failure after a success, which
    // is the one the user is told of.
    bool Failed(uint64_t now);

private:
    bool FPending = false;
    bool FFailing = false;
    uint64_t FFirst = 0;     // the first change not written
    uint64_t FLast = 0;      // the last change seen
    uint64_t FEarliest = 0;  // no write before this
};

// Which list's contents each list file holds, and as of which settings
// stamp: after a list was saved to a file, or loaded from it. The temporary
// lists share one file, so a list is unchanged only if it is the one its
// file holds.
class TListMarks {
public:
    void Written(const TPlayList& list, const std::string& file);
    bool Unchanged(const TPlayList& list, const std::string& file) const;

private:
    struct TMark {
        std::string File;
        const TPlayList* List;  // a list made later at the same address has newer stamps
        uint64_t Stamp;
    };
    std::vector<TMark> FMarks;
};
