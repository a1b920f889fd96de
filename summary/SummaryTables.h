#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "summary/FleetRead.h"

// The tables of a fleet's summary, made from the sets and logs as read; the
// page and the files for spreadsheets are written from these alone. Texts
// are UTF-8 as read, not yet escaped for any format.

struct SummaryCounts {
    std::size_t sets = 0;          // every set found, whatever its state
    std::size_t beingWritten = 0;  // of those, skipped while a run writes them
    std::size_t damaged = 0;       // of those, not read whole
    std::size_t machines = 0;      // remote machines; each set of a running user or stored profile counts as one
    std::size_t users = 0;         // different users among the sets read
    std::size_t failures = 0;      // sources whose latest log line failed
    std::size_t servers = 0;
    std::size_t drives = 0;
    std::size_t printers = 0;
};

// A \\SERVER named by the sets' drives, printers or default printers.
struct ServerRow {
    std::string name;          // without backslashes, as first seen
    std::size_t users = 0;     // sets that name it anywhere, each once
    std::size_t drives = 0;    // drives mapped to it
    std::size_t printers = 0;  // printer connections on it
    std::size_t defaults = 0;  // sets whose default printer is on it
    // The old servers that a /map of the export renamed to it ("\\OLD").
    std::vector<std::string> renamedFrom;
};

// One row per set found.
struct UserRow {
    std::vector<std::string> folder;
    SetState state = SetState::Read;
    std::string problem;
    std::string source, exported;
    std::vector<std::string> drives;  // "Z: \\srv\share"
    std::vector<std::string> printers;
    std::string defaultPrinter;
    bool hasApps = false;
    std::size_t apps = 0;
};

struct AppRow {
    std::string name;  // as first seen; names that differ only in ASCII case are one
    std::vector<std::string> versions, publishers, scopes;  // each once, sorted
    std::size_t machines = 0;
};

struct FailureRow {
    std::string source;  // the log's folder, ": ", then the source, for a log below the summary's folder
    std::string time;
    std::string message;  // FailureText of the line's message
};

// The failures of one reason: "error N" for every message that ends in
// "(error N)" (the last such mark of the message), else the message itself.
struct FailureGroup {
    std::string reason;
    std::string text;  // what every failure of the group says, when they all say the same; else empty
    std::vector<FailureRow> rows;  // by source
};

struct SummaryTables {
    SummaryCounts counts;
    std::vector<ServerRow> servers;     // most users first, then by name
    std::vector<UserRow> users;         // by folder
    std::vector<AppRow> apps;           // on most machines first, then by name
    std::vector<FailureGroup> failures; // largest group first, then by reason
    std::vector<std::string> unreadable;
};

SummaryTables MakeSummaryTables(const FleetData& data);

// The pieces, for the tests.

// The server of a UNC path: "srv" of "\\srv\share" or "\\srv"; "" for any
// other path.
std::string ServerOf(const std::string& path);

// The reason a failed line's message is grouped under.
std::string FailureReason(const std::string& message);
// The message without the connect failure's opening sentences, which every
// machine that cannot be reached repeats.
std::string FailureText(const std::string& message);
