#include "import/RegFileText.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/import/RegFileHelpers.h"

namespace {

using namespace std::string_literals;

// One line after a REGEDIT4 header, as the reader takes it.
TEST(RegFileText, ReadsEachKindOfLine)
{
    const struct {
        std::string line;
        RegItemKind kind;
        std::string keyOrName;  // the key of a section, the name of a value
        unsigned long type;
        std::string data;
    } cases[] = {
        {"[HKEY_CURRENT_USER\\Printers]", RegItemKind::Section, "HKEY_CURRENT_USER\\Printers", 0, ""},
        {"[-HKEY_CURRENT_USER\\Network\\Z]", RegItemKind::DeleteSection, "HKEY_CURRENT_USER\\Network\\Z", 0, ""},
        {"[a] b]  ; to the last bracket", RegItemKind::Section, "a] b", 0, ""},
        {R"("Path"="\\\\srv\\share")", RegItemKind::Value, "Path", 1, "\\\\srv\\share\0"s},
        {R"("a\"b\\c" = "say \"hi\"" ; comment)", RegItemKind::Value, "a\"b\\c", 1, "say \"hi\"\0"s},
        {"@ =\"\"", RegItemKind::Value, "", 1, "\0"s},
        {"\t@=dword:0000001f", RegItemKind::Value, "", 4, "\x1f\0\0\0"s},
        {"\"n\"=dword: FfFfFfFf ", RegItemKind::Value, "n", 4, "\xff\xff\xff\xff"},
        {"\"n\"=hex:01, 2,0a,", RegItemKind::Value, "n", 3, "\x01\x02\x0a"},
        {"\"n\"=hex:", RegItemKind::Value, "n", 3, ""},
        {"\"n\"=hex(2):25,00", RegItemKind::Value, "n", 2, "%\0"s},
        {"\"n\"=hex(a):ab", RegItemKind::Value, "n", 10, "\xab"},
        {"\"n\"=hex(12345):ff", RegItemKind::Value, "n", 0x12345, "\xff"},
        {"\"n\"=-", RegItemKind::DeleteValue, "n", 0, ""},
        {"  ; [HKEY_LOCAL_MACHINE\\x]", RegItemKind::Blank, "", 0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        const RegFile file = ReadRegFile("REGEDIT4\r\n" + c.line + "\r\n");
        ASSERT_EQ(file.items.size(), 2u);
        const RegItem& item = file.items[1];
        EXPECT_EQ(item.kind, c.kind) << item.problem;
        EXPECT_EQ(item.raw, c.line + "\r\n");
        const bool isKey = c.kind == RegItemKind::Section || c.kind == RegItemKind::DeleteSection;
        EXPECT_EQ(isKey ? item.key : item.name, ByteUnits(c.keyOrName));
        EXPECT_EQ(item.type, c.type);
        EXPECT_EQ(item.data, c.data);
    }
    // Lines of none of those forms are kept whole, with the reason.
    const std::string unparsable[] = {
        R"("n"="a\qb")", R"("n"="abc)", R"("n"="abc" x)", "\"n\"", "\"n\"=dword:123456789", "\"n\"=hex:1,2,345",
        "\"n\"=hex:01 02", "\"n\"=hex:01\\", /* a backslash only after a comma */ "\"n\"=hex(0x2):00", "\"n\"=str:x",
        "[]", "[ HKEY_CURRENT_USER\\Printers]", "[HKEY_CURRENT_USER\\Printers", "[HKEY_CURRENT_USER\\Printers] x",
        "\"a\0b\"=\"x\""s,
    };
    for (const std::string& line : unparsable) {
        SCOPED_TRACE(line);
        const RegFile file = ReadRegFile("REGEDIT4\r\n" + line + "\r\n");
        ASSERT_EQ(Kinds(file), "HU");
        EXPECT_FALSE(file.items[1].problem.empty());
        EXPECT_EQ(file.items[1].raw, line + "\r\n");
        EXPECT_EQ(file.items[1].text, ByteUnits(line));
    }
}

// A hex value goes on over lines ended by ",\"; the next line's leading
// blanks are skipped. One item holds all its lines, whatever the line ends.
TEST(RegFileText, ContinuationLinesAndLineEnds)
{
    const std::string bytes = "REGEDIT4\n\n[K]\r\n\"b\"=hex:01,02,\\\n  03,\\  \r\n\t04\r\"c\"=dword:00000001";
    const RegFile file = ReadRegFile(bytes);
    ASSERT_EQ(Kinds(file), "HBSVV");
    EXPECT_EQ(file.items[3].data, "\x01\x02\x03\x04");
    EXPECT_EQ(file.items[3].raw, "\"b\"=hex:01,02,\\\n  03,\\  \r\n\t04\r");
    EXPECT_EQ(file.items[4].line, 7u);
    EXPECT_EQ(file.items[4].data, "\x01\0\0\0"s);

    // A continued value needs hex bytes on the next line; a line that holds
    // none is read on its own.
    const RegFile broken = ReadRegFile("REGEDIT4\r\n\"b\"=hex:01,\\\r\n[K2]\r\n\"c\"=hex:01,\\\r\n\r\n");
    ASSERT_EQ(Kinds(broken), "HUSUB");
    EXPECT_EQ(broken.items[2].key, u"K2");
}

