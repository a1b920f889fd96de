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
    outputFolder_ = std::string(toolFolder_) + "\\" + name;
    // A folder that cannot be made (a tool started from a CD or a read-only
    // share) is told by the job's output set, before anything runs.
    (void)CreateFolderTree(outputFolder_);
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
    // The profile comes from the folder the list shows, which the admin may
    // have pointed at another machine's disk.
    TProblem problem;
    (void)CreateOutputFolder(selectedUser_);
    (void)ExportStoredProfileFiles(profilesDirectory_, selectedUser_, outputFolder_, problem);
    Tell(problem);
}

void TProDlg::ExportCurrentUser()
{
    TProblem problem;
    (void)CreateOutputFolder("CurrentUser");
    (void)ExportCurrentUserFiles(outputFolder_, problem);
    Tell(problem);
}
