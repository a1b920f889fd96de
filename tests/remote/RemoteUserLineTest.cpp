#include "remote/RemoteFolder.h"
#include "remote/RemoteUserLine.h"

#include <gtest/gtest.h>

namespace {

TEST(RemoteUserLine, HomeFolderAndUserKey)
{
    const struct {
        std::string homePath;  // HOMEPATH data with the length the registry gave
        std::string line;      // the line made with the key S-1-5-18
    } cases[] = {
        {std::string("\\Documents and Settings\\user1\0", 30), "user1   =-->S-1-5-18"},
        {std::string("\\\0", 2), "   =-->S-1-5-18"},
        {"user2", "user2   =-->S-1-5-18"},
        {std::string("\\a\\b\0\\c", 7), "c   =-->S-1-5-18"},  // the last backslash, then the NUL
    };
    for (const auto& c : cases) {
        const std::string line = MakeRemoteUserLine(HomeFolderName(c.homePath), "S-1-5-18");
        EXPECT_EQ(line, c.line);
        std::string key;
        EXPECT_TRUE(UserKeyFromRemoteLine(line, key));
        EXPECT_EQ(key, "S-1-5-18");
    }
    std::string key = "old";
    EXPECT_FALSE(UserKeyFromRemoteLine("user1   =->S-1-5-18", key));
    EXPECT_EQ(key, "");
    EXPECT_TRUE(UserKeyFromRemoteLine("a=-->b=-->c", key));
    EXPECT_EQ(key, "b=-->c");
}

TEST(RemoteUserLine, RemoteMachineFolderHasOneSeparator)
{
    EXPECT_EQ(RemoteMachineFolder(""), "RemoteMachine");
    EXPECT_EQ(RemoteMachineFolder("C:\\TOOLS~1"), "C:\\TOOLS~1\\RemoteMachine");
    EXPECT_EQ(RemoteMachineFolder("C:\\"), "C:\\RemoteMachine");
    EXPECT_EQ(RemoteMachineFolder("C:\\\x95\x5c"), "C:\\\x95\x5c\\RemoteMachine");  // a double-byte character
}

} // namespace
