#include "summary/SummaryTables.h"

#include <gtest/gtest.h>

#include "tests/summary/FleetFixture.h"

namespace {

std::string N(std::size_t n)
{
    return std::to_string(n);
}

} // namespace

// The fixture fleet's tables, whole: what each count and row must be.
TEST(SummaryTables, TablesOfAFleet)
{
    MemoryFleet fleet = FixtureFleet();
    const SummaryTables t = MakeSummaryTables(ReadFleet(fleet));
    const SummaryCounts& c = t.counts;
    EXPECT_EQ(N(c.sets) + " sets, " + N(c.beingWritten) + " written, " + N(c.damaged) + " damaged, " + N(c.machines) +
                  " machines, " + N(c.users) + " users, " + N(c.failures) + " failures, " + N(c.servers) +
                  " servers, " + N(c.drives) + " drives, " + N(c.printers) + " printers",
              "9 sets, 1 written, 2 damaged, 6 machines, 7 users, 8 failures, 4 servers, 7 drives, 7 printers");

    std::string servers;
    for (const ServerRow& row : t.servers)
        servers += row.name + " " + N(row.users) + " " + N(row.drives) + " " + N(row.printers) + " " +
                   N(row.defaults) + " " + Join(row.renamedFrom) + "\n";
    EXPECT_EQ(servers, "files 5 5 0 0 \n"
                       "NEWSRV 2 2 4 1 \\\\OLDSRV\n"
                       "printsrv 2 0 2 1 \n"
                       "srv 1 0 1 0 \n");

    std::string users;
    for (const UserRow& row : t.users)
        users += Join(row.folder, "\\") + " | " + row.source + " | " + Join(row.drives) + " | " +
                 Join(row.printers) + " | " + row.defaultPrinter + " | " + (row.hasApps ? N(row.apps) : "-") + "\n";
    EXPECT_EQ(users,
              "CurrentUser | current user DOM\\kim | P: \\\\files\\projects | \\\\printsrv\\Laser | \\\\printsrv\\Laser | 1\n"
              "logon\\hank\\CurrentUser | current user DOM\\hank | S: \\\\files\\scans |  |  | -\n"
              "PC1\\alice | PC1\\alice (S-1-5-21-1-1-1-1001) | Y: \\\\files\\share,Z: \\\\NEWSRV\\home\\alice | "
              "\\\\NEWSRV\\HP 4,\\\\NEWSRV\\Color | \\\\NEWSRV\\HP 4 | 3\n"
              "PC1\\dave | PC1\\dave (S-1-5-21-1-1-1-1004) | H: \\\\newsrv\\home\\dave | "
              "\\\\NEWSRV\\HP 4,\\\\NEWSRV\\B\xC3\xBCro |  | 2\n"
              "PC2\\J\xC3\xBCrgen | PC2\\J\xC3\xBCrgen (S-1-5-21-1-1-1-1002) | Z: \\\\files\\j\xC3\xBCrgen | "
              "\\\\printsrv\\\xE3\x83\x97\xE3\x83\xAA\xE3\x83\xB3\xE3\x82\xBF |  | 2\n"
              "PC4\\eve & #1% | PC4\\\"><a href=x><script>document.title='owned'</script> (S-1-5-21-1-1-1-1003) |  | "
              "\\\\srv\\<img src=x onerror=\"document.title='owned'\"> |  | 1\n"
              "PC5\\frank |  |  |  |  | -\n"
              "PC6\\gina |  |  |  |  | -\n"
              "PC8\\hal | PC8\\hal (S-1-5-21-1-1-1-1005) | Q: \\\\files\\q |  |  | -\n");

    EXPECT_EQ(t.users[2].exported, "2007-05-14 09:00:00");

    std::string apps;
    for (const AppRow& row : t.apps)
        apps += row.name + " | " + Join(row.versions) + " | " + Join(row.publishers) + " | " + N(row.machines) +
                " | " + Join(row.scopes) + "\n";
    EXPECT_EQ(apps, "Office 2003 | 11.0,11.0.8173 | Microsoft | 3 | machine\n"
                    "<script>document.title='owned'</script> | -1+2 | @SUM(1+1) | 1 | machine\n"
                    "=HYPERLINK(\"http://x\",\"y\") | 1 |  | 1 | machine 32-bit\n"
                    "Tool | 2 |  | 1 | user\n"
                    "Viewer | 1.0,2.0 | Viewers Inc | 1 | machine\n");

    std::string failures;
    for (const FailureGroup& group : t.failures) {
        failures += group.reason + " (" + N(group.rows.size()) + "): " + group.text.substr(0, 30) + "\n";
        EXPECT_EQ(group.rows.front().message.find("Problem connecting"), std::string::npos);
        for (const FailureRow& row : group.rows)
            failures += "  " + row.time + " " + row.source + "\n";
    }
    EXPECT_EQ(failures, "error 5 (3): \n"
                        "  2007-05-14 07:00:00 logon\\hank: current user\n"
                        "  2007-05-14 09:30:02 PC4\\<script>document.title='owned'</script> (S-1-5-21-1-1-1-1003)\n"
                        "  2007-05-14 09:00:04 PCDENIED\n"
                        "error 53 (2): The machine is not found on th\n"
                        "  2007-05-14 09:00:03 PCOFF1\n"
                        "  2007-05-14 09:00:03 PCOFF2\n"
                        "error 11001 (1): The name is not known on the n\n"
                        "  2007-05-14 09:00:06 NOSUCH\n"
                        "error 1722 (1): The Remote Registry service is\n"
                        "  2007-05-14 09:30:00 PC7\n"
                        "no user is logged on (1): no user is logged on\n"
                        "  2007-05-14 09:00:05 PC3\n");
}

