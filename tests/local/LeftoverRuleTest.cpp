#include "local/LeftoverRule.h"

#include <gtest/gtest.h>

namespace {

using R = LeftoverRepair;

// A leftover is repaired by how far its commit got, unless a set committed
// since then replaced what it left: its earlier files are older than that
// set and are never merged into it.
TEST(LeftoverRule, ObsoleteLeftoversAreDiscardedTheOthersRepairedByTheirStep)
{
    const std::optional<unsigned long> none;
    const struct {
        LeftoverState state;  // hasOld, movingIn, sourceInPlace, base, current
        LeftoverRepair repair;
    } cases[] = {
        {{false, false, true, 3, 9}, R::Remove},      // never began: nothing of it to discard either
        {{true, false, true, 4, 4}, R::PutBack},      // cut while moving aside
        {{true, true, false, 4, 4}, R::RemoveNew},    // cut while moving in
        {{true, true, true, 4, 4}, R::KeepNew},       // cut once its set was whole
        {{true, false, true, 4, 5}, R::Discard},      // another run committed after it
        {{true, true, false, 4, 5}, R::Discard},
        {{true, false, true, 7, 2}, R::PutBack},      // the lock file was deleted and began again
        {{true, false, true, none, 9}, R::PutBack},   // a run that noted no serial
    };
    int row = 0;
    for (const auto& c : cases) {
        EXPECT_EQ(DecideLeftoverRepair(c.state), c.repair) << "row " << row;
        ++row;
    }
}

TEST(LeftoverRule, SerialsAreDecimalDigitsThatFit32Bits)
{
    EXPECT_EQ(ParseSetSerial("4294967295"), 4294967295ul);
    for (const char* bad : {"", "4294967296", "12 ", "-1"})
        EXPECT_FALSE(ParseSetSerial(bad).has_value()) << bad;
}

} // namespace
