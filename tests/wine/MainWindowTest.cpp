#include <gtest/gtest.h>
#include <commctrl.h>

#include "res/resource.h"
#include "tests/wine/Fixture.h"

using driver::Text;
using driver::Tool;

namespace {

bool ListedFiles(const std::string& folder, std::string& names)
{
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE)
        return false;
    do {
        names += std::string(entry.cFileName) + ";";
    } while (FindNextFileA(find, &entry));
    FindClose(find);
    return true;
}

}  // namespace

TEST(MainWindow, StartsWithItsInitialState)
{
    fixture::PrepareProfiles();
    Tool tool;
    std::string folder = fixture::StartTool(tool, "mw-start", "C:\\mvt\\mw-start-stdout.txt");

    // Wine's GetComputerObjectNameA gives "\NAME$" with a size that counts
    // the terminator; the title drops the "$".
    EXPECT_EQ(Text(tool.Main()), "Movara running on \\" + driver::ComputerName());
    EXPECT_EQ(Text(tool.Item(IDE_PROFILES_DIR)), "C:\\users\\");
    EXPECT_EQ(Text(tool.Item(IDE_MACHINE_NAME)), "\\\\YourMachineName");
    EXPECT_FALSE(IsWindowEnabled(tool.Item(IDB_CONNECT_REG)));
    EXPECT_FALSE(IsWindowVisible(tool.Item(IDB_SHOW_NET_PCS)));
    EXPECT_EQ(SendMessageA(tool.Item(IDC_GET_APPS), BM_GETCHECK, 0, 0), BST_UNCHECKED);

    // Putting the focus into the machine-name field empties it, and that
    // first change after start-up enables "Connect reg".
    tool.Focus(IDE_MACHINE_NAME);
    EXPECT_TRUE(driver::WaitUntil([&] { return Text(tool.Item(IDE_MACHINE_NAME)).empty(); }));
    EXPECT_TRUE(IsWindowEnabled(tool.Item(IDB_CONNECT_REG)));

    // A name typed earlier is gone when the focus comes back.
    tool.Type(tool.Item(IDE_MACHINE_NAME), "\\\\PC7");
    EXPECT_EQ(Text(tool.Item(IDE_MACHINE_NAME)), "\\\\PC7");
    tool.Focus(IDL_REMOTE_USERS);
    EXPECT_EQ(Text(tool.Item(IDE_MACHINE_NAME)), "\\\\PC7");
    tool.Focus(IDE_MACHINE_NAME);
    EXPECT_TRUE(driver::WaitUntil([&] { return Text(tool.Item(IDE_MACHINE_NAME)).empty(); }));
    EXPECT_TRUE(IsWindowEnabled(tool.Item(IDB_CONNECT_REG)));

    tool.Press(IDB_EXIT);
    EXPECT_EQ(tool.WaitExit(), 0u);

    std::string out = sandbox::ReadOrEmpty("C:\\mvt\\mw-start-stdout.txt");
    EXPECT_NE(out.find("First file name is "), std::string::npos) << out;
    (void)folder;
}

TEST(MainWindow, ExitEscapeAndCloseBoxEndWithCodeZero)
{
    fixture::PrepareProfiles();
    for (int way = 0; way < 3; ++way) {
        SCOPED_TRACE(way == 0 ? "Exit" : way == 1 ? "Esc" : "close box");
        Tool tool;
        fixture::StartTool(tool, "mw-exit");
        if (way == 0) {
            tool.Press(IDB_EXIT);
        } else if (way == 1) {
            tool.Focus(IDL_PROFILES);
            tool.Key(tool.Item(IDL_PROFILES), VK_ESCAPE);
        } else {
            PostMessageA(tool.Main(), WM_SYSCOMMAND, SC_CLOSE, 0);
        }
        EXPECT_EQ(tool.WaitExit(), 0u);
    }
}

TEST(MainWindow, EnterAndPassiveControlsStartNoJob)
{
    fixture::PrepareProfiles();
    Tool tool;
    std::string folder = fixture::StartTool(tool, "mw-passive");
    std::string before;
    ASSERT_TRUE(ListedFiles(folder, before));

    tool.Focus(IDL_PROFILES);
    tool.Key(tool.Item(IDL_PROFILES), VK_RETURN);
    for (int id : {IDL_PROFILES, IDE_PROFILES_DIR, IDL_REMOTE_USERS, IDC_GET_APPS}) {
        SendMessageA(tool.Main(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(tool.Item(id)));
        SendMessageA(tool.Main(), WM_COMMAND, MAKEWPARAM(id, 0), reinterpret_cast<LPARAM>(tool.Item(id)));
    }
    tool.Press(IDOK);
    ASSERT_TRUE(tool.WaitJob(10000));
    Sleep(300);

    EXPECT_EQ(tool.FindDialog(), nullptr) << "a window opened: " << Text(tool.FindDialog());
    EXPECT_EQ(tool.WaitExit(0), static_cast<DWORD>(STILL_ACTIVE));
    std::string after;
    ASSERT_TRUE(ListedFiles(folder, after));
    EXPECT_EQ(after, before);
    tool.Press(IDB_EXIT);
    EXPECT_EQ(tool.WaitExit(), 0u);
}

TEST(MainWindow, NetworkComputerBrowserOpensEmptyAndExitCloses)
{
    fixture::PrepareProfiles();
    Tool tool;
    fixture::StartTool(tool, "mw-netpcs");
    // The button is hidden; its command still opens the browser.
    tool.Press(IDB_SHOW_NET_PCS);
    HWND browser = tool.WaitDialog("Dialog");
    ASSERT_NE(browser, nullptr);
    HWND tree = GetDlgItem(browser, IDT_NET_TREE);
    HWND list = GetDlgItem(browser, IDL_NET_COMPUTERS);
    EXPECT_EQ(driver::ClassName(tree), "SysTreeView32");
    EXPECT_EQ(SendMessageA(tree, TVM_GETCOUNT, 0, 0), 0);
    EXPECT_EQ(SendMessageW(list, LB_GETCOUNT, 0, 0), 0);
    EXPECT_TRUE(tool.JobRunning());

    // Its Exit runs on the dialog's own thread; press it from a second thread.
    HANDLE thread = driver::PressAside(GetDlgItem(browser, IDB_EXIT));
    EXPECT_TRUE(tool.WaitJob(10000));
    WaitForSingleObject(thread, 5000);
    CloseHandle(thread);
    EXPECT_FALSE(IsWindow(browser));
    EXPECT_EQ(tool.WaitExit(0), static_cast<DWORD>(STILL_ACTIVE));
    tool.Press(IDB_EXIT);
    EXPECT_EQ(tool.WaitExit(), 0u);
}
