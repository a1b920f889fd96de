#pragma once

#include <windows.h>

#include <functional>
#include <string>

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

// The system calls that connect a set's drives and printers, each with the
// name as the set holds it (UTF-16: the wide calls carry a name in any
// script). Each returns NO_ERROR or the Win32 error.
//
// WNetGetConnectionW: the path that letter is connected to now, or, with
// ERROR_CONNECTION_UNAVAIL, the one it is remembered for but not connected.
DWORD DriveConnectionOf(char letter, std::wstring& path);
// WNetAddConnection2W, without a prompt and without writing the profile.
DWORD ConnectDriveNow(char letter, const std::wstring& path);
// AddPrinterConnectionW.
DWORD ConnectPrinterNow(const std::wstring& printer);
// SetDefaultPrinterW.
DWORD MakeDefaultPrinterNow(const std::wstring& printer);

using DriveConnectionCall = std::function<DWORD(char letter, std::wstring& path)>;
using DriveConnectCall = std::function<DWORD(char letter, const std::wstring& path)>;
using PrinterCall = std::function<DWORD(const std::wstring& printer)>;

// What /apply asks of the network, the spooler and the clock. Tests put their
// own in place; the tool always runs with these.
struct TApplySeams {
    MachineProbe probe = ProbeSharingPorts;  // the look at a server's ports before its drives and printers
    RetryWait wait = SleepFor;
    DriveConnectionCall connection = DriveConnectionOf;
    DriveConnectCall connectDrive = ConnectDriveNow;
    PrinterCall connectPrinter = ConnectPrinterNow;
    PrinterCall makeDefault = MakeDefaultPrinterNow;
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
