#pragma once

#include <string>
#include <vector>

#include "local/JobProgress.h"
#include "local/JobReport.h"
#include "import/ServerMap.h"

// Every file each local job can leave in its output folder.
extern const std::vector<std::string> kStoredProfileFiles;
extern const std::vector<std::string> kCurrentUserFiles;

// Exports the stored profile `user`, whose folder is in profilesDirectory
// (which ends in a backslash), into outputFolder through the system's reg:
// its hive is loaded under HKEY_USERS as `user` and always unloaded again.
// The job's earlier files there are replaced as a set, or all kept. 0 when
// everything was done; 1 with the problem to tell. The servers of map are
// renamed in the files to import. Each step is told to progress as it begins.
int ExportStoredProfileFiles(const std::string& profilesDirectory, const std::string& user,
                             const std::string& outputFolder, TProblem& problem,
                             const std::vector<ServerMapping>& map = {}, const JobProgress& progress = {});

// The same for the account that runs the tool, through HKEY_CURRENT_USER.
int ExportCurrentUserFiles(const std::string& outputFolder, TProblem& problem,
                           const std::vector<ServerMapping>& map = {}, const JobProgress& progress = {});
