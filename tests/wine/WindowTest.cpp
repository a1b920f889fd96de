#include <gtest/gtest.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <algorithm>
#include <new>
#include <stdexcept>

#include "app/WindowJob.h"
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

// The jobs run beside the window. This suite runs with the stand-in as the
// system's reg, which the test holds once it has exported a key, so that it
// can look at the window while a stored profile is loaded and exported.
namespace {

const std::string kHeldKey = "hku\\carol\\Printers";

// Starts the tool on a stored profile "carol" that is selected.
std::string StartOnCarol(driver::Tool& tool, const std::string& name)
{
    sandbox::RemoveTree("C:\\users\\carol");
    sandbox::MakeDirs("C:\\users\\carol");
    sandbox::Write("C:\\users\\carol\\ntuser.dat", "Printers\r\nNetwork\r\n");  // the keys the stand-in loads
    sandbox::InstallStandIn();
    const std::string folder = sandbox::StartTool(tool, name);
    tool.Select(IDL_PROFILES, "carol");
    return folder;
}

// As Windows does at logoff or shutdown: the process may end once it returns.
DWORD WINAPI EndSession(LPVOID main)
{
    return static_cast<DWORD>(SendMessageA(static_cast<HWND>(main), WM_ENDSESSION, TRUE, 0));
}

bool Answers(HWND window, DWORD withinMs)
{
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, withinMs, &result) != 0;
}

std::wstring ProgressText(const driver::Tool& tool)
{
    return driver::WideText(tool.Item(IDC_PROGRESS));
}

// Whether each job button is enabled: "Select User", "...", "Connect reg",
// the remote "Select User".
std::string JobButtons(const driver::Tool& tool)
{
    std::string states;
    for (int id : {IDB_SELECT_USER, IDB_BROWSE, IDB_CONNECT_REG, IDB_REMOTE_SELECT_USER})
        states += IsWindowEnabled(tool.Item(id)) ? "1" : "0";
    return states;
}

}  // namespace

// While the export waits in the stand-in's reg, the window answers, offers
// no second job and says what it does; afterwards it tells the outcome from
// its own thread and gives the buttons back.
TEST(WindowJob, AnswersWhileAStoredProfileIsExported)
{
    driver::Tool tool;
    const std::string out = StartOnCarol(tool, "job") + "\\carol";
    {
        sandbox::THeldExport hold(kHeldKey);
        tool.Press(IDB_SELECT_USER);
        ASSERT_TRUE(tool.WaitJob(5000)) << "the click is handled at once";
        ASSERT_TRUE(hold.WaitHeld());
        EXPECT_TRUE(Answers(tool.Main(), 1000));
        EXPECT_EQ(JobButtons(tool), "0000");
        EXPECT_TRUE(IsWindowEnabled(tool.Item(IDB_EXIT)));
        EXPECT_EQ(ProgressText(tool), L"Reading printers of carol\u2026");
        // The field's first change comes while the job runs: "Connect reg" waits for its end.
        tool.TypeMachine("\\\\PC7");
        EXPECT_EQ(JobButtons(tool), "0000");
        // Wine clicks a disabled button all the same: such a click starts nothing.
        tool.Press(IDB_SELECT_USER);
        EXPECT_TRUE(tool.WaitJob(5000));
        tool.Press(IDB_BROWSE);
        EXPECT_TRUE(tool.WaitJob(5000)) << "the folder browser opened";
    }
    ASSERT_TRUE(tool.WaitIdle());
    EXPECT_EQ(tool.FindDialog(), nullptr) << "a success tells nothing: " << driver::Text(tool.FindDialog());
    EXPECT_EQ(JobButtons(tool), "1111");
    EXPECT_EQ(ProgressText(tool), L"");
    const std::string calls = sandbox::StandInCalls();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), '\n'), 5) << "one job: " << calls;
    const std::string files = sandbox::Listing(out);

    // A failed export: its box once the job has ended, the buttons after it,
    // the first run's files kept.
    sandbox::Write(sandbox::SystemDir() + "fail-export", kHeldKey);
    {
        sandbox::THeldExport hold("hku\\carol\\Network");
        tool.Press(IDB_SELECT_USER);
        ASSERT_TRUE(hold.WaitHeld());
        EXPECT_EQ(ProgressText(tool), L"Reading mapped drives of carol\u2026");
        EXPECT_EQ(tool.FindDialog(), nullptr);
    }
    ASSERT_NE(tool.FindDialog("Problem", 10000), nullptr);
    EXPECT_EQ(JobButtons(tool), "0000") << "the buttons come back after the box";
    EXPECT_EQ(ProgressText(tool), L"");
    EXPECT_EQ(tool.Answer("Problem"), "The system's reg could not export HKEY_USERS\\carol\\Printers (exit code 1).\n\n"
                                      "The earlier files in " + out + " were kept.<owned>");
    ASSERT_TRUE(tool.WaitIdle());
    EXPECT_EQ(JobButtons(tool), "1111");
    EXPECT_EQ(sandbox::Listing(out), files);
    EXPECT_FALSE(sandbox::KeyExists(HKEY_USERS, "carol"));
    tool.Press(IDB_EXIT);
    EXPECT_EQ(tool.WaitExit(), 0u);
}

