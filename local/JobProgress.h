#pragma once

#include <cstddef>
#include <functional>

// The steps a job reports while it runs, so that the window can say what is
// being done. The command line asks for none.
enum class JobStep {
    Probe,             // the look at a machine's sharing ports
    Connect,           // the connection to a machine's registry
    Users,             // who is logged on at a machine
    LoadHive,          // reg load of a stored profile's hive
    DiskHive,          // reg load of the software hive of a profile's disk
    Drives,            // the mapped drives
    Printers,          // the printer connections
    DefaultPrinter,    // the default printer
    InstalledApps,     // the uninstall key's export
    ApplicationsList,  // Applications.txt
    Unload,            // reg unload of the hive
    Files,             // the files rewritten and put in place
};

// A step begins (total 0), or done of its total entries have been read:
// the entries read so far and the number of entries in all.
using JobProgress = std::function<void(JobStep step, std::size_t done, std::size_t total)>;
// The entries of one step.
using EntryProgress = std::function<void(std::size_t done, std::size_t total)>;

// Tells the step to progress, if there is any; true, so that a chain of
// steps joined by && can name each step where it begins.
inline bool Announce(const JobProgress& progress, JobStep step)
{
    if (progress)
        progress(step, 0, 0);
    return true;
}

// The entry counts of one step as the job's progress.
inline EntryProgress StepEntries(const JobProgress& progress, JobStep step)
{
    if (!progress)
        return EntryProgress();
    return [progress, step](std::size_t done, std::size_t total) { progress(step, done, total); };
}
