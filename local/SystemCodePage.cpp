#include "local/SystemCodePage.h"

#include <windows.h>

#include "local/OutputSet.h"

namespace {

std::string ToSystemAnsi(const std::u16string& text, bool& defaulted)
{
    defaulted = false;
    if (text.empty())
        return std::string();
    const std::wstring wide = WideText(text);
    const int length = static_cast<int>(wide.size());
    BOOL usedDefault = FALSE;
    const int size =
        WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), length, nullptr, 0, nullptr, nullptr);
    std::string ansi(size > 0 ? static_cast<std::size_t>(size) : 0, '\0');
    if (size <= 0 ||
        WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), length, &ansi[0], size, nullptr,
                            &usedDefault) != size) {
        defaulted = true;
        return std::string(text.size(), '?');
    }
    defaulted = usedDefault != FALSE;
    return ansi;
}

std::string AsNarrowCalls(const std::u16string& text)
{
    if (text.empty())
        return std::string();
    const std::wstring wide = WideText(text);
    const int length = static_cast<int>(wide.size());
    const int size = WideCharToMultiByte(CP_ACP, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
    std::string ansi(size > 0 ? static_cast<std::size_t>(size) : 0, '\0');
    if (size <= 0 || WideCharToMultiByte(CP_ACP, 0, wide.data(), length, &ansi[0], size, nullptr, nullptr) != size)
        return std::string(text.size(), '?');
    return ansi;
}

} // namespace

const AnsiCodePage& SystemCodePage()
{
    static const AnsiCodePage codePage{ToSystemAnsi, AsNarrowCalls, IsAnsiLeadByte};
    return codePage;
}

std::string AnsiText(const std::u16string& text)
{
    std::string ansi;
    (void)ToAnsiExactly(text, SystemCodePage(), ansi);  // '?' where it is not exact
    return ansi;
}

std::u16string Utf16Text(const wchar_t* text, std::size_t length)
{
    return std::u16string(text, text + length);
}

std::wstring WideText(const std::u16string& text)
{
    return std::wstring(text.begin(), text.end());
}
