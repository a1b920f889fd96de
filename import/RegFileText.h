#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "remote/RegistryText.h"

// Reading the registry export files this tool produces, line by line, and
// rewriting parts of single lines while every other byte stays as it was.
//
// Two forms are read:
// - Utf16: a byte-order mark FF FE, then UTF-16LE text whose first line is
//   "Windows Registry Editor Version 5.00" (what "reg export" writes, and the
//   converters' ".reg" and ".prx" copies of it);
// - Ansi: 8-bit text in the ANSI code page whose first line is "REGEDIT4"
//   (the tool's own writer, its ".txt.reg" copies, DefaultPrinter.reg).
// A file without the byte-order mark is taken as Ansi.
//
// Texts (key paths, value names, string data) are kept in the file's own
// units: one unit per byte for an Ansi file, one per UTF-16 code unit for a
// Utf16 file. Nothing is converted between code pages. The Win32 side writes
// an Ansi file's items with the narrow API (RegCreateKeyExA, RegSetValueExA:
// each unit is one char) and a Utf16 file's with the wide one
// (RegCreateKeyExW, RegSetValueExW: each unit is one WCHAR).
using RegUnits = std::u16string;

enum class RegFileForm { Ansi, Utf16 };

enum class RegItemKind {
    Header,         // the first line, the header of the file's form
    Blank,          // a line of blanks or a ";" comment
    Section,        // [KEY]
    DeleteSection,  // [-KEY]
    Value,          // "name"=data or @=data
    DeleteValue,    // "name"=-
    Unparsable,     // anything else; problem says what is wrong
};

// One logical line: a physical line, or a hex value with its continuation lines.
struct RegItem {
    RegItemKind kind = RegItemKind::Unparsable;
    std::size_t line = 0;  // number of its first physical line, from 1
    // Its exact bytes in the file, line ends and continuation lines included
    // (the first item also holds the byte-order mark). The items' raw bytes
    // in order are the whole file.
    std::string raw;

    RegUnits key;   // Section, DeleteSection: the path between the brackets, as written
    RegUnits name;  // Value, DeleteValue: unescaped; empty for "@"
    // Value: the registry type (1 for a quoted string, 3 for hex:, 4 for
    // dword:, N for hex(N):) and the bytes the registry is to hold: a quoted
    // string as its units with a terminating NUL (UTF-16LE in a Utf16 file,
    // one byte per unit in an Ansi file), a dword as 4 little-endian bytes, a
    // hex form as its bytes exactly (no terminator is added).
    unsigned long type = 0;
    std::string data;
    // Value with quoted string data: the unescaped string. Unparsable: the
    // logical line's text without its final line end, for the caller's report.
    RegUnits text;
    bool quoted = false;  // Value: the data was a quoted string
    std::string problem;  // Unparsable: a short description of what is wrong

    // Where the rewritable parts lie in raw, in bytes: the key between its
    // brackets, the name between its quotes (still escaped), the quoted data
    // between its quotes. npos where the item has no such part.
    std::size_t keyAt = std::string::npos, keyEnd = std::string::npos;
    std::size_t nameAt = std::string::npos, nameEnd = std::string::npos;
    std::size_t textAt = std::string::npos, textEnd = std::string::npos;
};

struct RegFile {
    RegFileForm form = RegFileForm::Ansi;
    // Ansi files: the lead-byte test the file was read with. Its texts are
    // scanned with it wherever a 0x5C or a letter could be the second byte of
    // a double-byte character. Null for Utf16 files.
    LeadByteTest isLead = nullptr;
    // The first item is the header of the form. Without it the file is none
    // of the two forms and nothing in it is to be imported.
    bool header = false;
    std::vector<RegItem> items;
};

// Reads a whole file. Never fails: what cannot be read becomes Unparsable
// items (a truncated file ends in one). Lines end at LF, CR LF or a lone CR.
// In an Ansi file a byte after a lead byte (isLead) belongs to its
// character: it is never a quote, an escape, a bracket or a key separator.
// In quoted names and strings only \\ and \" are escapes; another backslash
// makes the line Unparsable. A NUL anywhere in a line makes it Unparsable,
// since the registry API would cut the name or string there.
RegFile ReadRegFile(const std::string& bytes, LeadByteTest isLead = nullptr);

// The file's bytes: the items' raw bytes joined.
std::string RegFileBytes(const RegFile& file);

// Line rewriting: each replaces one part of a parsed item and rewrites the
// item's raw bytes in the file's form, escaped where the part is quoted;
// everything else in the line (blanks, comments, line end, continuation
// lines) keeps its bytes. The item must have that part (a Section or
// DeleteSection for the key, a Value or DeleteValue with a quoted name for
// the name, a Value with quoted data for the string).
void SetItemKey(const RegFile& file, RegItem& item, const RegUnits& key);
void SetItemName(const RegFile& file, RegItem& item, const RegUnits& name);
void SetItemString(const RegFile& file, RegItem& item, const RegUnits& text);

// Text helpers shared with the server map and the import rules. isLead is
// the file's (RegFile::isLead): null for Utf16 files.

// One unit per byte: ASCII text, or ANSI text for an Ansi file.
RegUnits ByteUnits(const std::string& bytes);

// The index just after the character that starts at i: two units for a lead
// byte and the byte after it, else one.
std::size_t NextChar(LeadByteTest isLead, const RegUnits& text, std::size_t i);

// The key path's parts between backslashes, empty ones included. A 0x5C
// after a lead byte does not split.
std::vector<RegUnits> SplitKeyPath(LeadByteTest isLead, const RegUnits& path);

// Whether a and b are the same text when ASCII letters are compared without
// regard to case. The second byte of a double-byte character is compared
// exactly, even where it looks like a letter.
bool SameTextIgnoringCase(LeadByteTest isLead, const RegUnits& a, const RegUnits& b);
