#include "import/ApplyPlan.h"

#include <gtest/gtest.h>

#include <algorithm>
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

// Upper case as a system's table folds ASCII, Latin-1, the basic Cyrillic
// letters and the Polish ones used here.
char16_t Folded(char16_t c)
{
    if ((c >= u'a' && c <= u'z') || (c >= u'\u00E0' && c <= u'\u00FE' && c != u'\u00F7') ||
        (c >= u'\u0430' && c <= u'\u044F'))
        return static_cast<char16_t>(c - 0x20);
    if (c == u'\u0142' || c == u'\u017A')  // ł, ź
        return static_cast<char16_t>(c - 1);
    return c;
}

bool SameFolded(const std::u16string& a, const std::u16string& b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char16_t x, char16_t y) { return Folded(x) == Folded(y); });
}

// Code page 1251 as far as the tests use it: ASCII, and А to я at C0 to FF.
std::u16string Cp1251Widen(const std::string& bytes)
{
    std::u16string units;
    for (const char c : bytes) {
        const unsigned char b = static_cast<unsigned char>(c);
        units += b >= 0xC0 ? static_cast<char16_t>(0x410 + b - 0xC0) : static_cast<char16_t>(b);
    }
    return units;
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

// What the wide calls are given: a Utf16 file's names exactly, an Ansi
// file's widened from its code page. Printers are told apart by those names,
// never by their ANSI text: Принтер and Плоттер are both "???????" there.
TEST(ApplyPlan, KeepsNamesOfEveryScriptForTheWideCalls)
{
    const std::u16string printer = u"\u041F\u0440\u0438\u043D\u0442\u0435\u0440";  // Принтер
    const std::u16string plotter = u"\u041F\u043B\u043E\u0442\u0442\u0435\u0440";  // Плоттер
    const std::u16string lodz = u"\u0141\u00F3d\u017A";                            // Łódź
    const std::u16string unicode = u"Windows Registry Editor Version 5.00\r\n"
                                   u"[HKEY_CURRENT_USER\\Network\\P]\r\n"
                                   u"\"RemotePath\"=\"\\\\\\\\srv9\\\\" + lodz + u"\"\r\n"  // 3
                                   u"[HKEY_CURRENT_USER\\Printers\\Connections\\,,srv," + printer + u"]\r\n"  // 4
                                   u"[HKEY_CURRENT_USER\\Printers\\Connections\\,,srv," + plotter + u"]\r\n"  // 5
                                   u"[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows]\r\n"
                                   u"\"Device\"=\"\\\\\\\\srv\\\\" + plotter + u",winspool,Ne01:\"\r\n";  // 7
    // The first printer again, in code page 1251 and lower case.
    const std::string ansi = "REGEDIT4\r\n"
                             "[HKEY_CURRENT_USER\\Printers\\Connections\\,,SRV,\xEF\xF0\xE8\xED\xF2\xE5\xF0]\r\n";
    const std::vector<ApplyFile> files = {{"printers.reg", ReadRegFile(Utf16File(unicode))},
                                          {"printers.txt.reg", ReadRegFile(ansi)}};
    const ApplyPlan plan = PlanApply(files, HashNarrow, Cp1251Widen, SameFolded);
    EXPECT_EQ(Groups(files, plan), "drive P: \\\\srv9\\##d#: 0.2 0.3\n"
                                   "printer \\\\srv\\#######: 0.4 1.2\n"
                                   "printer \\\\srv\\#######: 0.5\n"
                                   "default printer \\\\srv\\#######: 0.7\n"
                                   "settings: 0.6\n");
    ASSERT_EQ(plan.groups.size(), 5u);
    EXPECT_EQ(plan.groups[0].wideTarget, u"\\\\srv9\\" + lodz);
    EXPECT_EQ(plan.groups[1].wideTarget, u"\\\\srv\\" + printer);
    EXPECT_EQ(plan.groups[2].wideTarget, u"\\\\srv\\" + plotter);
    EXPECT_EQ(plan.groups[3].wideTarget, u"\\\\srv\\" + plotter);

    // Without a widening an Ansi file's bytes are its units, as for ASCII,
    // and the second byte of a double-byte character is no letter to fold:
    // "\x83\x41" and "\x83\x61" are two printers in code page 932.
    const ApplyPlan bytes = PlanApply({files[1]});
    ASSERT_EQ(bytes.groups.size(), 1u);
    EXPECT_EQ(bytes.groups[0].target, "\\\\SRV\\\xEF\xF0\xE8\xED\xF2\xE5\xF0");
    EXPECT_EQ(bytes.groups[0].wideTarget, Latin1(bytes.groups[0].target));
    const ApplyFile dbcs = {"printers.txt.reg", ReadRegFile("REGEDIT4\r\n"
                                                            "[HKEY_CURRENT_USER\\Printers\\Connections\\,,s,\x83\x41]\r\n"
                                                            "[HKEY_CURRENT_USER\\Printers\\Connections\\,,S,\x83\x61]\r\n"
                                                            "[HKEY_CURRENT_USER\\Printers\\Connections\\,,S,\x83\x41]\r\n",
                                                            Cp932Lead)};
    EXPECT_EQ(Groups({dbcs}, PlanApply({dbcs})), "printer \\\\s\\\x83\x41: 0.2 0.4\n"
                                                 "printer \\\\S\\\x83\x61: 0.3\n");
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
    const std::u16string path = u"\\\\srv\\Share";
    const std::vector<ServerMapping> map = {{"OLD", "srv"}};
    const struct {
        DriveState state;
        std::string inUse;
    } cases[] = {
        {{u"", u"", false}, ""},
        {{u"\\\\SRV\\share", u"", false}, ""},
        {{u"", u"\\\\srv\\SHARE", false}, ""},
        {{u"\\\\other\\x", u"", false}, "Z: is in use for \\\\other\\x"},
        {{u"\\\\srv\\share", u"\\\\other\\y", false}, "Z: is in use for \\\\other\\y"},
        {{u"\\\\srv\\share\\sub", u"", false}, "Z: is in use for \\\\srv\\share\\sub"},
        {{u"", u"", true}, "Z: is in use for a local drive"},
        // The profile still maps the letter to the old server's share that
        // the set moves: the same drive. Connected now to the old server, or
        // remembered for another of its shares, it is the user's.
        {{u"\\\\old\\share", u"", false}, ""},
        {{u"\\\\old\\other", u"", false}, "Z: is in use for \\\\old\\other"},
        {{u"\\\\older\\share", u"", false}, "Z: is in use for \\\\older\\share"},
        {{u"\\\\old\\share", u"\\\\old\\share", false}, "Z: is in use for \\\\old\\share"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.inUse);
        EXPECT_EQ(DriveInUse('Z', path, c.state, map), c.inUse);
    }
}

// Names in another script are compared by the system's rule, never by their
// ANSI text, in which two Cyrillic names of one length are the same "???".
TEST(ApplyPlan, DriveLetterInUseForNamesOfEveryScript)
{
    const std::u16string docs = u"\\\\srv\\\u0414\u043E\u043A\u0443\u043C\u0435\u043D\u0442\u044B";  // Документы
    const std::u16string docsUpper = u"\\\\SRV\\\u0414\u041E\u041A\u0423\u041C\u0415\u041D\u0422\u042B";
    const std::u16string plans = u"\\\\srv\\\u0427\u0435\u0440\u0442\u0435\u0436\u0438\u043A\u0438";  // Чертежики
    const std::u16string lodz = u"\\\\srv\\\u0141\u00F3d\u017A";                                       // Łódź
    const std::vector<ServerMapping> map = {{"\xD1\xC5\xD0\xC2\xC5\xD0", "srv"}};                     // СЕРВЕР
    const struct {
        std::u16string path;
        DriveState state;
        std::string inUse;
    } cases[] = {
        {docs, {docsUpper, u"", false}, ""},
        {docs, {u"", docsUpper, false}, ""},
        {docs, {plans, u"", false}, "Q: is in use for \\\\srv\\#########"},
        {docs, {u"", plans, false}, "Q: is in use for \\\\srv\\#########"},
        {lodz, {u"\\\\SRV\\\u0142\u00D3D\u0179", u"", false}, ""},
        {lodz, {u"\\\\srv\\Lodz", u"", false}, "Q: is in use for \\\\srv\\Lodz"},
        // The old server's name in code page 1251, remembered in lower case.
        {docs, {u"\\\\\u0441\u0435\u0440\u0432\u0435\u0440\\\u0434\u043E\u043A\u0443\u043C\u0435\u043D\u0442\u044B", u"",
                false},
         ""},
        {docs, {u"\\\\\u0441\u0435\u0440\u0432\u0435\u0440\u044B\\x", u"", false}, "Q: is in use for \\\\#######\\x"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.inUse);
        EXPECT_EQ(DriveInUse('Q', c.path, c.state, map, HashNarrow, Cp1251Widen, SameFolded), c.inUse);
    }
    // Without the system's rule only ASCII letters fold: another case of a
    // Cyrillic name is not taken for the same.
    EXPECT_EQ(DriveInUse('Q', docs, {docsUpper, u"", false}), "Q: is in use for \\\\SRV\\?????????");
    EXPECT_TRUE(SameWideName(u"\\\\Srv\\A\u0416", u"\\\\sRV\\a\u0416"));
    EXPECT_FALSE(SameWideName(u"\\\\srv\\\u0416", u"\\\\srv\\\u0436"));
    EXPECT_FALSE(SameWideName(u"\\\\srv\\a", u"\\\\srv\\ab"));
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
        {K::DefaultPrinter, "", 0, false, O::Ok, ""},
        // The server did not answer the look, so nothing was called.
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
        const ConnectVerdict verdict = DecideConnect({c.kind, c.putOff, c.error, "Text.\r\n", c.targetThere});
        EXPECT_EQ(verdict.outcome, c.outcome);
        EXPECT_EQ(verdict.message, c.message);
    }
    EXPECT_EQ(DecideConnect({K::Printer, "", 1801, "", false}).message, "the server has no such printer: (error 1801)");
    // A set folder that is not there is not waited for; one the network cannot reach yet is.
    EXPECT_TRUE(SetFolderAbsent(3));
    EXPECT_FALSE(SetFolderAbsent(53));
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

    EXPECT_EQ(ServerOfPath(u"\\\\srv\\share\\sub"), u"srv");
    EXPECT_EQ(ServerOfPath(u"\\\\srv"), u"srv");
    EXPECT_EQ(ServerOfPath(u"C:\\x"), u"");
    EXPECT_EQ(ServerOfPath(u"\\\\\u0441\u0435\u0440\u0432\u0435\u0440\\s"), u"\u0441\u0435\u0440\u0432\u0435\u0440");
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
    EXPECT_EQ(SourceImportNames("Exported: x\nImport on the new machine, as the user who moves: evil.reg, drives.txt.reg"),
              std::vector<std::string>{"drives.txt.reg"});

    const std::vector<SetFileBytes> set = {{"Source.txt", source}, {"printers.reg", "P"}};
    const std::string id = SetIdentity(set, {{"old", "new"}});
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
