#include <gtest/gtest.h>

#include "local/ExportConverters.h"
#include "tests/import/RegFileHelpers.h"

namespace {

// A disk's hive loaded under a key of the run's own is exported as the old
// machine's SOFTWARE: only section lines that name that key, whole, change.
TEST(DiskExport, SectionsOfTheLoadedHiveBecomeTheMachinesSoftware)
{
    const std::string from = "HKEY_LOCAL_MACHINE\\Movara-7-SOFTWARE", to = "HKEY_LOCAL_MACHINE\\SOFTWARE";
    const struct {
        std::string in, out;
    } cases[] = {
        {"[HKEY_LOCAL_MACHINE\\Movara-7-SOFTWARE\\Microsoft\\Uninstall]\r\n\"a\"=\"b\"\r\n",
         "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Uninstall]\r\n\"a\"=\"b\"\r\n"},
        {"[hkey_local_machine\\movara-7-software]\r\n", "[HKEY_LOCAL_MACHINE\\SOFTWARE]\r\n"},
        // Another key that begins alike, data that holds the name, a line that does not start with it.
        {"[HKEY_LOCAL_MACHINE\\Movara-7-SOFTWARE2\\x]\r\n\"p\"=\"[HKEY_LOCAL_MACHINE\\Movara-7-SOFTWARE\\y]\"\r\n"
         " [HKEY_LOCAL_MACHINE\\Movara-7-SOFTWARE\\z]\n[HKEY_LOCAL_MACHINE\\Movara-7-SOFTWARE\\w]\n",
         "[HKEY_LOCAL_MACHINE\\Movara-7-SOFTWARE2\\x]\r\n\"p\"=\"[HKEY_LOCAL_MACHINE\\Movara-7-SOFTWARE\\y]\"\r\n"
         " [HKEY_LOCAL_MACHINE\\Movara-7-SOFTWARE\\z]\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\w]\n"},
        {"[HKEY_LOCAL_MACHINE\\Movara-7-SOFTWARE", "[HKEY_LOCAL_MACHINE\\Movara-7-SOFTWARE"},  // cut short
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RenameExportSections(Utf16File(Latin1(c.in)), from, to), Utf16File(Latin1(c.out))) << c.in;
        EXPECT_EQ(RenameExportSections(Utf16File(Latin1(c.in)) + "x", from, to), Utf16File(Latin1(c.out)) + "x")
            << "an odd last byte stays";
    }
}

} // namespace
