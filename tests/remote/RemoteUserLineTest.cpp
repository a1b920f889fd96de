#include "remote/RemoteFolder.h"
#include "remote/RemoteUserLine.h"

#include <gtest/gtest.h>

#include "tests/local/Cp932.h"

namespace {

// HOMEPATH data with the length the registry gave, and the line it makes.
TEST(RemoteUserLine, HomeFolderBeforeTheMarkerAndTheKeyAfterIt)
{
    const struct {
        std::u16string data;
        std::u16string home;
    } cases[] = {{std::u16string(u"\\Documents and Settings\\user1", 30), u"user1"},
                 {std::u16string(u"\\", 2), u""},
                 {u"user2", u"user2"},
                 {std::u16string(u"\\a\\b\0\\c", 7), u"c"},  // the last backslash, then the NUL
                 // U+8868 is 0x95 0x5C in code page 932: no backslash in UTF-16.
                 {std::u16string(u"\\users\\\u8868\u0416", 10), u"\u8868\u0416"}};
    for (const auto& c : cases)
        EXPECT_EQ(HomeFolderName(c.data), c.home);
    EXPECT_EQ(MakeRemoteUserLine("user1", "S-1-5-18"), "user1   =-->S-1-5-18");
    EXPECT_EQ(MakeRemoteUserLine("", "S-1-5-18"), "   =-->S-1-5-18");
    EXPECT_EQ(RemoteMachineFolder(""), "RemoteMachine");
    EXPECT_EQ(RemoteMachineFolder("C:\\T~1"), "C:\\T~1\\RemoteMachine");
    EXPECT_EQ(RemoteMachineFolder("C:\\"), "C:\\RemoteMachine");
    EXPECT_EQ(RemoteMachineFolder("C:\\\x95\x5c", Cp932Lead), "C:\\\x95\x5c\\RemoteMachine");  // a double-byte character
}

} // namespace
