#include "app/JobView.h"

namespace {

const char16_t kEllipsis[] = u"\u2026";

std::u16string Ascii(const std::string& text)
{
    return std::u16string(text.begin(), text.end());
}

// "<what>: <done> of <total>"
std::u16string Count(const char16_t* what, std::size_t done, std::size_t total)
{
    return what + (u": " + Ascii(std::to_string(done)) + u" of " + Ascii(std::to_string(total)));
}

} // namespace

std::u16string JobStepText(const JobSubject& subject, JobStep step, std::size_t done, std::size_t total)
{
    const std::u16string& user = subject.user;
    const std::u16string& machine = subject.machine;
    switch (step) {
    case JobStep::Probe:
        return u"Looking for " + machine + u" on the network" + kEllipsis;
    case JobStep::Connect:
        return u"Connecting to " + machine + kEllipsis;
    case JobStep::Users:
        return u"Reading who is logged on at " + machine + kEllipsis;
    case JobStep::LoadHive:
        return u"Loading the registry of " + user + kEllipsis;
    case JobStep::DiskHive:
        return u"Loading the registry of the profile's disk" + std::u16string(kEllipsis);
    case JobStep::Drives:
        return u"Reading mapped drives of " + user + kEllipsis;
    case JobStep::Printers:
        return u"Reading printers of " + user + kEllipsis;
    case JobStep::DefaultPrinter:
        return u"Reading the default printer of " + user + kEllipsis;
    case JobStep::InstalledApps:
        return total > 0 ? Count(u"Installed applications", done, total)
                         : u"Reading installed applications" + std::u16string(kEllipsis);
    case JobStep::ApplicationsList:
        return total > 0 ? Count(u"Applications.txt", done, total)
                         : u"Writing Applications.txt" + std::u16string(kEllipsis);
    case JobStep::Unload:
        return u"Unloading the registry of " + user + kEllipsis;
    case JobStep::Files:
        return u"Writing the files of " + user + kEllipsis;
    }
    return std::u16string();
}

std::u16string FinishingText(WindowJob job, const JobSubject& subject)
{
    if (job == WindowJob::Connect)
        return u"Finishing the connection to " + subject.machine + kEllipsis;
    return u"Finishing the export of " + subject.user + kEllipsis;
}

JobButtons EnabledJobButtons(bool jobRunning, bool connectUnlocked)
{
    JobButtons buttons;
    buttons.selectUser = !jobRunning;
    buttons.browse = !jobRunning;
    buttons.connect = !jobRunning && connectUnlocked;
    buttons.remoteSelectUser = !jobRunning;
    return buttons;
}
