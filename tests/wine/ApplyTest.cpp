#include <gtest/gtest.h>
#include <shlwapi.h>

#include "app/CommandLineRun.h"
#include "local/DefaultPrinter.h"
#include "local/SourceText.h"
#include "tests/wine/Harness.h"

using sandbox::Exists;
using sandbox::Read;
using sandbox::RunTool;

namespace {

const char kWindowsKey[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
const char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

// The log's lines without their times, the reason a connection failed now
// cut to "...": Wine has no network provider and no print server.
std::vector<std::string> Entries(const std::string& log)
{
    std::vector<std::string> entries;
    for (const std::string& line : sandbox::Lines(log)) {
        std::string entry = sandbox::LogEntry(line);
        const std::size_t reason = entry.find(" (not now: ");
        if (reason != std::string::npos && entry.back() == ')')
            entry = entry.substr(0, reason) + " (not now: ...)";
        entries.push_back(entry);
    }
    return entries;
}

std::string Utf16Export(const std::string& body)
{
    return "\xFF\xFE" + sandbox::Utf16("Windows Registry Editor Version 5.00\r\n\r\n" + body);
}

// A non-ASCII character as two UTF-16LE bytes, placed into the units of an
// otherwise ASCII export.
std::string Utf16Char(wchar_t c)
{
    return std::string(1, static_cast<char>(c & 0xFF)) + static_cast<char>(c >> 8);
}

// A set as the tool exports it, with a server OLD that /map renames and a
// server OLDER that it leaves alone; extra lines go into some of its files.
void MakeSet(const std::string& set, const std::string& moreDrives = "", const std::string& morePrinters = "",
             const std::string& moreMapped = "")
{
    sandbox::MakeDirs(set);
    sandbox::Write(set + "\\mappedDrv.reg",
                   Utf16Export("[HKEY_CURRENT_USER\\Network]\r\n\r\n"
                               "[HKEY_CURRENT_USER\\Network\\K]\r\n"
                               "\"RemotePath\"=\"\\\\\\\\OLD\\\\share\"\r\n"
                               "\"ProviderType\"=dword:00020000\r\n"
                               "\"ConnectionType\"=dword:00000001\r\n\r\n"
                               "[HKEY_CURRENT_USER\\Network\\L]\r\n"
                               "\"RemotePath\"=\"\\\\\\\\OLDER\\\\data\"\r\n\r\n" +
                               moreMapped));
    // The Greek capital omega, which no 8-bit code page of the west holds:
    // only the wide registry calls keep it.
    std::string printers = Utf16Export("[HKEY_CURRENT_USER\\Printers]\r\n\r\n"
                                       "[HKEY_CURRENT_USER\\Printers\\Connections]\r\n\r\n"
                                       "[HKEY_CURRENT_USER\\Printers\\Connections\\,,OLD,HP 4]\r\n"
                                       "\"Server\"=\"\\\\\\\\OLD\"\r\n"
                                       "\"LocalConnection\"=dword:00000001\r\n\r\n"
                                       "[HKEY_CURRENT_USER\\Printers\\DevModes2]\r\n"
                                       "\"\\\\\\\\OLD\\\\Kopierer ");
    printers += Utf16Char(0x03A9);
    printers += sandbox::Utf16("\"=hex:48,00,50,00,00,00,01,04,\\\r\n  00,06\r\n\r\n"
                               "[HKEY_CURRENT_USER\\Printers\\Settings\\Kopierer ");
    printers += Utf16Char(0x03A9);
    printers += sandbox::Utf16("]\r\n\"Duplex\"=dword:00000002\r\n\r\n" + morePrinters);
    sandbox::Write(set + "\\printers.reg", printers);
    sandbox::Write(set + "\\drives.txt.reg", "REGEDIT4\r\n\r\n"
                                             "[HKEY_CURRENT_USER\\Network]\r\n\r\n"
                                             "[HKEY_CURRENT_USER\\Network\\M]\r\n"
                                             "\"RemotePath\"=\"\\\\\\\\old\\\\docs\"\r\n"
                                             "\"Profile\"=hex(2):25,55,53,45,52,4e,41,4d,45,25,00\r\n"
                                             "\"ConnectionType\"=dword:00000001\r\n\r\n" +
                                                 moreDrives);
    sandbox::Write(set + "\\printers.txt.reg", "REGEDIT4\r\n\r\n"
                                               "[HKEY_CURRENT_USER\\Printers\\Connections\\,,OLD,Laser 2]\r\n"
                                               "\"Server\"=\"\\\\\\\\OLD\"\r\n"
                                               "\"Blob\"=hex:01,02,03,\\\r\n  04,05\r\n\r\n");
    sandbox::Write(set + "\\DefaultPrinter.reg", DefaultPrinterRegText("\\\\OLD\\HP 4,winspool,Ne01:"));
}

// Source.txt of the set as /current writes it, exported at that time.
void WriteSource(const std::string& set, const std::string& when,
                 const std::vector<std::string>& files = {"mappedDrv.reg", "printers.reg", "DefaultPrinter.reg"})
{
    SourceFacts facts;
    facts.kind = SourceKind::CurrentUser;
    facts.name = "VM\\bob";
    facts.when = when;
    facts.version = "1.0.1.7";
    facts.files = files;
    sandbox::Write(set + "\\Source.txt", SourceFileText(facts));
}

// The user's drives, printers and default printer gone, as on a new machine,
// and no set applied yet.
void FreshUser()
{
    SHDeleteKeyA(HKEY_CURRENT_USER, "Network");
    SHDeleteKeyA(HKEY_CURRENT_USER, "Printers");
    SHDeleteValueA(HKEY_CURRENT_USER, kWindowsKey, "Device");
    SHDeleteKeyA(HKEY_CURRENT_USER, kAppliedSetsKey);
}

// The line of a run that found the set applied, its time checked for its
// form and shown as <time>.
std::string AppliedEntry(std::string entry)
{
    const std::string mark = "\tok: applied on ";
    const std::size_t at = entry.find(mark);
    if (at != std::string::npos && entry.size() >= at + mark.size() + 19) {
        const std::string time = entry.substr(at + mark.size(), 19);
        if (time[4] == '-' && time[7] == '-' && time[10] == ' ' && time[13] == ':' && time[16] == ':')
            entry.replace(at + mark.size(), 19, "<time>");
    }
    return entry;
}

// A value's type and bytes, "" when it is missing.
std::string Value(const std::wstring& key, const std::wstring& name)
{
    HKEY handle;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS)
        return "";
    DWORD type = 0, size = 0;
    std::string data;
    if (RegQueryValueExW(handle, name.c_str(), nullptr, &type, nullptr, &size) == ERROR_SUCCESS) {
        data.resize(size);
        RegQueryValueExW(handle, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&data[0]), &size);
        data = std::to_string(type) + ":" + data;
    }
    RegCloseKey(handle);
    return data;
}

