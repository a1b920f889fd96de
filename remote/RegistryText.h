#pragma once

#include <cstddef>
#include <string>

#include "local/AnsiNames.h"

// The pieces of the registry export text that TRegistry's writer joins. Every
// line ends in "\n" alone: the file is written through a text-mode stream,
// which turns each one into CR LF.

// A backslash before each backslash and each double quote, so that the
// importer reads back the text as it was. The byte after a lead byte is the
// second half of its character, even where it is 0x5C, and stays alone.
std::string EscapeRegText(const std::string& s, LeadByteTest isLead = nullptr);

// "@ =" for the default value (empty name), else the escaped name in double
// quotes followed by "=".
std::string ValueNamePart(const std::string& name, LeadByteTest isLead = nullptr);

// An empty line, then the key path in square brackets. The path is not
// escaped: the converter looks for "[S-" at the start of these lines.
std::string SectionLine(const std::string& keyPath);

// Comma-separated lowercase hex bytes, 25 on the first line and 24 on each
// continuation line, lines broken by ",\" and the whole ended by "\n".
// With count 0 it is "\n" alone and data is not read (it may be null).
std::string HexForm(const unsigned char* data, std::size_t count);

// The text that follows the name part of a value line, by registry type.
// Never reads beyond count bytes of data.
std::string FormatValueText(unsigned long type, const unsigned char* data, std::size_t count,
                            LeadByteTest isLead = nullptr);
