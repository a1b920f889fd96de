#include "summary/FleetRead.h"

#include <gtest/gtest.h>

#include "local/SourceText.h"
#include "summary/SummaryTables.h"
#include "tests/summary/FleetFixture.h"

namespace {

const FleetSet* Find(const FleetData& data, const std::string& folder)
{
    for (const FleetSet& set : data.sets)
        if (Join(set.folder, "\\") == folder)
            return &set;
    return nullptr;
}

// A fleet of one good set ("good") and one set ("PC9\\x") to spoil.
MemoryFleet TwoSets()
{
    MemoryFleet fleet;
    fleet.files["good\\Source.txt"] = CurrentSourceFile("DOM\\good");
    fleet.files["good\\mappedDrv.reg"] = Utf16RegFile(DriveLines('G', "\\\\files\\good"));
    fleet.files["PC9\\x\\Source.txt"] = RemoteSourceFile("S-1-5-21-9", "x", "PC9");
    fleet.files["PC9\\x\\drives.txt.reg"] = AnsiRegFile(DriveLines('X', "\\\\files\\x"));
    fleet.files["PC9\\x\\printers.txt.reg"] = AnsiRegFile(PrinterLines("prn", "P1"));
    fleet.files["PC9\\x\\Applications.txt"] = ApplicationsFile({"App\t1\tPub\tmachine"});
    return fleet;
}

} // namespace

