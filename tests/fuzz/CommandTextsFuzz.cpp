// The remote user line and the reg command lines of the local exports.
//
// Input (FuzzedDataProvider): HOMEPATH data, a user key, a profile name and an
// output folder. The command lines go through a model of cmd /C's quote
// handling and of the C runtime's splitting into arguments, and reg must get
// exactly the arguments the export means.

#include "local/CommandLines.h"
#include "remote/RemoteUserLine.h"
#include "tests/fuzz/FuzzCheck.h"
#include "tests/local/CmdLineModel.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

using cmdmodel::Args;

std::string CmdRuns(const std::string& line)
{
    std::string command;
    FUZZ_CHECK(cmdmodel::CmdRuns(line, command), "every line runs cmd /C");
    return command;
}

using cmdmodel::OperatorOutsideQuotes;
using cmdmodel::SplitArguments;

void CheckRegGets(const std::string& line, const Args& expected)
{
    const std::string command = CmdRuns(line);
    if (OperatorOutsideQuotes(command) || SplitArguments(command) != expected) {
        FuzzDump("line", line);
        FuzzDump("cmd runs", command);
        std::string want;
        for (const std::string& a : expected)
            want += "[" + a + "]";
        FuzzDump("reg should get", want);
    }
    FUZZ_CHECK(!OperatorOutsideQuotes(command), "no cmd operator outside quotes");
    FUZZ_CHECK(SplitArguments(command) == expected, "reg gets exactly the intended arguments");
}

// Names that can stand in a profile folder or a path: no control character
// but the tab, and none of the characters that CmdArgument leaves to its callers.
bool UsableName(const std::string& s)
{
    for (char c : s) {
        const unsigned char u = static_cast<unsigned char>(c);
        if ((u < 0x20 && u != '\t') || u == 0x7F || c == '"')
            return false;
    }
    return !HasCmdExpansionChar(s);
}

const char kUninstall[] = "hklm\\software\\microsoft\\windows\\currentversion\\uninstall\\";

void CheckCommandLines(const std::string& user, const std::string& out)
{
    const std::string hive = "hku\\" + user;
    const StoredProfileCommands s = BuildStoredProfileCommands(user, out);
    CheckRegGets(s.load, {"reg", "load", hive, "ntuser.dat"});
    CheckRegGets(s.printers, {"reg", "export", hive + "\\Printers", out + "\\printers.prt"});
    CheckRegGets(s.drives, {"reg", "export", hive + "\\Network", out + "\\mappedDrv.prt"});
    CheckRegGets(s.unload, {"reg", "unload", hive});
    CheckRegGets(s.apps, {"reg", "export", kUninstall, out + "\\InstalledApps.reg"});

    const CurrentUserCommands c = BuildCurrentUserCommands(out);
    CheckRegGets(c.apps, {"reg", "export", kUninstall, out + "\\InstalledApps.txt"});
    CheckRegGets(c.printers, {"reg", "export", "hkcu\\Printers", out + "\\printers.reg"});
    CheckRegGets(c.drives, {"reg", "export", "hkcu\\Network", out + "\\mappedDrv.reg"});

    // A bare argument, which may also end in backslashes or be empty.
    CheckRegGets("cmd /C reg " + CmdArgument(user), {"reg", user});
}

void CheckRemoteUserLine(const std::string& homePathData, const std::string& key)
{
    const std::string folder = HomeFolderName(homePathData);
    FUZZ_CHECK(folder.find('\\') == std::string::npos, "a home folder name holds no backslash");
    FUZZ_CHECK(folder.find('\0') == std::string::npos, "a home folder name holds no NUL");
    if (homePathData.find_first_of(std::string("\\\0", 2)) == std::string::npos)
        FUZZ_CHECK_EQ(folder, homePathData, "a HOMEPATH without backslash or NUL is the name whole");

    for (const std::string& h : {folder, homePathData}) {
        if (h.find("=-->") != std::string::npos)
            continue;
        std::string back = "left over";
        FUZZ_CHECK(UserKeyFromRemoteLine(MakeRemoteUserLine(h, key), back), "a remote user line has a key");
        FUZZ_CHECK_EQ(back, key, "the user key comes back from the line");
    }

    std::string none = "left over";
    if (homePathData.find("=-->") == std::string::npos) {
        FUZZ_CHECK(!UserKeyFromRemoteLine(homePathData, none), "a line without the arrow has no key");
        FUZZ_CHECK(none.empty(), "no key leaves the key empty");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider in(data, size);
    const std::string homePathData = in.ConsumeRandomLengthString(300);
    const std::string key = in.ConsumeRandomLengthString(100);
    const std::string user = in.ConsumeRandomLengthString(100);
    const std::string out = in.ConsumeRemainingBytesAsString();

    CheckRemoteUserLine(homePathData, key);
    if (UsableName(user) && UsableName(out))
        CheckCommandLines(user, out);
    return 0;
}