// A file that ends early ends in an item that says so.
TEST(RegFileText, TruncatedFile)
{
    const struct {
        std::string last;
        const char* problem;
    } cases[] = {
        {"\"n\"=\"abc", "the file ends inside a quoted text"},
        {"\"n\"=\"abc\\", "the file ends inside a quoted text"},
        {"\"n\"=hex:01,\\", "the file ends after the backslash that continues a hex value"},
        {"\"n\"=hex:01,\\\r\n", "the file ends after the backslash that continues a hex value"},
        {"[HKEY_CURRENT_USER\\Prin", "the file ends inside a key name"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.last);
        const std::string bytes = "REGEDIT4\r\n[K]\r\n" + c.last;
        const RegFile file = ReadRegFile(bytes);
        ASSERT_EQ(file.items.size(), 3u);
        EXPECT_EQ(file.items[2].kind, RegItemKind::Unparsable);
        EXPECT_EQ(file.items[2].problem, c.problem);
    }
}

// "reg export" files: the byte-order mark, UTF-16 names and strings with a
// two-byte terminator. A file whose byte-order mark and header disagree has
// no header.
TEST(RegFileText, Utf16Files)
{
    const std::string bytes = Utf16File(u"Windows Registry Editor Version 5.00\r\n\r\n"
                                        u"[HKEY_CURRENT_USER\\Network\\Z]\r\n"
                                        u"\"RemotePath\"=\"\\\\\\\\srv\\\\d\u00e9\u8868\"\r\n"
                                        u"\"\u8868\"=hex(7):41,00,00,00\r\n");
    const RegFile file = ReadRegFile(bytes);
    EXPECT_EQ(file.form, RegFileForm::Utf16);
    EXPECT_TRUE(file.header);
    ASSERT_EQ(Kinds(file), "HBSVV");
    EXPECT_EQ(file.items[0].raw.substr(0, 4), "\xff\xfeW\0"s);
    EXPECT_EQ(file.items[3].text, u"\\\\srv\\d\u00e9\u8868");
    EXPECT_EQ(file.items[3].data, "\\\0\\\0s\0r\0v\0\\\0d\0\xe9\0\x68\x88\0\0"s);
    EXPECT_EQ(file.items[4].name, u"\u8868");
    EXPECT_EQ(file.items[4].data, "A\0\0\0"s);

    EXPECT_FALSE(ReadRegFile(Utf16File(u"REGEDIT4\r\n")).header);
    EXPECT_FALSE(ReadRegFile("Windows Registry Editor Version 5.00\r\n").header);
    EXPECT_FALSE(ReadRegFile("").header);
    const RegFile odd = ReadRegFile(Utf16File(u"Windows Registry Editor Version 5.00\r\n") + "x");
    ASSERT_EQ(Kinds(odd), "HU");
    EXPECT_EQ(odd.items[1].raw, "x");
}

// Code page 932: 0x5C and 0x5D are also second bytes (U+8868 is 0x95 0x5C).
TEST(RegFileText, DoubleByteCharactersInAnsiFiles)
{
    const std::string lines = "REGEDIT4\r\n[A\\\x95\x5C\\B]\r\n\"\x95\x5C\"=\"\x95\x5C\\\\\"\r\n[A\x95]\r\n";
    const RegFile file = ReadRegFile(lines, Cp932Lead);
    ASSERT_EQ(Kinds(file), "HSVU");
    EXPECT_EQ(SplitKeyPath(Cp932Lead, file.items[1].key).size(), 3u);
    EXPECT_EQ(file.items[2].name, ByteUnits("\x95\x5C"));
    EXPECT_EQ(file.items[2].data, "\x95\x5C\\\0"s);
    // Read byte by byte, the same file is other text.
    const RegFile single = ReadRegFile(lines);
    ASSERT_EQ(Kinds(single), "HSUS");
    EXPECT_EQ(SplitKeyPath(nullptr, single.items[1].key).size(), 4u);

    EXPECT_TRUE(SameTextIgnoringCase(Cp932Lead, ByteUnits("Srv\x95\x41"), ByteUnits("sRV\x95\x41")));
    EXPECT_FALSE(SameTextIgnoringCase(Cp932Lead, ByteUnits("\x95\x41"), ByteUnits("\x95\x61")));
    EXPECT_TRUE(SameTextIgnoringCase(nullptr, ByteUnits("\x95\x41"), ByteUnits("\x95\x61")));
}

} // namespace
