#pragma once

#include <windows.h>

#include <functional>

#include "app/CommandLine.h"
#include "remote/MachineProbe.h"

// How long a set folder that cannot be read is looked at again, and the
// pause between two looks: at an XP fast logon the network comes up after
// the logon script has started.
const DWORD kSetRetryMs = 30000;
const DWORD kSetRetryPauseMs = 2000;

// The pause between two looks at a set folder.
using RetryWait = std::function<void(DWORD ms)>;
inline void SleepFor(DWORD ms)
{
    Sleep(ms);
}

// What /apply asks of the network and of the clock. Tests put their own in
// place; the tool always runs with these.
struct TApplySeams {
    MachineProbe probe = ProbeSharingPorts;  // the look at a server's ports before its drives and printers
    RetryWait wait = SleepFor;
};

// Where the mark of each set applied is kept, below HKEY_CURRENT_USER: a
// subkey named after the set's identity (SetIdentity) with the values
// "Applied" (the time), "Set" (what Source.txt says of it) and "Folder".
extern const char kAppliedSetsKey[];  // "Software\Movara\Applied sets"

// "/apply FOLDER": imports the set in FOLDER into the running user's
// HKEY_CURRENT_USER, its servers renamed by /map, then connects its drives
// and printers and sets the default printer where that works now. A set
// applied before (the mark of its identity is there) is left alone unless
// /again is given. Writes one log line per drive, printer, default printer
// and refused line to standard output and to Movara.log in /out, or in the
// user's temporary folder without /out. Returns the exit code: 0 when
// everything was imported and nothing failed for good, 1 when anything was
// refused, could not be written or connected, or the folder could not be
// read for kSetRetryMs, 2 when the folder holds no set at all.
int RunApply(const CommandLineOptions& options, const TApplySeams& seams = TApplySeams());
