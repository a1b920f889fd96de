#pragma once
#include <windows.h>

#include <string>

// The system's profiles folder with a backslash appended; empty when the
// system cannot tell it.
std::string SystemProfilesDirectory();

// Adds "*User = " and the running user's display name to the profile list,
// tagged so that it is known wherever the sorting puts it.
void AddCurrentUserEntry(HWND list);

// The index of the running user's entry in the profile list, or LB_ERR.
LRESULT CurrentUserIndex(HWND list);

// Empties and refills the profile list from `directory` (which ends in a
// backslash); a folder without "All Users" is told in a box owned by owner.
// 0 when the enumeration ran to its normal end.
int FillProfileList(HWND list, HWND owner, const std::string& directory);
