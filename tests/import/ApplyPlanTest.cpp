#include "import/ApplyPlan.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "local/SourceText.h"
#include "tests/import/RegFileHelpers.h"

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
    const std::vector<ServerMapping> map = {{"OLD", "srv"}};
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
        // The profile still maps the letter to the old server's share that
        // the set moves: the same drive. Connected now to the old server, or
        // remembered for another of its shares, it is the user's.
        {{"\\\\old\\share", "", false}, ""},
        {{"\\\\old\\other", "", false}, "Z: is in use for \\\\old\\other"},
        {{"\\\\older\\share", "", false}, "Z: is in use for \\\\older\\share"},
        {{"\\\\old\\share", "\\\\old\\share", false}, "Z: is in use for \\\\old\\share"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.state.remembered + " " + c.state.connected);
        EXPECT_EQ(DriveInUse('Z', path, c.state, map), c.inUse);
    }
    // The second byte of a double-byte character is compared exactly.
    const DriveState dbcs = {"\\\\srv\\\x83\x61", "", false};
    EXPECT_EQ(DriveInUse('Q', "\\\\srv\\\x83\x41", dbcs, {}, Cp932Lead), "Q: is in use for \\\\srv\\\x83\x61");
    const DriveState dbcsServer = {"\\\\\x95\x5C\\x", "", false};
    EXPECT_EQ(DriveInUse('Q', "\\\\N\\x", dbcsServer, {{"\x95\x5C", "N"}}, Cp932Lead), "");
}

