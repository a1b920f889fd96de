#pragma once

#include <functional>
#include <string>

// Converts one 16-bit unit above U+00FF to the system's ANSI code page (the
// Win32 side passes WideCharToMultiByte; an empty function gives "?").
using WideUnitToAnsi = std::function<std::string(char16_t)>;

// The installed-applications list file's bytes for one uninstall-key export's
// bytes: every line that holds "DisplayName", with its zero characters removed
// and its first 14 characters cut off, each ending in CR LF. The output is what
// a byte-per-character text-mode reading gives (so a reg-tool export's lines end
// in CR CR LF), except that byte 0x1A does not end the data and, in an export
// that starts with the UTF-16LE byte-order mark, a unit above U+00FF is one
// character, converted by toAnsi, instead of its two bytes.
std::string MakeAppListText(const std::string& exportBytes, const WideUnitToAnsi& toAnsi = {});
