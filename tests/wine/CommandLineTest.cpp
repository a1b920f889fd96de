#include <gtest/gtest.h>
#include <shlwapi.h>

#include <algorithm>

#include "app/CommandLineRun.h"
#include "tests/wine/ConsoleEvent.h"
#include "tests/wine/Harness.h"
#include "tests/wine/SilentPort.h"

using sandbox::Exists;
using sandbox::Read;
using sandbox::SortedEntries;
using sandbox::Replaced;
using sandbox::Lines;
using sandbox::RunProgram;
using sandbox::RunTool;

namespace {

const char kUserKey[] = "S-1-5-21-0-0-0-1000";  // Wine's running user, logged on at this computer
// A name that does not resolve is told so, without a registry connection.
const char kNotKnown[] = "failed: Problem connecting to remote machine. Please check to make sure the pc name does "
                         "exist on the network.  The name is not known on the network. (error N)";

const char kWindowsKey[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";

std::string DefaultPrinterFile(const std::string& device)
{
    std::string escaped;
    for (char c : device)
        escaped += c == '\\' ? "\\\\" : std::string(1, c);
    return "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows]\r\n"
           "\"Device\"=\"" + escaped + "\"\r\n";
}

bool Has(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

}  // namespace

// Every kind of source from one command line, with no window, into one
// folder: the default printer travels with each kind of set, and /map
// renames the old server in every file to import, never in the raw
// exports, and never a server whose name only begins with the old one's. A
// second run appends to the log and replaces the sets.
TEST(CommandLine, ExportsAFleetWithoutAWindow)
{
    sandbox::InstallStandIn();
    const std::string dir = sandbox::FreshDir("fleet"), out = dir + "\\out";
    const std::string home = driver::ThisComputer().substr(2), uninstall = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
    SHDeleteKeyA(HKEY_CURRENT_USER, "Printers");
    SHDeleteKeyA(HKEY_CURRENT_USER, "Network");
    sandbox::SetString(HKEY_CURRENT_USER, "Printers\\Connections\\,,OLDSRV,HP 4", "Server", "\\\\OLDSRV");
    sandbox::SetString(HKEY_CURRENT_USER, "Printers\\Connections\\,,OLDER,Laser", "Server", "\\\\OLDER");
    sandbox::SetString(HKEY_CURRENT_USER, "Network\\Z", "RemotePath", "\\\\oldsrv\\share");
    sandbox::SetString(HKEY_CURRENT_USER, "Network\\Y", "RemotePath", "\\\\OLDER\\x");
    sandbox::SetString(HKEY_CURRENT_USER, kWindowsKey, "Device", "\\\\OLDSRV\\HP 4,winspool,Ne01:");
    sandbox::SetString(HKEY_CURRENT_USER, kWindowsKey, "load", "c:\\not-carried.exe");
    sandbox::SetString(HKEY_LOCAL_MACHINE, uninstall + "\\Viewer", "DisplayName", "Viewer 1.0");
    sandbox::RemoveTree("C:\\users\\carol");
    sandbox::MakeDirs("C:\\users\\carol");
    sandbox::Write("C:\\users\\carol\\ntuser.dat",
                   "Printers\r\nSoftware\\Microsoft\\Windows NT\\CurrentVersion\\Windows|Device|\\\\OldSrv\\Laser,winspool,Ne02:\r\n");

    EXPECT_EQ(RunTool("/machine " + driver::ThisComputer() + " /MACHINE " + home + " /machine NOSUCHPC /apps /profile carol "
                      "/current /map \\\\OLDSRV=\\\\NEWSRV /out " + out, dir, dir + "\\stdout.txt"), 1u);
    const std::string machine = home;  // Wine names the computer in capitals
    const std::string folder = out + "\\" + machine + "\\";
    std::string homeFolder;
    for (const std::string& line : Lines(Read(out + "\\Movara.log")))
        if (line.find(kUserKey) != std::string::npos)
            homeFolder = line.substr(line.find('\\') + 1, line.find(" (") - line.find('\\') - 1);
    ASSERT_FALSE(homeFolder.empty()) << Read(out + "\\Movara.log");
    const std::vector<std::string> expected = {
        std::string("NOSUCHPC\t") + kNotKnown,
        machine + "\\" + homeFolder + " (" + kUserKey + ")\tok",
        "current user\tok",
        "profile carol\tok",
    };
    std::vector<std::string> sorted = expected;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(SortedEntries(Read(out + "\\Movara.log")), sorted);
    EXPECT_EQ(SortedEntries(Read(dir + "\\stdout.txt")), sorted);
    const std::string current = out + "\\CurrentUser\\", profile = out + "\\carol\\", remote = folder + homeFolder + "\\";
    // The tool's own writer: the raw .txt as read, its .reg copy renamed.
    const std::string printers = Read(remote + "printers.txt");
    EXPECT_NE(printers.find(std::string("\r\n[") + kUserKey + "\\Printers\\Connections\\,,OLDSRV,HP 4]\r\n\"Server\"="),
              std::string::npos) << printers;
    EXPECT_EQ(Read(remote + "printers.txt.reg"),
              Replaced(Replaced(printers, std::string("[") + kUserKey, "[HKEY_CURRENT_USER"), "OLDSRV", "NEWSRV"));
    EXPECT_TRUE(Has(Read(remote + "drives.txt.reg"), "\"RemotePath\"=\"\\\\\\\\NEWSRV\\\\share\""));
    EXPECT_TRUE(Has(Read(remote + "drives.txt"), "\"RemotePath\"=\"\\\\\\\\oldsrv\\\\share\""));
    EXPECT_NE(Read(remote + "SmallApps.txt").find("\"Viewer 1.0\"\r\n"), std::string::npos);
    EXPECT_FALSE(Exists(profile + "mappedDrv.reg"));
    EXPECT_FALSE(Exists(out + "\\NOSUCHPC"));
    // The running user's and the remote user's default printer, on the new server; a stored profile's too.
    EXPECT_EQ(Read(current + "DefaultPrinter.reg"), DefaultPrinterFile("\\\\NEWSRV\\HP 4,winspool,Ne01:"));
    EXPECT_EQ(Read(remote + "DefaultPrinter.reg"), DefaultPrinterFile("\\\\NEWSRV\\HP 4,winspool,Ne01:"));
    EXPECT_EQ(Read(profile + "DefaultPrinter.reg"), DefaultPrinterFile("\\\\NEWSRV\\Laser,winspool,Ne02:"));
    // reg's UTF-16 exports and their rewrites: renamed, the raw export as read.
    const std::string exported = Read(current + "printers.reg"), drives = Read(current + "mappedDrv.reg");
    EXPECT_TRUE(Has(exported, sandbox::Utf16("[HKEY_CURRENT_USER\\Printers\\Connections\\,,NEWSRV,HP 4]\r\n\"Server\"=\"\\\\\\\\NEWSRV\"")))
        << exported;
    EXPECT_TRUE(Has(exported, sandbox::Utf16("[HKEY_CURRENT_USER\\Printers\\Connections\\,,OLDER,Laser]\r\n\"Server\"=\"\\\\\\\\OLDER\"")));
    EXPECT_FALSE(Has(exported, sandbox::Utf16("OLDSRV")));
    EXPECT_TRUE(Has(Read(current + "printers.prx"), sandbox::Utf16(",,NEWSRV,HP 4]")));
    EXPECT_TRUE(Has(drives, sandbox::Utf16("\"RemotePath\"=\"\\\\\\\\NEWSRV\\\\share\"")));
    for (const std::string& set : {current, remote, profile}) {
        const std::string source = Read(set + "Source.txt");
        EXPECT_TRUE(Has(source, "DefaultPrinter.reg\r\n")) << source;
        EXPECT_TRUE(Has(source, "\r\nServers renamed in the files to import: \\\\OLDSRV to \\\\NEWSRV\r\n")) << source;
    }

    // Again, without the applications: the log grows, the machine's set is
    // replaced, and the line tells of the work folder a killed run had left.
    sandbox::Child ended;
    ended.End();
    const std::string left = folder + homeFolder + ".~new-" + std::to_string(ended.Id()) + "-2";
    sandbox::MakeDirs(left);
    EXPECT_EQ(RunTool("/machine " + home + " /out " + out, dir, dir + "\\stdout.txt"), 0u);
    const std::vector<std::string> log = Lines(Read(out + "\\Movara.log"));
    ASSERT_EQ(log.size(), 5u);
    EXPECT_EQ(sandbox::LogEntry(log[4]), expected[1] + ": An earlier export that did not finish left " + left + "; nothing in " +
                                 folder + homeFolder + " had to change, and it was removed.");
    EXPECT_FALSE(Exists(left));
    EXPECT_TRUE(Exists(folder + homeFolder + "\\printers.txt"));
    EXPECT_FALSE(Exists(folder + homeFolder + "\\apps.txt"));
    EXPECT_FALSE(Exists(folder + homeFolder + "\\SmallApps.txt"));
    EXPECT_EQ(sandbox::StandInCalls().find("load|hku\\carol|ntuser.dat\n"), 0u);

    // A printer of the machine itself is named, and no file carries it.
    sandbox::SetString(HKEY_CURRENT_USER, kWindowsKey, "Device", "HP LaserJet,winspool,LPT1:");
    EXPECT_EQ(RunTool("/current /out " + out, dir, dir + "\\stdout.txt"), 0u);
    EXPECT_FALSE(Exists(current + "DefaultPrinter.reg"));
    EXPECT_TRUE(Has(Read(current + "Source.txt"),
                    "\r\nDefault printer: HP LaserJet, a printer of the old machine itself, is not carried\r\n"));
    EXPECT_TRUE(Has(Read(current + "printers.reg"), sandbox::Utf16(",,OLDSRV,HP 4]"))) << "no map, no rename";
    SHDeleteValueA(HKEY_CURRENT_USER, kWindowsKey, "Device");
    SHDeleteValueA(HKEY_CURRENT_USER, kWindowsKey, "load");
    SHDeleteKeyA(HKEY_CURRENT_USER, "Network");
}

// A usage error exports nothing, makes no folder, and says which argument was wrong.
TEST(CommandLine, UsageErrorsExportNothing)
{
    const std::string dir = sandbox::FreshDir("usage");
    sandbox::MakeDirs(dir + "\\logs");
    sandbox::Write(dir + "\\comments.txt", "; site 1\r\n# nobody yet\r\n\r\n");
    sandbox::Write(dir + "\\empty.txt", "\xFF\xFE");
    const struct {
        std::string arguments;
        std::string logFolder;  // where the line goes
        std::string says;
    } cases[] = {
        {"/out " + dir + "\\logs /current /bogus", dir + "\\logs", "unknown argument \"/bogus\""},
        {"/current /bogus /out " + dir + "\\logs", dir, "unknown argument \"/bogus\""},  // /out not read yet
        {"/machines " + dir + "\\none.txt /out " + dir + "\\new", dir, "\"" + dir + "\\none.txt\" cannot be read"},
        // Nothing left to export once the lists are read: no run passes for a fleet's.
        {"/machines " + dir + "\\comments.txt /out " + dir + "\\new", dir,
         "/machines: the list \"" + dir + "\\comments.txt\" names no machine"},
        {"/machines " + dir + "\\comments.txt /machines " + dir + "\\empty.txt /apps", dir,
         "/machines: the lists \"" + dir + "\\comments.txt\", \"" + dir + "\\empty.txt\" name no machine"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments);
        DeleteFileA((c.logFolder + "\\Movara.log").c_str());
        EXPECT_EQ(RunTool(c.arguments, dir, dir + "\\stdout.txt"), 2u);
        const std::string line = Read(dir + "\\stdout.txt");
        EXPECT_NE(sandbox::LogEntry(line).find("command line\tfailed: usage error: "), std::string::npos) << line;
        EXPECT_NE(line.find(c.says), std::string::npos) << line;
        EXPECT_EQ(Read(c.logFolder + "\\Movara.log"), line);
        EXPECT_FALSE(Exists(dir + "\\CurrentUser"));
        EXPECT_FALSE(Exists(dir + "\\new"));
    }
    EXPECT_EQ(RunTool("/? /bogus", dir, dir + "\\stdout.txt"), 0u);
    EXPECT_NE(Read(dir + "\\stdout.txt").find("/jobs N"), std::string::npos);
}

// Lists that name machines, none of them usable: each name fails with its
// reason, and the run is no usage error and no success.
TEST(CommandLine, ListsOfUnusableNamesFailEachName)
{
    const std::string dir = sandbox::FreshDir("unusable"), out = dir + "\\out";
    sandbox::Write(dir + "\\slashes.txt", "\\\\\r\n");
    sandbox::Write(dir + "\\wide.txt", "\xFF\xFE" + std::string("\xDD\x30\xFC\x30\r\0\n\0", 8));  // katakana
    EXPECT_EQ(RunCommandLine({"/machines", dir + "\\slashes.txt", "/machines", dir + "\\wide.txt", "/out", out}), 1);
    EXPECT_EQ(SortedEntries(Read(out + "\\Movara.log")),
              (std::vector<std::string>{"??\tfailed: The name cannot be written in this system's code page, so no "
                                        "machine can be asked by it.",
                                        "\\\\\tfailed: \"\\\\\" is not the name of a machine."}));
}

// A command prompt waits for MovaraM.com, which waits for MovaraM.exe: the
// lines come first, then the right errorlevel.
TEST(CommandLine, ConsoleFrontWaitsAndPassesTheExitCode)
{
    const std::string dir = sandbox::FreshDir("com");
    const std::string cmd = sandbox::SystemDir() + "cmd.exe", com = sandbox::Beside("MovaraM.com");
    EXPECT_EQ(RunProgram(cmd, "/c \"\"" + com + "\" /machine NOSUCHC1 /out " + dir + " & echo errorlevel %errorlevel%\"", dir,
                  dir + "\\stdout.txt"),
              1u);
    const std::vector<std::string> lines = Lines(Read(dir + "\\stdout.txt"));
    ASSERT_EQ(lines.size(), 2u) << Read(dir + "\\stdout.txt");
    EXPECT_EQ(sandbox::LogEntry(lines[0]), std::string("NOSUCHC1\t") + kNotKnown);
    EXPECT_EQ(lines[1].substr(0, 12), "errorlevel 1");
    EXPECT_EQ(RunProgram(com, "/machine \\\\", dir, dir + "\\stdout.txt"), 2u);
    EXPECT_NE(Read(dir + "\\stdout.txt").find("usage error"), std::string::npos);
}

// What only a crash or a key press gives, with a stand-in behind a copy of
// the front: an exception code becomes errorlevel 1, which "if errorlevel 1"
// reads as a failure (as a negative number it would read as success), and
// Ctrl+C at the console is waited out by the front while the tool hears it.
TEST(CommandLine, ConsoleFrontPassesACrashAsOneAndWaitsOutCtrlC)
{
    const std::string dir = sandbox::FreshDir("com-standin"), com = dir + "\\MovaraM.com";
    ASSERT_TRUE(CopyFileA(sandbox::Beside("MovaraM.com").c_str(), com.c_str(), FALSE));
    ASSERT_TRUE(CopyFileA(sandbox::Beside("tool_standin.exe").c_str(), (dir + "\\MovaraM.exe").c_str(), FALSE));

    EXPECT_EQ(RunProgram(com, "exit 3221225477", dir, dir + "\\stdout.txt"), 1u);
    EXPECT_EQ(Lines(Read(dir + "\\stdout.txt")),
              (std::vector<std::string>{"stand-in exit 3221225477\r",
                                        "MovaraM: MovaraM.exe ended abnormally (0xC0000005).\r"}));
    EXPECT_EQ(RunProgram(com, "exit 3", dir, dir + "\\stdout.txt"), 3u);
    RunProgram(sandbox::SystemDir() + "cmd.exe",
               "/c \"\"" + com + "\" exit 3221225477 > nul & if errorlevel 1 echo level 1 or more\"", dir,
               dir + "\\stdout.txt");
    EXPECT_EQ(Read(dir + "\\stdout.txt"), "MovaraM: MovaraM.exe ended abnormally (0xC0000005).\r\nlevel 1 or more\r\n");

    EXPECT_EQ(RunProgram(com, "interrupt", dir, ""), 71u)
        << "70: the tool never heard Ctrl+C; any other: the front ended first";
}

namespace {

void MakeStoredProfile(const std::string& user)
{
    sandbox::RemoveTree("C:\\users\\" + user);
    sandbox::MakeDirs("C:\\users\\" + user);
    sandbox::Write("C:\\users\\" + user + "\\ntuser.dat", "Printers\r\n");
}

}  // namespace

// Ctrl+C while a stored profile is exported: that profile is finished and
// its hive unloaded; each source not begun is "cancelled"; the run ends with 1.
TEST(CommandLine, CtrlCStopsTheRunBetweenItsSources)
{
    sandbox::InstallStandIn();
    const std::string dir = sandbox::FreshDir("ctrl-c");
    MakeStoredProfile("carol");
    MakeStoredProfile("dave");
    sandbox::Write(sandbox::SystemDir() + "hold", "hku\\carol\\Printers");
    TConsoleEvent interrupt(CTRL_C_EVENT);
    bool stillLoaded = false;
    interrupt.whenReturned = [&] { stillLoaded = sandbox::KeyExists(HKEY_USERS, "carol"); };
    TFleetSeams seams;
    seams.console = interrupt.Calls();
    interrupt.Start();
    EXPECT_EQ(RunCommandLine({"/profile", "carol", "/profile", "dave", "/current", "/machine", "PCC", "/out", dir}, seams),
              1);
    interrupt.Wait();
    EXPECT_EQ(interrupt.returned, TRUE) << "the handler was not installed, or let the process end";
    EXPECT_TRUE(stillLoaded) << "the profile in progress is finished by its own job";
    EXPECT_EQ(SortedEntries(Read(dir + "\\Movara.log")),
              (std::vector<std::string>{"PCC\tfailed: cancelled", "current user\tfailed: cancelled",
                                        "profile carol\tok", "profile dave\tfailed: cancelled"}));
    const std::string calls = sandbox::StandInCalls();
    EXPECT_NE(calls.find("\nunload|hku\\carol\n"), std::string::npos) << calls;
    EXPECT_EQ(calls.find("dave"), std::string::npos) << calls;
    EXPECT_FALSE(sandbox::KeyExists(HKEY_USERS, "carol"));
    EXPECT_TRUE(Exists(dir + "\\carol\\printers.reg"));
}

// A log line that cannot be written is a failure: told on standard output,
// and the exit code says it.
TEST(CommandLine, ALogLineThatCannotBeWrittenFailsTheRun)
{
    const std::string dir = sandbox::FreshDir("nolog");
    sandbox::MakeDirs(dir + "\\Movara.log");  // a folder: no file of that name can be opened
    EXPECT_EQ(RunTool("/machine " + driver::ThisComputer() + " /out " + dir, dir, dir + "\\stdout.txt"), 1u);
    const std::vector<std::string> lines = Lines(Read(dir + "\\stdout.txt"));
    ASSERT_EQ(lines.size(), 2u) << Read(dir + "\\stdout.txt");
    EXPECT_EQ(sandbox::LogEntry(lines[0]).substr(sandbox::LogEntry(lines[0]).size() - 3), "\tok");
    EXPECT_NE(sandbox::LogEntry(lines[1]).find("Movara.log\tfailed: the line above could not be written to " + dir +
                                   "\\Movara.log (error "),
              std::string::npos)
        << lines[1];
}

// Runs at once into one folder, repeatedly: every line of every run lands whole.
TEST(CommandLine, RunsSideBySideShareTheLog)
{
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        const std::string dir = sandbox::FreshDir("together");
        sandbox::TToolRuns runs[3];
        HANDLE threads[3];
        for (int r = 0; r < 3; ++r) {
            std::string machines;
            for (int i = 0; i < 30; ++i)
                machines += " /machine NOSUCH" + std::string(1, static_cast<char>('A' + r)) + std::to_string(i);
            runs[r] = {dir, machines + " /jobs 4", dir + "\\out" + std::to_string(r), 1, {}};
            threads[r] = CreateThread(nullptr, 0, sandbox::RunToolTimes, &runs[r], 0, nullptr);
        }
        WaitForMultipleObjects(3, threads, TRUE, 180000);
        for (HANDLE thread : threads)
            CloseHandle(thread);
        std::vector<std::string> expected;
        for (int r = 0; r < 3; ++r) {
            EXPECT_EQ(runs[r].codes, std::vector<DWORD>{1u});
            for (int i = 0; i < 30; ++i)
                expected.push_back("NOSUCH" + std::string(1, static_cast<char>('A' + r)) + std::to_string(i) + "\t" +
                                   kNotKnown);
        }
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(SortedEntries(Read(dir + "\\Movara.log")), expected);
    }
}

namespace {

// A lister that returns only once a second call is under way: machines that
// are exported one at a time never get there, and the test fails instead of
// waiting for ever.
LONG gInFlight = 0, gMostInFlight = 0;

LONG WaitForCompany(const std::string&, std::vector<RemoteUser>& users, std::string& reason)
{
    users.clear();
    const LONG now = InterlockedIncrement(&gInFlight);
    for (LONG most = gMostInFlight; now > most; most = gMostInFlight)
        InterlockedCompareExchange(&gMostInFlight, now, most);
    (void)driver::WaitUntil([] { return gMostInFlight >= 2; }, 5000);
    InterlockedDecrement(&gInFlight);
    reason = "no such machine (error 53)";
    return ERROR_BAD_NETPATH;
}

TProbeResult AlwaysAnswers(const std::string&)
{
    return {ProbeOutcome::Answers, 0};
}

LONG ThrowsForPcT(const std::string& machine, std::vector<RemoteUser>& users, std::string& reason)
{
    if (machine == "\\\\PCT")
        throw 42;  // not even a std::exception
    users.clear();
    reason = "no such machine (error 53)";
    return ERROR_BAD_NETPATH;
}

} // namespace

// /jobs machines are asked at the same time.
TEST(CommandLine, MachinesAreAskedSideBySide)
{
    const std::string dir = sandbox::FreshDir("side");
    TFleetSeams seams;
    seams.listUsers = WaitForCompany;
    seams.probe = AlwaysAnswers;
    EXPECT_EQ(RunCommandLine({"/machine", "PCA", "/machine", "PCB", "/jobs", "2", "/out", dir}, seams), 1);
    EXPECT_EQ(gMostInFlight, 2);
    EXPECT_EQ(Lines(Read(dir + "\\Movara.log")).size(), 2u);

    // Whatever a machine's export throws ends as its line; the others still run.
    const std::string thrown = sandbox::FreshDir("thrown");
    seams.listUsers = ThrowsForPcT;
    EXPECT_EQ(RunCommandLine({"/machine", "PCT", "/machine", "PCU", "/jobs", "1", "/out", thrown}, seams), 1);
    const std::vector<std::string> entries = SortedEntries(Read(thrown + "\\Movara.log"));
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0], "PCT\tfailed: The export ended with an unexpected error.");
    EXPECT_EQ(entries[1].substr(0, 11), "PCU\tfailed:");
}

