#pragma once

#include <string>

#include "app/CommandLine.h"
#include "app/RunLog.h"

// The log's and standard output's source of the summary's lines.
extern const char kSummarySource[];  // "summary"

// "/summary FOLDER": reads every set below FOLDER and writes the summary's
// files there, or into /out. Writes one line per set or log not read whole
// and a last line with the counts to standard output. Returns the exit
// code: 0 when every committed set was read and every file written, else 1.
int RunSummary(const CommandLineOptions& options);

// At the end of a run that exported machines: the summary of every set in
// out, this run's and others'. Only a file that could not be written gets
// a line in the run's log.
void SummarizeExports(TRunLog& log, const std::string& out);
