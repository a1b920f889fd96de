#include "local/ExportConverters.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// ASCII text as UTF-16LE units, as the reg tool writes it.
std::string Units16(const std::string& ascii)
{
    std::string out;
    for (char c : ascii)
        out += std::string(1, c) + '\0';
    return out;
}

std::string RegExport(const std::string& body)
{
    return "\xFF\xFE" + Units16("Windows Registry Editor Version 5.00\r\n\r\n" + body);
}

// The edge cases of the single pass, exactly. Ordinary exports go through the
// end-to-end tests, random texts against the literal loop through the fuzz
// target (tests/fuzz).
TEST(ExportConverters, EditOnlySectionLines)
{
    struct Case {
        ConverterKind kind;
        std::string in;
        std::string expected;
    };
    const Case cases[] = {
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
}

} // namespace
