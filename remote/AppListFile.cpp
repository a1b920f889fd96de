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

int MakeAppList(const std::string& exportFile, const std::string& listFile, TProblem& problem)
{
    FilePtr in(std::fopen(exportFile.c_str(), "rb"));
    if (!in)
        return 1;
    // The list is created (or emptied) before the export is read, so that a
    // list that cannot be written is reported even for an unreadable export.
    std::FILE* out = std::fopen(listFile.c_str(), "wb");
    if (!out)
        return Fail(problem, "open didnt happen: " + listFile, "Error", false), 1;
    bool written = true;
    try {
        std::string bytes;
        const bool read = ReadWholeFile(in.get(), bytes);
        in.reset();
        if (read) {
            const std::string list = MakeAppListText(bytes, UnitToAnsi);
            written = list.empty() || std::fwrite(list.data(), 1, list.size(), out) == list.size();
        }
    } catch (const std::bad_alloc&) {
        std::fclose(out);
        return Fail(problem, "There is not enough memory to list the applications of " + exportFile, "Problem", false),
               1;
    }
    if (std::fclose(out) != 0 || !written)
        return Fail(problem, "The file " + listFile + " could not be written in full (is the disk full?).", "Problem",
                    false),
               1;
    return 0;
}
