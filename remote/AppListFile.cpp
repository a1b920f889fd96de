#include "remote/AppListFile.h"

#include <windows.h>

#include <cstdio>
#include <new>

#include "remote/AppList.h"
#include "remote/FileBytes.h"

namespace {

// A unit above U+00FF of a reg-tool export, as the list shows it in the
// system's code page.
std::string UnitToAnsi(char16_t unit)
{
    const wchar_t wide = static_cast<wchar_t>(unit);
    char text[8] = {};
    const int length = WideCharToMultiByte(CP_ACP, 0, &wide, 1, text, sizeof text, nullptr, nullptr);
    return length > 0 ? std::string(text, static_cast<std::size_t>(length)) : std::string("?");
}

} // namespace

void MakeAppList(const std::string& exportFile, const std::string& listFile)
{
    FilePtr in(std::fopen(exportFile.c_str(), "rb"));
    if (!in)
        return;
    // The list is created (or emptied) before the export is read, so that a
    // list that cannot be written is reported even for an unreadable export.
    FilePtr out(std::fopen(listFile.c_str(), "wb"));
    if (!out) {
        MessageBoxA(nullptr, "open didnt happen", "Error", MB_OK);
        return;
    }
    try {
        std::string bytes;
        const bool read = ReadWholeFile(in.get(), bytes);
        in.reset();
        if (read) {
            const std::string list = MakeAppListText(bytes, UnitToAnsi);
            // A short write is not reported: the list ends where writing stopped.
            (void)std::fwrite(list.data(), 1, list.size(), out.get());
        }
    } catch (const std::bad_alloc&) {
        std::string message = "There is not enough memory to list the applications of " + exportFile;
        MessageBoxA(nullptr, message.c_str(), "Problem", MB_OK);
    }
}
