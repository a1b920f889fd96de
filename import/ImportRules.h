#pragma once

#include <string>
#include <vector>

#include "import/RegFileText.h"

// What importing a set on the new machine may write: the user's mapped
// drives, printer connections and default printer, nothing else.
//
// Importable:
// - the keys HKEY_CURRENT_USER\Network\<one drive letter> and everything
//   below them, with their values;
// - the key HKEY_CURRENT_USER\Printers and everything below it, with values;
// - the value Device of the default printer's key,
//   HKEY_CURRENT_USER\Software\Microsoft\Windows NT\CurrentVersion\Windows.
// The section lines of HKEY_CURRENT_USER\Network and of that Windows key are
// let through (the exports hold them), but no value in them except Device.
// Refused: every other key or value, every root but HKEY_CURRENT_USER
// (abbreviations such as HKCU included), a key path with an empty, "." or
// ".." part, every deletion, every line that could not be read, and a value
// with no readable key line before it. Names compare without regard to
// ASCII case, as the registry does.

struct ImportVerdict {
    bool allowed = false;
    // Why it is refused, a short phrase; empty when allowed. It does not
    // repeat the key or name, which the caller has in the item.
    std::string reason;
};

// One verdict per item of file, in order. Header and Blank items are allowed:
// they write nothing. A file without its header has every item refused.
std::vector<ImportVerdict> CheckImport(const RegFile& file);
