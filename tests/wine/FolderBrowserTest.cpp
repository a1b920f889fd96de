#include <gtest/gtest.h>
#include <shlobj.h>

#include <algorithm>

#include "res/resource.h"
#include "tests/wine/Fixture.h"

using driver::ListItems;
using driver::Text;
using driver::Tool;

namespace {

const char kBrowserCaption[] = "Browse for Folder";

HWND OpenBrowser(Tool& tool)
{
    tool.Press(IDB_BROWSE);
    HWND browser = tool.WaitDialog(kBrowserCaption);
    EXPECT_NE(browser, nullptr) << "the folder browser did not open";
    return browser;
}

// Picks a folder in the browser's tree, as a click on it would, and OK.
// (Wine's browser ignores a path typed into its edit box.)
void Choose(Tool& tool, HWND browser, const std::string& folder)
{
    driver::SendWithText(browser, BFFM_SETSELECTIONA, TRUE, folder);
    PostMessageA(browser, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(browser, IDOK)));
    driver::WaitUntil([&] { return !IsWindow(browser); });
    (void)tool;
}

bool HasChildText(HWND dialog, const std::string& text)
{
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (Text(child) == text)
            return true;
    }
    return false;
}

std::string EditText(HWND browser)
{
    for (HWND child = GetWindow(browser, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (driver::ClassName(child) == "Edit")
            return Text(child);
    }
    return "<no edit box>";
}

// What the profile list should show for a directory: the current-user entry
// first, then every entry that is not hidden and not a dot entry, sorted.
std::vector<std::string> ExpectedList(const std::string& directory)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((directory + "*").c_str(), &entry);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::string name = entry.cFileName;
            if (name != "." && name != ".." && !(entry.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN))
                names.push_back(name);
        } while (FindNextFileA(find, &entry));
        FindClose(find);
    }
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        return lstrcmpiA(a.c_str(), b.c_str()) < 0;
    });
    names.insert(names.begin(), "*User = ");
    return names;
}

std::vector<std::string> Sorted(std::vector<std::string> items)
{
    std::sort(items.begin() + (items.empty() ? 0 : 1), items.end(), [](const std::string& a, const std::string& b) {
        return lstrcmpiA(a.c_str(), b.c_str()) < 0;
    });
    return items;
}

}  // namespace

TEST(FolderBrowser, OpensOnCDriveAndCancelKeepsEverything)
{
    fixture::PrepareProfiles();
    Tool tool;
    fixture::StartTool(tool, "fb-cancel");
    auto listBefore = ListItems(tool.Item(IDL_PROFILES));

    HWND browser = OpenBrowser(tool);
    ASSERT_NE(browser, nullptr);
    EXPECT_TRUE(HasChildText(browser, "This is a test"));
    EXPECT_NE(EditText(browser).find("(C:)"), std::string::npos) << EditText(browser);

    PostMessageA(browser, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(browser, IDCANCEL)));
    ASSERT_TRUE(tool.WaitJob(10000));
    EXPECT_EQ(tool.FindDialog(), nullptr);
    EXPECT_EQ(Text(tool.Item(IDE_PROFILES_DIR)), "C:\\users\\");
    EXPECT_EQ(ListItems(tool.Item(IDL_PROFILES)), listBefore);
    EXPECT_EQ(driver::ListSelection(tool.Item(IDL_PROFILES)), 0);
}

