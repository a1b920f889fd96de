#include "app/StartupText.h"

#include <cstring>

const char kTitlePrefix[] = "Movara running on ";

std::string TitleLineText(bool callSucceeded, const char* name, std::size_t capacity, unsigned long reportedSize)
{
    std::string title = kTitlePrefix;
    if (!callSucceeded || name == nullptr || reportedSize < 2)
        return title;
    // Never read past the buffer or past the text the call wrote.
    std::size_t written = 0;
    while (written < capacity && name[written] != '\0')
        ++written;
    std::size_t keep = reportedSize - 2;
    if (keep > written)
        keep = written;
    title.append(name, keep);
    return title;
}

std::string ChooseToolFolder(const std::string& longForm, const std::string& shortForm, bool shortFormOk,
                             std::size_t capacity)
{
    if (capacity == 0)
        return std::string();
    if (shortFormOk && !shortForm.empty() && shortForm.size() < capacity)
        return shortForm;
    if (!longForm.empty() && longForm.size() < capacity)
        return longForm;
    return std::string();
}
