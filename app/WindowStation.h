#pragma once

#include <windows.h>

// Whether this process runs on the interactive window station. Services and
// scheduled tasks run on one of their own, and get the logoff event of
// whichever user logs off at the console: not theirs to end on.
inline bool RunsOnInteractiveStation()
{
    char name[64] = {};
    DWORD needed = 0;
    HWINSTA station = GetProcessWindowStation();
    return !station || !GetUserObjectInformationA(station, UOI_NAME, name, sizeof name - 1, &needed) ||
           lstrcmpiA(name, "WinSta0") == 0;
}
