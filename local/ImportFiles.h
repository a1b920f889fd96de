#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "local/JobReport.h"
#include "import/ServerMap.h"
#include "local/SourceText.h"

class TOutputSet;

// The files of a set that are imported on the new machine: the ones the
// server map renames in.
extern const std::vector<std::string> kImportFiles;

// ANSI text widened to UTF-16 by the system's code page: a server name of
// /map going into a file that reg exported.
std::u16string WidenAnsi(const std::string& ansi);

// Writes DefaultPrinter.reg into the set when the user's default printer
// (the Device value of the key Software\Microsoft\Windows NT\CurrentVersion\Windows
// of userKey below root; userKey "" for HKEY_CURRENT_USER itself) is a network
// printer: REGEDIT4 when its name fits the code page, else Unicode, noted in
// facts. A printer of the machine itself is named in facts and not carried.
// No value, no file. false with the problem when the value cannot be read or
// the file cannot be written.
bool WriteDefaultPrinterFile(HKEY root, const std::wstring& userKey, TOutputSet& set, SourceFacts& facts,
                             TProblem& problem);

// Notes in facts that the set's file name is written in Unicode, because
// this machine's code page cannot carry all of its names.
void NoteUnicodeFile(SourceFacts& facts, const std::string& name);

// Renames the map's servers in every import file the set has produced,
// each file keeping its form, and names the map in facts. Nothing for an
// empty map.
bool RenameServersInSet(TOutputSet& set, const std::vector<ServerMapping>& map, SourceFacts& facts,
                        TProblem& problem);
