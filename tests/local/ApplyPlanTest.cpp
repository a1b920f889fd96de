#include "local/ApplyPlan.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/local/RegFileHelpers.h"

namespace {

// Each group as "source: file.line ..." (the lines it writes), one a line.
std::string Groups(const std::vector<ApplyFile>& files, const ApplyPlan& plan)
{
    std::string text;
    for (const ApplyGroup& g : plan.groups) {
        text += g.source.empty() ? "settings:" : g.source + ":";
        for (const ApplyWrite& w : g.writes)
            text += " " + std::to_string(w.file) + "." + std::to_string(files[w.file].file.items[w.item].line);
        text += "\n";
    }
    return text;
}

std::string Refused(const ApplyPlan& plan)
{
    std::string text;
    for (const ApplyLine& line : plan.refused)
        text += line.source + " | " + line.message + "\n";
    return text;
}

// Non-ASCII units as '#', so that a test sees the narrowing was asked for.
std::string HashNarrow(const std::u16string& units)
{
    std::string text;
    for (const char16_t c : units)
        text += c < 0x80 ? static_cast<char>(c) : '#';
    return text;
}

// Drives, printers and the default printer from files of both forms: each
// source once, the lines of its keys with it, the rest as settings.
TEST(ApplyPlan, GroupsLinesIntoSources)
{
    const std::string mapped = "Windows Registry Editor Version 5.00\r\n"
                               "\r\n"
                               "[HKEY_CURRENT_USER\\Network]\r\n"           // 3
                               "\r\n"
                               "[HKEY_CURRENT_USER\\Network\\k]\r\n"        // 5
                               "\"RemotePath\"=\"\\\\\\\\srv\\\\share\"\r\n"  // 6
                               "\"bad\"=dword:xyz\r\n"                      // 7: refused, the key goes on
                               "\"ConnectionType\"=dword:00000001\r\n"      // 8
                               "[HKEY_CURRENT_USER\\Network\\k\\Sub]\r\n"   // 9
                               "\"RemotePath\"=\"\\\\\\\\elsewhere\\\\x\"\r\n"
                               "[HKEY_CURRENT_USER\\Network\\B]\r\n"        // 11
                               "\"UserName\"=\"\"\r\n";
    const std::string printers = "REGEDIT4\r\n"
                                 "\r\n"
                                 "[HKEY_CURRENT_USER\\Printers\\Connections\\,,srv,HP 4]\r\n"  // 3
                                 "\"Server\"=\"\\\\\\\\srv\"\r\n"
                                 "[HKEY_CURRENT_USER\\Printers\\Connections\\,,SRV,hp 4\\Sub]\r\n"
                                 "[HKEY_CURRENT_USER\\Printers\\Settings]\r\n"  // 6
                                 "\"x\"=dword:1\r\n"
                                 "[HKEY_CURRENT_USER\\Printers\\Connections\\,,srv2,Laser, color]\r\n"  // 8
                                 "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows]\r\n"
                                 "\"Device\"=\"\\\\\\\\srv\\\\HP 4,winspool,Ne01:\"\r\n"  // 10
                                 "[HKEY_CURRENT_USER\\Printers\\Connections\\,,x]\r\n"   // 11: no printer name
                                 "[HKEY_CURRENT_USER\\Network\\K]\r\n"                   // 12: the same drive
                                 "\"ConnectionType\"=dword:00000001\r\n";
    const std::vector<ApplyFile> files = {{"mappedDrv.reg", ReadRegFile(Utf16File(Latin1(mapped)))},
                                          {"printers.txt.reg", ReadRegFile(printers)}};
    const ApplyPlan plan = PlanApply(files);
    EXPECT_EQ(Groups(files, plan), "drive B:: 0.11 0.12\n"
                                   "drive K: \\\\srv\\share: 0.5 0.6 0.8 0.9 0.10 1.12 1.13\n"
                                   "printer \\\\srv\\HP 4: 1.3 1.4 1.5\n"
                                   "printer \\\\srv2\\Laser, color: 1.8\n"
                                   "default printer \\\\srv\\HP 4: 1.10\n"
                                   "settings: 0.3 1.6 1.7 1.9 1.11\n");
    ASSERT_EQ(plan.refused.size(), 1u);
    EXPECT_EQ(plan.refused[0].source, "mappedDrv.reg line 7");

    // The keys the writes go to, and how a failed write names its line.
    const ApplyWrite device = plan.groups[4].writes[0];
    EXPECT_EQ(device.key, 8u);
    EXPECT_EQ(WriteText(files, device), "the value \"Device\" of "
                                        "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows");
    EXPECT_EQ(WriteText(files, plan.groups[0].writes[0]), "the key HKEY_CURRENT_USER\\Network\\B");
}

// Every line that is not imported has a failed line that names its file,
// its line and what it holds, with the reason.
TEST(ApplyPlan, NamesEachRefusedLine)
{
    const std::string p = "[HKEY_CURRENT_USER\\Printers]\r\n";
    const struct {
        bool utf16;
        std::string body;  // after the header line
        std::string refused;
    } cases[] = {
        {false, "[-HKEY_CURRENT_USER\\Network]\r\n\"RemotePath\"=\"x\"\r\n",
         "f line 2 | the line [-HKEY_CURRENT_USER\\Network] is not imported: deletes a key\n"
         "f line 3 | the value \"RemotePath\" of HKEY_CURRENT_USER\\Network is not imported: a value with no key line "
         "before it\n"},
        {true, p + "\"Server\"=-\r\n@=-\r\n",
         "f line 3 | the line \"Server\"=- in HKEY_CURRENT_USER\\Printers is not imported: deletes a value\n"
         "f line 4 | the line @=- in HKEY_CURRENT_USER\\Printers is not imported: deletes a value\n"},
        {false, "[HKEY_CURRENT_USER\\Network]\r\n@=\"x\"\r\n",
         "f line 3 | the default value of HKEY_CURRENT_USER\\Network is not imported: a value of "
         "HKEY_CURRENT_USER\\Network itself, not of a drive\n"},
        {false, p + "[HKEY_CURRENT_USER\\Printers\\X\r\n\"x\"=\"y\"\r\n",
         "f line 3 | the line \"[HKEY_CURRENT_USER\\Printers\\X\" is not imported: a line that could not be read: "
         "no \"]\" after the key name\n"
         "f line 4 | the value \"x\" is not imported: a value with no key line before it\n"},
        {true, "[HKEY_LOCAL_MACHINE\\Soft\xe9]\r\n",
         "f line 2 | the key HKEY_LOCAL_MACHINE\\Soft# is not imported: a key outside HKEY_CURRENT_USER\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.body);
        const RegFile file = c.utf16 ? ReadRegFile(Utf16File(u"Windows Registry Editor Version 5.00\r\n" + Latin1(c.body)))
                                     : ReadRegFile("REGEDIT4\r\n" + c.body);
        const ApplyPlan plan = PlanApply({{"f", file}}, HashNarrow);
        EXPECT_EQ(Refused(plan), c.refused);
    }
    // Without its header nothing of a file is read: one line says so.
    const ApplyPlan plain = PlanApply({{"drives.txt.reg", ReadRegFile(p + "\"x\"=\"y\"\r\n")},
                                       {"printers.reg", ReadRegFile("")}});
    EXPECT_EQ(Refused(plain), "drives.txt.reg | the file is not imported: it does not start with REGEDIT4 or "
                              "Windows Registry Editor Version 5.00\n"
                              "printers.reg | the file is not imported: it does not start with REGEDIT4 or "
                              "Windows Registry Editor Version 5.00\n");
    EXPECT_TRUE(plain.groups.empty());
}

TEST(ApplyPlan, DriveLetterInUse)
{
    const std::string path = "\\\\srv\\Share";
    const struct {
        DriveState state;
        std::string inUse;
    } cases[] = {
        {{"", "", false}, ""},
        {{"\\\\SRV\\share", "", false}, ""},
        {{"", "\\\\srv\\SHARE", false}, ""},
        {{"\\\\other\\x", "", false}, "Z: is in use for \\\\other\\x"},
        {{"\\\\srv\\share", "\\\\other\\y", false}, "Z: is in use for \\\\other\\y"},
        {{"\\\\srv\\share\\sub", "", false}, "Z: is in use for \\\\srv\\share\\sub"},
        {{"", "", true}, "Z: is in use for a local drive"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.state.remembered + " " + c.state.connected);
        EXPECT_EQ(DriveInUse('Z', path, c.state), c.inUse);
    }
    // The second byte of a double-byte character is compared exactly.
    const DriveState dbcs = {"\\\\srv\\\x83\x61", "", false};
    EXPECT_EQ(DriveInUse('Q', "\\\\srv\\\x83\x41", dbcs, Cp932Lead), "Q: is in use for \\\\srv\\\x83\x61");
}

}  // namespace
