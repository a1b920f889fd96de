#include <gtest/gtest.h>

#include "res/resource.h"
#include "tests/wine/Fixture.h"

using driver::Tool;
using sandbox::ReadOrEmpty;
using sandbox::SetDword;
using sandbox::SetString;
using sandbox::Utf16;

namespace {

const char kUninstall[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

void SetWideString(HKEY root, const std::string& path, const std::string& name, const std::wstring& text)
{
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr), ERROR_SUCCESS);
    std::wstring wideName(name.begin(), name.end());
    RegSetValueExW(key, wideName.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
}

void FillCurrentUser()
{
    sandbox::DeleteKeyTree(HKEY_CURRENT_USER, "Printers");
    sandbox::DeleteKeyTree(HKEY_CURRENT_USER, "Network");
    sandbox::DeleteKeyTree(HKEY_LOCAL_MACHINE, kUninstall);
    std::string laser = "Printers\\Connections\\,,printsrv,Laser 4";
    SetString(HKEY_CURRENT_USER, laser, "Server", "\\\\printsrv");
    SetString(HKEY_CURRENT_USER, laser, "Provider", "win32spl.dll");
    SetString(HKEY_CURRENT_USER, "Printers\\Connections\\,,printsrv,Colour", "Server", "\\\\printsrv");
    SetString(HKEY_CURRENT_USER, "Network\\H", "RemotePath", "\\\\filesrv\\home\\ann");
    SetString(HKEY_CURRENT_USER, "Network\\H", "ProviderName", "Microsoft Windows Network");
    SetDword(HKEY_CURRENT_USER, "Network\\H", "ConnectionType", 1);
    SetDword(HKEY_CURRENT_USER, "Network\\H", "DeferFlags", 4);

    std::string u = kUninstall;
    SetString(HKEY_LOCAL_MACHINE, u + "\\A1", "DisplayName", "Sample Viewer 1.0");
    SetString(HKEY_LOCAL_MACHINE, u + "\\A2", "DisplayName", "Tools \"Pro\" C:\\bin");
    // U+011A: its low byte is 0x1A, which text-mode reading took for the end.
    SetWideString(HKEY_LOCAL_MACHINE, u + "\\A3", "DisplayName", L"\x011A" L"ditor 2");
    SetString(HKEY_LOCAL_MACHINE, u + "\\A4", "ParentDisplayName", "Windows XP");
    SetString(HKEY_LOCAL_MACHINE, u + "\\A4", "DisplayName", "Hotfix KB1");
    SetString(HKEY_LOCAL_MACHINE, u + "\\A5", "QuietDisplayName", "Quiet One");
    sandbox::SetValue(HKEY_LOCAL_MACHINE, u + "\\A6", "DisplayName", REG_EXPAND_SZ, std::string("Exp %X%\0", 8));
    SetString(HKEY_LOCAL_MACHINE, u + "\\A7", "DisplayName", "Zeta Last");
}

// ".prx" of a reg export of HKEY_CURRENT_USER: every section line without its hive.
std::string WithoutHive(std::string bytes)
{
    const std::string from = Utf16("[HKEY_CURRENT_USER\\"), to = Utf16("[");
    for (std::size_t at = 0; (at = bytes.find(from, at)) != std::string::npos; at += to.size()) {
        if (at % 2 == 0)
            bytes.replace(at, from.size(), to);
        else
            at += 1 - to.size();
    }
    return bytes;
}

}  // namespace

TEST(CurrentUserExport, WritesTheSixFilesAndReplacesThemOnASecondRun)
{
    fixture::PrepareProfiles();
    FillCurrentUser();
    Tool tool;
    std::string folder = fixture::StartTool(tool, "cu");
    std::string out = folder + "\\CurrentUser";
    ASSERT_EQ(driver::ListSelection(tool.Item(IDL_PROFILES)), 0);

    std::string firstList;
    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run == 0 ? "first run" : "second run");
        tool.Press(IDB_SELECT_USER);
        // A second run used to hang on reg's question whether to overwrite.
        ASSERT_TRUE(tool.WaitJob(60000)) << "the export did not end";
        EXPECT_EQ(tool.FindDialog(), nullptr) << driver::Text(tool.FindDialog());

        std::string drives = ReadOrEmpty(out + "\\mappedDrv.reg");
        std::string printers = ReadOrEmpty(out + "\\printers.reg");
        std::string apps = ReadOrEmpty(out + "\\InstalledApps.txt");
        ASSERT_EQ(drives.compare(0, 2, "\xff\xfe"), 0);
        ASSERT_NE(drives.find(Utf16("[HKEY_CURRENT_USER\\Network\\H]")), std::string::npos);
        ASSERT_NE(printers.find(Utf16("[HKEY_CURRENT_USER\\Printers\\Connections\\,,printsrv,Laser 4]")), std::string::npos);
        ASSERT_NE(apps.find(Utf16("DisplayName")), std::string::npos);

        EXPECT_EQ(ReadOrEmpty(out + "\\mappedDrv.prx"), WithoutHive(drives));
        EXPECT_EQ(ReadOrEmpty(out + "\\printers.prx"), WithoutHive(printers));
        EXPECT_NE(ReadOrEmpty(out + "\\printers.prx").find(Utf16("\r\n[Printers\\Connections]\r\n")), std::string::npos);

        std::string list = ReadOrEmpty(out + "\\InstalledApp.txt");
        // Registry enumeration order differs between systems; each line is checked alone.
        for (const char* line : {"\"Sample Viewer 1.0\"\r\r\n", "\"Tools \\\"Pro\\\" C:\\\\bin\"\r\r\n",
                                 "\"Hotfix KB1\"\r\r\n", "Name\"=\"Windows XP\"\r\r\n", "ame\"=\"Quiet One\"\r\r\n",
                                 "hex(2):45,00,78,00,70,00", "\"Zeta Last\"\r\r\n"})
            EXPECT_NE(list.find(line), std::string::npos) << line << "\nnot in:\n" << list;
        // U+011A neither ends the list nor leaves a stray byte 0x1A.
        EXPECT_NE(list.find("ditor 2\"\r\r\n"), std::string::npos) << list;
        EXPECT_EQ(list.find('\x1a'), std::string::npos);
        std::size_t lines = 0;
        for (std::size_t at = 0; (at = list.find("\r\r\n", at)) != std::string::npos; at += 3)
            ++lines;
        EXPECT_EQ(lines, 8u) << list;

        if (run == 0)
            firstList = list;
        else
            EXPECT_EQ(list, firstList) << "the list was appended to, not replaced";
    }
    tool.Press(IDB_EXIT);
    EXPECT_EQ(tool.WaitExit(), 0u);
}

TEST(CurrentUserExport, NoMappedDrivesStillExportsTheRest)
{
    fixture::PrepareProfiles();
    FillCurrentUser();
    sandbox::DeleteKeyTree(HKEY_CURRENT_USER, "Network");
    Tool tool;
    std::string out = fixture::StartTool(tool, "cu-nodrives") + "\\CurrentUser";
    tool.Press(IDB_SELECT_USER);
    ASSERT_TRUE(tool.WaitJob(60000));
    EXPECT_FALSE(sandbox::Exists(out + "\\mappedDrv.reg"));
    EXPECT_FALSE(sandbox::Exists(out + "\\mappedDrv.prx"));
    EXPECT_TRUE(sandbox::Exists(out + "\\printers.prx"));
    EXPECT_NE(ReadOrEmpty(out + "\\InstalledApp.txt").find("\"Zeta Last\"\r\r\n"), std::string::npos);
}
