#include <windows.h>

#include <string>

#include "app/ControlText.h"
#include "app/ProDlg.h"
#include "local/LocalExports.h"
#include "local/OutputSet.h"
#include "local/ProfileList.h"

void TProDlg::AddCurrentUserEntry()
{
    ::AddCurrentUserEntry(profileList_);
}

int TProDlg::FillProfileList()
{
    return ::FillProfileList(profileList_, mainWindow_, profilesDirectory_);
}

void TProDlg::Tell(const TProblem& problem) const
{
    const std::string text = ReportText(problem);
    if (!text.empty())
        MessageBoxA(problem.owned ? mainWindow_ : nullptr, text.c_str(),
                    problem.Set() ? problem.caption.c_str() : "Note", MB_OK);
}

int TProDlg::CreateOutputFolder(const std::string& name)
{
    // The folder itself is made by the job's output set, on the worker: the
    // tool may run from a slow share. One that cannot be made (a tool
    // started from a CD or a read-only share) is told before anything runs.
    outputFolder_ = std::string(toolFolder_) + "\\" + name;
    return 0;
}

void TProDlg::SelectUser()
{
    selectedUser_.clear();
    LRESULT index = SendMessageA(profileList_, LB_GETCURSEL, 0, 0);
    // Nothing selected (the list was emptied): nothing to export.
    std::string entry = index == LB_ERR ? std::string() : ListEntryText(profileList_, static_cast<int>(index));
    if (entry.empty()) {
        MessageBoxA(mainWindow_, "Please select a user in the list first", "Problem", MB_OK);
        return;
    }
    if (toolFolder_[0] == '\0') {
        MessageBoxA(mainWindow_, "The folder the tool was started from has a path too long to use. "
                                 "Start the tool from a shorter folder.", "Problem", MB_OK);
        return;
    }
    if (index == CurrentUserIndex(profileList_)) {
        ExportCurrentUser();
        return;
    }
    selectedUser_ = entry;
    ExportStoredProfile();
}

void TProDlg::ExportStoredProfile()
{
    (void)CreateOutputFolder(selectedUser_);
    // The job has copies: nothing the window changes while it runs reaches
    // it. The profile comes from the folder the list shows, which the admin
    // may have pointed at another machine's disk.
    const std::string directory = profilesDirectory_;
    const std::string user = selectedUser_, output = outputFolder_;
    StartJob(
        WindowJob::StoredProfile, {AnsiAsUtf16(user), u""}, "export",
        [directory, user, output](TProblem& problem, const JobProgress& progress) {
            (void)ExportStoredProfileFiles(directory, user, output, problem, {}, progress);
        },
        [this](const TProblem& problem) { Tell(problem); });
}

void TProDlg::ExportCurrentUser()
{
    (void)CreateOutputFolder("CurrentUser");
    char account[257] = {};  // UNLEN + 1
    DWORD size = sizeof account;
    const std::string name = GetUserNameA(account, &size) ? account : "the running user";
    const std::string output = outputFolder_;
    StartJob(
        WindowJob::CurrentUser, {AnsiAsUtf16(name), u""}, "export",
        [output](TProblem& problem, const JobProgress& progress) {
            (void)ExportCurrentUserFiles(output, problem, {}, progress);
        },
        [this](const TProblem& problem) { Tell(problem); });
}