// What each result of a connect call, or of the look before it, becomes.
TEST(ApplyPlan, DecidesWhatAConnectResultMeans)
{
    using K = ApplyKind;
    using O = ApplyOutcome;
    const std::string noAnswer = "the machine does not answer (error 10060)";
    const std::string later = "connects at the next logon (not now: ";
    const std::string inUse = "the drive letter was taken meanwhile: Text. (error ";
    const std::string rights = "the user is not let in (rights or password): Text. (error ";
    const std::string driver = "its driver may be installed by an administrator only: Text. (error ";
    const struct {
        K kind;
        std::string putOff;
        unsigned long error;
        bool targetThere;
        O outcome;
        std::string message;
    } cases[] = {
        {K::Drive, "", 0, false, O::Ok, ""},
        {K::Printer, "", 0, false, O::Ok, ""},
        {K::DefaultPrinter, "", 0, false, O::Ok, ""},
        // The server did not answer the look, so nothing was called.
        {K::Drive, noAnswer, 0, false, O::NextLogon, later + noAnswer + ")"},
        {K::Printer, noAnswer, 0, false, O::NextLogon, later + noAnswer + ")"},
        {K::DefaultPrinter, noAnswer, 0, false, O::NextLogon,
         "the default printer from the next logon (not now: " + noAnswer + ")"},
        // The server cannot be reached now.
        {K::Drive, "", 53, false, O::NextLogon, later + "Text. (error 53))"},
        {K::Drive, "", 1222, false, O::NextLogon, later + "Text. (error 1222))"},
        {K::Printer, "", 1311, false, O::NextLogon, later + "Text. (error 1311))"},
        {K::Printer, "", 1722, false, O::NextLogon, later + "Text. (error 1722))"},
        // Already there.
        {K::Printer, "", 183, false, O::Ok, ""},
        {K::Drive, "", 85, true, O::Ok, ""},
        {K::Drive, "", 85, false, O::Failed, inUse + "85)"},
        {K::Drive, "", 1202, false, O::Failed, inUse + "1202)"},
        {K::Drive, "", 183, false, O::Failed, "not connected: Text. (error 183)"},
        // Not on the server.
        {K::Drive, "", 67, false, O::Failed, "the server has no such share or folder: Text. (error 67)"},
        {K::Printer, "", 1801, false, O::Failed, "the server has no such printer: Text. (error 1801)"},
        // Rights and credentials.
        {K::Drive, "", 5, false, O::Failed, rights + "5)"},
        {K::Drive, "", 1219, false, O::Failed, rights + "1219)"},
        {K::Printer, "", 1326, false, O::Failed, rights + "1326)"},
        {K::Printer, "", 5, false, O::Failed,
         "the user may not use this printer, or its driver may be installed by an administrator only: Text. (error 5)"},
        // A driver that only an administrator may install.
        {K::Printer, "", 1930, false, O::Failed, driver + "1930)"},
        {K::Drive, "", 1930, false, O::Failed, "not connected: Text. (error 1930)"},
        // Anything else does not pass by itself.
        {K::Printer, "", 126, false, O::Failed, "not connected: Text. (error 126)"},
        // The default printer: its printer connected, or failed for good.
        {K::DefaultPrinter, "", 1801, false, O::Failed, "not made the default printer: Text. (error 1801)"},
        {K::DefaultPrinter, "", 53, false, O::Failed, "not made the default printer: Text. (error 53)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(static_cast<int>(c.kind)) + " " + c.putOff + " " + std::to_string(c.error));
        ConnectFacts facts;
        facts.kind = c.kind;
        facts.putOff = c.putOff;
        facts.error = c.error;
        facts.systemText = "Text.\r\n";
        facts.targetThere = c.targetThere;
        const ConnectVerdict verdict = DecideConnect(facts);
        EXPECT_EQ(verdict.outcome, c.outcome);
        EXPECT_EQ(verdict.message, c.message);
    }
    ConnectFacts bare;
    bare.kind = K::Printer;
    bare.error = 1801;
    EXPECT_EQ(DecideConnect(bare).message, "the server has no such printer: (error 1801)");
}

// A drive or printer of another network than Windows sharing is connected
// without the look at its server's ports; the server of each path.
TEST(ApplyPlan, TellsWhatIsReachedThroughWindowsSharing)
{
    const std::string text = "REGEDIT4\r\n"
                             "[HKEY_CURRENT_USER\\Network\\K]\r\n"
                             "\"RemotePath\"=\"\\\\\\\\srv\\\\k\"\r\n"
                             "\"ProviderType\"=dword:00020000\r\n"
                             "[HKEY_CURRENT_USER\\Network\\N]\r\n"
                             "\"RemotePath\"=\"\\\\\\\\nw\\\\vol\"\r\n"
                             "\"ProviderType\"=dword:00030000\r\n"
                             "[HKEY_CURRENT_USER\\Network\\O]\r\n"
                             "\"RemotePath\"=\"\\\\\\\\srv\\\\o\"\r\n"
                             "[HKEY_CURRENT_USER\\Network\\O\\Sub]\r\n"
                             "\"ProviderType\"=dword:00030000\r\n"
                             "[HKEY_CURRENT_USER\\Printers\\Connections\\,,srv,HP]\r\n"
                             "\"Provider\"=\"WIN32SPL.DLL\"\r\n"
                             "[HKEY_CURRENT_USER\\Printers\\Connections\\,,nw,Q]\r\n"
                             "\"Provider\"=\"nwprovau.dll\"\r\n";
    const ApplyPlan plan = PlanApply({{"f", ReadRegFile(text)}});
    std::string sharing;
    for (const ApplyGroup& g : plan.groups)
        sharing += g.source + (g.sharing ? ": sharing\n" : ": other\n");
    EXPECT_EQ(sharing, "drive K: \\\\srv\\k: sharing\n"
                       "drive N: \\\\nw\\vol: other\n"
                       "drive O: \\\\srv\\o: sharing\n"
                       "printer \\\\srv\\HP: sharing\n"
                       "printer \\\\nw\\Q: other\n");

    EXPECT_EQ(ServerOfPath("\\\\srv\\share\\sub"), "srv");
    EXPECT_EQ(ServerOfPath("\\\\srv"), "srv");
    EXPECT_EQ(ServerOfPath("C:\\x"), "");
    EXPECT_EQ(ServerOfPath("\\\\\x95\x5C\\s", Cp932Lead), "\x95\x5C");
}

// Source.txt as the exports write it, read back; what a set's identity
// tells apart.
TEST(ApplyPlan, ReadsSourceTextAndTellsSetsApart)
{
    SourceFacts facts;
    facts.kind = SourceKind::CurrentUser;
    facts.name = "DOM\\bob";
    facts.when = "2007-05-14 08:12:03";
    facts.files = {"mappedDrv.reg", "printers.reg", "DefaultPrinter.reg", "InstalledApps.txt"};
    const std::string source = SourceFileText(facts);
    EXPECT_EQ(SourceImportNames(source),
              (std::vector<std::string>{"printers.reg", "mappedDrv.reg", "DefaultPrinter.reg"}));
    EXPECT_EQ(SourceTextLine(source, kExportedLabel), "2007-05-14 08:12:03");
    EXPECT_EQ(SourceTextLine(source, kSourceLabel), "the user who ran the tool, DOM\\bob");
    facts.files = {"InstalledApps.txt"};
    EXPECT_TRUE(SourceImportNames(SourceFileText(facts)).empty());
    EXPECT_EQ(SourceImportNames("Exported: x\nImport on the new machine, as the user who moves: evil.reg, drives.txt.reg"),
              std::vector<std::string>{"drives.txt.reg"});

    const std::vector<SetFileBytes> set = {{"Source.txt", source}, {"printers.reg", "P"}};
    const std::string id = SetIdentity(set, {{"old", "new"}});
    EXPECT_EQ(id.size(), 16u);
    EXPECT_EQ(id.find_first_not_of("0123456789abcdef"), std::string::npos);
    EXPECT_EQ(SetIdentity(set, {{"OLD", "NEW"}}), id) << "server names compare without regard to case";
    std::vector<SetFileBytes> again = set;
    again[0].bytes.replace(again[0].bytes.find("08:12:03"), 8, "08:12:04");
    const std::vector<std::vector<SetFileBytes>> others = {
        again,                                          // exported again, the same drives and printers
        {{"Source.txt", source}, {"printers.reg", "Q"}},  // a file changed
        {{"Source.txt", source}, {"mappedDrv.reg", "P"}},
        {{"Source.txt", source + "printers.reg"}, {"", "P"}},  // the same bytes cut elsewhere
        {{"printers.reg", "P"}},                        // no Source.txt
    };
    for (const auto& other : others)
        EXPECT_NE(SetIdentity(other, {{"old", "new"}}), id);
    EXPECT_NE(SetIdentity(set, {{"old", "newer"}}), id);
    EXPECT_NE(SetIdentity(set, {}), id);
}

}  // namespace