// Exit, the close box, logoff and shutdown wait for the job: the tool ends
// only after the profile's hive is unloaded. At logoff or shutdown a job that does not end in time has its reg ended and its hive unloaded.
TEST(WindowJob, ClosingWaitsForTheUnload)
{
    enum Way { ExitButton, CloseBox, SessionEnd, SessionEndJobStuck };
    for (Way way : {ExitButton, CloseBox, SessionEnd, SessionEndJobStuck}) {
        SCOPED_TRACE(way);
        driver::Tool tool;
        StartOnCarol(tool, "closing");
        sandbox::THeldExport hold(kHeldKey);
        tool.Press(IDB_SELECT_USER);
        ASSERT_TRUE(hold.WaitHeld());
        HANDLE ending = nullptr;
        if (way == SessionEnd || way == SessionEndJobStuck) {
            DWORD_PTR allowed = 0;
            EXPECT_NE(SendMessageTimeoutA(tool.Main(), WM_QUERYENDSESSION, 0, 0, SMTO_ABORTIFHUNG, 1000, &allowed), 0);
            EXPECT_EQ(allowed, static_cast<DWORD_PTR>(TRUE)) << "Windows may log off";
            ending = CreateThread(nullptr, 0, EndSession, tool.Main(), 0, nullptr);
            EXPECT_EQ(WaitForSingleObject(ending, 1000), static_cast<DWORD>(WAIT_TIMEOUT)) << "answered before the unload";
        } else {
            if (way == ExitButton)
                tool.Press(IDB_EXIT);
            else
                PostMessageA(tool.Main(), WM_SYSCOMMAND, SC_CLOSE, 0);
            EXPECT_TRUE(driver::WaitUntil([&] { return ProgressText(tool) == L"Finishing the export of carol\u2026"; }, 5000))
                << "the window says why it stays";
            EXPECT_EQ(tool.WaitExit(1000), static_cast<DWORD>(STILL_ACTIVE));
            EXPECT_TRUE(Answers(tool.Main(), 1000));
        }
        EXPECT_EQ(sandbox::StandInCalls().find("unload|"), std::string::npos);
        if (way != SessionEndJobStuck)
            hold.Release();
        if (ending) {
            // XP offers to end a program that takes 20 s to answer; once it
            // has answered, the process may end at any time.
            EXPECT_EQ(WaitForSingleObject(ending, 18000), static_cast<DWORD>(WAIT_OBJECT_0));
            EXPECT_FALSE(sandbox::KeyExists(HKEY_USERS, "carol")) << "the hive outlives the answer";
            CloseHandle(ending);
        }
        EXPECT_EQ(tool.WaitExit(20000), 0u);
        EXPECT_NE(sandbox::StandInCalls().find("\nunload|hku\\carol\n"), std::string::npos);
        EXPECT_FALSE(sandbox::KeyExists(HKEY_USERS, "carol")) << "the hive stays loaded";
    }
}