TEST(FolderBrowser, ChosenFolderBecomesTheProfilesDirectory)
{
    fixture::PrepareProfiles();
    std::string profiles = sandbox::FreshDir("fb-profiles");
    sandbox::MakeDirs(profiles + "\\all users (old)");  // any case, anything after it
    sandbox::MakeDirs(profiles + "\\x1");
    sandbox::MakeDirs(profiles + "\\hid");
    SetFileAttributesA((profiles + "\\hid").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_DIRECTORY);
    sandbox::WriteBytes(profiles + "\\notes.txt", "a file is listed like a folder");

    Tool tool;
    fixture::StartTool(tool, "fb-choose");
    Choose(tool, OpenBrowser(tool), profiles);
    ASSERT_TRUE(tool.WaitJob(10000));
    EXPECT_EQ(Text(tool.Item(IDE_PROFILES_DIR)), profiles + "\\");
    auto items = ListItems(tool.Item(IDL_PROFILES));
    EXPECT_EQ(items, (std::vector<std::string>{"*User = ", "all users (old)", "notes.txt", "x1"}));
    EXPECT_EQ(driver::ListSelection(tool.Item(IDL_PROFILES)), 0);

    // Back to the system's folder: the same list as at start-up.
    Choose(tool, OpenBrowser(tool), "C:\\users");
    ASSERT_TRUE(tool.WaitJob(10000));
    EXPECT_EQ(Text(tool.Item(IDE_PROFILES_DIR)), "C:\\users\\");
    EXPECT_EQ(Sorted(ListItems(tool.Item(IDL_PROFILES))), ExpectedList("C:\\users\\"));
}

TEST(FolderBrowser, FolderWithoutProfilesEmptiesTheList)
{
    fixture::PrepareProfiles();
    std::string empty = sandbox::FreshDir("fb-noprofiles");
    sandbox::MakeDirs(empty + "\\alice");
    Tool tool;
    fixture::StartTool(tool, "fb-none");
    Choose(tool, OpenBrowser(tool), empty);
    EXPECT_EQ(fixture::AnswerBox(tool, "Please try again"), "There appears to be no profiles in the directory you chose");
    ASSERT_TRUE(tool.WaitJob(10000));
    EXPECT_EQ(tool.FindDialog(), nullptr) << "the message came more than once";
    EXPECT_TRUE(ListItems(tool.Item(IDL_PROFILES)).empty());
    EXPECT_EQ(driver::ListSelection(tool.Item(IDL_PROFILES)), LB_ERR);
}

TEST(FolderBrowser, DriveRootListsEveryEntryWithTwoBackslashes)
{
    // A drive's root has no "." entry: the first entry found is a real one.
    fixture::PrepareProfiles();
    sandbox::MakeDirs("C:\\All Users");
    Tool tool;
    fixture::StartTool(tool, "fb-root");
    Choose(tool, OpenBrowser(tool), "C:\\");
    ASSERT_TRUE(tool.WaitJob(10000));
    EXPECT_EQ(Text(tool.Item(IDE_PROFILES_DIR)), "C:\\\\");
    EXPECT_EQ(Sorted(ListItems(tool.Item(IDL_PROFILES))), ExpectedList("C:\\"));
    sandbox::RemoveTree("C:\\All Users");
}

TEST(FolderBrowser, FolderGoneBeforeOkLeavesOnlyTheCurrentUser)
{
    fixture::PrepareProfiles();
    std::string gone = sandbox::FreshDir("fb-gone");
    sandbox::MakeDirs(gone + "\\All Users");
    Tool tool;
    fixture::StartTool(tool, "fb-gonetool", "C:\\mvt\\fb-gone-stdout.txt");
    HWND browser = OpenBrowser(tool);
    ASSERT_NE(browser, nullptr);
    driver::SendWithText(browser, BFFM_SETSELECTIONA, TRUE, gone);
    sandbox::RemoveTree(gone);
    PostMessageA(browser, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(browser, IDOK)));
    ASSERT_TRUE(tool.WaitJob(10000));
    EXPECT_EQ(tool.FindDialog(), nullptr) << "no message for a folder that cannot be read";
    EXPECT_EQ(ListItems(tool.Item(IDL_PROFILES)), std::vector<std::string>{"*User = "});
    EXPECT_EQ(driver::ListSelection(tool.Item(IDL_PROFILES)), LB_ERR);
    fixture::EndTool(tool);
    std::string out = sandbox::ReadOrEmpty("C:\\mvt\\fb-gone-stdout.txt");
    EXPECT_NE(out.find("Invalid file handle. Error is "), std::string::npos) << out;
}
