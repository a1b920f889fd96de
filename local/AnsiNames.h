#pragma once

#include <cstddef>
#include <string>

// Names and paths in the system's ANSI code page. In a double-byte code page
// (932, 936, 949, 950) the second byte of a character can be any byte from
// 0x40 up: a '\' (0x5C), a '|' (0x7C) or an ASCII letter. The characters of a
// name or path are walked here only, by ForEachAnsiChar, which never takes
// such a byte for a character of its own.

// Whether a byte starts a double-byte character in the system's ANSI code
// page (IsDBCSLeadByte on Windows); null for a single-byte code page.
using LeadByteTest = bool (*)(unsigned char);

// The bytes of the character that starts at s[i]: 2 for a lead byte with a
// byte after it that is not NUL (CharNextA's rule), else 1.
std::size_t AnsiCharLength(const std::string& s, std::size_t i, LeadByteTest isLead);

// Calls visit(i, length) for each character of s in order: i is the index of
// its first byte, length 1 or 2. Stops early when visit returns false.
template <class Visit>
void ForEachAnsiChar(const std::string& s, LeadByteTest isLead, Visit visit)
{
    for (std::size_t i = 0; i < s.size();) {
        const std::size_t length = AnsiCharLength(s, i, isLead);
        if (!visit(i, length))
            return;
        i += length;
    }
}

// The index of the first or the last character of s that is the single byte
// c; npos when there is none.
std::size_t FindAnsiChar(const std::string& s, char c, LeadByteTest isLead = nullptr);
std::size_t FindLastAnsiChar(const std::string& s, char c, LeadByteTest isLead = nullptr);

// s with each ASCII letter that is a character of its own upper-cased; the
// bytes of double-byte characters stay as they are.
std::string UpperAsciiLetters(const std::string& s, LeadByteTest isLead = nullptr);

// folder, a backslash unless it ends in one already ("C:\", "\\srv\share\"),
// then name.
std::string JoinPath(const std::string& folder, const std::string& name, LeadByteTest isLead = nullptr);

// The folder that holds path, where a folder tree is made from the top down;
// empty where there is nothing above path to make: no backslash, or the last
// one begins the path ("\x"), follows a drive ("C:\x") or another backslash
// ("\\srv\x").
std::string ParentFolder(const std::string& path, LeadByteTest isLead = nullptr);

// Whether Windows takes name for a device in every folder: CON, PRN, AUX,
// NUL, COM1 to COM9 or LPT1 to LPT9, in any ASCII letter case, also with
// blanks or an extension after it ("con.txt", "nul .x").
bool IsReservedDeviceName(const std::string& name, LeadByteTest isLead = nullptr);
