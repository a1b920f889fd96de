#include "local/CommandLines.h"

namespace {

// The key path ends in a backslash; reg has always been given it so.
const char kUninstallKey[] = "hklm\\software\\microsoft\\windows\\currentversion\\uninstall\\";

std::string Reg(const std::string& verb, const std::string& first, LeadByteTest isLead)
{
    return "reg " + verb + " " + RegArgument(first, isLead);
}

std::string Reg(const std::string& verb, const std::string& first, const std::string& second, LeadByteTest isLead)
{
    return Reg(verb, first, isLead) + " " + RegArgument(second, isLead);
}

} // namespace

std::string RegArgument(const std::string& s, LeadByteTest isLead)
{
    if (!s.empty() && s.find_first_of(" \t\"") == std::string::npos)
        return s;

    // Backslashes are literal to the C runtime's parser unless a quote
    // follows them; before a quote 2n of them give n backslashes, 2n+1 give n
    // and a literal quote.
    std::string out = "\"";
    std::string::size_type backslashes = 0;
    ForEachAnsiChar(s, isLead, [&](std::size_t i, std::size_t length) {
        const char c = s[i];
        if (length == 1 && c == '\\') {
            ++backslashes;
        } else {
            if (length == 1 && c == '"')
                out.append(backslashes + 1, '\\');
            backslashes = 0;
        }
        out.append(s, i, length);
        return true;
    });
    out.append(backslashes, '\\');
    out += '"';
    return out;
}

StoredProfileCommands BuildStoredProfileCommands(const std::string& user, const std::string& outFolder,
                                                 LeadByteTest isLead)
{
    const std::string hive = "hku\\" + user;
    StoredProfileCommands c;
    c.load = Reg("load", hive, "ntuser.dat", isLead);
    c.printers = Reg("export", hive + "\\Printers", outFolder + "\\printers.prt", isLead);
    c.drives = Reg("export", hive + "\\Network", outFolder + "\\mappedDrv.prt", isLead);
    c.unload = Reg("unload", hive, isLead);
    c.apps = Reg("export", kUninstallKey, outFolder + "\\InstalledApps.reg", isLead);
    return c;
}

CurrentUserCommands BuildCurrentUserCommands(const std::string& outFolder, LeadByteTest isLead)
{
    // The output folder can hold blanks when the volume keeps no short names.
    CurrentUserCommands c;
    c.apps = Reg("export", kUninstallKey, outFolder + "\\InstalledApps.txt", isLead);
    c.printers = Reg("export", "hkcu\\Printers", outFolder + "\\printers.reg", isLead);
    c.drives = Reg("export", "hkcu\\Network", outFolder + "\\mappedDrv.reg", isLead);
    return c;
}

DiskHiveCommands BuildDiskHiveCommands(const std::string& key, const std::string& hiveFile,
                                       const std::string& outFolder, LeadByteTest isLead)
{
    const std::string hive = "hklm\\" + key;
    DiskHiveCommands c;
    c.load = Reg("load", hive, hiveFile, isLead);
    c.unload = Reg("unload", hive, isLead);
    c.apps = Reg("export", hive + "\\microsoft\\windows\\currentversion\\uninstall\\", outFolder + "\\InstalledApps.reg",
                 isLead);
    return c;
}
