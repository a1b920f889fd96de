#include <gtest/gtest.h>
#include <shlobj.h>

#include <algorithm>

#include "res/resource.h"
#include "tests/wine/Harness.h"
#include "version.h"

using driver::ListItems;
using driver::Text;

namespace {

void PrepareProfiles()
{
    for (const char* name : {"All Users", "Default User", "alice", "bob smith"})
        sandbox::MakeDirs(std::string("C:\\users\\") + name);
    SetFileAttributesA("C:\\users\\Default User", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

TEST(Window, StartsReadyAndEndsWithCodeZero)
{
    PrepareProfiles();
    for (int way = 0; way < 3; ++way) {
        driver::Tool tool;
        sandbox::StartTool(tool, "start");
        if (way == 0) {
            // Wine's GetComputerObjectNameA gives "\NAME$"; the title drops the "$".
            char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
            DWORD size = sizeof name;
            GetComputerNameA(name, &size);
            EXPECT_EQ(Text(tool.Main()), std::string("Movara running on \\") + name);
            EXPECT_EQ(Text(tool.Item(IDE_PROFILES_DIR)), "C:\\users\\");
            EXPECT_EQ(Text(tool.Item(IDE_MACHINE_NAME)), "\\\\YourMachineName");
            EXPECT_FALSE(IsWindowEnabled(tool.Item(IDB_CONNECT_REG)));
            EXPECT_FALSE(IsWindowVisible(tool.Item(IDB_SHOW_NET_PCS)));
            std::vector<std::string> items = ListItems(tool.Item(IDL_PROFILES));
            EXPECT_TRUE(std::is_sorted(items.begin() + 1, items.end(), [](const std::string& a, const std::string& b) {
                return lstrcmpiA(a.c_str(), b.c_str()) < 0;
            }));
            items.erase(std::remove_if(items.begin() + 1, items.end(), [](const std::string& s) {
                return s != "alice" && s != "All Users" && s != "bob smith" && s != "Default User" && s[0] != '.';
            }), items.end());
            EXPECT_EQ(items, std::vector<std::string>({"*User = ", "alice", "All Users", "bob smith"}));
            EXPECT_EQ(SendMessageW(tool.Item(IDL_PROFILES), LB_GETCURSEL, 0, 0), 0);
            // Entering the field empties it; that first change enables "Connect reg".
            tool.TypeMachine("\\\\PC7");
            EXPECT_TRUE(IsWindowEnabled(tool.Item(IDB_CONNECT_REG)));
            tool.Press(IDB_EXIT);
        } else if (way == 1) {
            PostMessageA(tool.Main(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(tool.Item(IDL_PROFILES)), TRUE);
            PostMessageA(tool.Item(IDL_PROFILES), WM_KEYDOWN, VK_ESCAPE, 1);
        } else {
            PostMessageA(tool.Main(), WM_SYSCOMMAND, SC_CLOSE, 0);
        }
        EXPECT_EQ(tool.WaitExit(), 0u) << "way " << way;
    }
}

// Folders picked in the browser: the profiles field and list that follow,
// and the message of a folder without profiles.
TEST(Window, FolderBrowserFillsTheProfileList)
{
    PrepareProfiles();
    const std::string mixed = sandbox::FreshDir("mixed"), none = sandbox::FreshDir("none"), gone = sandbox::FreshDir("gone");
    for (const char* name : {"\\all users (old)", "\\x1", "\\hid"})
        sandbox::MakeDirs(mixed + name);
    SetFileAttributesA((mixed + "\\hid").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_DIRECTORY);
    sandbox::Write(mixed + "\\notes.txt", "a file is listed like a folder");
    sandbox::MakeDirs(none + "\\alice");
    sandbox::MakeDirs(gone + "\\All Users");
    sandbox::MakeDirs("C:\\All Users");
    const struct {
        std::string folder;  // empty: Cancel
        std::string field;
        std::vector<std::string> list;
        std::string box;
    } cases[] = {
        {mixed, mixed + "\\", {"*User = ", "all users (old)", "notes.txt", "x1"}, ""},
        {"", mixed + "\\", {"*User = ", "all users (old)", "notes.txt", "x1"}, ""},
        {none, none + "\\", {}, "There appears to be no profiles in the directory you chose<owned>"},
        {gone, gone + "\\", {"*User = "}, ""},  // removed before OK
        {"C:\\", "C:\\\\", {}, ""},            // a drive's root has no "." entry
        {"C:\\users", "C:\\users\\", {"as at start-up"}, ""},
    };
    driver::Tool tool;
    sandbox::StartTool(tool, "browse");
    const std::vector<std::string> startList = ListItems(tool.Item(IDL_PROFILES));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.folder.empty() ? "cancel" : c.folder);
        tool.Press(IDB_BROWSE);
        HWND browser = tool.WaitDialog("Browse for Folder");
        ASSERT_NE(browser, nullptr);
        // Wine's browser ignores a typed path: the folder is picked in its tree.
        driver::SendWithText(browser, BFFM_SETSELECTIONA, TRUE, c.folder.empty() ? "C:\\users" : c.folder);
        if (c.folder == gone)
            sandbox::RemoveTree(gone);
        const int button = c.folder.empty() ? IDCANCEL : IDOK;
        PostMessageA(browser, WM_COMMAND, button, reinterpret_cast<LPARAM>(GetDlgItem(browser, button)));
        if (!c.box.empty()) {
            EXPECT_EQ(tool.Answer("Please try again"), c.box);
        }
        ASSERT_TRUE(tool.WaitJob());
        EXPECT_EQ(tool.FindDialog(), nullptr);
        EXPECT_EQ(Text(tool.Item(IDE_PROFILES_DIR)), c.field);
        std::vector<std::string> items = ListItems(tool.Item(IDL_PROFILES));
        if (c.folder == "C:\\") {
            EXPECT_NE(std::find(items.begin(), items.end(), "All Users"), items.end());
            EXPECT_NE(std::find(items.begin(), items.end(), "windows"), items.end());
        } else {
            EXPECT_EQ(items, c.list.size() == 1 && c.list[0] == "as at start-up" ? startList : c.list);
        }
    }
    sandbox::RemoveTree("C:\\All Users");
}

TEST(Window, ResourcesForXp)
{
    HMODULE tool = LoadLibraryExA(sandbox::Beside("MovaraM.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(tool, nullptr);
    HRSRC found = FindResourceA(tool, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
    ASSERT_NE(found, nullptr) << "no manifest of type 24, id 1";
    const std::string manifest(static_cast<const char*>(LockResource(LoadResource(tool, found))), SizeofResource(tool, found));
    EXPECT_NE(manifest.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\" processorArchitecture=\"X86\" "
                            "publicKeyToken=\"6595b64144ccf1df\""), std::string::npos) << manifest;
    EXPECT_EQ(manifest.find("xmlns"), manifest.rfind("xmlns")) << "XP SP2 rejects a repeated namespace";

    found = FindResourceA(tool, MAKEINTRESOURCEA(1), RT_VERSION);
    ASSERT_NE(found, nullptr);
    const char* block = static_cast<const char*>(LockResource(LoadResource(tool, found)));
    std::vector<char> copy(block, block + SizeofResource(tool, found));
    VS_FIXEDFILEINFO* fixed = nullptr;
    char* text = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(copy.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, static_cast<DWORD>(MOVARA_VER_MAJOR << 16 | MOVARA_VER_MINOR));
    EXPECT_EQ(fixed->dwFileVersionLS, static_cast<DWORD>(MOVARA_VER_PATCH << 16 | MOVARA_VER_TWEAK));
    ASSERT_TRUE(VerQueryValueA(copy.data(), "\\StringFileInfo\\040904b0\\FileVersion", reinterpret_cast<void**>(&text), &length));
    EXPECT_STREQ(text, MOVARA_VER_TEXT);
    FreeLibrary(tool);
}
