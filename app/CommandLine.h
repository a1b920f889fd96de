#pragma once

#include <string>
#include <vector>

#include "local/AnsiNames.h"
#include "import/ServerMap.h"
#include "remote/RemoteUserLine.h"

// What the arguments of a run without a window ask for. Switches are not
// case-sensitive and may come in any order.
struct CommandLineOptions {
    std::vector<std::string> machines;  // /machine values, as given (dedupe happens in UniqueMachines)
    std::vector<std::string> machinesFiles;  // /machines values, each read in the order given
    std::vector<std::string> profiles;  // each once, exact name, in the order given
    std::string profilesDir;            // empty: the system's
    bool current = false;
    bool apps = false;
    std::string out;                    // empty: the current directory
    bool outGiven = false;              // /out was read (even if later parsing failed)
    int jobs = 8;
    bool jobsGiven = false;
    // /map OLD=NEW: servers renamed in the import files of every set, or in
    // what /apply imports.
    std::vector<ServerMapping> map;
    std::string apply;                  // /apply FOLDER: import that set as the running user; empty: none
    bool again = false;                 // /again: /apply imports a set that it applied before
    std::string summary;                // /summary FOLDER: the summary of the sets below it; empty: none
    bool help = false;
};

struct ParsedCommandLine {
    bool ok = false;            // false: a usage error, named in error; with help true, ok is true
    CommandLineOptions options; // as far as it was read, also on an error (the log needs out / outGiven)
    std::string error;
};

// args without the program name. "/?" anywhere wins over every error.
// isLead: the system's, for the server names of /map.
ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args, LeadByteTest isLead = nullptr);

// One name of a /machines file. A name that the system's ANSI code page
// cannot carry is not ok: name then holds it with '?' for each character
// that is not ASCII, for its failed line.
struct MachineListName {
    std::string name;
    bool ok = true;
};
// Converts UTF-16 text to the system's ANSI code page; false when some
// character has no exact form there.
using WideToAnsi = bool (*)(const std::u16string& text, std::string& ansi);
// A /machines file's bytes: one name a line (CR LF or LF), blanks around it
// trimmed, blank lines and lines that begin with ';' or '#' skipped. With a byte-order mark they are read as the mark
// says (UTF-16 LE, UTF-16 BE or UTF-8) and each name is converted with
// toAnsi; without one they are already ANSI text, as Notepad's "ANSI" saves
// it. A byte or sequence that is no character (an odd last byte of UTF-16,
// invalid UTF-8) becomes U+FFFD, which no ANSI code page carries.
std::vector<MachineListName> ReadMachineList(const std::string& bytes, WideToAnsi toAnsi);

// The names below are ANSI text; isLead tells the system's double-byte
// characters (see local/AnsiNames.h).

// The folder name of a machine: without leading backslashes, ASCII letters
// upper-cased ("\\pc7" -> "PC7"). Two names are the same machine when their
// MachineFolderName is equal.
std::string MachineFolderName(const std::string& name, LeadByteTest isLead = nullptr);
// The machines in first-seen order (each as first given), each once by
// MachineFolderName, names without a folder name (e.g. "\\") dropped.
std::vector<std::string> UniqueMachines(const std::vector<std::string>& names, LeadByteTest isLead = nullptr);
// The name handed to the registry connect call: "\\" + MachineFolderName(name).
std::string ConnectName(const std::string& name, LeadByteTest isLead = nullptr);

// The folder names of one machine's logged-on users, in order: each user's
// home folder name, except that where the home folder name is empty, or two
// users of the machine share it (ignoring ASCII case, as Windows folder names
// do), the folder is named after the user key instead.
// A home folder name or user key that is no plain folder name is never used;
// an unusable key gives "user N", N counting the users from 1.
std::vector<std::string> UserFolderNames(const std::vector<RemoteUser>& users, LeadByteTest isLead = nullptr);
// A single path component that stays inside its parent folder and names a
// folder of its own: not empty, no \ / : * ? " < > | or control character,
// not ending in a dot or a blank (Windows drops those, so "." and ".." and
// "a." are out), and no device name (IsReservedDeviceName: "con", "LPT1.txt").
bool IsPlainFolderName(const std::string& name, LeadByteTest isLead = nullptr);

// One log line: "YYYY-MM-DD HH:MM:SS", a tab, the source, a tab, then "ok"
// ("ok: " + message when there is one, a note of what the job repaired) or
// "failed: " + message, then CR LF. Each CR, LF and tab inside source or
// message becomes one space, so that a line stays one line.
struct LogTime {
    int year, month, day, hour, minute, second;
};
std::string LogLine(const LogTime& time, const std::string& source, bool ok, const std::string& message);
// The sources' names in the log: "MACHINE\home folder name (user key)", or
// "MACHINE" alone when both are empty; "profile NAME"; "current user".
std::string RemoteUserSource(const std::string& machineFolder, const std::string& homeFolder, const std::string& userKey);
std::string ProfileSource(const std::string& profile);
extern const char kCurrentUserSource[];  // "current user"
extern const char kCommandLineSource[];  // "command line", the source of a usage error's log line

// The usage text printed for /? (plain ASCII, lines ending in CR LF).
std::string UsageText();
