#include "local/WorkFolderName.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/local/Cp932.h"

namespace {

// A leftover is repaired, and its files deleted, only when its name is
// exactly a work folder of that output folder: a folder of the admin's that
// merely starts alike is never touched.
TEST(WorkFolderName, OnlyAWorkFolderOfThatOutputFolderIsTaken)
{
    EXPECT_EQ(WorkFolderPath("C:\\tool\\carol", 1234, 7), "C:\\tool\\carol.~new-1234-7");
    EXPECT_EQ(OutputFolderLeaf("C:\\tool\\carol"), "carol");
    EXPECT_EQ(OutputFolderLeaf("carol"), "carol");
    // NI ("\x83\x6A") ends in 'j', SO ("\x83\x5C") in a backslash.
    EXPECT_EQ(OutputFolderLeaf("C:\\\x83\x5C", Cp932Lead), "\x83\x5C");

    const struct {
        std::string name, leaf;
        unsigned long pid;  // 0: not a work folder of leaf
    } cases[] = {
        {"carol.~new-1234-7", "carol", 1234},
        {"CAROL.~NEW-8-1", "carol", 8},                 // Windows matches names in any case
        {"carol.~new-4294967295-1", "carol", 4294967295ul},
        {"carol.~new-4294967296-1", "carol", 0},        // no process id
        {"carol.~new-12-", "carol", 0},
        {"carol.~new-12-1.bak", "carol", 0},
        {"carol2.~new-12-1", "carol", 0},
        {"\x83\x6A.~new-5-1", "\x83\x6A", 5},
        {"\x83\x4A.~new-5-1", "\x83\x6A", 0},          // another character, not another case
    };
    for (const auto& c : cases) {
        unsigned long pid = 0;
        EXPECT_EQ(ParseWorkFolderName(c.name, c.leaf, pid, Cp932Lead), c.pid != 0) << c.name;
        EXPECT_EQ(pid, c.pid) << c.name;
    }
}

} // namespace