// A user counts once for a server, whatever of theirs names it, in
// whatever letter case; paths that name no server count for none.
TEST(SummaryTables, EachUserCountsOnceForAServer)
{
    MemoryFleet fleet;
    fleet.files["u1\\Source.txt"] = CurrentSourceFile("DOM\\u1");
    fleet.files["u1\\mappedDrv.reg"] =
        Utf16RegFile(DriveLines('H', "\\\\SRV\\home") + DriveLines('I', "\\\\srv") + DriveLines('J', "C:\\local") +
                     DriveLines('K', "\\\\\\x"));
    fleet.files["u1\\printers.reg"] = Utf16RegFile(PrinterLines("Srv", "A") + PrinterLines("srv", "B"));
    fleet.files["u1\\DefaultPrinter.reg"] = DefaultPrinterFile("\\\\srv\\A,winspool,Ne01:");
    fleet.files["u2\\Source.txt"] = CurrentSourceFile("DOM\\u2");
    fleet.files["u2\\DefaultPrinter.reg"] = DefaultPrinterFile("\\\\SRV\\A,winspool,Ne01:");
    const SummaryTables t = MakeSummaryTables(ReadFleet(fleet));
    ASSERT_EQ(t.servers.size(), 1u);
    const ServerRow& row = t.servers[0];
    EXPECT_EQ(row.name + " " + N(row.users) + " " + N(row.drives) + " " + N(row.printers) + " " + N(row.defaults),
              "SRV 2 2 2 2");
    EXPECT_EQ(t.counts.drives, 4u);
}

// Failures group under the last "(error N)" of their message; a message
// without one is its own reason. The connect failure's opening, the same
// for every machine, is left out of what the table shows.
TEST(SummaryTables, FailureReasons)
{
    const std::string opening =
        "Problem connecting to remote machine. Please check to make sure the pc name does exist on the network.";
    const struct {
        std::string message, reason, text;
    } cases[] = {
        {opening + "  Access is denied. (error 5)", "error 5", "Access is denied. (error 5)"},
        {"The registry key HKU\\(error 2)\\x could not be read (error 1722).", "error 1722",
         "The registry key HKU\\(error 2)\\x could not be read (error 1722)."},
        {"A name (error 53) and then (error ) and (error 5x)", "error 53", "A name (error 53) and then (error ) and (error 5x)"},
        {"no user is logged on", "no user is logged on", "no user is logged on"},
        {"(error 0)", "error 0", "(error 0)"},
        {"(error 12", "(error 12", "(error 12"},
        {opening, opening, opening},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FailureReason(c.message), c.reason) << c.message;
        EXPECT_EQ(FailureText(c.message), c.text) << c.message;
    }
}
