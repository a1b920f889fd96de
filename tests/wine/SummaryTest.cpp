#include <gtest/gtest.h>
#include <shlwapi.h>

#include <algorithm>
#include <cstdlib>

#include "app/CommandLineRun.h"
#include "remote/ConnectReason.h"
#include "tests/wine/Harness.h"

using sandbox::Exists;
using sandbox::Lines;
using sandbox::Read;
using sandbox::RunTool;

namespace {

// Users of this computer that the lister below gives: Wine's own and two
// made directly under HKEY_USERS, which the remote export reads like any.
const struct {
    const char* key;
    const char* home;
    const char* server;  // of the user's drive and printer
} kUsers[] = {
    {"S-1-5-21-0-0-0-1000", "root", "OLDSRV"},
    {"S-1-5-21-7-7-7-1001", "bob", "files"},
    {"S-1-5-21-7-7-7-1002", "carl", "files"},
};

void MakeUsers()
{
    for (const auto& user : kUsers) {
        const std::string base = user.key;
        SHDeleteKeyA(HKEY_USERS, (base + "\\Printers").c_str());
        SHDeleteKeyA(HKEY_USERS, (base + "\\Network").c_str());
        sandbox::SetString(HKEY_USERS, base + "\\Printers\\Connections\\,," + user.server + ",Laser", "Server",
                           std::string("\\\\") + user.server);
        sandbox::SetString(HKEY_USERS, base + "\\Network\\Z", "RemotePath",
                           std::string("\\\\") + user.server + "\\" + user.home);
    }
    // A default printer another test left would name a server of its own.
    SHDeleteValueA(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows", "Device");
    sandbox::MakeUninstallEntries(HKEY_USERS, kUsers[0].key);
}

LONG ListFleetUsers(const std::string& machine, std::vector<RemoteUser>& users, std::string& reason)
{
    users.clear();
    if (machine == "\\\\PCDENIED") {
        reason = ConnectFailureReason(ERROR_ACCESS_DENIED, "");
        return ERROR_ACCESS_DENIED;
    }
    if (machine != driver::ThisComputer()) {
        reason = ConnectFailureReason(ERROR_BAD_NETPATH, "");
        return ERROR_BAD_NETPATH;
    }
    for (const auto& user : kUsers) {
        const std::string key = user.key;  // ASCII: each byte is its unit
        users.push_back({user.home, key, std::u16string(key.begin(), key.end())});
    }
    return ERROR_SUCCESS;
}

TProbeResult Answers(const std::string&)
{
    return {ProbeOutcome::Answers, 0};
}

// The number the page shows for a count, or -1.
int PageCount(const std::string& page, const std::string& id)
{
    const std::string mark = "<td id=\"count-" + id + "\">";
    const std::size_t at = page.find(mark);
    return at == std::string::npos ? -1 : std::atoi(page.c_str() + at + mark.size());
}

bool WholePage(const std::string& page)
{
    return page.compare(0, 14, "<!DOCTYPE HTML") == 0 && page.size() > 20 &&
           page.compare(page.size() - 9, 9, "</html>\r\n") == 0;
}

// Reads a file as a reader that never stands in a writer's way does.
bool ReadShared(const std::string& path, std::string& bytes)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    bytes.clear();
    char buffer[65536];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read)
        bytes.append(buffer, read);
    CloseHandle(file);
    return true;
}

}  // namespace