std::string Sz(const std::string& ascii)
{
    return "1:" + sandbox::Utf16(ascii) + std::string(2, '\0');
}

// The lines of the set made by MakeSet, /map \\\\OLD=\\\\NEW applied.
const std::vector<std::string> kSetLines = {
    "drive K: \\\\NEW\\share\tok: connects at the next logon (not now: ...)",
    "drive L: \\\\OLDER\\data\tok: connects at the next logon (not now: ...)",
    "drive M: \\\\NEW\\docs\tok: connects at the next logon (not now: ...)",
    "printer \\\\NEW\\HP 4\tok: connects at the next logon (not now: ...)",
    "printer \\\\NEW\\Laser 2\tok: connects at the next logon (not now: ...)",
    "default printer \\\\NEW\\HP 4\tok: the default printer from the next logon (not now: ...)",
};

// The set's values in the user's registry.
void ExpectSetWritten()
{
    EXPECT_EQ(Value(L"Network\\K", L"RemotePath"), Sz("\\\\NEW\\share"));
    EXPECT_EQ(Value(L"Network\\K", L"ProviderType"), std::string("4:\x00\x00\x02\x00", 6));
    EXPECT_EQ(Value(L"Network\\L", L"RemotePath"), Sz("\\\\OLDER\\data"));
    EXPECT_EQ(Value(L"Network\\M", L"RemotePath"), Sz("\\\\NEW\\docs"));
    EXPECT_EQ(Value(L"Network\\M", L"Profile"), "2:" + sandbox::Utf16(std::string("%USERNAME%\0", 11)));
    EXPECT_EQ(Value(L"Printers\\Connections\\,,NEW,HP 4", L"Server"), Sz("\\\\NEW"));
    EXPECT_FALSE(sandbox::KeyExists(HKEY_CURRENT_USER, "Printers\\Connections\\,,OLD,HP 4"));
    EXPECT_EQ(Value(L"Printers\\Connections\\,,NEW,Laser 2", L"Blob"), std::string("3:\x01\x02\x03\x04\x05"));
    EXPECT_EQ(Value(L"Printers\\DevModes2", L"\\\\NEW\\Kopierer \x03A9"),
              std::string("3:\x48\x00\x50\x00\x00\x00\x01\x04\x00\x06", 12));
    EXPECT_EQ(Value(L"Printers\\Settings\\Kopierer \x03A9", L"Duplex"), std::string("4:\x02\0\0\0", 6));
    EXPECT_EQ(Value(L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows", L"Device"),
              Sz("\\\\NEW\\HP 4,winspool,Ne01:"));
}

// What a user does after the set came: another default printer, a printer
// deleted.
void UserChangesThings()
{
    sandbox::SetString(HKEY_CURRENT_USER, kWindowsKey, "Device", "\\\\NEW\\Laser 2,winspool,Ne02:");
    SHDeleteKeyA(HKEY_CURRENT_USER, "Printers\\Connections\\,,NEW,HP 4");
}

void ExpectUsersChangesKept()
{
    EXPECT_EQ(Value(L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows", L"Device"),
              Sz("\\\\NEW\\Laser 2,winspool,Ne02:"));
    EXPECT_FALSE(sandbox::KeyExists(HKEY_CURRENT_USER, "Printers\\Connections\\,,NEW,HP 4"));
}

}  // namespace

// A set of both forms, with its servers renamed, into a user who has no
// drives or printers yet, as a logon script runs it at every logon: once.
// The user's changes since stay; a set exported again comes again, and so
// does the same set with /again.
TEST(Apply, ImportsASetOnceAndKeepsTheUsersChanges)
{
    FreshUser();
    // The profile still remembers M: for the old server's share that the set moves.
    sandbox::SetString(HKEY_CURRENT_USER, "Network\\M", "RemotePath", "\\\\OLD\\docs");
    const std::string dir = sandbox::FreshDir("apply"), set = dir + "\\set", out = dir + "\\out";
    MakeSet(set);
    WriteSource(set, "2007-05-14 08:12:03");
    const std::string apply = "/apply " + set + " /map \\\\OLD=\\\\NEW /out " + out;
    std::vector<std::string> log;
    const auto run = [&](const std::string& arguments, const std::vector<std::string>& lines) {
        EXPECT_EQ(RunTool(arguments, dir, dir + "\\stdout.txt"), 0u);
        std::vector<std::string> entries = Entries(Read(dir + "\\stdout.txt"));
        for (std::string& entry : entries)
            entry = AppliedEntry(entry);
        EXPECT_EQ(entries, lines);
        log.insert(log.end(), lines.begin(), lines.end());
    };
    const std::vector<std::string> nothingToDo = {set + "\tok: applied on <time>, nothing to do"};

    run(apply, kSetLines);
    ExpectSetWritten();
    EXPECT_FALSE(Exists(set + "\\Movara.log"));

    UserChangesThings();
    run(apply, nothingToDo);
    ExpectUsersChangesKept();

    SCOPED_TRACE("exported again");
    WriteSource(set, "2007-05-20 17:00:00");
    run(apply, kSetLines);
    ExpectSetWritten();
    UserChangesThings();
    run(apply, nothingToDo);
    ExpectUsersChangesKept();

    SCOPED_TRACE("/again");
    run(apply + " /again", kSetLines);
    ExpectSetWritten();
    std::vector<std::string> logged = Entries(Read(out + "\\Movara.log"));
    for (std::string& entry : logged)
        entry = AppliedEntry(entry);
    EXPECT_EQ(logged, log);
}

// Lines planted in a set are refused, each with its own failed line, and
// the rest is imported; drive letters that are taken are kept as they are.
TEST(Apply, RefusesWhatIsNoDriveOrPrinterAndKeepsLettersInUse)
{
    FreshUser();
    SHDeleteValueA(HKEY_CURRENT_USER, kRunKey, "evil");
    sandbox::SetString(HKEY_CURRENT_USER, "Network\\N", "RemotePath", "\\\\OTHER\\x");
    const std::string dir = sandbox::FreshDir("refuse"), set = dir + "\\set";
    // Z: is Wine's drive for the Unix root, a local drive.
    MakeSet(set,
            "[HKEY_CURRENT_USER\\Network\\N]\r\n\"RemotePath\"=\"\\\\\\\\OLD\\\\n\"\r\n"
            "[HKEY_CURRENT_USER\\Network\\Z]\r\n\"RemotePath\"=\"\\\\\\\\OLD\\\\z\"\r\n",
            "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run]\r\n"
            "\"evil\"=\"c:\\\\x.exe\"\r\n",
            "[-HKEY_CURRENT_USER\\Network]\r\n");
    const std::string temp = [] {
        char path[MAX_PATH];
        return std::string(path, GetTempPathA(MAX_PATH, path)) + "Movara.log";
    }();
    DeleteFileA(temp.c_str());

    EXPECT_EQ(RunTool("/apply " + set + " /map \\\\OLD=\\\\NEW", dir, dir + "\\stdout.txt"), 1u);
    std::vector<std::string> expected = {
        "mappedDrv.reg line 13\tfailed: the line [-HKEY_CURRENT_USER\\Network] is not imported: deletes a key",
        "printers.reg line 18\tfailed: the key HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run "
        "is not imported: a key other than a mapped drive's, the printers' or the default printer's",
        "printers.reg line 19\tfailed: the value \"evil\" of "
        "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run is not imported: a value of a key that "
        "is not imported",
    };
    expected.insert(expected.end(), kSetLines.begin(), kSetLines.begin() + 3);
    expected.push_back("drive N: \\\\NEW\\n\tfailed: N: is in use for \\\\OTHER\\x");
    expected.push_back("drive Z: \\\\NEW\\z\tfailed: Z: is in use for a local drive");
    expected.insert(expected.end(), kSetLines.begin() + 3, kSetLines.end());
    EXPECT_EQ(Entries(Read(dir + "\\stdout.txt")), expected);
    EXPECT_EQ(Entries(Read(temp)), expected);
    EXPECT_FALSE(Exists(set + "\\Movara.log"));

    EXPECT_EQ(Value(std::wstring(kRunKey, kRunKey + sizeof kRunKey - 1), L"evil"), "");
    EXPECT_EQ(Value(L"Network\\N", L"RemotePath"), Sz("\\\\OTHER\\x"));
    EXPECT_FALSE(sandbox::KeyExists(HKEY_CURRENT_USER, "Network\\Z"));
    EXPECT_EQ(Value(L"Network\\K", L"RemotePath"), Sz("\\\\NEW\\share"));
    EXPECT_EQ(Value(L"Printers\\Connections\\,,NEW,HP 4", L"Server"), Sz("\\\\NEW"));
    EXPECT_EQ(Value(L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows", L"Device"),
              Sz("\\\\NEW\\HP 4,winspool,Ne01:"));

    // A folder without the set's files is a usage error; its line goes to
    // the /out folder when that is there.
    sandbox::MakeDirs(dir + "\\empty");
    EXPECT_EQ(RunTool("/apply " + dir + "\\empty /out " + dir, dir, dir + "\\stdout.txt"), 2u);
    EXPECT_EQ(Entries(Read(dir + "\\Movara.log")),
              std::vector<std::string>{"command line\tfailed: usage error: /apply: the folder " + dir +
                                       "\\empty holds none of Source.txt, mappedDrv.reg, printers.reg, drives.txt.reg, "
                                       "printers.txt.reg, DefaultPrinter.reg (MovaraM /? tells the usage)"});
}

namespace {

// The log's entries with the system's text of a failure cut to "...".
std::vector<std::string> FailuresCut(const std::vector<std::string>& entries)
{
    std::vector<std::string> cut;
    for (std::string entry : entries) {
        const std::size_t failed = entry.find("\tfailed: ");
        const std::size_t colon = failed == std::string::npos ? failed : entry.find(": ", failed + 9);
        if (colon != std::string::npos)
            entry = entry.substr(0, colon) + ": ...";
        cut.push_back(entry);
    }
    return cut;
}

}  // namespace

// Each server's ports are looked at once, before its drives and printers:
// one that does not answer is put off at once. Wine has no network provider
// and no print server: a drive of a server that answers is put off for the
// network (1222), a printer fails for good, and so does its default printer
// then, which ends the run with 1.
TEST(Apply, OnlyAnUnreachableServerIsPutOff)
{
    FreshUser();
    const std::string dir = sandbox::FreshDir("permanent"), set = dir + "\\set";
    MakeSet(set);
    std::vector<std::string> looks;
    TFleetSeams seams;
    seams.probe = [&looks](const std::string& host) {
        looks.push_back(host);
        return host == "NEW" ? TProbeResult{ProbeOutcome::Answers, 0} : TProbeResult{ProbeOutcome::NoAnswer, 10060};
    };
    EXPECT_EQ(RunCommandLine({"/apply", set, "/map", "\\\\OLD=\\\\NEW", "/out", dir}, seams), 1);
    EXPECT_EQ(looks, (std::vector<std::string>{"NEW", "OLDER"}));
    EXPECT_EQ(FailuresCut(Entries(Read(dir + "\\Movara.log"))),
              (std::vector<std::string>{
                  "drive K: \\\\NEW\\share\tok: connects at the next logon (not now: ...)",
                  "drive L: \\\\OLDER\\data\tok: connects at the next logon (not now: ...)",
                  "drive M: \\\\NEW\\docs\tok: connects at the next logon (not now: ...)",
                  "printer \\\\NEW\\HP 4\tfailed: not connected: ...",
                  "printer \\\\NEW\\Laser 2\tfailed: not connected: ...",
                  "default printer \\\\NEW\\HP 4\tfailed: not made the default printer: ...",
              }));
    // Its lines are in place for Windows to connect at the next logon, and
    // the run is not repeated: the failures are the admin's to mend.
    EXPECT_EQ(Value(L"Printers\\Connections\\,,NEW,HP 4", L"Server"), Sz("\\\\NEW"));
    looks.clear();
    EXPECT_EQ(RunCommandLine({"/apply", set, "/map", "\\\\OLD=\\\\NEW", "/out", dir}, seams), 0);
    EXPECT_TRUE(looks.empty());
}

// A set folder that cannot be read yet (a file in use, a drive letter not
// there yet) is looked at again for 30 s; one that does not exist is no set.
TEST(Apply, WaitsForASetFolderThatCannotBeReadYet)
{
    FreshUser();
    const std::string dir = sandbox::FreshDir("unreadable"), set = dir + "\\set";
    MakeSet(set);
    HANDLE busy = CreateFileA((set + "\\printers.reg").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(busy, INVALID_HANDLE_VALUE);
    DWORD waited = 0;
    std::size_t pauses = 0;
    TFleetSeams seams;
    seams.probe = [](const std::string&) { return TProbeResult{ProbeOutcome::NoAnswer, 10060}; };
    seams.wait = [&](DWORD ms) {
        waited += ms;
        ++pauses;
        EXPECT_LE(ms, 2000u);
    };
    EXPECT_EQ(RunCommandLine({"/apply", set, "/out", dir}, seams), 1);
    EXPECT_GE(waited, 29000u);
    EXPECT_LE(waited, 30000u);
    EXPECT_EQ(FailuresCut(Entries(Read(dir + "\\Movara.log"))),
              std::vector<std::string>{set + "\tfailed: " + set + "\\printers.reg cannot be read, also after 30 "
                                       "seconds of trying: ..."});
    EXPECT_FALSE(sandbox::KeyExists(HKEY_CURRENT_USER, "Network\\K")) << "nothing of the set is written";

    // The file comes free during the third pause: the set is applied.
    DeleteFileA((dir + "\\Movara.log").c_str());
    pauses = 0;
    seams.wait = [&](DWORD) {
        if (++pauses == 3)
            CloseHandle(busy);
    };
    EXPECT_EQ(RunCommandLine({"/apply", set, "/map", "\\\\OLD=\\\\NEW", "/out", dir}, seams), 0);
    EXPECT_EQ(pauses, 3u);
    EXPECT_EQ(Entries(Read(dir + "\\Movara.log")), kSetLines);

    // A drive letter that is not there is waited for too; a folder missing
    // where its parent is, is not.
    char letter = 'Q';
    while (letter > 'D' && GetDriveTypeA((std::string(1, letter) + ":\\").c_str()) != DRIVE_NO_ROOT_DIR)
        --letter;
    pauses = 0;
    seams.wait = [&](DWORD) { ++pauses; };
    EXPECT_EQ(RunCommandLine({"/apply", std::string(1, letter) + ":\\moves\\bob", "/out", dir}, seams), 1);
    EXPECT_GE(pauses, 15u);
    pauses = 0;
    EXPECT_EQ(RunCommandLine({"/apply", dir + "\\nosuch", "/out", dir}, seams), 2);
    EXPECT_EQ(pauses, 0u);
}

// The set of a user without drives or printers is done at once; a set whose
// Source.txt names a file that is gone is not imported in part.
TEST(Apply, SetsWithNothingToImport)
{
    FreshUser();
    const std::string dir = sandbox::FreshDir("nothing"), set = dir + "\\set", cut = dir + "\\cut";
    sandbox::MakeDirs(set);
    WriteSource(set, "2007-05-14 08:12:03", {"InstalledApps.txt"});
    EXPECT_EQ(RunTool("/apply " + set + " /out " + dir, dir, dir + "\\stdout.txt"), 0u);
    EXPECT_EQ(Entries(Read(dir + "\\stdout.txt")), std::vector<std::string>{set + "\tok: nothing to import"});

    MakeSet(cut);
    WriteSource(cut, "2007-05-14 08:12:03", {"mappedDrv.reg", "printers.reg", "DefaultPrinter.reg"});
    DeleteFileA((cut + "\\printers.reg").c_str());
    EXPECT_EQ(RunTool("/apply " + cut + " /out " + dir, dir, dir + "\\stdout.txt"), 1u);
    EXPECT_EQ(Entries(Read(dir + "\\stdout.txt")),
              std::vector<std::string>{cut + "\tfailed: Source.txt names printers.reg, which is not in the folder: "
                                       "nothing was imported"});
    EXPECT_FALSE(sandbox::KeyExists(HKEY_CURRENT_USER, "Network\\K"));
}
