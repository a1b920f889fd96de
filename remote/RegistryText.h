#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "local/AnsiNames.h"
#include "local/CodePage.h"

// The pieces of the registry export text that TRegistry's writer joins. Every
// line ends in "\n" alone; ExportFileBytes turns each into CR LF, as a
// text-mode stream would.

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

// The same pieces for a "Windows Registry Editor Version 5.00" file, in
// UTF-16 units: the same escapes, lines and hex forms as above.
std::u16string EscapeRegText(const std::u16string& s);
std::u16string ValueNamePart(const std::u16string& name);
std::u16string SectionLine(const std::u16string& keyPath);

// One value of a key as the wide registry calls give it: string data
// (types 1, 2 and 7) in UTF-16LE bytes, terminators included.
struct ExportValue {
    std::u16string name;
    unsigned long type = 0;
    std::string data;
};

// A key that gets a section: its path as the section line names it, and its
// values in the registry's order.
struct ExportSection {
    std::u16string path;
    std::vector<ExportValue> values;
};

// The text after the name part of a value line in a Version 5.00 file. A
// string that can be quoted is, in UTF-16; hex(1) for one that cannot, and
// hex(2) and hex(7), hold its UTF-16LE bytes as stored, which importers of
// such a file store as they are.
std::u16string UnicodeValueText(const ExportValue& value);

// The two forms of a registry export file. Ansi: "REGEDIT4", the ANSI code
// page, exactly the bytes the narrow registry calls would give. Unicode: as
// reg export writes, UTF-16LE with its byte-order mark, "Windows Registry
// Editor Version 5.00".
enum class ExportForm { Ansi, Unicode };

// The whole file for sections, every line ended by CR LF: Ansi when every key
// path, value name and string value (types 1, 2 and 7) converts exactly to
// the code page, else Unicode; form says which. Without unicodeAllowed it is
// Ansi whatever the texts, each converted as the narrow registry calls
// convert it.
std::string ExportFileBytes(const std::vector<ExportSection>& sections, const AnsiCodePage& codePage,
                            ExportForm& form, bool unicodeAllowed = true);
