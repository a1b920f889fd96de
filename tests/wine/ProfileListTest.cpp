#include <gtest/gtest.h>

#include "res/resource.h"
#include "tests/wine/Fixture.h"

using driver::ListItems;
using driver::Tool;

TEST(ProfileList, CurrentUserFirstThenVisibleProfilesSorted)
{
    fixture::PrepareProfiles();
    Tool tool;
    std::string folder = fixture::StartTool(tool, "pl-usual", "C:\\mvt\\pl-usual-stdout.txt");
    auto items = ListItems(tool.Item(IDL_PROFILES));
    ASSERT_FALSE(items.empty());
    // Wine cannot tell the display name, so the entry has nothing after it.
    EXPECT_EQ(items[0], "*User = ");
    EXPECT_EQ(driver::ListSelection(tool.Item(IDL_PROFILES)), 0);
    auto has = [&](const std::string& name) { return std::find(items.begin(), items.end(), name) != items.end(); };
    EXPECT_TRUE(has("All Users"));
    EXPECT_TRUE(has("alice"));
    EXPECT_TRUE(has("bob smith"));
    EXPECT_FALSE(has("Default User")) << "hidden profiles are not offered";
    EXPECT_FALSE(has(".."));
    EXPECT_FALSE(has("."));
    for (std::size_t i = 2; i < items.size(); ++i)
        EXPECT_LT(lstrcmpiA(items[i - 1].c_str(), items[i].c_str()), 0) << items[i - 1] << " / " << items[i];

    tool.Press(IDB_EXIT);
    EXPECT_EQ(tool.WaitExit(), 0u);
    std::string out = sandbox::ReadOrEmpty("C:\\mvt\\pl-usual-stdout.txt");
    EXPECT_NE(out.find("First file name is ."), std::string::npos) << out;
    EXPECT_EQ(out.find("error"), std::string::npos) << out;
    (void)folder;
}
