#pragma once
#include <cstddef>
#include <string>

// Whether one directory entry of the profiles directory is offered in the
// profile list: "." and ".." never, hidden entries never, anything else
// (files too) always.
bool IsListedProfileEntry(const std::string& name, unsigned long attributes);

// "*User = " followed by the display name.
std::string CurrentUserEntry(const std::string& displayName);
