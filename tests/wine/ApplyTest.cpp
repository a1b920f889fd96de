#include <gtest/gtest.h>
#include <shlwapi.h>


#include "local/DefaultPrinter.h"
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

// The user's drives, printers and default printer gone, as on a new machine.
void FreshUser()
{
    SHDeleteKeyA(HKEY_CURRENT_USER, "Network");
    SHDeleteKeyA(HKEY_CURRENT_USER, "Printers");
    SHDeleteValueA(HKEY_CURRENT_USER, kWindowsKey, "Device");
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

// The lines of the set made by MakeSet, /map \\OLD=\\NEW applied.
const std::vector<std::string> kSetLines = {
    "drive K: \\\\NEW\\share\tok: connects at the next logon (not now: ...)",
    "drive L: \\\\OLDER\\data\tok: connects at the next logon (not now: ...)",
    "drive M: \\\\NEW\\docs\tok: connects at the next logon (not now: ...)",
    "printer \\\\NEW\\HP 4\tok: connects at the next logon (not now: ...)",
    "printer \\\\NEW\\Laser 2\tok: connects at the next logon (not now: ...)",
    "default printer \\\\NEW\\HP 4\tok: the default printer from the next logon (not now: ...)",
};

}  // namespace

// A set of both forms, with its servers renamed, into a user who has no
// drives or printers yet; a second run changes nothing and says the same.
TEST(Apply, ImportsASetWithItsServersRenamed)
{
    FreshUser();
    const std::string dir = sandbox::FreshDir("apply"), set = dir + "\\set", out = dir + "\\out";
    MakeSet(set);

    // Twice, as a logon script runs it at every logon: the same values and lines.
    for (int run = 1; run <= 2; ++run) {
        SCOPED_TRACE(run);
        EXPECT_EQ(RunTool("/apply " + set + " /map \\\\OLD=\\\\NEW /out " + out, dir, dir + "\\stdout.txt"), 0u);
        EXPECT_EQ(Entries(Read(dir + "\\stdout.txt")), kSetLines);
        EXPECT_FALSE(Exists(set + "\\Movara.log"));
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
    std::vector<std::string> twice = kSetLines;
    twice.insert(twice.end(), kSetLines.begin(), kSetLines.end());
    EXPECT_EQ(Entries(Read(out + "\\Movara.log")), twice);
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
                                       "\\empty holds none of mappedDrv.reg, printers.reg, drives.txt.reg, "
                                       "printers.txt.reg, DefaultPrinter.reg (MovaraM /? tells the usage)"});
}
