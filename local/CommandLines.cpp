#include "local/CommandLines.h"

namespace {

// The key path ends in a backslash and a blank. The backslash stays literal
// for reg's argument parser because no quote follows it.
const char kUninstallExportStart[] =
    "cmd /C \"reg export hklm\\software\\microsoft\\windows\\currentversion\\uninstall\\ ";

// cmd /C, given text that starts with a quote and does not name a program in
// quotes, removes that quote and the last quote of the line and runs the rest.
// The lines that open with a quote therefore also end with one: the quotes
// around an argument inside them then survive for reg.
std::string QuotedCommand(const std::string& command)
{
    return "cmd /C \"" + command + "\"";
}

// The uninstall line has only an opening quote, which cmd removes by itself.
// Once the path is quoted, cmd would take the path's closing quote for the
// last one and leave the path's quote unclosed, so the line is closed too.
std::string UninstallExportLine(const std::string& path)
{
    const std::string argument = CmdArgument(path);
    std::string line = kUninstallExportStart + argument;
    if (argument != path)
        line += '"';
    return line;
}

} // namespace

bool HasCmdExpansionChar(const std::string& s)
{
    return s.find_first_of("%!") != std::string::npos;
}

std::string CmdArgument(const std::string& s)
{
    if (!s.empty() && s.find_first_of(" \t&|<>^()") == std::string::npos)
        return s;

    // Backslashes are literal to the C runtime's parser unless a quote follows
    // them; before the closing quote 2n of them give n.
    std::string::size_type end = s.size();
    while (end > 0 && s[end - 1] == '\\')
        --end;
    return "\"" + s + s.substr(end) + "\"";
}

StoredProfileCommands BuildStoredProfileCommands(const std::string& user, const std::string& outFolder)
{
    const std::string hive = "hku\\" + user;
    StoredProfileCommands c;
    c.load = QuotedCommand("reg load " + CmdArgument(hive) + " ntuser.dat");
    c.printers = QuotedCommand("reg export " + CmdArgument(hive + "\\Printers") + " " +
                               CmdArgument(outFolder + "\\printers.prt"));
    c.drives = QuotedCommand("reg export " + CmdArgument(hive + "\\Network") + " " +
                             CmdArgument(outFolder + "\\mappedDrv.prt"));
    c.unload = QuotedCommand("reg unload " + CmdArgument(hive));
    c.apps = UninstallExportLine(outFolder + "\\InstalledApps.reg");
    return c;
}

CurrentUserCommands BuildCurrentUserCommands(const std::string& outFolder)
{
    // The output folder can hold blanks when the volume keeps no short names.
    CurrentUserCommands c;
    c.apps = UninstallExportLine(outFolder + "\\InstalledApps.txt");
    c.printers = "cmd /C reg export hkcu\\Printers " + CmdArgument(outFolder + "\\printers.reg");
    c.drives = "cmd /C reg export hkcu\\Network " + CmdArgument(outFolder + "\\mappedDrv.reg");
    return c;
}
