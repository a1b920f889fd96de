#pragma once

#include <string>

#include "local/JobReport.h"

// Writes the installed-applications list of one uninstall-key export to
// listFile; 0 when it did. A missing export leaves listFile as it was (1, no
// problem); a list that cannot be written is a problem without owner window.
int MakeAppList(const std::string& exportFile, const std::string& listFile, TProblem& problem);
