#pragma once

#include "app/CommandLine.h"

// "/apply FOLDER": imports the set in FOLDER into the running user's
// HKEY_CURRENT_USER, its servers renamed by /map, then connects its drives
// and printers and sets the default printer where that works now. Writes
// one log line per drive, printer, default printer and refused line to
// standard output and to Movara.log in /out, or in the user's temporary
// folder without /out. Returns the exit code: 0 when everything readable was
// imported, 1 when anything was refused or could not be written, 2 when the
// folder holds none of the set's import files.
int RunApply(const CommandLineOptions& options);
