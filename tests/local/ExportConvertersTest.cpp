#include "local/ExportConverters.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

namespace {

// ASCII text as UTF-16LE units, as the reg tool writes it.
std::string Units16(const std::string& ascii)
{
    std::string out;
    for (char c : ascii) {
        out += c;
        out += '\0';
    }
    return out;
}

std::string RegExport(const std::string& body)
{
    return "\xFF\xFE" + Units16("Windows Registry Editor Version 5.00\r\n\r\n" + body);
}

bool IsWide(ConverterKind kind)
{
    return kind != ConverterKind::RemoteToReg;
}

// The converters' defining loop, done the slow obvious way: edit the first
// occurrence that starts a line, search again from the start; an occurrence
// elsewhere, or without enough backslashes after it, is passed over.
template <class Str>
Str NaiveLoop(ConverterKind kind, Str text)
{
    auto str = [](const char* s) { return Str(s, s + std::strlen(s)); };
    const bool fromUsers = kind == ConverterKind::PrtToPrx || kind == ConverterKind::PrtToReg;
    const Str search = str(fromUsers ? "[HKEY_USERS" : kind == ConverterKind::ToPrx ? "[HKEY_CURRENT_USER" : "[S-");
    const bool toReg = kind == ConverterKind::PrtToReg || kind == ConverterKind::RemoteToReg;
    std::size_t from = 0;
    for (;;) {
        const std::size_t p = text.find(search, from);
        if (p == Str::npos)
            return text;
        if (p > 0 && text[p - 1] != '\n') {
            from = p + 1;
            continue;
        }
        std::size_t b = text.find('\\', p);
        if (fromUsers && b != Str::npos)
            b = text.find('\\', b + 1);
        if (b == Str::npos) {
            from = p + 1;
            continue;
        }
        if (toReg)
            text.replace(p, b - p, str("[HKEY_CURRENT_USER"));
        else
            text.erase(p + 1, b - p);
        from = 0;
    }
}

std::string Reference(ConverterKind kind, const std::string& bytes)
{
    if (!IsWide(kind))
        return NaiveLoop(kind, bytes);
    std::u16string units;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
        units += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) | static_cast<unsigned char>(bytes[i + 1]) << 8);
    std::string out;
    for (char16_t u : NaiveLoop(kind, units)) {
        out += static_cast<char>(u & 0xFF);
        out += static_cast<char>(u >> 8);
    }
    if (bytes.size() % 2 != 0)
        out += bytes.back();
    return out;
}

const ConverterKind kKinds[] = {ConverterKind::PrtToPrx, ConverterKind::PrtToReg, ConverterKind::ToPrx,
                                ConverterKind::RemoteToReg};