// The look at a machine's ports, on loopback: a closed port refuses at
// once, a port that never answers is given up at the cap, either port that
// accepts is enough.
TEST(CommandLine, ProbeTellsRefusedSilentAndAnswering)
{
    TSilentPort silent;
    ASSERT_NE(silent.Port(), 0);
    const unsigned short closed = ClosedPort();

    TProbeResult result = ProbeMachine("127.0.0.1", {closed, closed});
    EXPECT_EQ(result.outcome, ProbeOutcome::Refused);
    EXPECT_EQ(result.error, WSAECONNREFUSED);

    const DWORD start = GetTickCount();
    result = ProbeMachine("127.0.0.1", {silent.Port(), closed});
    const DWORD took = GetTickCount() - start;
    EXPECT_EQ(result.outcome, ProbeOutcome::NoAnswer);
    EXPECT_EQ(result.error, WSAETIMEDOUT);
    EXPECT_GE(took, kProbeCapMs - 100);
    EXPECT_LT(took, kProbeCapMs + 5000) << "the cap must end the wait";

    {
        TLoopbackListener answering(5);
        result = ProbeMachine("127.0.0.1", {silent.Port(), answering.Port()});
        EXPECT_EQ(result.outcome, ProbeOutcome::Answers);
    }

    result = ProbeMachine("NOSUCHPROBE", {closed, closed});
    EXPECT_EQ(result.outcome, ProbeOutcome::NotKnown);
    EXPECT_EQ(result.error, WSAHOST_NOT_FOUND);
}
