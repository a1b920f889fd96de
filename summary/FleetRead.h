#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "local/AnsiNames.h"

// Reading every set below a folder into plain data, for the summary of a
// fleet ("/summary FOLDER"). The folder is reached through FleetFiles, so
// that the reading itself needs no Windows. Every text here is UTF-8.

struct FolderEntry {
    std::string name;
    bool folder = false;  // a folder to walk into; a link to another place is never one
};

enum class ReadOutcome { Read, Missing, Failed };

// The folder below which the sets lie. Paths are below that folder, their
// parts joined by '\', "" for the folder itself. Nothing here may take a
// lock or open a file in a way that a run writing a set would trip on.
class FleetFiles {
public:
    virtual ~FleetFiles() = default;
    // The entries of a folder, without "." and "..". False, with the reason
    // ("error 5"), when it cannot be listed.
    virtual bool List(const std::string& path, std::vector<FolderEntry>& entries, std::string& error) = 0;
    // A whole file. Missing when it is not there (any more); Failed, with the
    // reason, when it cannot be read.
    virtual ReadOutcome Read(const std::string& path, std::string& bytes, std::string& error) = 0;
    // Whether a run's work folder lies beside the folder at path now, as
    // local/WorkFolderName.h names them: a run is writing the set there, or
    // one that ended left it half written.
    virtual bool WorkFolderBeside(const std::string& path) = 0;
};

// ANSI text of the system's code page to UTF-8 (MultiByteToWideChar with
// CP_ACP, then to UTF-8, on Windows). Null reads each byte as the character
// of that number (ISO 8859-1).
using AnsiToUtf8 = std::string (*)(const std::string&);

struct FleetReadOptions {
    AnsiToUtf8 ansi = nullptr;
    LeadByteTest isLead = nullptr;  // the ANSI code page's, for the .reg files of that form
};

enum class SetState {
    Read,          // read whole
    BeingWritten,  // a work folder lies beside it: not read
    Damaged,       // something of it could not be read; problem says what
};

struct SetDrive {
    char letter = 0;   // upper case
    std::string path;  // its RemotePath, "\\srv\share"; empty when the set holds none
};

struct SetApp {
    std::string name, version, publisher, scope;
};

// One set, as /apply reads it: Source.txt, the files to import and
// Applications.txt.
struct FleetSet {
    std::vector<std::string> folder;  // its folder's path below the summary's folder, part by part
    SetState state = SetState::Read;
    // Damaged: why. Read: what /apply would refuse in it, when anything.
    std::string problem;

    // Who and where, as the log names sources: "PC7\alice (S-1-5-...)",
    // "current user DOM\bob", "profile carol"; the "Source:" line of
    // Source.txt as it is when it has none of the tool's forms.
    std::string source;
    std::string exported;  // the "Exported:" line's time
    // Remote sets: the machine, without backslashes; empty for a set of a
    // running user or a stored profile, whose machine Source.txt does not name.
    std::string machine;
    // Who it is, the same in every set of that user: the remote user key,
    // the running user's account, the stored profile's name, each with its kind.
    std::string user;
    std::vector<std::string> serverMap;  // "\\OLD to \\NEW", from Source.txt

    std::vector<SetDrive> drives;       // by letter
    std::vector<std::string> printers;  // "\\server\name", in the order of the files
    std::string defaultPrinter;         // "\\server\name"; empty: none carried
    bool hasApps = false;               // the set holds Applications.txt
    std::vector<SetApp> apps;
};

// A log's latest line of one source.
struct FleetLogLine {
    std::vector<std::string> log;  // the log's folder below the summary's folder
    std::size_t order = 0;         // the line's place among the log's lines, from 1
    std::string time;              // "YYYY-MM-DD HH:MM:SS"
    std::string source;
    bool ok = false;
    std::string message;  // after "ok: " or "failed: "
};

struct FleetData {
    std::vector<FleetSet> sets;  // in folder order
    // Per log and source, the latest line; a machine's own line (source
    // "PC7") is left out once one of its users has a later line ("PC7\...").
    std::vector<FleetLogLine> latest;
    // Logs and folders that could not be read, each "<path>: <reason>".
    std::vector<std::string> unreadable;
};

// Walks the folder: a folder holding any file a set has (Source.txt, the
// exports, the lists) is a set and is read; any other folder is walked
// into, down to a few levels; Movara.log of every folder that is no set is
// read. A set whose work folder is beside it, before or after it was read,
// or whose Source.txt changed while it was read, is BeingWritten.
FleetData ReadFleet(FleetFiles& files, const FleetReadOptions& options = FleetReadOptions());

// The pieces, for the tests.

// The facts of Source.txt's text (CR LF or LF). False when it holds no
// "Source: " line, so is no Source.txt the tool wrote.
bool ReadSourceText(const std::string& utf8, FleetSet& set);

// The entries of Applications.txt's bytes (UTF-8, with or without its
// byte-order mark). False, with the reason, when its first line is not the
// list's header or a line has not its four columns.
bool ReadApplicationsText(const std::string& bytes, std::vector<SetApp>& apps, std::string& problem);

// Adds the lines of one log's bytes (ANSI text) to latest: per source the
// last well-formed line, its texts converted with ansi. Lines that are not
// the log's form are skipped. A log of a fleet grows for months: only the
// lines kept are converted.
void ReadLogText(const std::string& bytes, const std::vector<std::string>& log, std::vector<FleetLogLine>& latest,
                 AnsiToUtf8 ansi = nullptr);

// Leaves out the machines' own lines that a later line of one of their users
// has made stale.
void DropStaleMachineLines(std::vector<FleetLogLine>& latest);

// The files a set may hold: a folder with any of them is a set.
bool IsSetFileName(const std::string& name);
