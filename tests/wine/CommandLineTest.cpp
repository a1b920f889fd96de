#include <gtest/gtest.h>
#include <shlwapi.h>

#include <algorithm>
#include <sstream>

#include "tests/wine/Harness.h"

using sandbox::Exists;
using sandbox::Read;

namespace {

const char kUserKey[] = "S-1-5-21-0-0-0-1000";  // Wine's running user, logged on at this computer

// Runs the tool with these arguments in `dir`, its standard output into
// `output`; the exit code, or 999 when it had not ended by itself in time
// (waiting for a person at a window it must not show).
DWORD RunTool(const std::string& arguments, const std::string& dir, const std::string& output)
{
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE out = CreateFileA(output.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = out;
    PROCESS_INFORMATION process = {};
    const std::string exe = sandbox::Beside("MovaraM.exe");
    std::string line = "\"" + exe + "\" " + arguments;
    DWORD code = 998;
    if (CreateProcessA(exe.c_str(), &line[0], nullptr, nullptr, TRUE, 0, nullptr, dir.c_str(), &startup, &process)) {
        if (WaitForSingleObject(process.hProcess, 120000) == WAIT_OBJECT_0)
            GetExitCodeProcess(process.hProcess, &code);
        else
            TerminateProcess(process.hProcess, code = 999);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
    CloseHandle(out);
    return code;
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// The log line's source and outcome, its time checked for its form and cut off.
std::string Entry(const std::string& line)
{
    const bool timed = line.size() > 20 && line[4] == '-' && line[7] == '-' && line[10] == ' ' && line[13] == ':' &&
                       line[16] == ':' && line[19] == '\t' && line.back() == '\r';
    return timed ? line.substr(20, line.size() - 21) : "<malformed: " + line + ">";
}

std::vector<std::string> Entries(const std::string& text)
{
    std::vector<std::string> entries;
    for (const std::string& line : Lines(text))
        entries.push_back(Entry(line));
    std::sort(entries.begin(), entries.end());  // machines run side by side
    return entries;
}

std::string Replaced(std::string text, const std::string& from, const std::string& to)
{
    for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
        text.replace(at, from.size(), to);
    return text;
}

struct ToolRun {
    std::string arguments, dir, output;
    DWORD code;
};

DWORD WINAPI RunInThread(LPVOID run)
{
    ToolRun& r = *static_cast<ToolRun*>(run);
    r.code = RunTool(r.arguments, r.dir, r.output);
    return 0;
}

}  // namespace

// Every kind of source from one command line, with no window, into one
// folder; a second run appends to the log and replaces the sets.
TEST(CommandLine, ExportsAFleetWithoutAWindow)
{
    sandbox::InstallStandIn();
    const std::string dir = sandbox::FreshDir("fleet"), out = dir + "\\out";
    const std::string home = driver::ThisComputer().substr(2), uninstall = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
    SHDeleteKeyA(HKEY_CURRENT_USER, "Printers");
    sandbox::SetString(HKEY_CURRENT_USER, "Printers\\Connections\\,,srv,Laser", "Server", "\\\\srv");
    sandbox::SetString(HKEY_LOCAL_MACHINE, uninstall + "\\Viewer", "DisplayName", "Viewer 1.0");
    sandbox::RemoveTree("C:\\users\\carol");
    sandbox::MakeDirs("C:\\users\\carol");
    sandbox::Write("C:\\users\\carol\\ntuser.dat", "Printers\r\n");

    EXPECT_EQ(RunTool("/machine " + driver::ThisComputer() + " /MACHINE " + home + " /machine NOSUCHPC /apps /profile carol "
                      "/current /out " + out, dir, dir + "\\stdout.txt"), 1u);
    const std::string machine = home;  // Wine names the computer in capitals
    const std::string folder = out + "\\" + machine + "\\";
    std::string homeFolder;
    for (const std::string& line : Lines(Read(out + "\\Movara.log")))
        if (line.find(kUserKey) != std::string::npos)
            homeFolder = line.substr(line.find('\\') + 1, line.find(" (") - line.find('\\') - 1);
    ASSERT_FALSE(homeFolder.empty()) << Read(out + "\\Movara.log");
    const std::vector<std::string> expected = {
        "NOSUCHPC\tfailed: Problem connecting to remote machine. Please check to make sure the pc name does exist on the "
        "network.",
        machine + "\\" + homeFolder + " (" + kUserKey + ")\tok",
        "current user\tok",
        "profile carol\tok",
    };
    std::vector<std::string> sorted = expected;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(Entries(Read(out + "\\Movara.log")), sorted);
    EXPECT_EQ(Entries(Read(dir + "\\stdout.txt")), sorted);
    const std::string printers = Read(folder + homeFolder + "\\printers.txt");
    EXPECT_NE(printers.find(std::string("\r\n[") + kUserKey + "\\Printers\\Connections\\,,srv,Laser]\r\n\"Server\"="),
              std::string::npos) << printers;
    EXPECT_EQ(Read(folder + homeFolder + "\\printers.txt.reg"), Replaced(printers, std::string("[") + kUserKey, "[HKEY_CURRENT_USER"));
    EXPECT_NE(Read(folder + homeFolder + "\\SmallApps.txt").find("\"Viewer 1.0\"\r\n"), std::string::npos);
    EXPECT_TRUE(Exists(out + "\\carol\\printers.reg"));
    EXPECT_FALSE(Exists(out + "\\carol\\mappedDrv.reg"));
    EXPECT_TRUE(Exists(out + "\\CurrentUser\\printers.reg"));
    EXPECT_FALSE(Exists(out + "\\NOSUCHPC"));

    // Again, without the applications: the log grows, the machine's set is replaced.
    EXPECT_EQ(RunTool("/machine " + home + " /out " + out, dir, dir + "\\stdout.txt"), 0u);
    const std::vector<std::string> log = Lines(Read(out + "\\Movara.log"));
    ASSERT_EQ(log.size(), 5u);
    EXPECT_EQ(Entry(log[4]), expected[1]);
    EXPECT_TRUE(Exists(folder + homeFolder + "\\printers.txt"));
    EXPECT_FALSE(Exists(folder + homeFolder + "\\apps.txt"));
    EXPECT_FALSE(Exists(folder + homeFolder + "\\SmallApps.txt"));
    EXPECT_EQ(sandbox::StandInCalls().find("load|hku\\carol|ntuser.dat\n"), 0u);
}

// A usage error exports nothing, makes no folder, and says which argument was wrong.
TEST(CommandLine, UsageErrorsExportNothing)
{
    const std::string dir = sandbox::FreshDir("usage");
    sandbox::MakeDirs(dir + "\\logs");
    const struct {
        std::string arguments;
        std::string logFolder;  // where the line goes
        std::string says;
    } cases[] = {
        {"/out " + dir + "\\logs /current /bogus", dir + "\\logs", "unknown argument \"/bogus\""},
        {"/current /bogus /out " + dir + "\\logs", dir, "unknown argument \"/bogus\""},  // /out not read yet
        {"/out " + dir + "\\logs /jobs 0 /machine PC1", dir + "\\logs", "/jobs needs a number from 1 to 64, not \"0\""},
        {"/current /out", dir, "/out needs a value"},
        {"/machines " + dir + "\\none.txt /out " + dir + "\\new", dir, "\"" + dir + "\\none.txt\" cannot be read"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments);
        DeleteFileA((c.logFolder + "\\Movara.log").c_str());
        EXPECT_EQ(RunTool(c.arguments, dir, dir + "\\stdout.txt"), 2u);
        const std::string line = Read(dir + "\\stdout.txt");
        EXPECT_NE(Entry(line).find("command line\tfailed: usage error: "), std::string::npos) << line;
        EXPECT_NE(line.find(c.says), std::string::npos) << line;
        EXPECT_EQ(Read(c.logFolder + "\\Movara.log"), line);
        EXPECT_FALSE(Exists(dir + "\\CurrentUser"));
        EXPECT_FALSE(Exists(dir + "\\new"));
    }
    EXPECT_EQ(RunTool("/? /bogus", dir, dir + "\\stdout.txt"), 0u);
    EXPECT_NE(Read(dir + "\\stdout.txt").find("/jobs N"), std::string::npos);
}

// Two runs at once into one folder: every line of both lands whole.
TEST(CommandLine, RunsSideBySideShareTheLog)
{
    const std::string dir = sandbox::FreshDir("twice");
    std::string first, second;
    for (int i = 0; i < 40; ++i) {
        first += " /machine NOSUCHA" + std::to_string(i);
        second += " /machine NOSUCHB" + std::to_string(i);
    }
    ToolRun runs[] = {{first + " /jobs 4", dir, dir + "\\a.txt", 0}, {second + " /jobs 4", dir, dir + "\\b.txt", 0}};
    HANDLE threads[2];
    for (int i = 0; i < 2; ++i)
        threads[i] = CreateThread(nullptr, 0, RunInThread, &runs[i], 0, nullptr);
    WaitForMultipleObjects(2, threads, TRUE, 180000);
    for (HANDLE thread : threads)
        CloseHandle(thread);
    EXPECT_EQ(runs[0].code, 1u);
    EXPECT_EQ(runs[1].code, 1u);
    const std::vector<std::string> entries = Entries(Read(dir + "\\Movara.log"));
    ASSERT_EQ(entries.size(), 80u);
    for (std::size_t i = 0; i < entries.size(); ++i)
        EXPECT_EQ(entries[i].substr(entries[i].find('\t')), "\tfailed: Problem connecting to remote machine. Please "
                                                            "check to make sure the pc name does exist on the network.")
            << entries[i];
}
