#include "local/SourceText.h"

#include <gtest/gtest.h>

namespace {

// What each kind of job says of its source, and which of the files it
// produced are for importing and which are not.
TEST(SourceText, NamesTheSourceAndTheFilesToImport)
{
    const struct {
        SourceKind kind;
        std::vector<std::string> files;
        std::string source;
        std::string import;
        std::string notToImport;  // empty: no such line
    } cases[] = {
        {SourceKind::StoredProfile,
         {"InstalledApps.reg", "mappedDrv.prt", "mappedDrv.reg", "printers.prt", "printers.reg"},
         "the stored profile bob in D:\\old\\bob on the machine that exported it", "printers.reg, mappedDrv.reg",
         "InstalledApps.reg"},
        {SourceKind::CurrentUser, {"InstalledApps.txt", "InstalledApp.txt"}, "the user who ran the tool, bob",
         "nothing (no printer connections or mapped drives were found)", "InstalledApps.txt"},
        {SourceKind::RemoteUser, {"DefaultPrinter.reg", "drives.txt", "drives.txt.reg", "printers.txt.reg"},
         "the user bob (home folder Bob) logged on at D:\\old\\bob",
         "printers.txt.reg, drives.txt.reg, DefaultPrinter.reg", ""},
        {SourceKind::RemoteUser, {"apps.txt", "apps.txt.reg", "drives.txt.reg", "SmallApps.txt"},
         "the user bob (home folder Bob) logged on at D:\\old\\bob", "drives.txt.reg", "apps.txt, apps.txt.reg"},
    };
    for (const auto& c : cases) {
        SourceFacts facts;
        facts.kind = c.kind;
        facts.name = "bob";
        facts.place = "D:\\old\\bob";
        facts.homeFolder = "Bob";
        facts.when = TimeStampText(2026, 1, 2, 3, 4, 5);
        facts.version = "1.0.1.7";
        facts.files = c.files;
        std::string expected = "Source: " + c.source + "\r\nExported: 2026-01-02 03:04:05\r\nTool: MovaraM 1.0.1.7\r\n"
                               "Import on the new machine, as the user who moves: " + c.import + "\r\n";
        if (!c.notToImport.empty())
            expected += "Not to be imported: " + c.notToImport + " (the old machine's installed applications, to read)\r\n";
        EXPECT_EQ(SourceFileText(facts), expected);
    }
}

// The files written in Unicode, in one line that says why; only those the set holds.
TEST(SourceText, SaysWhichFilesAreUnicodeAndWhy)
{
    SourceFacts facts;
    facts.kind = SourceKind::RemoteUser;
    facts.files = {"DefaultPrinter.reg", "drives.txt", "drives.txt.reg", "printers.txt", "printers.txt.reg"};
    facts.unicodeFiles = {"printers.txt", "printers.txt.reg", "apps.txt", "DefaultPrinter.reg"};
    facts.codePage = 1252;
    const std::string text = SourceFileText(facts);
    EXPECT_NE(text.find("\r\nUnicode (UTF-16, as reg export writes): printers.txt, printers.txt.reg, DefaultPrinter.reg, "
                        "because code page 1252 cannot carry every name in them\r\n"),
              std::string::npos)
        << text;
    facts.unicodeFiles.clear();
    EXPECT_EQ(SourceFileText(facts).find("Unicode"), std::string::npos);
}

} // namespace
