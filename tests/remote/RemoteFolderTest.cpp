#include <gtest/gtest.h>

#include "remote/RemoteFolder.h"

TEST(RemoteMachineFolder, AnchorsAtTheToolFolderWithOneSeparator)
{
    struct Case {
        const char* toolFolder;
        const char* folder;
    };
    const Case cases[] = {
        {"", "RemoteMachine"},
        {"C:\\TOOLS~1", "C:\\TOOLS~1\\RemoteMachine"},
        {"C:\\", "C:\\RemoteMachine"},
        {"\\\\srv\\share\\", "\\\\srv\\share\\RemoteMachine"},
        // 0x95 0x5C is one double-byte character (Shift-JIS), not a separator.
        {"C:\\\x95\x5c", "C:\\\x95\x5c\\RemoteMachine"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.toolFolder);
        EXPECT_EQ(RemoteMachineFolder(c.toolFolder), c.folder);
    }
}
