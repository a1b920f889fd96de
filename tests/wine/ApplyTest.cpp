#include <gtest/gtest.h>
#include <shlwapi.h>

#include <map>

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

// The log's lines without their times, the reason a connection failed now
// cut to "...": Wine has no network provider and no print server; the time
// of an earlier run shown as <time>.
std::vector<std::string> Entries(const std::string& log)
{
    std::vector<std::string> entries;
    for (const std::string& line : sandbox::Lines(log)) {
        std::string entry = sandbox::LogEntry(line);
        const std::size_t reason = entry.find(" (not now: ");
        if (reason != std::string::npos && entry.back() == ')')
            entry = entry.substr(0, reason) + " (not now: ...)";
        entries.push_back(AppliedEntry(entry));
    }
    return entries;
}

// A Unicode export of body, as reg export writes one.
std::string WideExport(const std::wstring& body)
{
    const std::wstring text = L"Windows Registry Editor Version 5.00\r\n\r\n" + body;
    std::string bytes = "\xFF\xFE";
    for (const wchar_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    return bytes;
}

// A set as the tool exports it, with a server OLD that /map renames and a
// server OLDER that it leaves alone; extra lines go into some of its files.
void MakeSet(const std::string& set, const std::string& moreDrives = "", const std::wstring& morePrinters = L"",
             const std::wstring& moreMapped = L"")
{
    sandbox::MakeDirs(set);
    sandbox::Write(set + "\\mappedDrv.reg",
                   WideExport(L"[HKEY_CURRENT_USER\\Network]\r\n\r\n"
                              L"[HKEY_CURRENT_USER\\Network\\K]\r\n"
                              L"\"RemotePath\"=\"\\\\\\\\OLD\\\\share\"\r\n"
                              L"\"ProviderType\"=dword:00020000\r\n"
                              L"\"ConnectionType\"=dword:00000001\r\n\r\n"
                              L"[HKEY_CURRENT_USER\\Network\\L]\r\n"
                              L"\"RemotePath\"=\"\\\\\\\\OLDER\\\\data\"\r\n\r\n" +
                              moreMapped));
    // The Greek capital omega, which no 8-bit code page of the west holds:
    // only the wide registry calls keep it.
    sandbox::Write(set + "\\printers.reg",
                   WideExport(L"[HKEY_CURRENT_USER\\Printers]\r\n\r\n"
                              L"[HKEY_CURRENT_USER\\Printers\\Connections]\r\n\r\n"
                              L"[HKEY_CURRENT_USER\\Printers\\Connections\\,,OLD,HP 4]\r\n"
                              L"\"Server\"=\"\\\\\\\\OLD\"\r\n"
                              L"\"LocalConnection\"=dword:00000001\r\n\r\n"
                              L"[HKEY_CURRENT_USER\\Printers\\DevModes2]\r\n"
                              L"\"\\\\\\\\OLD\\\\Kopierer \x03A9\"=hex:48,00,50,00,00,00,01,04,\\\r\n  00,06\r\n\r\n"
                              L"[HKEY_CURRENT_USER\\Printers\\Settings\\Kopierer \x03A9]\r\n"
                              L"\"Duplex\"=dword:00000002\r\n\r\n" +
                              morePrinters));
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
        EXPECT_EQ(Entries(Read(dir + "\\stdout.txt")), lines);
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
    EXPECT_EQ(Entries(Read(out + "\\Movara.log")), log);
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
            L"[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run]\r\n"
            L"\"evil\"=\"c:\\\\x.exe\"\r\n",
            L"[-HKEY_CURRENT_USER\\Network]\r\n");
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
    ExpectSetWritten();

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

namespace {

// A name as a quoted string of a .reg file.
std::wstring RegQuoted(const std::wstring& name)
{
    std::wstring quoted = L"\"";
    for (const wchar_t c : name)
        quoted += c == L'\\' ? std::wstring(L"\\\\") : std::wstring(1, c);
    return quoted + L"\"";
}

std::wstring DriveKey(wchar_t letter, const std::wstring& path)
{
    return std::wstring(L"[HKEY_CURRENT_USER\\Network\\") + letter + L"]\r\n\"RemotePath\"=" + RegQuoted(path) +
           L"\r\n\"ProviderType\"=dword:00020000\r\n\r\n";
}

std::wstring PrinterKey(const std::wstring& server, const std::wstring& name)
{
    return L"[HKEY_CURRENT_USER\\Printers\\Connections\\,," + server + L"," + name + L"]\r\n\"Server\"=" +
           RegQuoted(L"\\\\" + server) + L"\r\n\"Provider\"=\"win32spl.dll\"\r\n\r\n";
}

}  // namespace

// A Russian and a Polish office's set, exported in Unicode: the system's
// calls get its drives, printers and default printer by their exact names,
// never as "?" or as a look-alike ("Lodz", in code page 1252 here), and a
// drive letter is in use for another Cyrillic path, not for its own in other
// letter case. Printers whose names are both "???????" in the code page stay
// two: the default printer follows its own.
TEST(Apply, ConnectsNamesOfEveryScriptAsTheyAre)
{
    ASSERT_EQ(GetACP(), 1252u);
    FreshUser();
    const std::wstring lodz = L"\\\\srv9\\\x0141\x00F3" L"d\x017A";                                         // Łódź
    const std::wstring docs = L"\\\\srv9\\\x0414\x043E\x043A\x0443\x043C\x0435\x043D\x0442\x044B";        // Документы
    const std::wstring docsUpper = L"\\\\SRV9\\\x0414\x041E\x041A\x0423\x041C\x0415\x041D\x0422\x042B";
    const std::wstring plans = L"\\\\srv9\\\x0427\x0435\x0440\x0442\x0435\x0436\x0438\x043A\x0438";       // Чертежики
    const std::wstring russian = L"\x0441\x0435\x0440\x0432\x0435\x0440";                                  // сервер
    const std::wstring archive = L"\\\\" + russian + L"\\\x0410\x0440\x0445\x0438\x0432";                // Архив
    const std::wstring printer = L"\x041F\x0440\x0438\x043D\x0442\x0435\x0440";                           // Принтер
    const std::wstring plotter = L"\x041F\x043B\x043E\x0442\x0442\x0435\x0440";                           // Плоттер
    // The profile remembers S: for another Cyrillic path, T: for the set's
    // own in upper case; V: is connected to another path now.
    sandbox::SetWide(HKEY_CURRENT_USER, L"Network\\S", L"RemotePath", plans);
    sandbox::SetWide(HKEY_CURRENT_USER, L"Network\\T", L"RemotePath", docsUpper);

    const std::string dir = sandbox::FreshDir("scripts"), set = dir + "\\set";
    sandbox::MakeDirs(set);
    sandbox::Write(set + "\\mappedDrv.reg", WideExport(DriveKey(L'P', lodz) + DriveKey(L'R', archive) +
                                                       DriveKey(L'S', docs) + DriveKey(L'T', docs) +
                                                       DriveKey(L'U', docs) + DriveKey(L'V', docs)));
    sandbox::Write(set + "\\printers.reg", WideExport(PrinterKey(L"srv9", printer) + PrinterKey(L"srv9", plotter)));
    sandbox::Write(set + "\\DefaultPrinter.reg",
                   WideExport(L"[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows]\r\n"
                              L"\"Device\"=" + RegQuoted(L"\\\\srv9\\" + plotter + L",winspool,Ne01:") + L"\r\n"));

    std::vector<std::string> looks;
    std::vector<std::wstring> calls;
    std::map<char, std::wstring> connected = {{'V', plans}};
    TApplySeams seams;
    seams.probe = [&looks](const std::string& host) {
        looks.push_back(host);
        return TProbeResult{ProbeOutcome::Answers, 0};
    };
    seams.connection = [&](char letter, std::wstring& path) -> DWORD {
        const auto at = connected.find(letter);
        if (at == connected.end())
            return ERROR_NOT_CONNECTED;
        path = at->second;
        return NO_ERROR;
    };
    seams.connectDrive = [&](char letter, const std::wstring& path) -> DWORD {
        calls.push_back(std::wstring(1, static_cast<wchar_t>(letter)) + L": " + path);
        if (letter != 'U')
            return NO_ERROR;
        connected['U'] = docsUpper;  // connected meanwhile, as the set has it
        return ERROR_ALREADY_ASSIGNED;
    };
    seams.connectPrinter = [&](const std::wstring& name) -> DWORD {
        calls.push_back(L"printer " + name);
        return name == L"\\\\srv9\\" + printer ? ERROR_BAD_NETPATH : NO_ERROR;
    };
    seams.makeDefault = [&](const std::wstring& name) -> DWORD {
        calls.push_back(L"default " + name);
        return NO_ERROR;
    };
    const ParsedCommandLine parsed = ParseCommandLine({"/apply", set, "/out", dir});
    ASSERT_TRUE(parsed.ok);
    EXPECT_EQ(RunApply(parsed.options, seams), 1);

    EXPECT_EQ(calls, (std::vector<std::wstring>{L"P: " + lodz, L"R: " + archive, L"T: " + docs, L"U: " + docs,
                                                L"printer \\\\srv9\\" + printer, L"printer \\\\srv9\\" + plotter,
                                                L"default \\\\srv9\\" + plotter}));
    // The server whose name code page 1252 cannot carry is not looked at.
    EXPECT_EQ(looks, std::vector<std::string>{"srv9"});
    // The log keeps its ANSI text.
    EXPECT_EQ(Entries(Read(dir + "\\Movara.log")),
              (std::vector<std::string>{
                  "drive P: \\\\srv9\\L\xF3" "dz\tok",
                  "drive R: \\\\??????\\?????\tok",
                  "drive S: \\\\srv9\\?????????\tfailed: S: is in use for \\\\srv9\\?????????",
                  "drive T: \\\\srv9\\?????????\tok",
                  "drive U: \\\\srv9\\?????????\tok",
                  "drive V: \\\\srv9\\?????????\tfailed: V: is in use for \\\\srv9\\?????????",
                  "printer \\\\srv9\\???????\tok: connects at the next logon (not now: ...)",
                  "printer \\\\srv9\\???????\tok",
                  "default printer \\\\srv9\\???????\tok",
              }));
}
