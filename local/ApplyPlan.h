#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "local/RegFileText.h"

// Importing a set on the new machine ("/apply FOLDER"): what each line of its
// import files becomes, and the texts of the run's log lines. The Win32 side
// (app/ApplyRun.cpp) reads the files, writes the registry and connects.

// The files of a set that are imported, in the order they are read.
extern const char* const kApplyFileNames[5];

// A Utf16 file's text in the ANSI code page, for log lines and for the
// narrow network and printer calls: WideCharToMultiByte with CP_ACP on
// Windows. Null keeps ASCII and gives '?' for every other unit.
using Utf16ToAnsi = std::string (*)(const std::u16string&);

struct ApplyFile {
    std::string name;  // its name in the set, e.g. "printers.reg"
    RegFile file;      // as read, servers already renamed
};

// One line to write: a key line (key == item) or a value and its key line.
struct ApplyWrite {
    std::size_t file = 0;  // index of the file
    std::size_t item = 0;  // index of the item in it
    std::size_t key = 0;   // index of the key line the item belongs to
};

enum class ApplyKind {
    Drive,           // HKEY_CURRENT_USER\Network\<letter> and below
    Printer,         // HKEY_CURRENT_USER\Printers\Connections\,,server,name and below
    DefaultPrinter,  // the Device value
    Settings,        // every other allowed line: no log line unless it fails
};

// What the log tells as one source, with the lines that belong to it.
struct ApplyGroup {
    ApplyKind kind = ApplyKind::Settings;
    // The log's source: "drive Z: \\srv\share" ("drive Z:" without a
    // RemotePath), "printer \\srv\HP 4", "default printer \\srv\HP 4";
    // empty for Settings.
    std::string source;
    char letter = 0;     // Drive: the letter, upper case
    // Drive: the RemotePath value of its key; Printer: "\\server\name";
    // DefaultPrinter: the Device value's part before its first comma. Both
    // values are quoted strings in the exports; another form gives "".
    std::string target;
    std::vector<ApplyWrite> writes;  // in the order of the files and their lines
};

// A line of the log: its source and its message.
struct ApplyLine {
    std::string source;
    std::string message;
};

struct ApplyPlan {
    // The drives by letter, the printers, the default printer, then the
    // settings; each source once, however many files name it.
    std::vector<ApplyGroup> groups;
    // One failed line per line of the files that is not imported (CheckImport
    // refuses it), in file order; a file without its header gets one line.
    std::vector<ApplyLine> refused;
};

// isLead: the system's, for telling printers apart in ANSI text.
ApplyPlan PlanApply(const std::vector<ApplyFile>& files, Utf16ToAnsi narrow = nullptr, LeadByteTest isLead = nullptr);

// The ANSI text of units of file: one byte per unit for an Ansi file.
std::string AnsiText(const RegFile& file, const RegUnits& units, Utf16ToAnsi narrow = nullptr);

// A key line's path below its root, "Network\Z" for
// "HKEY_CURRENT_USER\Network\Z", as the registry calls under
// HKEY_CURRENT_USER take it.
RegUnits KeyBelowRoot(const RegUnits& key);

// How a write names its line in a log message: "the key K" or
// "the value "N" of K" ("the default value of K").
std::string WriteText(const std::vector<ApplyFile>& files, const ApplyWrite& write, Utf16ToAnsi narrow = nullptr);

// What the system says of a drive letter on the new machine.
struct DriveState {
    std::string remembered;  // the path the user's profile maps it to (HKCU\Network\X\RemotePath); empty: none
    std::string connected;   // the path it is connected to now; empty: none
    bool local = false;      // a drive of this machine: a disk, a CD, a substituted folder
};

// Empty when the drive letter may take path: it is free or already maps
// path (compared without regard to ASCII case). Else the failed line's
// message, "Z: is in use for \\other\share" or "... for a local drive".
std::string DriveInUse(char letter, const std::string& path, const DriveState& state, LeadByteTest isLead = nullptr);

// The note of an item whose registry lines are written but which could not
// be connected (or made the default) now: it will be at the next logon.
// systemText: the system's text for error, possibly empty.
std::string NextLogonNote(ApplyKind kind, unsigned long error, const std::string& systemText);
