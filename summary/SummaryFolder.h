#pragma once

#include <string>
#include <vector>

#include "summary/SummaryTables.h"

// The summary of the sets below a folder, read and written on this machine.

struct TSummaryResult {
    // The folder could be read and every file of the summary was replaced.
    bool written = false;
    std::string problem;  // why not, when not: the folder, or a file and its error
    // Sets, folders and logs that were not read whole: "where: why".
    std::vector<std::string> notRead;
    SummaryCounts counts;
    std::string page;  // the path of Summary.html
};

// Reads every set below folder and replaces the summary's files in out
// (the folder itself when out is empty), each written aside and then moved
// over the earlier one, so that a reader never finds half a file. Paths and
// texts of the result are ANSI, as the command line gives and logs them.
TSummaryResult WriteFleetSummary(const std::string& folder, const std::string& out);

// The summary's files, each replaced whole.
extern const char* const kSummaryFileNames[5];
