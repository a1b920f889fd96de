#include "local/SourceText.h"

#include <algorithm>
#include <cstdio>

const char kSourceLabel[] = "Source: ";
const char kExportedLabel[] = "Exported: ";
const char kImportLabel[] = "Import on the new machine, as the user who moves: ";
const char kNothingToImport[] = "nothing (no printer connections or mapped drives were found)";

namespace {

bool Has(const std::vector<std::string>& files, const std::string& name)
{
    return std::find(files.begin(), files.end(), name) != files.end();
}

// The names of `candidates` that the set holds, joined by ", ".
std::string Present(const std::vector<std::string>& files, const std::vector<const char*>& candidates)
{
    std::string list;
    for (const char* name : candidates) {
        if (!Has(files, name))
            continue;
        if (!list.empty())
            list += ", ";
        list += name;
    }
    return list;
}

} // namespace

std::string TimeStampText(int year, int month, int day, int hour, int minute, int second)
{
    // Room for six ints of any value, so a bad clock never truncates.
    char text[80];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", year, month, day, hour, minute, second);
    return text;
}

std::string SourceFileText(const SourceFacts& facts)
{
    std::string source;
    std::vector<const char*> import, keep;
    switch (facts.kind) {
    case SourceKind::StoredProfile:
        source = "the stored profile " + facts.name + " in " + facts.place + " on the machine that exported it";
        import = {"printers.reg", "mappedDrv.reg", "DefaultPrinter.reg"};
        keep = {"InstalledApps.reg"};
        break;
    case SourceKind::CurrentUser:
        source = "the user who ran the tool, " + facts.name;
        import = {"printers.reg", "mappedDrv.reg", "DefaultPrinter.reg"};
        keep = {"InstalledApps.txt"};
        break;
    case SourceKind::RemoteUser:
        source = "the user " + facts.name + " (home folder " + facts.homeFolder + ") logged on at " + facts.place;
        import = {"printers.txt.reg", "drives.txt.reg", "DefaultPrinter.reg"};
        keep = {"apps.txt", "apps.txt.reg"};
        break;
    }
    std::string importList = Present(facts.files, import);
    if (importList.empty())
        importList = kNothingToImport;
    std::string text = kSourceLabel + source + "\r\n" +
                       kExportedLabel + facts.when + "\r\n" +
                       "Tool: MovaraM " + facts.version + "\r\n" +
                       kImportLabel + importList + "\r\n";
    if (!facts.localDefaultPrinter.empty())
        text += "Default printer: " + facts.localDefaultPrinter +
                ", a printer of the old machine itself, is not carried\r\n";
    if (!facts.serverMap.empty()) {
        text += "Servers renamed in the files to import: ";
        for (std::size_t i = 0; i < facts.serverMap.size(); ++i)
            text += (i ? ", " : "") + facts.serverMap[i];
        text += "\r\n";
    }
    std::string unicodeList;
    for (const std::string& name : facts.unicodeFiles) {
        if (Has(facts.files, name))
            unicodeList += (unicodeList.empty() ? "" : ", ") + name;
    }
    if (!unicodeList.empty())
        text += "Unicode (UTF-16, as reg export writes): " + unicodeList + ", because code page " +
                std::to_string(facts.codePage) + " cannot carry every name in them\r\n";
    if (!facts.machineHive.empty())
        text += "Machine applications: read from " + facts.machineHive + ", the registry of the disk the profile is on\r\n";
    else if (!facts.noMachineApps.empty())
        text += "Machine applications: none listed, because " + facts.noMachineApps + "\r\n";
    const std::string keepList = Present(facts.files, keep);
    if (!keepList.empty())
        text += "Not to be imported: " + keepList + " (the old machine's installed applications, to read)\r\n";
    return text;
}
