#include <windows.h>

#include <string>
#include <vector>

#include "app/ControlText.h"
#include "app/ProDlg.h"
#include "local/CommandLines.h"
#include "local/CommandRunner.h"
#include "local/ExportFiles.h"

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
    if (!CheckCommandText(mainWindow_, selectedUser_) || !CheckCommandText(mainWindow_, toolFolder_))
        return;
    std::string profilesDirectory = SystemProfilesDirectory();
    if (profilesDirectory.empty()) {
        MessageBoxA(mainWindow_, "The system did not tell where its profiles are. Nothing was exported.", "Problem",
                    MB_OK);
        return;
    }
    CreateOutputFolder(selectedUser_);
    if (ExportStoredProfile(profilesDirectory) != 0)
        return;
    ConvertStoredProfileExports();
}

int TProDlg::ExportStoredProfile(const std::string& profilesDirectory)
{
    // The load command names the hive relative to the profile folder. Were the
    // folder not entered, reg would load whatever "ntuser.dat" the current
    // directory holds, another user's perhaps, so nothing runs then.
    std::string profileFolder = profilesDirectory + selectedUser_;
    if (!SetCurrentDirectoryA(profileFolder.c_str())) {
        std::string message = "The profile folder " + profileFolder + " cannot be opened. Nothing was exported.";
        MessageBoxA(mainWindow_, message.c_str(), "Problem", MB_OK);
        return 1;
    }
    StoredProfileCommands commands = BuildStoredProfileCommands(selectedUser_, outputFolder_);
    // Each result is ignored: the next step runs whatever the previous did.
    (void)RunHidden(commands.load);
    (void)RunExport(mainWindow_, commands.drives, outputFolder_ + "\\mappedDrv.prt");
    (void)RunExport(mainWindow_, commands.printers, outputFolder_ + "\\printers.prt");
    (void)RunHidden(commands.unload);
    (void)RunExport(mainWindow_, commands.apps, outputFolder_ + "\\InstalledApps.reg");
    return 0;
}

void TProDlg::ConvertStoredProfileExports()
{
    const std::string& out = outputFolder_;
    (void)ConvertPrtToPrxFile(*this, out + "\\mappedDrv.prt", out + "\\mappedDrv.prx");
    (void)ConvertPrtToRegFile(*this, out + "\\mappedDrv.prt", out + "\\mappedDrv.reg");
    (void)ConvertPrtToPrxFile(*this, out + "\\printers.prt", out + "\\printers.prx");
    (void)ConvertPrtToRegFile(*this, out + "\\printers.prt", out + "\\printers.reg");
}
