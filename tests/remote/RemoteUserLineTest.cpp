#include "remote/RemoteFolder.h"
#include "remote/RemoteUserLine.h"

#include <gtest/gtest.h>

#include "tests/local/Cp932.h"

namespace {

// HOMEPATH data with the length the registry gave, and the line it makes.
TEST(RemoteUserLine, HomeFolderBeforeTheMarkerAndTheKeyAfterIt)
{
    const struct {
        std::string data;
        std::string line;
    } cases[] = {{std::string("\\Documents and Settings\\user1", 30), "user1   =-->S-1-5-18"},
                 {std::string("\\", 2), "   =-->S-1-5-18"},
                 {"user2", "user2   =-->S-1-5-18"},
                 {std::string("\\a\\b\0\\c", 7), "c   =-->S-1-5-18"}};  // the last backslash, then the NUL
    for (const auto& c : cases) {
        EXPECT_EQ(MakeRemoteUserLine(HomeFolderName(c.data), "S-1-5-18"), c.line);
        std::string key;
        EXPECT_TRUE(UserKeyFromRemoteLine(c.line, key) && key == "S-1-5-18") << c.line;
    }
    std::string key = "old";
    EXPECT_FALSE(UserKeyFromRemoteLine("user1   =->S-1-5-18", key) || !key.empty());
    EXPECT_TRUE(UserKeyFromRemoteLine("a=-->b=-->c", key) && key == "b=-->c");
    EXPECT_EQ(RemoteMachineFolder(""), "RemoteMachine");
    EXPECT_EQ(RemoteMachineFolder("C:\\T~1"), "C:\\T~1\\RemoteMachine");
    EXPECT_EQ(RemoteMachineFolder("C:\\"), "C:\\RemoteMachine");
    EXPECT_EQ(RemoteMachineFolder("C:\\\x95\x5c", Cp932Lead), "C:\\\x95\x5c\\RemoteMachine");  // a double-byte character
}

// SO-NI-I: the first second byte is a backslash, and the name is not cut there.
TEST(RemoteUserLine, HomeFolderNameInADoubleByteCodePage)
{
    const std::string sonii = "\x83\x5C\x83\x6A\x81\x5B";
    const struct {
        std::string data, cp932, singleByte;
    } cases[] = {
        {"\\Documents and Settings\\" + sonii + std::string(1, '\0'), sonii, "\x83\x6A\x81\x5B"},
        {sonii, sonii, "\x83\x6A\x81\x5B"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(HomeFolderName(c.data, Cp932Lead), c.cp932) << c.data;
        EXPECT_EQ(HomeFolderName(c.data), c.singleByte) << c.data;
    }
}

} // namespace
