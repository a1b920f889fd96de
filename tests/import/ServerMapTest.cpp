#include "import/ServerMap.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/import/RegFileHelpers.h"

namespace {

TEST(ServerMap, ParsesOneMapArgument)
{
    const struct {
        std::string argument;
        std::string oldServer;  // empty: refused
        std::string newServer;
        std::string error;      // a part of the error text
    } cases[] = {
        {"\\\\OLD=\\\\NEW", "OLD", "NEW", ""},
        {"old=\\\\srv2.corp.example", "old", "srv2.corp.example", ""},
        {"OLD", "", "", "no \"=\""},
        {"=\\\\NEW", "", "", "old server name is empty"},
        {"\\\\OLD=\\\\", "", "", "new server name is empty"},
        {"\\OLD=NEW", "", "", "one backslash"},
        {"\\\\OLD\\HP 4=NEW", "", "", "old server holds a backslash"},
        {"OLD=\\\\\\NEW", "", "", "new server holds a backslash"},
        {"A=B=C", "", "", "more than one"},
        {"A,B=C", "", "", "comma"},
        {"A=B C", "", "", "blank"},
        // Double-byte names as code page 932 reads them: a second byte 0x5C
        // is no backslash; a lead byte at the end stands alone.
        {"\\\\\x95\x5C=N", "\x95\x5C", "N", ""},
        {"\\\\\x83\x5C\x83\x41=\\\\\x95\x5C\x95\x5C", "\x83\x5C\x83\x41", "\x95\x5C\x95\x5C", ""},
        {"O=\x95\x5C\\x", "", "", "new server holds a backslash"},
        {"\x95\x5C,=N", "", "", "comma"},
        {"O=N\x95", "O", "N\x95", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.argument);
        ServerMapping mapping{"kept", "kept"};
        const std::string error = ParseServerMapping(c.argument, mapping, Cp932Lead);
        if (c.oldServer.empty()) {
            EXPECT_NE(error.find(c.error), std::string::npos) << error;
            EXPECT_EQ(error.find("/map"), std::string::npos) << "the caller names the switch: " << error;
            EXPECT_EQ(mapping.oldServer, "kept");
        } else {
            EXPECT_EQ(error, "");
            EXPECT_EQ(mapping.oldServer, c.oldServer);
            EXPECT_EQ(mapping.newServer, c.newServer);
        }
    }
    ServerMapping mapping;
    EXPECT_NE(ParseServerMapping("\\\\\x95\x5C=N", mapping), "") << "without the lead-byte test 0x5C is a backslash";

    std::vector<ServerMapping> map;
    EXPECT_EQ(AddServerMapping(map, {"Old", "a"}), "");
    EXPECT_EQ(AddServerMapping(map, {"OLDER", "b"}), "");
    EXPECT_EQ(AddServerMapping(map, {"oLD", "c"}), "the server oLD is mapped twice, to a and to c");
    EXPECT_EQ(AddServerMapping(map, {"\x83\x61", "d"}, Cp932Lead), "");
    EXPECT_EQ(AddServerMapping(map, {"\x83\x41", "e"}, Cp932Lead), "") << "a second byte is no letter";
    EXPECT_EQ(map.size(), 4u);

    // One path, as a drive's RemotePath is compared.
    const std::vector<ServerMapping> paths = {{"OLD", "NEW"}, {"\x95\x5C", "X"}};
    EXPECT_EQ(RenameServerInPath("\\\\old\\share", paths), "\\\\NEW\\share");
    EXPECT_EQ(RenameServerInPath("\\\\OLD", paths), "\\\\NEW");
    EXPECT_EQ(RenameServerInPath("\\\\OLDER\\share", paths), "\\\\OLDER\\share");
    EXPECT_EQ(RenameServerInPath("C:\\OLD", paths), "C:\\OLD");
    EXPECT_EQ(RenameServerInPath("\\\\\x95\x5C\\s", paths, Cp932Lead), "\\\\X\\s");
}

// Each line of a file as it is and as the map {OLD=NEW, A=B, B=C} leaves it.
const struct {
    const char* in;
    const char* out;  // null: unchanged
} kLines[] = {
    {"[HKEY_CURRENT_USER\\Printers\\Connections\\,,OLD,HP 4]\r\n",
      "[HKEY_CURRENT_USER\\Printers\\Connections\\,,NEW1,HP 4]\r\n"},
    {"\"Server\"=\"\\\\\\\\old\"\r\n", "\"Server\"=\"\\\\\\\\NEW1\"\r\n"},
    {"\"Provider\"=\"win32spl.dll\"\r\n", nullptr},
    {"[Printers\\Connections\\,,OLDER,x]\n", nullptr},
    {"[-S-1-5-21-1\\Printers\\Connections\\,,Old,HP 4]\n", "[-S-1-5-21-1\\Printers\\Connections\\,,NEW1,HP 4]\n"},
    {"[HKEY_CURRENT_USER\\Printers\\,,OLD]\r\n", nullptr},  // not a connection's form
    {"\"\\\\\\\\OLD\\\\HP 4\"=hex:01,\\\r\n  02\r\n", "\"\\\\\\\\NEW1\\\\HP 4\"=hex:01,\\\r\n  02\r\n"},
    {"\"\\\\\\\\OLD\\\\HP \\\"4\\\"\" = \"\\\\\\\\OLD\\\\x\" ; both\r\n",
      "\"\\\\\\\\NEW1\\\\HP \\\"4\\\"\" = \"\\\\\\\\NEW1\\\\x\" ; both\r\n"},
    {"\"\\\\\\\\OLD\\\\y\"=-\r\n", "\"\\\\\\\\NEW1\\\\y\"=-\r\n"},
    {"\"Device\"=\"\\\\\\\\OLD\\\\HP 4,winspool,Ne01:\"\r\n", "\"Device\"=\"\\\\\\\\NEW1\\\\HP 4,winspool,Ne01:\"\r\n"},
    {"\"RemotePath\"=\"\\\\\\\\OLDER\\\\share\"\r\n", nullptr},
    {"\"p\"=\"\\\\\\\\OLD,x\"\r\n", nullptr},
    {"\"p\"=\"OLD\"\r\n", nullptr},
    {"\"p\"=hex(1):5c,5c,4f,4c,44,00\r\n", nullptr},
    {"\"p\"=\"\\\\\\\\OLD\r\n", nullptr},  // unreadable lines stay
    {"\"\\\\\\\\A\"=\"\\\\\\\\B\"\r\n", "\"\\\\\\\\B\"=\"\\\\\\\\C\"\r\n"},
    {"[,,A,p\\,,b,q]\r\n", "[,,B,p\\,,C,q]\r\n"},
};

const std::vector<ServerMapping> kMap = {{"OLD", "NEW1"}, {"A", "B"}, {"b", "C"}};

// Renaming works on each line's parsed text, keeps the file's form and the
// bytes of every line it does not change.
TEST(ServerMap, RenamesServersInBothForms)
{
    std::string in = "REGEDIT4\r\n\r\n";
    std::string out = in;
    std::size_t changes = 0;
    for (const auto& line : kLines) {
        in += line.in;
        out += line.out ? line.out : line.in;
        changes += line.out ? 1 : 0;
    }
    const RenamedFile ansi = RenameServersInFile(in, kMap);
    EXPECT_EQ(ansi.bytes, out);
    EXPECT_EQ(ansi.changedLines, changes);

    const auto wide = [](const std::string& ansiText) {
        return Utf16File(u"Windows Registry Editor Version 5.00" + Latin1(ansiText.substr(8)));
    };
    const RenamedFile utf16 = RenameServersInFile(wide(in), kMap);
    EXPECT_EQ(utf16.bytes, wide(out));
    EXPECT_EQ(utf16.changedLines, changes);
}

// A new name outside ASCII reaches each form in its own units; a lead byte's
// second byte is part of the server's name.
TEST(ServerMap, NamesBeyondAscii)
{
    const std::vector<ServerMapping> map = {{"old", "n\xe8w"}, {"\x95\x5C", "X"}};
    const std::string line = "\"p\"=\"\\\\\\\\OLD\\\\s\"\r\n";
    EXPECT_EQ(RenameServersInFile("REGEDIT4\r\n" + line, map).bytes, "REGEDIT4\r\n\"p\"=\"\\\\\\\\n\xe8w\\\\s\"\r\n");
    const std::u16string header = u"Windows Registry Editor Version 5.00\r\n";
    EXPECT_EQ(RenameServersInFile(Utf16File(header + Latin1(line)), map, nullptr, Latin1).bytes,
              Utf16File(header + u"\"p\"=\"\\\\\\\\n\u00e8w\\\\s\"\r\n"));

    const std::string dbcs = "REGEDIT4\r\n\"p\"=\"\\\\\\\\\x95\x5C\\\\\x95\x5C\"\r\n";
    EXPECT_EQ(RenameServersInFile(dbcs, map, Cp932Lead).bytes, "REGEDIT4\r\n\"p\"=\"\\\\\\\\X\\\\\x95\x5C\"\r\n");
    EXPECT_EQ(RenameServersInFile(dbcs, map).changedLines, 0u);
}

} // namespace
