#pragma once

#include <string>

// Writes the installed-applications list of one uninstall-key export to
// listFile. A missing export leaves listFile as it was; a list file that
// cannot be created is reported with a message box that has no owner window.
void MakeAppList(const std::string& exportFile, const std::string& listFile);