// The remote export has what the window gave it when it started: the box
// ticked while it runs does not make it read the applications.
TEST(WindowJob, RemoteExportKeepsWhatItWasGiven)
{
    // Wine's HKEY_CURRENT_USER, listed as the user logged on at this computer;
    // printers enough for their export to last while the test looks.
    const std::string printers = "Printers";
    SHDeleteKeyA(HKEY_CURRENT_USER, printers.c_str());
    for (int i = 0; i < 3000; ++i)
        sandbox::SetString(HKEY_CURRENT_USER, printers + "\\Connections\\,,srv,Printer " + std::to_string(i), "Server",
                           "\\\\srv");
    driver::Tool tool;
    const std::string out = sandbox::StartTool(tool, "job-remote") + "\\RemoteMachine";
    tool.TypeMachine(driver::ThisComputer());
    ASSERT_EQ(tool.Run(IDB_CONNECT_REG), "");
    const std::string line = driver::ListItems(tool.Item(IDL_REMOTE_USERS)).at(0);
    const std::string user = driver::ThisComputer() + "\\" + line.substr(0, line.find("   =-->"));

    tool.Press(IDB_REMOTE_SELECT_USER);
    ASSERT_TRUE(tool.WaitJob(5000));
    SendMessageA(tool.Item(IDC_GET_APPS), BM_SETCHECK, BST_CHECKED, 0);
    EXPECT_EQ(JobButtons(tool), "0000") << "the job ended before the box was ticked: it proves nothing";
    EXPECT_EQ(Text(tool.Item(IDB_REMOTE_SELECT_USER)), "Please Wait");
    EXPECT_TRUE(Answers(tool.Main(), 1000));
    const std::wstring reading = L"Reading printers of " + std::wstring(user.begin(), user.end()) + L"\u2026";
    EXPECT_TRUE(driver::WaitUntil([&] { return ProgressText(tool) == reading; }, 5000));
    ASSERT_TRUE(tool.WaitIdle());
    EXPECT_EQ(tool.FindDialog(), nullptr);
    EXPECT_EQ(Text(tool.Item(IDB_REMOTE_SELECT_USER)), "Select User");
    EXPECT_EQ(ProgressText(tool), L"");
    EXPECT_TRUE(sandbox::Exists(out + "\\printers.txt"));
    EXPECT_FALSE(sandbox::Exists(out + "\\apps.txt")) << "the box was read after the job had started";
    SHDeleteKeyA(HKEY_CURRENT_USER, printers.c_str());
}

// The worker's progress and end reach the window's thread through its queue:
// the latest step, however many came, and an exception as the job's problem.
TEST(WindowJob, TheWorkerEndsAsAProblemOnTheWindowsThread)
{
    HWND window = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    const struct {
        void (*fail)();
        std::string told;
    } cases[] = {
        {[] { throw std::bad_alloc(); }, "There is not enough memory to finish the export."},
        {[] { throw std::runtime_error("no disk"); }, "The export ended with an unexpected error: no disk."},
        {[] { throw 7; }, "The export ended with an unexpected error."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.told);
        TWindowJob job;
        std::string told = "<not told>";
        DWORD toldOn = 0;
        const auto fail = c.fail;
        // The last step comes once the window has shown an earlier one.
        HANDLE taken = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        ASSERT_TRUE(job.Start(window, "export",
                              [fail, taken](TProblem&, const JobProgress& progress) {
                                  for (std::size_t i = 1; i < 1000; ++i)
                                      progress(JobStep::InstalledApps, i, 1000);
                                  WaitForSingleObject(taken, 5000);
                                  progress(JobStep::InstalledApps, 1000, 1000);
                                  fail();
                              },
                              [&](const TProblem& problem) {
                                  told = ReportText(problem);
                                  toldOn = GetCurrentThreadId();
                              }));
        EXPECT_FALSE(job.Start(window, "export", nullptr, nullptr)) << "a second job while one runs";
        std::size_t shown = 0;
        bool ended = false;
        for (DWORD start = GetTickCount(); !ended && GetTickCount() - start < 10000;) {
            MSG message;
            if (!PeekMessageA(&message, window, 0, 0, PM_REMOVE)) {
                Sleep(1);
                continue;
            }
            JobStep step;
            std::size_t done = 0, total = 0;
            if (message.message == kJobProgressMessage && job.TakeProgress(step, done, total)) {
                shown = done;
                SetEvent(taken);
            }
            ended = message.message == kJobEndMessage;
        }
        ASSERT_TRUE(ended);
        EXPECT_EQ(shown, 1000u) << "the window's last step is not the job's";
        EXPECT_TRUE(job.Running());
        job.Finish();
        EXPECT_FALSE(job.Running());
        EXPECT_EQ(told, c.told);
        EXPECT_EQ(toldOn, GetCurrentThreadId());
        CloseHandle(taken);
    }
    DestroyWindow(window);
}
