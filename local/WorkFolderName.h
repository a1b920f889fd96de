#pragma once

#include <string>

#include "local/AnsiNames.h"

// A job's work folder lies beside its output folder and is named after it,
// the job's process and a serial of that process: "carol.~new-1234-1" for
// the output folder "carol". The process id lets a later run tell a folder
// that a running job still writes from one that a run which ended left.
std::string WorkFolderPath(const std::string& outputFolder, unsigned long processId, unsigned long serial);

// The last component of an output folder ("carol" of "C:\tool\carol").
std::string OutputFolderLeaf(const std::string& outputFolder, LeadByteTest isLead = nullptr);

// Whether name, found beside the output folder whose last component is leaf,
// is one of its work folders: leaf in any ASCII letter case (as Windows
// matches names), ".~new-", then a process id and a serial in decimal digits,
// nothing more. Sets processId then.
bool ParseWorkFolderName(const std::string& name, const std::string& leaf, unsigned long& processId,
                         LeadByteTest isLead = nullptr);