TEST(ExportConverters, RewriteSectionLinesOfRealExports)
{
    const std::string printers = "[HKEY_USERS\\user1\\Printers]\r\n\r\n"
                                 "[HKEY_USERS\\user1\\Printers\\Connections]\r\n"
                                 "\"Device\"=\"\\\\\\\\srv\\\\p1\"\r\n\r\n";
    struct Case {
        ConverterKind kind;
        std::string in;
        std::string expected;
    };
    const Case cases[] = {
        {ConverterKind::PrtToReg, RegExport(printers),
         RegExport("[HKEY_CURRENT_USER\\Printers]\r\n\r\n"
                   "[HKEY_CURRENT_USER\\Printers\\Connections]\r\n"
                   "\"Device\"=\"\\\\\\\\srv\\\\p1\"\r\n\r\n")},
        {ConverterKind::PrtToPrx, RegExport(printers),
         RegExport("[Printers]\r\n\r\n[Printers\\Connections]\r\n\"Device\"=\"\\\\\\\\srv\\\\p1\"\r\n\r\n")},
        {ConverterKind::ToPrx, RegExport("[HKEY_CURRENT_USER\\Network\\Z]\r\n\"RemotePath\"=\"\\\\\\\\srv\\\\s\"\r\n"),
         RegExport("[Network\\Z]\r\n\"RemotePath\"=\"\\\\\\\\srv\\\\s\"\r\n")},
        {ConverterKind::RemoteToReg, "REGEDIT4\r\n\r\n[S-1-5-21-1-2-3-1004\\Printers]\r\n\"a\"=\"b\"\r\n",
         "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Printers]\r\n\"a\"=\"b\"\r\n"},
        // The writer's export of the uninstall key names no user.
        {ConverterKind::RemoteToReg, "[SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall]\r\n",
         "[SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall]\r\n"},
        // The search text inside a value's data is data, not a section line.
        {ConverterKind::ToPrx, RegExport("\"x\"=\"[HKEY_CURRENT_USER\\a\"\r\n"),
         RegExport("\"x\"=\"[HKEY_CURRENT_USER\\a\"\r\n")},
        {ConverterKind::RemoteToReg, "\r\n\"v\"=\"[S-1\\x\"\r\n[S-1\\k]\r\n", "\r\n\"v\"=\"[S-1\\x\"\r\n[HKEY_CURRENT_USER\\k]\r\n"},
        // After a ".prx" edit the "[" may start the next occurrence.
        {ConverterKind::ToPrx, RegExport("[HKEY_CURRENT_USER\\HKEY_CURRENT_USER\\x]"), RegExport("[x]")},
        {ConverterKind::PrtToPrx, RegExport("[HKEY_USERS\\u\\HKEY_USERS\\v\\k]"), RegExport("[k]")},
        // So is a key name holding it.
        {ConverterKind::RemoteToReg, "[S-1\\[S-2\\x]", "[HKEY_CURRENT_USER\\[S-2\\x]"},
        // Too few backslashes: that occurrence and the rest stay.
        {ConverterKind::PrtToReg, RegExport("[HKEY_USERS\\u\\k]\r\n[HKEY_USERS\\v]\r\n[HKEY_USERS]"),
         RegExport("[HKEY_CURRENT_USER\\k]\r\n[HKEY_USERS\\v]\r\n[HKEY_USERS]")},
        // The odd last byte is carried over and never completes a match.
        {ConverterKind::ToPrx, Units16("[HKEY_CURRENT_USER\\a") + "[", Units16("[a") + "["},
        {ConverterKind::PrtToReg, Units16("[HKEY_USERS\\u") + "\\", Units16("[HKEY_USERS\\u") + "\\"},
        // A "[" split across two units is no "[".
        {ConverterKind::ToPrx, "x" + Units16("[HKEY_CURRENT_USER\\a"), "x" + Units16("[HKEY_CURRENT_USER\\a")},
        {ConverterKind::PrtToPrx, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.in));
        EXPECT_EQ(ConvertExportBytes(c.kind, c.in), c.expected);
    }
    // Each section line changes the length by 2 * (18 - (12 + length of "user1")).
    EXPECT_EQ(ConvertExportBytes(ConverterKind::PrtToReg, RegExport(printers)).size(),
              RegExport(printers).size() + 2 * 2 * (18 - 17));
}

// Random texts built from the pieces that matter, in UTF-16 and, through a
// stray single byte, out of unit alignment.
TEST(ExportConverters, MatchTheSearchFromStartLoop)
{
    const char* const pieces[] = {
        "[", "\\", "]", "\r\n", "a", "user1", "HKEY_USERS", "HKEY_CURRENT_USER", "S-1-5", "[HKEY_USERS",
        "[HKEY_CURRENT_USER", "[S-", "[HKEY_USERS\\user1\\", "[HKEY_CURRENT_USER\\", "[S-1-5-21\\", "[HKEY_",
        "\"v\"=\"[HKEY_USERS\\", "[HKEY_USERS\\HKEY_USERS\\", "[HKEY_CURRENT_USER\\HKEY_CURRENT_USER\\",
    };
    const char strayBytes[] = {'\0', '[', '\\', 'H', '\xFF', '\xFE'};
    std::mt19937 rng(20240611);
    for (ConverterKind kind : kKinds) {
        for (int n = 0; n < 4000; ++n) {
            std::string in;
            const unsigned count = rng() % 24;
            for (unsigned i = 0; i < count; ++i) {
                if (rng() % 8 == 0) {
                    in += strayBytes[rng() % sizeof strayBytes];
                } else {
                    const std::string piece = pieces[rng() % (sizeof pieces / sizeof *pieces)];
                    in += IsWide(kind) ? Units16(piece) : piece;
                }
            }
            SCOPED_TRACE("kind " + std::to_string(static_cast<int>(kind)) + ": " + ::testing::PrintToString(in));
            ASSERT_EQ(ConvertExportBytes(kind, in), Reference(kind, in));
        }
    }
}

// Many section lines, and many occurrences that cannot be edited (the naive
// loop would rescan the rest of the text for each; bench/ times this).
TEST(ExportConverters, ManySectionLinesAndUneditableOccurrences)
{
    std::string lines, expected, bare;
    for (int i = 0; i < 100000; ++i) {
        lines += "[HKEY_USERS\\bob\\Printers]\r\n";
        expected += "[HKEY_CURRENT_USER\\Printers]\r\n";
    }
    for (int i = 0; i < 300000; ++i)
        bare += "[HKEY_USERS";
    EXPECT_TRUE(ConvertExportBytes(ConverterKind::PrtToReg, Units16(lines)) == Units16(expected));
    EXPECT_TRUE(ConvertExportBytes(ConverterKind::PrtToPrx, Units16(bare)) == Units16(bare));
    EXPECT_TRUE(ConvertExportBytes(ConverterKind::RemoteToReg, bare) == bare);
}

} // namespace
