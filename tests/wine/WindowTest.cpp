#include <gtest/gtest.h>
#include <shlobj.h>

#include <algorithm>

#include "res/resource.h"
#include "tests/wine/Harness.h"

using driver::ListItems;
using driver::Text;
using Items = std::vector<std::string>;

TEST(Window, StartsReadyAndEndsWithCodeZero)
{
    for (const char* name : {"All Users", "Default User", "alice"})
        sandbox::MakeDirs(std::string("C:\\users\\") + name);
    SetFileAttributesA("C:\\users\\Default User", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_DIRECTORY);
    const struct {
        int control;  // 0: the main window
        UINT message;
        WPARAM wParam;
    } ways[] = {{IDB_EXIT, BM_CLICK, 0}, {IDE_MACHINE_NAME, WM_KEYDOWN, VK_ESCAPE}, {0, WM_SYSCOMMAND, SC_CLOSE}};
    for (const auto& way : ways) {
        driver::Tool tool;
        sandbox::StartTool(tool, "start");
        EXPECT_EQ(Text(tool.Item(IDE_PROFILES_DIR)), "C:\\users\\");
        EXPECT_EQ(Text(tool.Item(IDE_MACHINE_NAME)), "\\\\YourMachineName");
        EXPECT_FALSE(IsWindowEnabled(tool.Item(IDB_CONNECT_REG)));
        Items items = ListItems(tool.Item(IDL_PROFILES));
        items.erase(std::remove_if(items.begin() + 1, items.end(), [](const std::string& s) {
            return s != "alice" && s != "All Users" && s != "Default User" && s[0] != '.';
        }), items.end());
        EXPECT_EQ(items, Items({"*User = ", "alice", "All Users"}));
        tool.TypeMachine("\\\\PC7");  // entering the field empties it, and that enables "Connect reg"
        EXPECT_TRUE(IsWindowEnabled(tool.Item(IDB_CONNECT_REG)));
        PostMessageA(way.control ? tool.Item(way.control) : tool.Main(), way.message, way.wParam, 0);
        EXPECT_EQ(tool.WaitExit(), 0u) << way.message;
    }
}

// Folders picked in the browser: the profiles field and list that follow.
TEST(Window, FolderBrowserFillsTheProfileList)
{
    const std::string mixed = sandbox::FreshDir("mixed"), none = sandbox::FreshDir("none"), gone = sandbox::FreshDir("gone");
    for (const std::string& dir : {mixed + "\\all users (old)", mixed + "\\x1", mixed + "\\hid", none + "\\alice",
                                   gone + "\\All Users", std::string("C:\\All Users")})
        sandbox::MakeDirs(dir);
    SetFileAttributesA((mixed + "\\hid").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_DIRECTORY);
    sandbox::Write(mixed + "\\notes.txt", "a file is listed like a folder");
    const struct {
        std::string folder;  // empty: Cancel
        std::string field;
        Items list;
    } cases[] = {
        {mixed, mixed + "\\", {"*User = ", "all users (old)", "notes.txt", "x1"}},
        {"", mixed + "\\", {"*User = ", "all users (old)", "notes.txt", "x1"}},
        {none, none + "\\", {}},         // no "All Users": a message, and an empty list
        {gone, gone + "\\", {"*User = "}},  // removed before OK
        {"C:\\", "C:\\\\", {}},
    };
    driver::Tool tool;
    sandbox::StartTool(tool, "browse");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.folder);
        tool.Press(IDB_BROWSE);
        HWND browser = tool.FindDialog("Browse for Folder", 10000);
        // Wine's browser ignores a typed path: the folder is picked in its tree.
        driver::SendWithText(browser, BFFM_SETSELECTIONA, TRUE, c.folder.empty() ? "C:\\" : c.folder);
        if (c.folder == gone)
            sandbox::RemoveTree(gone);
        const int button = c.folder.empty() ? IDCANCEL : IDOK;
        PostMessageA(browser, WM_COMMAND, button, reinterpret_cast<LPARAM>(GetDlgItem(browser, button)));
        const std::string box = c.folder == none ? tool.Answer("Please try again") : "";
        EXPECT_EQ(box, c.folder == none ? "There appears to be no profiles in the directory you chose<owned>" : "");
        ASSERT_TRUE(tool.WaitJob());
        EXPECT_EQ(Text(tool.Item(IDE_PROFILES_DIR)), c.field);
        const Items items = ListItems(tool.Item(IDL_PROFILES));
        if (c.folder == "C:\\") {
            WIN32_FIND_DATAA first;  // a drive's root has no "." entry: the first one found is a real one
            FindClose(FindFirstFileA("C:\\*", &first));
            for (const std::string& name : {std::string("*User = "), std::string("All Users"), std::string(first.cFileName)})
                EXPECT_NE(std::find(items.begin(), items.end(), name), items.end()) << name;
        } else {
            EXPECT_EQ(items, c.list);
        }
    }
    sandbox::RemoveTree("C:\\All Users");
}
