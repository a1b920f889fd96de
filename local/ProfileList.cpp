#include <windows.h>
#define SECURITY_WIN32
#include <security.h>
#include <userenv.h>

#include <cstdio>
#include <string>
#include <vector>

#include "local/ProfileList.h"
#include "local/ProfileRules.h"

namespace {
const LPARAM kCurrentUserTag = 0x4D6F7661;  // any value LB_ADDSTRING's default 0 is not

void Diagnostic(const char* format, unsigned long code)
{
    std::printf(format, code);
    std::fflush(stdout);
}
}

std::string SystemProfilesDirectory()
{
    char buffer[255] = {};
    DWORD size = sizeof buffer;
    if (!GetProfilesDirectoryA(buffer, &size))
        return std::string();
    // Take what the call wrote up to its terminator: Wine reports the size
    // without the terminator, Windows with it, so the size itself is not used.
    std::size_t length = 0;
    while (length < sizeof buffer && buffer[length] != '\0')
        ++length;
    if (length == 0 || length == sizeof buffer)
        return std::string();
    return std::string(buffer, length) + "\\";
}

void AddCurrentUserEntry(HWND profileList)
{
    std::vector<char> name(255, '\0');
    ULONG size = static_cast<ULONG>(name.size());
    if (!GetUserNameExA(NameDisplay, name.data(), &size) && GetLastError() == ERROR_MORE_DATA && size > name.size()) {
        name.assign(size + 1, '\0');
        size = static_cast<ULONG>(name.size());
        if (!GetUserNameExA(NameDisplay, name.data(), &size))
            name.assign(1, '\0');
    }
    name.push_back('\0');
    std::string entry = CurrentUserEntry(name.data());
    LRESULT index = SendMessageA(profileList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.c_str()));
    // Tagged, so that it is known wherever the sorting puts it: a profile
    // folder whose name sorts before "*" must not pass for the running user.
    if (index >= 0)
        SendMessageA(profileList, LB_SETITEMDATA, index, kCurrentUserTag);
}

LRESULT CurrentUserIndex(HWND list)
{
    LRESULT count = SendMessageA(list, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        if (SendMessageA(list, LB_GETITEMDATA, i, 0) == kCurrentUserTag)
            return i;
    }
    return LB_ERR;
}

int FillProfileList(HWND list, HWND owner, const std::string& directory)
{
    std::string pattern = directory + "*";
    SendMessageA(list, LB_RESETCONTENT, 0, 0);
    AddCurrentUserEntry(list);

    WIN32_FIND_DATAA entry;
    // An empty profiles directory means the system could not tell one; "*"
    // alone would list the current directory instead.
    HANDLE find = directory.empty() ? INVALID_HANDLE_VALUE : FindFirstFileA(pattern.c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) {
        Diagnostic("Invalid file handle. Error is %u\n", directory.empty() ? ERROR_PATH_NOT_FOUND : GetLastError());
        return 1;
    }
    std::printf("First file name is %s\n", entry.cFileName);
    std::fflush(stdout);

    SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    // Every entry is examined, the first one too: a drive's root has no "."
    // entry, so the first one found there is a real one.
    DWORD stopCode = 0;
    do {
        if (IsListedProfileEntry(entry.cFileName, entry.dwFileAttributes))
            SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.cFileName));
        if (!FindNextFileA(find, &entry)) {
            stopCode = GetLastError();
            break;
        }
    } while (true);

    if (SendMessageA(list, LB_FINDSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>("All Users")) ==
        LB_ERR) {
        SendMessageA(list, LB_RESETCONTENT, 0, 0);
        MessageBoxA(owner, "There appears to be no profiles in the directory you chose", "Please try again", MB_OK);
    }
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
    FindClose(find);

    if (stopCode == ERROR_NO_MORE_FILES) {
        LRESULT current = CurrentUserIndex(list);
        SendMessageA(list, LB_SETCURSEL, current == LB_ERR ? 0 : current, 0);
        return 0;
    }
    Diagnostic("FindNextFile error. Error is %u\n", stopCode);
    return 1;
}
