#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "import/RegFileText.h"

// Moving a set of exports from old print and file servers to new ones:
// "/map \\OLD=\\NEW", once per server.

// Server names without their leading backslashes, in the ANSI code page as
// given on the command line.
struct ServerMapping {
    std::string oldServer;
    std::string newServer;
};

// Reads the text of one /map argument: OLD=NEW, each side a server name with
// or without two leading backslashes. Returns an empty text and fills
// mapping, or says what is wrong: no "=" or more than one, an empty side,
// one leading backslash, a backslash after the server (a share or printer
// given too), or a comma, double quote, blank or control character, which no
// server name holds and which would break a printer key's ",,server," form.
// The text names neither the switch nor the argument: the caller does, once.
// isLead: the second byte of a double-byte character is never taken for a
// backslash, a comma or a blank.
std::string ParseServerMapping(const std::string& argument, ServerMapping& mapping, LeadByteTest isLead = nullptr);

// Adds mapping to map, or leaves map as it is and says why: it already maps
// the same old server (names compare without regard to ASCII case). Like
// ParseServerMapping's, the text names neither the switch nor the argument.
std::string AddServerMapping(std::vector<ServerMapping>& map, const ServerMapping& mapping,
                             LeadByteTest isLead = nullptr);

// ANSI text widened to UTF-16, for server names going into a Utf16 file:
// MultiByteToWideChar with CP_ACP on Windows. Null widens each byte to one
// unit, which is right for ASCII names.
using AnsiToUtf16 = std::u16string (*)(const std::string&);

// Renames the servers of map wherever the file names one:
// - a key path part of a printer connection, ",,OLD,printer";
// - a value name, and the data of a quoted string value, that is "\\OLD" or
//   starts with "\\OLD\" (a connection's Server value, a drive's RemotePath,
//   the Device value "\\OLD\HP 4,winspool,Ne01:", the printer names that name
//   values under Printers).
// Server names compare whole and without regard to ASCII case: OLD does not
// match OLDER. Each name is renamed at most once, so "A=B" and "B=C" together
// do not turn A into C. Returns how many items changed; only their raw bytes
// are rewritten.
std::size_t RenameServers(RegFile& file, const std::vector<ServerMapping>& map, AnsiToUtf16 widen = nullptr);

// path ("\\OLD" or "\\OLD\share") with its server renamed by map, else
// path as it is; names compare as in RenameServers.
std::string RenameServerInPath(const std::string& path, const std::vector<ServerMapping>& map,
                               LeadByteTest isLead = nullptr);

// The same over a whole file's bytes, in either form and whatever its key
// paths start with (HKEY_CURRENT_USER, HKEY_USERS\user, a remote user's key,
// or no hive at all as in ".prx" files). The result keeps the file's form
// and every unchanged line's bytes; lines that cannot be read stay as they are.
struct RenamedFile {
    std::string bytes;
    std::size_t changedLines = 0;
};
RenamedFile RenameServersInFile(const std::string& bytes, const std::vector<ServerMapping>& map,
                                LeadByteTest isLead = nullptr, AnsiToUtf16 widen = nullptr);
