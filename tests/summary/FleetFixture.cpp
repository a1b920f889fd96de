#include "tests/summary/FleetFixture.h"

#include "local/DefaultPrinter.h"
#include "local/SourceText.h"
#include "local/WorkFolderName.h"
#include "summary/SummaryFiles.h"

namespace {

std::string Parent(const std::string& path)
{
    const std::size_t slash = path.rfind('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string Leaf(const std::string& path)
{
    const std::size_t slash = path.rfind('\\');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Each folder above path, and path's own parent.
void AddParents(const std::string& path, std::set<std::string>& folders)
{
    for (std::string folder = Parent(path); !folder.empty(); folder = Parent(folder))
        folders.insert(folder);
}

const char kConnect[] = "Problem connecting to remote machine. Please check to make sure the pc name does exist on the "
                        "network.  ";
const char kOff[] = "The machine is not found on the network, or it is switched off. (error 53)";

std::string LogLineText(const std::string& time, const std::string& source, const std::string& outcome)
{
    return "2007-05-14 " + time + "\t" + source + "\t" + outcome + "\r\n";
}

} // namespace

bool MemoryFleet::List(const std::string& path, std::vector<FolderEntry>& entries, std::string& error)
{
    entries.clear();
    if (unreadable.count(path)) {
        error = unreadable[path];
        return false;
    }
    std::set<std::string> all = folders;
    for (const std::string& folder : folders)
        AddParents(folder, all);
    for (const auto& file : files)
        AddParents(file.first, all);
    for (const std::string& folder : all)
        if (Parent(folder) == path)
            entries.push_back({Leaf(folder), true});
    for (const auto& file : files)
        if (Parent(file.first) == path)
            entries.push_back({Leaf(file.first), false});
    return true;
}

ReadOutcome MemoryFleet::Read(const std::string& path, std::string& bytes, std::string& error)
{
    reads.push_back(path);
    ReadOutcome outcome = ReadOutcome::Missing;
    bytes.clear();
    if (unreadable.count(path)) {
        error = unreadable[path];
        outcome = ReadOutcome::Failed;
    } else if (files.count(path)) {
        bytes = files[path];
        outcome = ReadOutcome::Read;
    }
    if (afterRead)
        afterRead(path);
    return outcome;
}

bool MemoryFleet::WorkFolderBeside(const std::string& path)
{
    std::vector<FolderEntry> entries;
    std::string error;
    List(Parent(path), entries, error);
    for (const FolderEntry& entry : entries) {
        unsigned long processId = 0;
        if (entry.folder && ParseWorkFolderName(entry.name, Leaf(path), processId))
            return true;
    }
    return false;
}

std::string Join(const std::vector<std::string>& parts, const char* separator)
{
    std::string text;
    for (std::size_t i = 0; i < parts.size(); ++i)
        text += (i ? separator : "") + parts[i];
    return text;
}

std::string AnsiRegFile(const std::string& body)
{
    return "REGEDIT4\r\n\r\n" + body;
}

std::string Utf16RegFile(const std::string& body)
{
    return Utf16LeFile("Windows Registry Editor Version 5.00\r\n\r\n" + body);
}

std::string PrinterLines(const std::string& server, const std::string& name)
{
    return "[HKEY_CURRENT_USER\\Printers\\Connections\\,," + server + "," + name + "]\r\n\"Server\"=\"" +
           EscapeRegText("\\\\" + server) + "\"\r\n\r\n";
}

std::string DriveLines(char letter, const std::string& path)
{
    return std::string("[HKEY_CURRENT_USER\\Network\\") + letter + "]\r\n\"RemotePath\"=\"" + EscapeRegText(path) +
           "\"\r\n\"UserName\"=dword:00000000\r\n\r\n";
}

std::string DefaultPrinterFile(const std::string& device)
{
    return DefaultPrinterRegText(device);
}

std::string ApplicationsFile(const std::vector<std::string>& lines)
{
    std::string text = "\xEF\xBB\xBFName\tVersion\tPublisher\tScope\r\n";
    for (const std::string& line : lines)
        text += line + "\r\n";
    return text;
}

std::string RemoteSourceFile(const std::string& key, const std::string& home, const std::string& machine,
                             const std::vector<std::string>& serverMap)
{
    SourceFacts facts;
    facts.kind = SourceKind::RemoteUser;
    facts.name = key;
    facts.homeFolder = home;
    facts.place = "\\\\" + machine;
    facts.when = "2007-05-14 09:00:00";
    facts.version = "1.0.1.7";
    facts.files = {"printers.txt", "printers.txt.reg", "drives.txt", "drives.txt.reg", "DefaultPrinter.reg"};
    facts.serverMap = serverMap;
    return SourceFileText(facts);
}

std::string CurrentSourceFile(const std::string& account)
{
    SourceFacts facts;
    facts.kind = SourceKind::CurrentUser;
    facts.name = account;
    facts.when = "2007-05-13 08:15:00";
    facts.version = "1.0.1.7";
    facts.files = {"printers.reg", "mappedDrv.reg", "DefaultPrinter.reg"};
    return SourceFileText(facts);
}

MemoryFleet FixtureFleet()
{
    MemoryFleet fleet;
    auto& f = fleet.files;
    const std::string hostile = "<script>document.title='owned'</script>";

    f["PC1\\alice\\Source.txt"] = RemoteSourceFile("S-1-5-21-1-1-1-1001", "alice", "PC1", {"\\\\OLDSRV to \\\\NEWSRV"});
    f["PC1\\alice\\printers.txt.reg"] = AnsiRegFile(PrinterLines("NEWSRV", "HP 4") + PrinterLines("NEWSRV", "Color"));
    f["PC1\\alice\\drives.txt.reg"] =
        AnsiRegFile(DriveLines('Z', "\\\\NEWSRV\\home\\alice") + DriveLines('Y', "\\\\files\\share"));
    f["PC1\\alice\\DefaultPrinter.reg"] = DefaultPrinterFile("\\\\NEWSRV\\HP 4,winspool,Ne01:");
    f["PC1\\alice\\Applications.txt"] = ApplicationsFile({"Office 2003\t11.0\tMicrosoft\tmachine",
                                                          "Tool\t2\t\tuser", "Viewer\t1.0\tViewers Inc\tmachine"});

    f["PC1\\dave\\Source.txt"] = RemoteSourceFile("S-1-5-21-1-1-1-1004", "dave", "PC1");
    f["PC1\\dave\\printers.txt.reg"] = AnsiRegFile(PrinterLines("NEWSRV", "HP 4") + PrinterLines("NEWSRV", "B\xFCro"));
    f["PC1\\dave\\drives.txt.reg"] = AnsiRegFile(DriveLines('H', "\\\\newsrv\\home\\dave"));
    f["PC1\\dave\\Applications.txt"] =
        ApplicationsFile({"office 2003\t11.0\tMicrosoft\tmachine", "Viewer\t2.0\tViewers Inc\tmachine"});

    // The writer's UTF-16 form; the folder's name as the wide API lists it,
    // the ANSI files in code page 1252.
    f["PC2\\J\xC3\xBCrgen\\Source.txt"] = RemoteSourceFile("S-1-5-21-1-1-1-1002", "J\xFCrgen", "PC2");
    f["PC2\\J\xC3\xBCrgen\\printers.txt.reg"] =
        Utf16RegFile(PrinterLines("printsrv", "\xE3\x83\x97\xE3\x83\xAA\xE3\x83\xB3\xE3\x82\xBF"));
    f["PC2\\J\xC3\xBCrgen\\drives.txt.reg"] = Utf16RegFile(DriveLines('Z', "\\\\files\\j\xC3\xBCrgen"));
    f["PC2\\J\xC3\xBCrgen\\Applications.txt"] = ApplicationsFile(
        {"Office 2003\t11.0.8173\tMicrosoft\tmachine", "=HYPERLINK(\"http://x\",\"y\")\t1\t\tmachine 32-bit"});

    f["CurrentUser\\Source.txt"] = CurrentSourceFile("DOM\\kim");
    f["CurrentUser\\printers.reg"] = Utf16RegFile(PrinterLines("printsrv", "Laser"));
    f["CurrentUser\\mappedDrv.reg"] = Utf16RegFile(DriveLines('P', "\\\\files\\projects"));
    f["CurrentUser\\DefaultPrinter.reg"] = DefaultPrinterFile("\\\\printsrv\\Laser,winspool,Ne00:");
    f["CurrentUser\\Applications.txt"] = ApplicationsFile({"Office 2003\t11.0\tMicrosoft\tmachine"});

    const std::string eve = "PC4\\eve & #1%\\";
    f[eve + "Source.txt"] = RemoteSourceFile("S-1-5-21-1-1-1-1003", "\"><a href=x>" + hostile, "PC4");
    f[eve + "printers.txt.reg"] = AnsiRegFile(PrinterLines("srv", "<img src=x onerror=\"document.title='owned'\">"));
    f[eve + "Applications.txt"] = ApplicationsFile({hostile + "\t-1+2\t@SUM(1+1)\tmachine"});

    f["PC5\\frank\\printers.txt.reg"] = AnsiRegFile(PrinterLines("NEWSRV", "HP 4"));

    f["PC6\\gina\\Source.txt"] = RemoteSourceFile("S-1-5-21-1-1-1-1006", "gina", "PC6");
    f["PC6\\gina\\printers.txt.reg"] = AnsiRegFile(PrinterLines("NEWSRV", "HP 4"));
    fleet.folders.insert("PC6\\gina.~new-1234-1");

    f["PC8\\hal\\Source.txt"] = RemoteSourceFile("S-1-5-21-1-1-1-1005", "hal", "PC8");
    f["PC8\\hal\\drives.txt.reg"] = AnsiRegFile(
        DriveLines('Q', "\\\\files\\q") +
        "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run]\r\n\"x\"=\"evil.exe\"\r\n");

    f["logon\\hank\\CurrentUser\\Source.txt"] = CurrentSourceFile("DOM\\hank");
    f["logon\\hank\\CurrentUser\\mappedDrv.reg"] = Utf16RegFile(DriveLines('S', "\\\\files\\scans"));
    f["logon\\hank\\Movara.log"] =
        LogLineText("07:00:00", "current user", "failed: The registry key HKEY_CURRENT_USER\\Network could not be "
                                                "read (error 5).");

    f["Movara.log"] =
        LogLineText("09:00:00", "PC1\\alice (S-1-5-21-1-1-1-1001)", "ok") +
        LogLineText("09:00:01", "PC1\\dave (S-1-5-21-1-1-1-1004)", "ok") +
        LogLineText("09:00:02", "PC2\\J\xFCrgen (S-1-5-21-1-1-1-1002)", "ok") +
        LogLineText("09:00:03", "PCOFF1", std::string("failed: ") + kConnect + kOff) +
        LogLineText("09:00:03", "PCOFF2", std::string("failed: ") + kConnect + kOff) +
        LogLineText("09:00:04", "PCDENIED", std::string("failed: ") + kConnect +
                                                "Access is denied. The account that runs this tool must be an "
                                                "administrator of that machine. (error 5)") +
        LogLineText("09:00:05", "PC3", "failed: no user is logged on") +
        LogLineText("09:00:05", "PCX", std::string("failed: ") + kConnect + kOff) +
        LogLineText("09:00:06", "NOSUCH", std::string("failed: ") + kConnect +
                                              "The name is not known on the network. (error 11001)") +
        LogLineText("09:00:07", "PC7", std::string("failed: ") + kConnect + kOff) +
        LogLineText("09:30:00", "PC7", std::string("failed: ") + kConnect +
                                           "The Remote Registry service is not running there, or a firewall blocks "
                                           "file and printer sharing. (error 1722)") +
        LogLineText("09:30:01", "PCX\\ivan (S-1-5-21-1-1-1-1007)", "ok") +
        LogLineText("09:30:02", "PC4\\" + hostile + " (S-1-5-21-1-1-1-1003)",
                    "failed: The registry key " + hostile + " could not be read (error 5).") +
        "2007-05-14 09:30:03\tPCHALF\tfailed: a line still being written";
    return fleet;
}
