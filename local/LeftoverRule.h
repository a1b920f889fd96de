#pragma once

#include <optional>
#include <string>

// What a job does with a work folder that a run which ended left beside its
// output folder (local/OutputSet.h), by how far that run's commit got.
enum class LeftoverRepair {
    Remove,        // its commit had not begun: the output folder is as it was
    PutBack,       // it was moving the earlier files aside: those in ~old go back
    RemoveNew,     // it was moving its files in: they go, the earlier ones come back
    KeepNew,       // its set is whole in the output folder: ~old goes
    Discard,       // obsolete: a newer set is in place, and ~old is discarded, never merged
};

struct LeftoverState {
    bool hasOld = false;         // its "~old" folder is there: its commit had begun
    bool movingIn = false;       // its mark: every earlier file was aside, new ones were moving in
    bool sourceInPlace = false;  // the output folder holds "Source.txt"
    // The serial of the set its commit found in place, as it noted it before
    // moving anything; none from a run that noted none.
    std::optional<unsigned long> base;
    unsigned long current = 0;   // the serial of the set in place now
};

// A set committed after the leftover's commit began is newer than anything
// in its ~old: putting those files back would mix an older set into it, or
// fail for good on the files that the newer set has.
LeftoverRepair DecideLeftoverRepair(const LeftoverState& state);

// A set serial as the lock file and a work folder's "~base" hold it: decimal
// digits, nothing else, at most 4294967295; none for anything else.
std::optional<unsigned long> ParseSetSerial(const std::string& text);
