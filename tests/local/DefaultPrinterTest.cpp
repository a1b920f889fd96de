#include "local/DefaultPrinter.h"

#include <gtest/gtest.h>

#include <string>

#include "import/ImportRules.h"
#include "tests/import/RegFileHelpers.h"
#include "tests/local/Cp1252.h"

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

    // Read wide: the same bytes when the name fits the code page, else the
    // Unicode form, which reads back as the same one value.
    bool unicode = true;
    EXPECT_EQ(DefaultPrinterRegText(u"\\\\srv\\HP \u00e9,winspool", cp1252::CodePage(), unicode),
              DefaultPrinterRegText("\\\\srv\\HP \xE9,winspool"));
    EXPECT_FALSE(unicode);
    const std::u16string device = u"\\\\\u0421\u0435\u0440\u0432\u0435\u0440\\\u6253\u5370,winspool,Ne01:";
    const RegFile wide = ReadRegFile(DefaultPrinterRegText(device, cp1252::CodePage(), unicode));
    EXPECT_TRUE(unicode);
    EXPECT_EQ(wide.form, RegFileForm::Utf16);
    ASSERT_EQ(Kinds(wide), "HBSV");
    EXPECT_EQ(wide.items[3].data, BytesOfUnits(device + u'\0'));
    for (const ImportVerdict& verdict : CheckImport(wide))
        EXPECT_TRUE(verdict.allowed) << verdict.reason;
}

} // namespace
