#include "remote/RemoteUserLine.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// The data as the registry reports it, terminating NUL included.
std::string Data(const char* text)
{
    return std::string(text) + '\0';
}

TEST(RemoteUserLine, HomeFolderNameFromHomePathData)
{
    struct Case {
        std::string data;
        std::string expected;
    };
    const Case cases[] = {
        {Data(R"(\Documents and Settings\user1)"), "user1"},
        {Data(R"(\users\bob smith)"), "bob smith"},
        {Data(R"(\)"), ""},
        {Data("user1"), "user1"},                        // no backslash: the whole text
        {R"(\users\user1)", "user1"},                    // stored without its NUL
        {std::string("\\users\\ann\0old", 14), "ann"},   // bytes after the NUL are dropped
        // The last backslash is taken over all the reported bytes, before the
        // cut at the first NUL.
        {std::string("\\users\\ann\0\\x", 13), "x"},
        {"", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("expected " + c.expected);
        EXPECT_EQ(HomeFolderName(c.data), c.expected);
    }
}

TEST(RemoteUserLine, LineCarriesTheUserKeyAfterTheMarker)
{
    const std::string line = MakeRemoteUserLine("user1", "S-1-5-21-1-2-3-1004");
    EXPECT_EQ(line, "user1   =-->S-1-5-21-1-2-3-1004");
    EXPECT_EQ(MakeRemoteUserLine(HomeFolderName(Data(R"(\)")), "S-1-5-18"), "   =-->S-1-5-18");

    std::string key = "stale";
    EXPECT_TRUE(UserKeyFromRemoteLine(line, key));
    EXPECT_EQ(key, "S-1-5-21-1-2-3-1004");
    EXPECT_TRUE(UserKeyFromRemoteLine("   =-->S-1-5-18", key));
    EXPECT_EQ(key, "S-1-5-18");
    EXPECT_TRUE(UserKeyFromRemoteLine("a=-->b=-->c", key));  // the first arrow counts
    EXPECT_EQ(key, "b=-->c");
    EXPECT_TRUE(UserKeyFromRemoteLine("user1   =-->", key));
    EXPECT_EQ(key, "");

    key = "stale";
    EXPECT_FALSE(UserKeyFromRemoteLine("", key));
    EXPECT_EQ(key, "");
    EXPECT_FALSE(UserKeyFromRemoteLine("user1   =->S-1-5-18", key));
}

} // namespace
