#include "app/SummaryRun.h"

#include <exception>

#include "summary/SummaryFolder.h"

const char kSummarySource[] = "summary";

namespace {

// Whatever the reading throws ends as the summary's problem: a box of the
// runtime would wait for a person that a scheduled run does not have.
TSummaryResult Summarize(const std::string& folder, const std::string& out)
{
    TSummaryResult result;
    try {
        result = WriteFleetSummary(folder, out);
    } catch (const std::exception& e) {
        result.problem = ExceptionText(&e, "summary");
    } catch (...) {
        result.problem = ExceptionText(nullptr, "summary");
    }
    return result;
}

std::string CountsText(const SummaryCounts& c, const std::string& page)
{
    std::string text = std::to_string(c.sets) + (c.sets == 1 ? " set" : " sets");
    if (c.beingWritten || c.damaged)
        text += " (" + std::to_string(c.beingWritten) + " being written, " + std::to_string(c.damaged) +
                " not read whole)";
    return text + ", " + std::to_string(c.machines) + " machines, " + std::to_string(c.users) + " users, " +
           std::to_string(c.failures) + " failures, " + std::to_string(c.servers) + " servers: " + page;
}

void Print(HANDLE out, const std::string& line)
{
    DWORD written = 0;
    if (out)
        (void)WriteFile(out, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

} // namespace

int RunSummary(const CommandLineOptions& options)
{
    const TSummaryResult result = Summarize(options.summary, options.out);
    HANDLE out = StandardOutput();
    const LogTime now = LogNow();
    for (const std::string& notRead : result.notRead)
        Print(out, LogLine(now, kSummarySource, false, "not read whole: " + notRead));
    Print(out, LogLine(now, kSummarySource, result.written,
                       result.written ? CountsText(result.counts, result.page) : result.problem));
    return result.written && result.notRead.empty() ? 0 : 1;
}

void SummarizeExports(TRunLog& log, const std::string& out)
{
    const TSummaryResult result = Summarize(out, std::string());
    if (!result.written)
        log.Line(kSummarySource, false, result.problem);
}
