#include "app/JobView.h"

#include <gtest/gtest.h>

namespace {

// The line of a step names whom or where it reads; a step that reads
// entries shows their count once it has one.
TEST(JobView, EachStepSaysWhatItReads)
{
    const JobSubject stored = {u"carol", u""};
    const JobSubject remote = {u"\\\\PC7\\\u0410\u043d\u043d\u0430", u"\\\\PC7"};  // a name of another script
    const struct {
        JobSubject subject;
        JobStep step;
        std::size_t done, total;
        std::u16string text;
    } cases[] = {
        {remote, JobStep::Probe, 0, 0, u"Looking for \\\\PC7 on the network\u2026"},
        {remote, JobStep::Printers, 0, 0, u"Reading printers of \\\\PC7\\\u0410\u043d\u043d\u0430\u2026"},
        {stored, JobStep::LoadHive, 0, 0, u"Loading the registry of carol\u2026"},
        {remote, JobStep::InstalledApps, 0, 0, u"Reading installed applications\u2026"},
        {remote, JobStep::InstalledApps, 0, 300, u"Installed applications: 0 of 300"},
        {remote, JobStep::InstalledApps, 120, 300, u"Installed applications: 120 of 300"},
        {remote, JobStep::ApplicationsList, 0, 0, u"Writing Applications.txt\u2026"},
        {remote, JobStep::ApplicationsList, 4096, 10000, u"Applications.txt: 4096 of 10000"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.step));
        EXPECT_EQ(JobStepText(c.subject, c.step, c.done, c.total), c.text);
    }
}

TEST(JobView, ClosingNamesWhatIsFinished)
{
    const JobSubject remote = {u"\\\\PC7\\carol", u"\\\\PC7"};
    EXPECT_EQ(FinishingText(WindowJob::StoredProfile, {u"carol", u""}), u"Finishing the export of carol\u2026");
    EXPECT_EQ(FinishingText(WindowJob::RemoteExport, remote), u"Finishing the export of \\\\PC7\\carol\u2026");
    EXPECT_EQ(FinishingText(WindowJob::Connect, {u"", u"\\\\PC7"}), u"Finishing the connection to \\\\PC7\u2026");
}

} // namespace