// Machines exported with their applications end in a summary over their
// sets; /summary of the same folder writes the same counts elsewhere; a set
// that lost its Source.txt and a page held open are told, and exit 1.
TEST(Summary, AFleetExportedWithItsApplications)
{
    MakeUsers();
    const std::string dir = sandbox::FreshDir("summary"), out = dir + "\\out";
    TFleetSeams seams;
    seams.listUsers = ListFleetUsers;
    seams.probe = Answers;
    EXPECT_EQ(RunCommandLine({"/machine", driver::ThisComputer(), "/machine", "PCDENIED", "/machine", "PCOFF", "/apps",
                              "/map", "\\\\OLDSRV=\\\\NEWSRV", "/out", out},
                             seams),
              1);
    for (const char* name : {"Summary.html", "Servers.csv", "Users.csv", "Applications.csv", "Failures.csv"})
        EXPECT_TRUE(Exists(out + "\\" + name)) << name;
    const std::string page = Read(out + "\\Summary.html");
    ASSERT_TRUE(WholePage(page));
    EXPECT_EQ(PageCount(page, "sets"), 3);
    EXPECT_EQ(PageCount(page, "failures"), 2);
    // The servers as the files to import name them: OLDSRV renamed by /map.
    EXPECT_NE(page.find("<tr><td>\\\\NEWSRV</td><td class=\"n\">1</td><td class=\"n\">1</td><td class=\"n\">1</td>"
                        "<td class=\"n\">0</td><td>\\\\OLDSRV</td></tr>"),
              std::string::npos);
    EXPECT_NE(page.find("<td>Sample Viewer</td><td>2.1</td><td>Acme Ltd.</td><td class=\"n\">1</td><td>machine</td>"),
              std::string::npos);
    // Each set's link leads to its folder, below the page's.
    const std::string machine = driver::ThisComputer().substr(2);
    for (const auto& user : kUsers) {
        EXPECT_NE(page.find("<a href=\"" + machine + "/" + user.home + "/\">"), std::string::npos) << user.home;
        EXPECT_TRUE(Exists(out + "\\" + machine + "\\" + user.home + "\\Source.txt")) << user.home;
    }

    // The real tool, with the page elsewhere: the same counts, links relative to the sets' folder.
    EXPECT_EQ(RunTool("/summary " + out + " /out " + dir + "\\elsewhere", dir, dir + "\\stdout.txt"), 0u);
    const std::vector<std::string> said = Lines(Read(dir + "\\stdout.txt"));
    ASSERT_EQ(said.size(), 1u);
    EXPECT_EQ(sandbox::LogEntry(said[0]), "summary\tok: 3 sets, 1 machines, 3 users, 2 failures, 2 servers: " + dir +
                                              "\\elsewhere\\Summary.html");
    const std::string elsewhere = Read(dir + "\\elsewhere\\Summary.html");
    EXPECT_NE(elsewhere.find("<base href=\"file:///C:/mvt/summary/out/\">"), std::string::npos);
    EXPECT_EQ(PageCount(elsewhere, "users"), 3);
    EXPECT_NE(elsewhere.find("<a href=\"" + machine + "/bob/\">"), std::string::npos);

    // A set with a run's work folder beside it is being written, also when
    // it is the folder summarized: skipped, and no failure.
    const std::string set = out + "\\" + machine + "\\bob";
    sandbox::MakeDirs(set + ".~new-99999-1");
    EXPECT_EQ(RunTool("/summary " + set + " /out " + dir + "\\one", dir, dir + "\\stdout.txt"), 0u);
    EXPECT_NE(Read(dir + "\\stdout.txt").find("\tsummary\tok: 1 set (1 being written, 0 not read whole), 0 machines"),
              std::string::npos)
        << Read(dir + "\\stdout.txt");
    EXPECT_EQ(RunTool("/summary " + out + " /out " + dir + "\\one", dir, dir + "\\stdout.txt"), 0u);
    EXPECT_EQ(PageCount(Read(dir + "\\one\\Summary.html"), "users"), 2);
    RemoveDirectoryA((set + ".~new-99999-1").c_str());

    // A set that lost a file is told and counted; the others are read.
    ASSERT_TRUE(DeleteFileA((out + "\\" + machine + "\\carl\\Source.txt").c_str()));
    EXPECT_EQ(RunTool("/summary " + out, dir, dir + "\\stdout.txt"), 1u);
    const std::vector<std::string> told = Lines(Read(dir + "\\stdout.txt"));
    ASSERT_EQ(told.size(), 2u);
    EXPECT_EQ(sandbox::LogEntry(told[0]), "summary\tfailed: not read whole: " + machine + "\\carl" +
                                              ": Source.txt is missing: the set is not whole");
    EXPECT_EQ(PageCount(Read(out + "\\Summary.html"), "users"), 2);

    // A page held open without delete sharing cannot be replaced: the run
    // says so, the earlier page stays whole and nothing is left beside it.
    const std::string before = Read(out + "\\Summary.html");
    HANDLE held = CreateFileA((out + "\\Summary.html").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_EQ(RunTool("/summary " + out, dir, dir + "\\stdout.txt"), 1u);
    CloseHandle(held);
    EXPECT_NE(Read(dir + "\\stdout.txt").find("summary\tfailed: Summary.html could not be written to " + out + " (error "),
              std::string::npos)
        << Read(dir + "\\stdout.txt");
    EXPECT_EQ(Read(out + "\\Summary.html"), before);
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((out + "\\Summary.html.~*").c_str(), &entry);
    EXPECT_EQ(find, INVALID_HANDLE_VALUE) << entry.cFileName;
    if (find != INVALID_HANDLE_VALUE)
        FindClose(find);

    // A logon script's run of the running user reads no share.
    EXPECT_EQ(RunTool("/current /out " + out, dir, dir + "\\stdout.txt"), 0u) << Read(dir + "\\stdout.txt");
    EXPECT_EQ(Read(out + "\\Summary.html"), before);

    for (const auto& user : kUsers)
        if (std::string(user.key) != "S-1-5-21-0-0-0-1000")
            SHDeleteKeyA(HKEY_USERS, user.key);
}

// An export and summaries of the same folder at once: every page a reader
// finds is whole, every summary succeeds, sets that are being written are
// skipped rather than read half.
TEST(Summary, ARunBesideAnotherLeavesAWholePage)
{
    const std::string dir = sandbox::FreshDir("beside"), out = dir + "\\out";
    const std::string exportArgs = "/machine " + driver::ThisComputer() + " /apps /out " + out;
    ASSERT_EQ(RunTool(exportArgs, dir, dir + "\\first.txt"), 0u) << Read(dir + "\\first.txt");

    sandbox::TToolRuns exports = {dir, exportArgs, dir + "\\export", 3, {}};
    sandbox::TToolRuns summaries = {dir, "/summary " + out, dir + "\\summary", 6, {}};
    HANDLE threads[2] = {
        CreateThread(nullptr, 0, sandbox::RunToolTimes, &exports, 0, nullptr),
        CreateThread(nullptr, 0, sandbox::RunToolTimes, &summaries, 0, nullptr),
    };
    int pages = 0, broken = 0;
    while (WaitForMultipleObjects(2, threads, TRUE, 0) == WAIT_TIMEOUT) {
        std::string page;
        if (ReadShared(out + "\\Summary.html", page)) {
            ++pages;
            if (!WholePage(page) || PageCount(page, "sets") != 1)
                ++broken;
        }
        Sleep(5);
    }
    for (HANDLE thread : threads)
        CloseHandle(thread);
    EXPECT_GT(pages, 0);
    EXPECT_EQ(broken, 0);
    EXPECT_EQ(exports.codes, std::vector<DWORD>(3, 0u));
    for (int i = 0; i < 6; ++i) {
        const std::string said = Read(summaries.output + std::to_string(i) + ".txt");
        EXPECT_EQ(summaries.codes[static_cast<std::size_t>(i)], 0u) << said;
        // Read whole, or skipped while being written: never half.
        EXPECT_TRUE(said.find("\tsummary\tok: 1 set, 1 machines, 1 users, 0 failures") != std::string::npos ||
                    said.find("\tsummary\tok: 1 set (1 being written, 0 not read whole), 0 machines") != std::string::npos)
            << said;
    }
    const std::string page = Read(out + "\\Summary.html");
    EXPECT_TRUE(WholePage(page));
    EXPECT_EQ(PageCount(page, "users"), 1);
}
