// The summary of 1,000 sets, each with 5 drives, 5 printers, a default
// printer and 150 applications, against reading the same files whole with
// no parsing at all; and the size of the page. Run under Wine by
// scripts/bench-summary.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "summary/SummaryFolder.h"
#include "tests/summary/FleetFixture.h"

namespace {

const int kSets = 1000, kDrives = 5, kPrinters = 5, kApps = 150, kRounds = 3;

bool Write(const std::string& path, const std::string& bytes)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    const bool ok = file != INVALID_HANDLE_VALUE &&
                    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                    written == bytes.size();
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    return ok;
}

// One machine's folder per set, as a fleet export lays them out; the files
// of each set in files.
bool MakeFleet(const std::string& out, std::vector<std::string>& files)
{
    CreateDirectoryA(out.c_str(), nullptr);
    std::string log;
    for (int s = 0; s < kSets; ++s) {
        const std::string machine = "PC" + std::to_string(10000 + s), user = "user" + std::to_string(s);
        const std::string key = "S-1-5-21-1-2-3-" + std::to_string(1000 + s);
        const std::string folder = out + "\\" + machine + "\\" + user;
        CreateDirectoryA((out + "\\" + machine).c_str(), nullptr);
        CreateDirectoryA(folder.c_str(), nullptr);
        std::string printers, drives;
        for (int i = 0; i < kPrinters; ++i)
            printers += PrinterLines("PRN" + std::to_string((s + i) % 7), "Printer " + std::to_string(i));
        for (int i = 0; i < kDrives; ++i)
            drives += DriveLines(static_cast<char>('P' + i), "\\\\FILES" + std::to_string((s + i) % 5) + "\\share" +
                                                                 std::to_string(i) + "\\" + user);
        std::vector<std::string> apps;
        for (int i = 0; i < kApps; ++i)
            apps.push_back("Application " + std::to_string((s * 7 + i) % 400) + "\t" + std::to_string(i % 9) +
                           ".0\tPublisher " + std::to_string(i % 30) + "\tmachine");
        const std::pair<const char*, std::string> set[] = {
            {"Source.txt", RemoteSourceFile(key, user, machine)},
            {"printers.txt.reg", AnsiRegFile(printers)},
            {"drives.txt.reg", AnsiRegFile(drives)},
            {"DefaultPrinter.reg", DefaultPrinterFile("\\\\PRN" + std::to_string(s % 7) + "\\Printer 0,winspool,Ne01:")},
            {"Applications.txt", ApplicationsFile(apps)},
        };
        for (const auto& file : set) {
            files.push_back(folder + "\\" + file.first);
            if (!Write(files.back(), file.second))
                return false;
        }
        log += "2007-05-14 09:00:00\t" + machine + "\\" + user + " (" + key + ")\tok\r\n";
    }
    files.push_back(out + "\\Movara.log");
    return Write(files.back(), log);
}

double PlainRead(const std::vector<std::string>& files, unsigned long long& bytes)
{
    const DWORD start = GetTickCount();
    bytes = 0;
    std::string buffer(1 << 20, '\0');
    for (const std::string& path : files) {
        HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        DWORD read = 0;
        while (file != INVALID_HANDLE_VALUE && ReadFile(file, &buffer[0], static_cast<DWORD>(buffer.size()), &read,
                                                         nullptr) && read)
            bytes += read;
        if (file != INVALID_HANDLE_VALUE)
            CloseHandle(file);
    }
    return (GetTickCount() - start) / 1000.0;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string out = argc > 1 ? argv[1] : "summary-bench";
    std::vector<std::string> files;
    if (!MakeFleet(out, files)) {
        std::printf("the fleet could not be written in %s\n", out.c_str());
        return 1;
    }
    std::vector<double> summaries, reads;
    unsigned long long bytes = 0;
    TSummaryResult result;
    for (int round = 0; round < kRounds; ++round) {
        reads.push_back(PlainRead(files, bytes));
        const DWORD start = GetTickCount();
        result = WriteFleetSummary(out, "");
        summaries.push_back((GetTickCount() - start) / 1000.0);
        if (!result.written || result.counts.sets != static_cast<std::size_t>(kSets)) {
            std::printf("the summary failed: %s (%u sets)\n", result.problem.c_str(),
                        static_cast<unsigned>(result.counts.sets));
            return 1;
        }
    }
    std::sort(summaries.begin(), summaries.end());
    std::sort(reads.begin(), reads.end());
    WIN32_FILE_ATTRIBUTE_DATA page = {};
    GetFileAttributesExA(result.page.c_str(), GetFileExInfoStandard, &page);
    std::printf("%d sets (%d drives, %d printers, %d applications each), %u files, %.1f MB: /summary %.2f s, "
                "reading the same files plainly %.2f s (best of %d); Summary.html %.0f KB\n",
                kSets, kDrives, kPrinters, kApps, static_cast<unsigned>(files.size()), bytes / 1e6, summaries[0],
                reads[0], kRounds, page.nFileSizeLow / 1024.0);
    return 0;
}
