#include "summary/SummaryFiles.h"

#include <gtest/gtest.h>

#include "tests/summary/FleetFixture.h"

namespace {

// A sheet's text as its UTF-16LE bytes, without the byte-order mark.
std::string Sheet(const std::string& utf8)
{
    return Utf16LeFile(utf8).substr(2);
}

std::size_t Count(const std::string& text, const std::string& part)
{
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

} // namespace

TEST(SummaryFiles, HtmlText)
{
    const struct {
        std::string text, html;
    } cases[] = {
        {"a & b <c> \"d\" 'e'", "a &amp; b &lt;c&gt; &quot;d&quot; &#39;e&#39;"},
        {"J\xC3\xBCrgen \xE3\x83\x97 \xF0\x9F\x98\x80", "J\xC3\xBCrgen \xE3\x83\x97 \xF0\x9F\x98\x80"},
        // A broken sequence must not take the markup after it along.
        {"\xE3\x83<b>", "\xEF\xBF\xBD\xEF\xBF\xBD&lt;b&gt;"},
        {"\xC0\xBC" "x\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBDx\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
        {std::string("a\0b\x01\tc\r\n\x7F", 9) + "\xC2\x85", "a\xEF\xBF\xBD" "b\xEF\xBF\xBD\tc\r\n\xEF\xBF\xBD\xEF\xBF\xBD"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(HtmlText(c.text), c.html) << c.text;
}

TEST(SummaryFiles, Urls)
{
    EXPECT_EQ(FolderUrl({}), "./");
    EXPECT_EQ(FolderUrl({"PC1", "alice"}), "PC1/alice/");
    EXPECT_EQ(FolderUrl({"PC4", "eve & #1%"}), "PC4/eve%20%26%20%231%25/");
    EXPECT_EQ(FolderUrl({"javascript:alert(1)"}), "javascript%3Aalert%281%29/");
    EXPECT_EQ(FolderUrl({"J\xC3\xBCrgen", "a.b-c_d~e"}), "J%C3%BCrgen/a.b-c_d~e/");
    EXPECT_EQ(FileUrl("C:\\Moves\\day 1\\"), "file:///C:/Moves/day%201/");
    EXPECT_EQ(FileUrl("C:\\"), "file:///C:/");
    EXPECT_EQ(FileUrl("\\\\fs\\moves\\#1"), "file://fs/moves/%231/");
}

// Spreadsheet injection: no cell begins a formula; separators and quotes
// stay inside their cell.
TEST(SummaryFiles, SheetCells)
{
    const struct {
        std::string text, cell;
    } cases[] = {
        {"Office 2003", "Office 2003"},
        {"=HYPERLINK(\"http://x\",\"y\")", "\"'=HYPERLINK(\"\"http://x\"\",\"\"y\"\")\""},
        {"+1", "'+1"},
        {"-1+2", "'-1+2"},
        {"@SUM(1)", "'@SUM(1)"},
        {"\t=1", "' =1"},
        {"\r=1", "' =1"},
        {"  =1", "'  =1"},
        {"a=1", "a=1"},
        {"a\tb\r\nc", "a b  c"},
        {"x\xE3\x83", "x\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SheetCell(c.text), c.cell) << c.text;
    EXPECT_EQ(Utf16LeFile("a\xC3\xBC\xF0\x9F\x98\x80\xFF"),
              std::string("\xFF\xFE" "a\0\xFC\0\x3D\xD8\x00\xDE\xFD\xFF", 12));
}

// The fixture fleet's page and sheets. What the browser makes of the page's
// hostile names, links, counts and rows is checked in tests/browser.
TEST(SummaryFiles, FilesOfAFleet)
{
    MemoryFleet fleet = FixtureFleet();
    const SummaryTables tables = MakeSummaryTables(ReadFleet(fleet));
    const std::string page = SummaryPage(tables, {"D:\\Moves", "2007-05-15 08:00:00", ""});
    EXPECT_EQ(page.compare(0, 62, "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01//EN\" \"http://www."), 0);
    EXPECT_NE(page.find("<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">"), std::string::npos);
    EXPECT_EQ(page.find("<base"), std::string::npos);
    EXPECT_EQ(page.substr(page.size() - 18), "</body>\r\n</html>\r\n");
    EXPECT_NE(SummaryPage(tables, {"D:\\x", "t", "file:///D:/x/"}).find("<base href=\"file:///D:/x/\">"),
              std::string::npos);

    EXPECT_EQ(ApplicationsSheet(tables), Utf16LeFile("Name\tVersions\tPublisher\tMachines\tScope\r\n"
                    "Office 2003\t11.0; 11.0.8173\tMicrosoft\t3\tmachine\r\n"
                    "<script>document.title='owned'</script>\t'-1+2\t'@SUM(1+1)\t1\tmachine\r\n"
                    "\"'=HYPERLINK(\"\"http://x\"\",\"\"y\"\")\"\t1\t\t1\tmachine 32-bit\r\n"
                    "Tool\t2\t\t1\tuser\r\n"
                    "Viewer\t1.0; 2.0\tViewers Inc\t1\tmachine\r\n"));
    const std::string servers = Utf16LeFile("Server\tUsers\tDrives\tPrinters\tDefault printer of\tRenamed by /map from\r\n"
                                            "\\\\files\t5\t5\t0\t0\t\r\n\\\\NEWSRV\t2\t2\t4\t1\t\\\\OLDSRV\r\n");
    EXPECT_EQ(ServersSheet(tables).substr(0, servers.size()), servers);
    EXPECT_EQ(Count(UsersSheet(tables), Sheet("\r\n")), 1 + tables.users.size());
    const std::string failures = FailuresSheet(tables);
    EXPECT_EQ(Count(failures, Sheet("\r\n")), 1u + 8u);
    EXPECT_NE(failures.find(Sheet("\r\nerror 5\tlogon\\hank: current user\t2007-05-14 07:00:00\tThe registry key ")),
              std::string::npos);
}