// Source.txt of each kind, and one the tool did not write.
TEST(FleetRead, SourceFacts)
{
    SourceFacts profile;
    profile.kind = SourceKind::StoredProfile;
    profile.name = "carol in x";
    profile.place = "D:\\Documents and Settings\\";
    const struct {
        std::string text;
        bool ok;
        std::string source, user, machine;
    } cases[] = {
        {RemoteSourceFile("S-1-5-21-7", "bo (home folder x)", "PC7"), true, "PC7\\bo (home folder x) (S-1-5-21-7)",
         "key S-1-5-21-7", "PC7"},
        {CurrentSourceFile("DOM\\kim"), true, "current user DOM\\kim", "account DOM\\kim", ""},
        {SourceFileText(profile), true, "profile carol in x", "profile carol in x", ""},
        {"Source: a set made by hand\nExported: now\n", true, "a set made by hand", "source a set made by hand", ""},
        {"Exported: 2007-05-14 09:00:00\r\n", false, "", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        FleetSet set;
        EXPECT_EQ(ReadSourceText(c.text, set), c.ok);
        EXPECT_EQ(set.source, c.source);
        EXPECT_EQ(set.user, c.user);
        EXPECT_EQ(set.machine, c.machine);
    }
}

// A set whose work folder lies beside it is never opened; nor is one whose
// folder a run has only begun to write.
TEST(FleetRead, ASetBeingWrittenIsNotRead)
{
    MemoryFleet fleet = FixtureFleet();
    fleet.folders.insert("PC9\\new.~new-77-3");  // no PC9\new yet: a first export
    fleet.folders.insert("PC9\\old.~new-x");     // not a work folder's name: a folder like any other
    const FleetData data = ReadFleet(fleet);
    for (const std::string& read : fleet.reads)
        EXPECT_NE(read.compare(0, 9, "PC6\\gina\\"), 0) << read;
    ASSERT_NE(Find(data, "PC6\\gina"), nullptr);
    EXPECT_EQ(Find(data, "PC6\\gina")->state, SetState::BeingWritten);
    ASSERT_NE(Find(data, "PC9\\new"), nullptr);
    EXPECT_EQ(Find(data, "PC9\\new")->state, SetState::BeingWritten);
    EXPECT_EQ(Find(data, "PC9\\old.~new-x"), nullptr);
}

// A run that commits while the set is read: its work folder appears, or it
// has already gone and Source.txt is another, or a file is moved away. The
// set counts as being written and none of its half-read files count; the
// other set is read.
TEST(FleetRead, ACommitWhileASetIsReadLeavesItUncounted)
{
    const struct {
        const char* what;
        std::function<void(MemoryFleet&, const std::string&)> run;
    } cases[] = {
        {"work folder", [](MemoryFleet& f, const std::string& path) {
             if (path == "PC9\\x\\drives.txt.reg")
                 f.folders.insert("PC9\\x.~new-5-1");
         }},
        {"Source.txt replaced", [](MemoryFleet& f, const std::string& path) {
             if (path == "PC9\\x\\Applications.txt")
                 f.files["PC9\\x\\Source.txt"] = RemoteSourceFile("S-1-5-21-9", "x", "PC9", {"\\\\A to \\\\B"});
         }},
        {"Source.txt moved aside", [](MemoryFleet& f, const std::string& path) {
             if (path == "PC9\\x\\printers.txt.reg")
                 f.files.erase("PC9\\x\\Source.txt");
         }},
        {"file moved aside", [](MemoryFleet& f, const std::string& path) {
             if (path == "PC9\\x\\Source.txt")
                 f.files.erase("PC9\\x\\printers.txt.reg");
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        MemoryFleet fleet = TwoSets();
        fleet.afterRead = [&](const std::string& path) { c.run(fleet, path); };
        const SummaryTables tables = MakeSummaryTables(ReadFleet(fleet));
        ASSERT_EQ(tables.users.size(), 2u);
        EXPECT_EQ(Join(tables.users[1].folder, "\\"), "PC9\\x");
        EXPECT_EQ(tables.users[1].state, SetState::BeingWritten);
        EXPECT_EQ(tables.counts.drives, 1u);
        EXPECT_EQ(tables.counts.printers, 0u);
        EXPECT_TRUE(tables.apps.empty());
        EXPECT_EQ(tables.counts.beingWritten, 1u);
    }
}

// One damaged set gets its row and reason; the summary covers the rest.
TEST(FleetRead, ADamagedSetGetsItsOwnRow)
{
    const struct {
        const char* what;
        std::function<void(MemoryFleet&)> spoil;
        std::string problem;
        std::size_t drives;  // of both sets, as counted
    } cases[] = {
        {"no Source.txt", [](MemoryFleet& f) { f.files.erase("PC9\\x\\Source.txt"); },
         "Source.txt is missing: the set is not whole", 1},
        {"unreadable file", [](MemoryFleet& f) { f.unreadable["PC9\\x\\drives.txt.reg"] = "error 5"; },
         "drives.txt.reg cannot be read (error 5)", 1},
        {"unreadable Source.txt", [](MemoryFleet& f) { f.unreadable["PC9\\x\\Source.txt"] = "error 32"; },
         "Source.txt cannot be read (error 32)", 1},
        {"foreign Source.txt", [](MemoryFleet& f) { f.files["PC9\\x\\Source.txt"] = "hello\r\n"; },
         "Source.txt is not one the tool wrote", 1},
        {"list header", [](MemoryFleet& f) { f.files["PC9\\x\\Applications.txt"] = "App\t1\r\n"; },
         "Applications.txt: its first line is not the list's header", 2},
        {"list columns", [](MemoryFleet& f) { f.files["PC9\\x\\Applications.txt"] = ApplicationsFile({"A\t1"}); },
         "Applications.txt: line 2 has 2 columns, not 4", 2},
        // /apply imports the rest of such a set: its drive still counts.
        {"refused line", [](MemoryFleet& f) {
             f.files["PC9\\x\\drives.txt.reg"] += "[HKEY_LOCAL_MACHINE\\Software\\X]\r\n";
         },
         "1 line of its files to import would be refused by /apply; the first: drives.txt.reg line 7: the key "
         "HKEY_LOCAL_MACHINE\\Software\\X is not imported: a key outside HKEY_CURRENT_USER",
         2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        MemoryFleet fleet = TwoSets();
        c.spoil(fleet);
        const SummaryTables tables = MakeSummaryTables(ReadFleet(fleet));
        ASSERT_EQ(tables.users.size(), 2u);
        EXPECT_EQ(tables.users[0].state, SetState::Read);
        EXPECT_EQ(tables.users[1].state, SetState::Damaged);
        EXPECT_EQ(tables.users[1].problem, c.problem);
        EXPECT_EQ(tables.counts.damaged, 1u);
        EXPECT_EQ(tables.counts.drives, c.drives);
    }

    MemoryFleet fleet = TwoSets();
    fleet.unreadable["PC9"] = "error 5";
    const FleetData data = ReadFleet(fleet);
    EXPECT_EQ(Join(data.unreadable, "|"), "PC9: error 5");
    EXPECT_EQ(data.sets.size(), 1u);
}

// The summary of a set's own folder; and a depth beyond any layout's.
TEST(FleetRead, TheFolderItselfMayBeASet)
{
    MemoryFleet fleet;
    fleet.files["Source.txt"] = CurrentSourceFile("DOM\\kim");
    fleet.files["Movara.log"] = "2007-05-14 09:00:00\tx\tfailed: never read\r\n";  // a set's folder holds no log
    FleetData data = ReadFleet(fleet);
    ASSERT_EQ(data.sets.size(), 1u);
    EXPECT_TRUE(data.sets[0].folder.empty());
    EXPECT_EQ(data.sets[0].source, "current user DOM\\kim");
    EXPECT_TRUE(data.latest.empty());

    fleet.files.clear();
    fleet.files["a\\b\\c\\d\\e\\f\\Source.txt"] = CurrentSourceFile("DOM\\six");
    fleet.files["a\\b\\c\\d\\e\\g\\h\\Source.txt"] = CurrentSourceFile("DOM\\seven");
    data = ReadFleet(fleet);
    ASSERT_EQ(data.sets.size(), 1u);
    EXPECT_EQ(data.sets[0].source, "current user DOM\\six");
}

// Per log and source the latest line; a machine's own line goes once one of
// its users has a later one; a last line without its end is not read yet.
TEST(FleetRead, TheLatestLineOfEachSource)
{
    std::vector<FleetLogLine> latest;
    ReadLogText("2007-05-14 09:00:00\tPC1\tfailed: no user is logged on\r\n"
                "2007-05-14 09:00:01\tPC2\\bo (S-2)\tok\r\n"
                "2007-05-14 09:00:02\tPC2\tfailed: x (error 53)\r\n"
                "2007-05-14 09:00:03\tPC1\\al (S-1)\tfailed: gone\r\n"
                "2007-05-14 09:00:04\tPC3\tfailed: first\r\n"
                "garbage\r\n"
                "2007-05-14 9:00:05\tPC3\tok\r\n"
                "2007-05-14 09:00:06\tPC3\tmaybe\r\n"
                "2007-05-14 09:00:07\tPC3\tok: repaired\n"
                "2007-05-14 09:00:08\tPC4\tok",
                {}, latest);
    ReadLogText("2007-05-14 10:00:00\tPC1\\al (S-1)\tok\r\n", {"day2"}, latest);
    DropStaleMachineLines(latest);
    std::string text;
    for (const FleetLogLine& line : latest)
        text += Join(line.log, "\\") + "|" + line.time + "|" + line.source + "|" + (line.ok ? "ok" : "failed") + "|" +
                line.message + "\n";
    EXPECT_EQ(text, "|2007-05-14 09:00:03|PC1\\al (S-1)|failed|gone\n"
                    "|2007-05-14 09:00:02|PC2|failed|x (error 53)\n"
                    "|2007-05-14 09:00:01|PC2\\bo (S-2)|ok|\n"
                    "|2007-05-14 09:00:07|PC3|ok|repaired\n"
                    "day2|2007-05-14 10:00:00|PC1\\al (S-1)|ok|\n");
}
