#pragma once

#include <string>

// The four export converters differ only in the text form of the file, the
// text they look for and the edit they make at each occurrence.
enum class ConverterKind {
    PrtToPrx,    // ConvertPrtToPrxFile: UTF-16LE, "[HKEY_USERS" loses the hive and the user's key
    PrtToReg,    // ConvertPrtToRegFile: UTF-16LE, "[HKEY_USERS\user" becomes "[HKEY_CURRENT_USER"
    ToPrx,       // ConvertToPrxFile: UTF-16LE, "[HKEY_CURRENT_USER" loses the hive
    RemoteToReg, // ConvertRemoteToRegFile: 8-bit, or UTF-16LE after a byte-order mark, "[S-..." becomes "[HKEY_CURRENT_USER"
};

// Whole-file rewrite of an export's bytes, as the converter of that kind does
// it. The UTF-16LE kinds take the bytes as little-endian 16-bit units exactly as
// stored (byte-order mark included); an odd last byte is carried over unchanged.
// Only occurrences that start a line (section lines) are edited; the same text
// inside a value's data or a name is left alone, so that it imports unchanged.
// An occurrence after which too few backslashes follow is left as it is.
std::string ConvertExportBytes(ConverterKind kind, const std::string& bytes);

// A reg export (UTF-16LE bytes, byte-order mark included) of a key that was
// loaded under another name: each section line that starts with "[" + from,
// followed by "\" or "]", gets "[" + to in its place. from is compared
// without regard to ASCII case, as the registry does; both are ASCII. Nothing
// else changes, an odd last byte included.
std::string RenameExportSections(const std::string& bytes, const std::string& from, const std::string& to);
