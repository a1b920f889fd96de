// Writes the summary of the fixture fleet (tests/summary/FleetFixture.h)
// into a folder, for the browser check and the guide's picture.
#include <cstdio>
#include <string>

#include "summary/SummaryFiles.h"
#include "tests/summary/FleetFixture.h"

namespace {

bool Write(const std::string& path, const std::string& bytes)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    MemoryFleet fleet = FixtureFleet();
    const SummaryTables tables = MakeSummaryTables(ReadFleet(fleet));
    const std::string folder = argv[1];
    const bool ok = Write(folder + "/Summary.html", SummaryPage(tables, {"D:\\Moves", "2007-05-15 08:00:00", ""})) &&
                    Write(folder + "/Servers.csv", ServersSheet(tables)) &&
                    Write(folder + "/Users.csv", UsersSheet(tables)) &&
                    Write(folder + "/Applications.csv", ApplicationsSheet(tables)) &&
                    Write(folder + "/Failures.csv", FailuresSheet(tables));
    if (!ok)
        std::fprintf(stderr, "cannot write the summary into %s\n", folder.c_str());
    return ok ? 0 : 1;
}
