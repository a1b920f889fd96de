#pragma once

#include <string>
#include <vector>

// Where a job's files came from, for the "Source.txt" written with them.
enum class SourceKind { StoredProfile, CurrentUser, RemoteUser };

struct SourceFacts {
    SourceKind kind = SourceKind::CurrentUser;
    std::string name;        // the profile's name, the running user's account, the remote user key
    std::string place;       // the profile's folder, or the remote machine; unused for the running user
    std::string homeFolder;  // the remote user's home folder name
    std::string when;        // TimeStampText
    std::string version;     // the tool's, "1.0.1.7"
    std::vector<std::string> files;  // the files of the set, "Source.txt" aside
    // For a profile of another disk: the software hive whose applications
    // the set lists, or why it lists none of the machine's. Both empty for
    // a profile of this machine, whose own applications are listed.
    std::string machineHive;
    std::string noMachineApps;
    // The user's default printer when it is one of the old machine itself,
    // which no file carries; empty otherwise.
    std::string localDefaultPrinter;
    // "\\OLD to \\NEW" for each server renamed in the files to import.
    std::vector<std::string> serverMap;
    // The files written in Unicode because some name in them has no form in
    // the ANSI code page codePage of the machine that wrote them.
    std::vector<std::string> unicodeFiles;
    unsigned codePage = 0;
};

// The labels of Source.txt's lines that /apply reads back.
extern const char kSourceLabel[];    // "Source: "
extern const char kExportedLabel[];  // "Exported: "
extern const char kImportLabel[];    // "Import on the new machine, as the user who moves: "
// What kImportLabel's line says of a set without drives or printers.
extern const char kNothingToImport[];

// "YYYY-MM-DD HH:MM:SS".
std::string TimeStampText(int year, int month, int day, int hour, int minute, int second);

// The text of "Source.txt": the source, the time, the tool's version, and
// which of the files to import on the new machine and which not. Lines end in
// CR LF.
std::string SourceFileText(const SourceFacts& facts);
