#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "import/RegFileText.h"
#include "import/ServerMap.h"

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
    // Reached through Windows file and printer sharing, so that a look at
    // its server's sharing ports tells whether it can be connected now.
    // false for a drive whose ProviderType names another network (NetWare,
    // WebDAV: anything but 0x20000) and for a printer whose Provider is
    // another than win32spl.dll.
    bool sharing = true;
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
// path (compared without regard to ASCII case). A path the profile
// remembers counts as path also once map renames its server: the old
// server's share is the one the set moves to the new server. Else the
// failed line's message, "Z: is in use for \\other\share" or "... for a
// local drive".
std::string DriveInUse(char letter, const std::string& path, const DriveState& state,
                       const std::vector<ServerMapping>& map = {}, LeadByteTest isLead = nullptr);

// The server of a path "\\server\..." or "\\server"; empty for any other
// path.
std::string ServerOfPath(const std::string& path, LeadByteTest isLead = nullptr);

// What became of a drive, printer or default printer after its lines were
// written: connected (or made the default) now, at the user's next logon, or
// not at all.
enum class ApplyOutcome { Ok, NextLogon, Failed };

struct ConnectFacts {
    ApplyKind kind = ApplyKind::Drive;
    // Why it was not tried now: its server did not answer the look at its
    // ports, or (the default printer) its printer was put off for that
    // reason. Empty: the call was made.
    std::string putOff;
    unsigned long error = 0;  // the call's result; 0: done
    std::string systemText;   // the system's text for error, possibly empty
    // A drive whose call found its letter taken (85, 1202) maps the set's
    // path now: another run, or the user, connected it meanwhile.
    bool targetThere = false;
};

struct ConnectVerdict {
    ApplyOutcome outcome = ApplyOutcome::Ok;
    std::string message;  // the log line's: empty for a plain ok
};

// The one place that tells a call's result apart. Only a server that cannot
// be reached now puts an item off to the next logon, when Windows connects
// what the profile holds; an item that is already there is ok; a share or
// printer that the server does not have, rights or credentials, a driver
// that only an administrator may install, a letter taken after the check,
// and every error not known to pass by itself are failures. The default
// printer follows its printer: put off with it, else any error of making it
// the default is a failure.
ConnectVerdict DecideConnect(const ConnectFacts& facts);

// The note of an item put off to the next logon, reason ending in
// "(error N)".
std::string NextLogonNote(ApplyKind kind, const std::string& reason);

// A Win32 error as log lines give it: the system's text, then "(error N)".
std::string ErrorReason(unsigned long error, const std::string& systemText);

// Reading a set's folder: an error that says the folder (or the path to it)
// is not there, or is no folder, so that waiting cannot help. Every other
// error may pass: the network not ready yet at logon, access denied, a file
// in use.
bool SetFolderAbsent(unsigned long error);

// The rest of Source.txt's first line that starts with label ("Source: ",
// "Exported: "); empty when it has none.
std::string SourceTextLine(const std::string& sourceText, const std::string& label);

// The files to import that Source.txt names, in its order: none when it
// names nothing, has no such line (a set of an older version) or names no
// file of kApplyFileNames.
std::vector<std::string> SourceImportNames(const std::string& sourceText);

// A file of a set as read: its name and bytes.
struct SetFileBytes {
    std::string name;
    std::string bytes;
};

// The identity of a set as applied, 16 hex digits: a 64-bit FNV-1a hash over
// the names and bytes of files (Source.txt, whose time differs in a set
// exported again, and the files to import, which tell apart sets without
// one), then the servers of map, ASCII upper-cased (the same set moved to
// other servers is applied again).
std::string SetIdentity(const std::vector<SetFileBytes>& files, const std::vector<ServerMapping>& map,
                        LeadByteTest isLead = nullptr);
