#include "app/CommandLine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/import/RegFileHelpers.h"
#include "tests/local/Cp1252.h"

namespace {

// Everything a parse read, in one line that a table can hold.
std::string Summary(const CommandLineOptions& o)
{
    std::string s;
    for (const auto& m : o.machines)
        s += "m:" + m + " ";
    for (const auto& f : o.machinesFiles)
        s += "file:" + f + " ";
    for (const auto& p : o.profiles)
        s += "p:" + p + " ";
    if (!o.profilesDir.empty())
        s += "dir:" + o.profilesDir + " ";
    if (o.current)
        s += "current ";
    if (o.apps)
        s += "apps ";
    if (o.outGiven)
        s += "out:" + o.out + " ";
    s += "jobs:" + std::to_string(o.jobs);
    for (const auto& m : o.map)
        s += " map:" + m.oldServer + ">" + m.newServer;
    if (!o.apply.empty())
        s += " apply:" + o.apply;
    if (o.again)
        s += " again";
    if (!o.summary.empty())
        s += " summary:" + o.summary;
    if (o.help)
        s += " help";
    return s;
}

TEST(CommandLine, ParsesSwitchesAndNamesTheFirstUsageError)
{
    const std::string noSource = "nothing to export: give /machine, /machines, /profile or /current";
    const struct {
        std::vector<std::string> args;
        std::string error;  // empty: ok
        std::string options;
    } cases[] = {
        {{"/MACHINE", "pc1", "/Machine", "\\\\pc2", "/machine", "pc1", "/current"}, "",
         "m:pc1 m:\\\\pc2 m:pc1 current jobs:8"},
        {{"/profile", "a", "/PROFILE", "A", "/profile", "a", "/Profiles", "D:\\P"}, "", "p:a p:A dir:D:\\P jobs:8"},
        {{"/machines", "list.txt", "/APPS", "/jobs", "08", "/Out", "C:\\o"}, "", "file:list.txt apps out:C:\\o jobs:8"},
        {{"/current", "/jobs", "64"}, "", "current jobs:64"},
        {{"/jobs", "1", "/current"}, "", "current jobs:1"},
        {{"/current", "/jobs", "65"}, "/jobs needs a number from 1 to 64, not \"65\"", "current jobs:8"},
        {{"/current", "/jobs", "0"}, "/jobs needs a number from 1 to 64, not \"0\"", "current jobs:8"},
        {{"/current", "/jobs", "+3"}, "/jobs needs a number from 1 to 64, not \"+3\"", "current jobs:8"},
        {{"/current", "/jobs", "3x"}, "/jobs needs a number from 1 to 64, not \"3x\"", "current jobs:8"},
        {{"/current", "/jobs", ""}, "/jobs needs a number from 1 to 64, not \"\"", "current jobs:8"},
        {{"/current", "/jobs", "4294967298"}, "/jobs needs a number from 1 to 64, not \"4294967298\"", "current jobs:8"},
        {{"/current", "/OUT"}, "/out needs a value", "current jobs:8"},
        {{"/machine", "/current"}, "/machine needs a value", "jobs:8"},
        {{"/current", "/foo", "/out", "x"}, "unknown argument \"/foo\"", "current jobs:8"},
        {{"/current", "stray"}, "unknown argument \"stray\"", "current jobs:8"},
        {{"/apps"}, "/apps needs /machine or /machines", "apps jobs:8"},
        {{"/out", "C:\\o", "/jobs", "5"}, noSource, "out:C:\\o jobs:5"},
        {{}, noSource, "jobs:8"},
        {{"/out", "C:\\o", "/jobs", "0", "/current"}, "/jobs needs a number from 1 to 64, not \"0\"", "out:C:\\o jobs:8"},
        {{"/machines", "a.txt", "/MACHINES", "b.txt", "/machines", "a.txt"}, "", "file:a.txt file:b.txt file:a.txt jobs:8"},
        {{"/machine", "\\\\"}, "/machine needs the name of a machine, not \"\\\\\"", "jobs:8"},
        {{"/machine", "", "/current"}, "/machine needs the name of a machine, not \"\"", "jobs:8"},
        {{"/current", "/map", "\\\\old=\\\\new", "/MAP", "srv2=srv3"}, "", "current jobs:8 map:old>new map:srv2>srv3"},
        {{"/current", "/map", "old=new", "/map", "OLD=other"},
         "/map \"OLD=other\": the server OLD is mapped twice, to new and to other", "current jobs:8 map:old>new"},
        {{"/current", "/map", "old"},
         "/map \"old\": no \"=\" between the old and the new server (the form is \\\\OLD=\\\\NEW)", "current jobs:8"},
        {{"/apply", "D:\\set", "/AGAIN"}, "", "jobs:8 apply:D:\\set again"},
        {{"/again", "/current"}, "/again applies a set once more: give it with /apply", "current jobs:8 again"},
        {{"/apply", "\\\\fs\\moves\\bob", "/map", "a=b", "/out", "C:\\o"}, "", "out:C:\\o jobs:8 map:a>b apply:\\\\fs\\moves\\bob"},
        {{"/apply", "D:\\set", "/current"}, "/apply imports a set and exports nothing: give it with /again, /map and /out alone",
         "current jobs:8 apply:D:\\set"},
        {{"/SUMMARY", "\\\\fs\\moves", "/out", "C:\\o"}, "", "out:C:\\o jobs:8 summary:\\\\fs\\moves"},
        {{"/summary", ""}, "/summary needs the folder of the sets", "jobs:8"},
        {{"/summary", "D:\\m", "/machine", "pc1"}, "/summary reads the sets below a folder and exports nothing: give it with /out alone",
         "m:pc1 jobs:8 summary:D:\\m"},
        {{"/map", "a=b", "/summary", "D:\\m"}, "/summary reads the sets below a folder and exports nothing: give it with /out alone",
         "jobs:8 map:a>b summary:D:\\m"},
        {{"/foo", "/?"}, "", "jobs:8 help"},
        {{"/out", "/?"}, "", "jobs:8 help"},
    };
    for (const auto& c : cases) {
        const ParsedCommandLine parsed = ParseCommandLine(c.args);
        std::string args;
        for (const auto& a : c.args)
            args += "[" + a + "]";
        EXPECT_EQ(parsed.ok, c.error.empty()) << args;
        EXPECT_EQ(parsed.error, c.error) << args;
        EXPECT_EQ(Summary(parsed.options), c.options) << args;
    }
}

// /map takes server names of a double-byte code page as the system's
// lead-byte test reads them.
TEST(CommandLine, MapTakesDoubleByteNames)
{
    const std::vector<std::string> args = {"/apply", "D:\\set", "/map", "\\\\\x95\x5C=\\\\NEW", "/map", "\x83\x61=A",
                                           "/map", "\x83\x41=B"};
    const ParsedCommandLine parsed = ParseCommandLine(args, Cp932Lead);
    EXPECT_EQ(parsed.error, "");
    EXPECT_EQ(Summary(parsed.options), "jobs:8 map:\x95\x5C>NEW map:\x83\x61>A map:\x83\x41>B apply:D:\\set");
    EXPECT_FALSE(ParseCommandLine(args).ok) << "without the test 0x5C is a backslash";
}

// A list as Notepad, Excel or wmic save it: each byte-order mark, or none.
TEST(CommandLine, MachineListIsReadInTheEncodingItsMarkNames)
{
    const std::u16string list = u"PC1\r\n; c\u00E4fe\r\n  caf\u00E9 \nPC\u00DF2\r\n\u30DD\u30FC\u30EB\r\n# x\r\nlast";
    const std::vector<std::string> names = {"PC1:ok", "caf\xE9:ok", "PC\xDF" "2:ok", "???:failed", "last:ok"};
    std::string bigEndian = Utf16File(list);
    for (std::size_t i = 0; i < bigEndian.size(); i += 2)
        std::swap(bigEndian[i], bigEndian[i + 1]);
    const struct {
        const char* what;
        std::string bytes;
        std::vector<std::string> names;
    } cases[] = {
        {"UTF-16 LE", Utf16File(list), names},
        {"UTF-16 BE", bigEndian, names},
        {"UTF-8", "\xEF\xBB\xBF" "PC1\r\n; c\xC3\xA4" "fe\r\n  caf\xC3\xA9 \nPC\xC3\x9F" "2\r\n"
                  "\xE3\x83\x9D\xE3\x83\xBC\xE3\x83\xAB\r\n# x\r\nlast", names},
        // Without a mark the bytes are the ANSI text itself, even where they would be UTF-8.
        {"ANSI", "PC1\r\n\xC3\xA4\n", {"PC1:ok", "\xC3\xA4:ok"}},
        {"ANSI, blanks and comments", "PC1\r\n\r\n  ; old\r\n# lab\r\n\t\\\\PC2 \t\r\nPC3\n   \nlast",
         {"PC1:ok", "\\\\PC2:ok", "PC3:ok", "last:ok"}},
        {"ANSI, a mark inside a name", "a;b\n #x\n\t;y\r\n", {"a;b:ok"}},
        {"UTF-8 mark only", "\xEF\xBB\xBF", {}},
        {"UTF-16 LE, LF only", Utf16File(u"a\nb\n"), {"a:ok", "b:ok"}},
        // Half a unit at the end is no character: that name fails alone.
        {"UTF-16 LE, a lone odd byte", Utf16File(u"a\r\nbc") + "d", {"a:ok", "bc?:failed"}},
        {"UTF-16 LE, an odd byte after the last line", Utf16File(u"a\r\n") + "x", {"a:ok", "?:failed"}},
        // A surrogate pair is one character, which Latin-1 cannot carry; a lone surrogate neither.
        {"UTF-16 LE, surrogates", Utf16File(u"\U0001F600x\n\xD800y\nz"), {"??x:failed", "?y:failed", "z:ok"}},
        // Invalid UTF-8: a stray continuation byte, an overlong slash, a cut sequence.
        {"UTF-8, invalid", "\xEF\xBB\xBF" "a\x80\n\xC0\xAF\nok\n\xE3\x83", {"a?:failed", "??:failed", "ok:ok", "??:failed"}},
        {"UTF-8, four bytes", "\xEF\xBB\xBF" "\xF0\x9F\x98\x80\nb", {"??:failed", "b:ok"}},
    };
    // Code page 1252's conversion, refusing what it cannot carry.
    const WideToAnsi toAnsi = [](const std::u16string& text, std::string& ansi) {
        bool defaulted = false;
        ansi = cp1252::ToAnsi(text, defaulted);
        return !defaulted;
    };
    for (const auto& c : cases) {
        std::vector<std::string> got;
        for (const MachineListName& name : ReadMachineList(c.bytes, toAnsi))
            got.push_back(name.name + (name.ok ? ":ok" : ":failed"));
        EXPECT_EQ(got, c.names) << c.what;
    }
}

TEST(CommandLine, MachineNamesDifferingInCaseOrBackslashesAreOneMachine)
{
    EXPECT_EQ(MachineFolderName("\\\\pc7-a"), "PC7-A");
    EXPECT_EQ(MachineFolderName("pc\xe4"), "PC\xe4");  // only ASCII letters change
    EXPECT_EQ(ConnectName("pc7"), "\\\\PC7");
    EXPECT_EQ(ConnectName("\\\\Pc7"), "\\\\PC7");
    const std::vector<std::string> unique = {"PC7", "pc8", "\\\\pc9"};
    EXPECT_EQ(UniqueMachines({"PC7", "\\\\", "pc8", "\\\\pc7", "", "\\\\Pc7", "\\\\pc9", "PC8"}), unique);
}

TEST(CommandLine, UserFolderIsTheKeyWhereTheHomeFolderIsEmptyOrShared)
{
    const struct {
        std::vector<RemoteUser> users;
        std::vector<std::string> folders;
    } cases[] = {
        {{{"alice", "S-1"}, {"", "S-2"}, {"Bob", "S-3"}, {"carol", "S-4"}, {"bOB", "S-5"}},
         {"alice", "S-2", "S-3", "carol", "S-5"}},
        {{{"dave", "S-6"}, {"dave", "S-7"}}, {"S-6", "S-7"}},
        {{{"", "S-8"}, {"", "S-9"}}, {"S-8", "S-9"}},
        {{{"erin", "S-10"}}, {"erin"}},
        // Names from the remote registry never lead out of the machine's folder.
        {{{"..", "S-11"}, {"a:b", ".."}, {"c\\d", "S-12"}, {".", "e/f"}}, {"S-11", "user 2", "S-12", "user 4"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(UserFolderNames(c.users), c.folders) << c.folders[0];
}

TEST(CommandLine, PlainFolderNames)
{
    const struct {
        std::vector<std::string> names;
        bool cp932, singleByte;  // plain with either lead-byte test
    } cases[] = {
        {{"alice", " a.b", "\x95", "COM", "comx", "COM10", "lpt", "console", "xcon", "a.con", "\x83\x6Aon"}, true, true},
        {{"", ".", "..", "alice.", "alice ", std::string("a\0b", 3), "a\tb", "a\\b", "a/b", "a:b", "a*b", "a?b",
          "a\"b", "a<b", "a>b", "a|b"},
         false, false},
        // Device names, in any case, with blanks or an extension after them.
        {{"CON", "con", "Prn", "aux", "nUl", "com1", "COM9", "lpt1", "LPT9", "con.txt", "Lpt3.tar.gz", "nul .x"},
         false, false},
        // PO-O-RU ('|' and '[' as second bytes), SO (a backslash as second byte).
        {{"\x83\x7C\x81\x5B\x83\x8B", "\x83\x5C"}, true, false},
    };
    for (const auto& c : cases) {
        for (const std::string& name : c.names) {
            EXPECT_EQ(IsPlainFolderName(name, Cp932Lead), c.cp932) << name;
            EXPECT_EQ(IsPlainFolderName(name), c.singleByte) << name;
        }
    }
}

// Second bytes that look like letters, '|' or '\\' are parts of their
// characters: they keep their case and neither split nor refuse a name.
TEST(CommandLine, DoubleByteNamesOfMachinesAndUsers)
{
    const std::string ni = "\x83\x6A", niUpper = "\x83\x4A", so = "\x83\x5C";
    EXPECT_EQ(MachineFolderName("\\\\pc" + ni, Cp932Lead), "PC" + ni);
    EXPECT_EQ(MachineFolderName("\\\\pc" + ni), "PC" + niUpper);
    EXPECT_EQ(MachineFolderName(so + "\\a", Cp932Lead), so + "\\A");
    EXPECT_EQ(ConnectName(ni + "x", Cp932Lead), "\\\\" + ni + "X");
    const std::vector<std::string> both = {ni, niUpper};
    EXPECT_EQ(UniqueMachines({ni, niUpper, "\\\\" + ni}, Cp932Lead), both);
    EXPECT_EQ(UniqueMachines({ni, niUpper}).size(), 1u);

    const std::vector<RemoteUser> users = {{ni, "S-1"}, {niUpper, "S-2"}, {"\x83\x7C", "S-3"}, {"con", "S-4"},
                                           {"a.", "LPT1"}};
    const std::vector<std::string> folders = {ni, niUpper, "\x83\x7C", "S-4", "user 5"};
    EXPECT_EQ(UserFolderNames(users, Cp932Lead), folders);
}

TEST(CommandLine, LogLineIsOneTabSeparatedLine)
{
    EXPECT_EQ(LogLine({2024, 3, 5, 7, 8, 9}, RemoteUserSource("PC7", "alice", "S-1-5-21"), true, ""),
              "2024-03-05 07:08:09\tPC7\\alice (S-1-5-21)\tok\r\n");
    EXPECT_EQ(LogLine({2024, 3, 5, 7, 8, 9}, "PC7", true, "left\r\nC:\\x\tput back"),
              "2024-03-05 07:08:09\tPC7\tok: left  C:\\x put back\r\n");
    EXPECT_EQ(LogLine({2024, 12, 31, 23, 59, 0}, ProfileSource("a\tb"), false, "cannot connect:\r\nrefused\t(5)\n"),
              "2024-12-31 23:59:00\tprofile a b\tfailed: cannot connect:  refused (5) \r\n");
    EXPECT_EQ(LogLine({999, 1, 1, 0, 0, 0}, kCurrentUserSource, false, ""), "0999-01-01 00:00:00\tcurrent user\tfailed: \r\n");
    EXPECT_EQ(RemoteUserSource("PC7", "", ""), "PC7");
}

} // namespace
