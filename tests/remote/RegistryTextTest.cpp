#include "remote/RegistryText.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "local/ExportConverters.h"
#include "tests/local/Cp1252.h"
#include "tests/local/Cp932.h"

namespace {

TEST(RegistryText, ValueTextByType)
{
    const struct {
        unsigned long type;
        std::string data;
        std::string text;
    } cases[] = {
        {1, std::string(R"(\\srv\share)") + '\0', R"("\\\\srv\\share")" "\n"},
        {1, std::string("say \"hi\"") + '\0', R"("say \"hi\"")" "\n"},
        {1, "abc", "\"abc\"\n"},  // stored without its NUL
        {1, "", "\"\"\n"},
        {1, std::string("ab\0cd", 5), "hex(1):61,62,00,63,64\n"},  // nothing after a NUL is lost
        {1, std::string("ab\0\0", 4), "hex(1):61,62,00,00\n"},
        {1, std::string("a\r\nb\0", 5), "hex(1):61,0d,0a,62,00\n"},  // a line break keeps its line
        {4, std::string("\x1f\0\0\0", 4), "dword:0000001f\n"},
        {4, "\xff\xff\xff\xff\x01", "dword:ffffffff\n"},
        {4, "\x01\x02", "dword:00000201\n"},  // missing bytes are zero, never read
        {3, "", "hex:\n"},
        {3, "\x01\x02\x0a", "hex:01,02,0a\n"},
        {2, std::string("%A%") + '\0', "hex(2):25,41,25,00\n"},
        {10, "\xab", "hex(a):ab\n"},  // importers read the number as hexadecimal
        {0x12345, "\xff", "hex(12345):ff\n"},
    };
    for (const auto& c : cases) {
        // A vector of exactly the value's bytes, so that ASan sees a read past them.
        const std::vector<unsigned char> data(c.data.begin(), c.data.end());
        EXPECT_EQ(FormatValueText(c.type, data.data(), data.size()), c.text) << c.type << " " << c.text;
    }
    std::string bytes26;
    for (char b = 0; b < 26; ++b)
        bytes26 += b;
    const std::string first = "00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,16,17,18";
    const auto* data = reinterpret_cast<const unsigned char*>(bytes26.data());
    EXPECT_EQ(HexForm(data, 25), first + "\n");
    EXPECT_EQ(HexForm(data, 26), first + ",\\\n19\n");
}

TEST(RegistryText, NamePartEscapesBackslashesAndQuotes)
{
    EXPECT_EQ(ValueNamePart(""), "@ =");
    EXPECT_EQ(ValueNamePart(R"(\\srv1\a"b)"), R"("\\\\srv1\\a\"b"=)");
    EXPECT_EQ(SectionLine(R"(S-1-5-18\Printers)"), "\n[S-1-5-18\\Printers]\n");
}

// Code page 932: 0x5C is also the second byte of characters such as U+8868
// (0x95 0x5C); only a backslash of its own is doubled.
TEST(RegistryText, DoubleByteCharactersKeepTheirSecondByte)
{
    const LeadByteTest cp932 = Cp932Lead;
    const struct {
        std::string text;
        std::string escaped;
    } cases[] = {
        {"\x95\x5C", "\x95\x5C"},
        {"\x95\x5C\\", "\x95\x5C\\\\"},
        {"a\\\x83\x5C\"b", "a\\\\\x83\x5C\\\"b"},
        {"\xE0\x5C\x5C", "\xE0\x5C\x5C\x5C"},  // the second 0x5C stands alone
        {"\xA5\\", "\xA5\\\\"},             // a single-byte katakana is no lead byte
        {"\x95", "\x95"},                      // a lead byte at the end takes nothing with it
    };
    for (const auto& c : cases) {
        EXPECT_EQ(EscapeRegText(c.text, cp932), c.escaped) << c.text;
        const std::string data = c.text + '\0';
        EXPECT_EQ(FormatValueText(1, reinterpret_cast<const unsigned char*>(data.data()), data.size(), cp932),
                  "\"" + c.escaped + "\"\n");
    }
    EXPECT_EQ(ValueNamePart("\x95\x5C", cp932), "\"\x95\x5C\"=");
    EXPECT_EQ(EscapeRegText("\x95\x5C"), "\x95\\\x5C") << "single-byte code pages double every 0x5C";
}

// The string data the wide calls give: UTF-16LE bytes, the terminator included.
std::string Sz(const std::u16string& text)
{
    return BytesOfUnits(text + u'\0');
}

// A file is REGEDIT4 only when every key path, value name and string fits the
// code page, wherever the text stands; binary and DWORD data are no text.
TEST(RegistryText, AFileIsAnsiOnlyWhenEveryNameAndStringFits)
{
    const struct {
        std::u16string text;
        ExportForm form;
    } texts[] = {
        {u"HP 4", ExportForm::Ansi},
        {u"Gr\u00f6\u00dfe \u20ac", ExportForm::Ansi},                          // Western, and the euro at 0x80
        {u"\u041f\u0440\u0438\u043d\u0442\u0435\u0440", ExportForm::Unicode},  // Cyrillic
        {u"\u6253\u5370\u673a", ExportForm::Unicode},                            // CJK
        {std::u16string(u"a") + static_cast<char16_t>(0xD800), ExportForm::Unicode},  // a lone surrogate
    };
    for (const auto& t : texts) {
        const std::vector<ExportSection> places[] = {
            {{u"S-1\\Printers\\,,srv," + t.text, {{u"Server", 1, Sz(u"\\\\srv")}}}},
            {{u"S-1\\Printers", {{t.text, 4, std::string(4, '\0')}}}},
            {{u"S-1\\Printers", {{u"Name", 1, Sz(t.text)}}}},
            {{u"S-1\\Printers", {{u"Path", 2, Sz(u"%A%\\" + t.text)}}}},
            {{u"S-1\\Printers", {}}, {u"S-1\\Printers\\x", {{u"List", 7, Sz(u"a" + t.text + u'\0')}}}},
        };
        for (const auto& sections : places) {
            ExportForm form = ExportForm::Ansi;
            const std::string bytes = ExportFileBytes(sections, cp1252::CodePage(), form);
            EXPECT_EQ(form, t.form) << bytes;
            EXPECT_EQ(bytes.substr(0, 2) == "\xFF\xFE", t.form == ExportForm::Unicode) << bytes;
        }
    }
    const std::u16string cyrillic = u"\u0416";
    ExportForm form = ExportForm::Unicode;
    ExportFileBytes({{u"S-1", {{u"Bin", 3, BytesOfUnits(cyrillic)}, {u"Dw", 4, BytesOfUnits(cyrillic + cyrillic)}}}},
                    cp1252::CodePage(), form);
    EXPECT_EQ(form, ExportForm::Ansi) << "binary data is no text";
    ExportFileBytes({{u"S-1", {{u"Odd", 1, std::string("a\0b", 3)}}}}, cp1252::CodePage(), form);
    EXPECT_EQ(form, ExportForm::Unicode) << "the narrow calls would drop an odd byte";
}

// The same key in both forms: REGEDIT4 holds exactly what the narrow calls
// would have given (hex(2) in code page bytes); Version 5.00 the same lines in
// UTF-16, hex(2) and hex(7) in UTF-16 bytes. Its .reg copy keeps the form.
TEST(RegistryText, TheSameKeyInBothForms)
{
    const auto key = [](const std::u16string& share) {
        return std::vector<ExportSection>{{u"S-1-5\\Network\\Z",
                                           {{u"RemotePath", 1, Sz(u"\\\\srv\\" + share)},
                                            {u"Path", 2, Sz(u"%A%" + share)}, {u"", 4, "\x07\0\0\0"}}}};
    };
    ExportForm form = ExportForm::Unicode;
    EXPECT_EQ(ExportFileBytes(key(u"Gr\u00f6\u00dfe"), cp1252::CodePage(), form),
              "REGEDIT4\r\n\r\n[S-1-5\\Network\\Z]\r\n\"RemotePath\"=\"\\\\\\\\srv\\\\Gr\xF6\xDF" "e\"\r\n"
              "\"Path\"=hex(2):25,41,25,47,72,f6,df,65,00\r\n@ =dword:00000007\r\n");
    EXPECT_EQ(form, ExportForm::Ansi);

    const std::u16string lines =
        u"Windows Registry Editor Version 5.00\r\n\r\n[S-1-5\\Network\\Z]\r\n"
        u"\"RemotePath\"=\"\\\\\\\\srv\\\\\u0416\u0443\"\r\n\"Path\"=hex(2):25,00,41,00,25,00,16,04,43,04,00,00\r\n"
        u"@ =dword:00000007\r\n";
    const std::string unicode = ExportFileBytes(key(u"\u0416\u0443"), cp1252::CodePage(), form);
    EXPECT_EQ(form, ExportForm::Unicode);
    EXPECT_EQ(unicode, "\xFF\xFE" + BytesOfUnits(lines));
    std::u16string copy = lines;
    copy.replace(copy.find(u"[S-1-5"), 6, u"[HKEY_CURRENT_USER");
    EXPECT_EQ(ConvertExportBytes(ConverterKind::RemoteToReg, unicode), "\xFF\xFE" + BytesOfUnits(copy));

    // apps.txt: REGEDIT4 whatever its names, as the narrow calls give them.
    EXPECT_EQ(ExportFileBytes({{u"U\\\u011Aditor", {{u"DisplayName", 1, Sz(u"\u0416\u0443")}}}}, cp1252::CodePage(),
                              form, false),
              "REGEDIT4\r\n\r\n[U\\Editor]\r\n\"DisplayName\"=\"??\"\r\n");
    EXPECT_EQ(form, ExportForm::Ansi);
}

// The Version 5.00 writer escapes and breaks lines as the REGEDIT4 one does
// (ValueTextByType), in UTF-16 units and with UTF-16 data bytes.
TEST(RegistryText, UnicodeValueTextByType)
{
    const struct {
        unsigned long type;
        std::string data;
        std::string text;
    } cases[] = {
        {1, Sz(u"say \"hi\""), R"("say \"hi\"")" "\n"},
        {1, BytesOfUnits(u"abc"), "\"abc\"\n"},  // stored without its NUL
        {1, "", "\"\"\n"},
        {1, BytesOfUnits(std::u16string(u"ab\0c", 4)), "hex(1):61,00,62,00,00,00,63,00\n"},
        {1, Sz(u"a\r\nb"), "hex(1):61,00,0d,00,0a,00,62,00,00,00\n"},
        {1, std::string("a\0b", 3), "hex(1):61,00,62\n"},  // an odd byte is kept
        {7, BytesOfUnits(std::u16string(u"a\0\u0416\0\0", 5)), "hex(7):61,00,00,00,16,04,00,00,00,00\n"},
        {3, "\x01\x02\x0a", "hex:01,02,0a\n"},
        {0, std::string("\0\xff", 2), "hex(0):00,ff\n"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(UnicodeValueText({u"x", c.type, c.data}), AsciiUnits(c.text)) << c.type << " " << c.text;
    EXPECT_EQ(ValueNamePart(std::u16string()), u"@ =");
    EXPECT_EQ(ValueNamePart(std::u16string(u"\\\\srv1\\a\"\u0416")), u"\"\\\\\\\\srv1\\\\a\\\"\u0416\"=");
    EXPECT_EQ(SectionLine(std::u16string(u"S-1\\\u0416")), u"\n[S-1\\\u0416]\n");
}

} // namespace
