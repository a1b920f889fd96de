#include "local/DefaultPrinter.h"

#include <gtest/gtest.h>

#include <string>

#include "import/ImportRules.h"
#include "tests/import/RegFileHelpers.h"

namespace {

TEST(DefaultPrinter, DeviceValue)
{
    const struct {
        std::string device;
        std::string name;  // empty: not a network printer
    } cases[] = {
        {"\\\\srv\\HP 4,winspool,Ne01:", "\\\\srv\\HP 4"},
        {"\\\\srv\\HP 4", "\\\\srv\\HP 4"},
        {"\\\\srv\\a\\b,winspool", "\\\\srv\\a\\b"},
        {"\\\\\x95\x5C\\p,winspool", "\\\\\x95\x5C\\p"},  // code page 932: 0x5C as a second byte
        {"\\\\\x95\x5Cp,winspool", ""},  // ...and no backslash after the server
        {"HP LaserJet 4,winspool,LPT1:", ""},
        {"\\\\srv,winspool,Ne01:", ""},
        {"\\\\srv\\,winspool,Ne01:", ""},
        {"\\\\\\HP 4,winspool", ""},
        {"\\srv\\HP 4,winspool", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.device);
        EXPECT_EQ(IsNetworkPrinterDevice(c.device, Cp932Lead), !c.name.empty());
        EXPECT_EQ(NetworkPrinterName(c.device, Cp932Lead), c.name);
    }
    EXPECT_TRUE(IsNetworkPrinterDevice("\\\\\x95\x5Cp")) << "a single-byte code page ends the server at 0x5C";
}

// DefaultPrinter.reg reads back as the one value it holds, and may be imported.
TEST(DefaultPrinter, RegFile)
{
    const std::string text = DefaultPrinterRegText("\\\\srv\\HP \"4\",winspool,Ne01:");
    EXPECT_EQ(text, "REGEDIT4\r\n\r\n"
                    "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows]\r\n"
                    "\"Device\"=\"\\\\\\\\srv\\\\HP \\\"4\\\",winspool,Ne01:\"\r\n");
    const RegFile file = ReadRegFile(DefaultPrinterRegText("\\\\\x95\x5C\\p", Cp932Lead), Cp932Lead);
    ASSERT_EQ(Kinds(file), "HBSV");
    EXPECT_EQ(file.items[3].data, std::string("\\\\\x95\x5C\\p") + '\0');
    for (const ImportVerdict& verdict : CheckImport(file))
        EXPECT_TRUE(verdict.allowed) << verdict.reason;
}

} // namespace
