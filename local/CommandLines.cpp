#include "local/CommandLines.h"

namespace {

// The key path ends in a backslash; reg has always been given it so.
const char kUninstallKey[] = "hklm\\software\\microsoft\\windows\\currentversion\\uninstall\\";

std::string Reg(const std::string& verb, const std::string& first)
{
    return "reg " + verb + " " + RegArgument(first);
}

std::string Reg(const std::string& verb, const std::string& first, const std::string& second)
{
    return Reg(verb, first) + " " + RegArgument(second);
}

} // namespace

std::string RegArgument(const std::string& s)
{
    if (!s.empty() && s.find_first_of(" \t\"") == std::string::npos)
        return s;

    // Backslashes are literal to the C runtime's parser unless a quote
    // follows them; before a quote 2n of them give n backslashes, 2n+1 give n
    // and a literal quote.
    std::string out = "\"";
    std::string::size_type backslashes = 0;
    for (char c : s) {
        if (c == '\\') {
            ++backslashes;
        } else {
            if (c == '"')
                out.append(backslashes + 1, '\\');
            backslashes = 0;
        }
        out += c;
    }
    out.append(backslashes, '\\');
    out += '"';
    return out;
}

StoredProfileCommands BuildStoredProfileCommands(const std::string& user, const std::string& outFolder)
{
    const std::string hive = "hku\\" + user;
    StoredProfileCommands c;
    c.load = Reg("load", hive, "ntuser.dat");
    c.printers = Reg("export", hive + "\\Printers", outFolder + "\\printers.prt");
    c.drives = Reg("export", hive + "\\Network", outFolder + "\\mappedDrv.prt");
    c.unload = Reg("unload", hive);
    c.apps = Reg("export", kUninstallKey, outFolder + "\\InstalledApps.reg");
    return c;
}

CurrentUserCommands BuildCurrentUserCommands(const std::string& outFolder)
{
    // The output folder can hold blanks when the volume keeps no short names.
    CurrentUserCommands c;
    c.apps = Reg("export", kUninstallKey, outFolder + "\\InstalledApps.txt");
    c.printers = Reg("export", "hkcu\\Printers", outFolder + "\\printers.reg");
    c.drives = Reg("export", "hkcu\\Network", outFolder + "\\mappedDrv.reg");
    return c;
}
