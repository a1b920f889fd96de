#pragma once

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "summary/FleetRead.h"

// A folder of sets held in memory: files by their path below the folder
// ("PC1\alice\Source.txt"); folders are those of the files' paths and any
// added alone (a work folder, an empty folder).
class MemoryFleet : public FleetFiles {
public:
    std::map<std::string, std::string> files;
    std::set<std::string> folders;
    std::map<std::string, std::string> unreadable;  // path -> the error Read or List gives
    std::vector<std::string> reads;                  // every path Read was asked for, in order
    // Called after each Read, with its path: a run that writes meanwhile.
    std::function<void(const std::string&)> afterRead;

    bool List(const std::string& path, std::vector<FolderEntry>& entries, std::string& error) override;
    ReadOutcome Read(const std::string& path, std::string& bytes, std::string& error) override;
    bool WorkFolderBeside(const std::string& path) override;
};

// The .reg files of sets, as the tool writes them.
std::string AnsiRegFile(const std::string& body);    // REGEDIT4
// With its byte-order mark and "Windows Registry Editor Version 5.00"; body in UTF-8.
std::string Utf16RegFile(const std::string& body);
std::string PrinterLines(const std::string& server, const std::string& name);  // one connection's key and Server value
std::string DriveLines(char letter, const std::string& path);
std::string DefaultPrinterFile(const std::string& device);
// Applications.txt: "name\tversion\tpublisher\tscope" lines.
std::string ApplicationsFile(const std::vector<std::string>& lines);
// Source.txt of a remote user, a running user and a stored profile.
std::string RemoteSourceFile(const std::string& key, const std::string& home, const std::string& machine,
                             const std::vector<std::string>& serverMap = {});
std::string CurrentSourceFile(const std::string& account);

// The parts with separator between them.
std::string Join(const std::vector<std::string>& parts, const char* separator = ",");

// A fleet with every kind of set and failure, hostile names among them:
//   PC1\alice, PC1\dave        remote, one machine, a /map of OLDSRV to NEWSRV
//   PC2\Jürgen                 remote, UTF-16 files to import, names of other scripts
//   CurrentUser                a running user's set
//   PC4\eve & #1%              remote, names made to break out of the page and the sheets
//   PC5\frank                  no Source.txt: damaged
//   PC6\gina                   a work folder beside it: being written
//   PC8\hal                    a line /apply refuses: damaged, its drive still read
//   logon\hank\CurrentUser     a logon script's set, with a log of its own
// and Movara.log with ok and failed lines of several reasons.
MemoryFleet FixtureFleet();
