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
    std::string profilesDirectory = SystemProfilesDirectory();
    if (profilesDirectory.empty()) {
        MessageBoxA(mainWindow_, "The system did not tell where its profiles are. Nothing was exported.", "Problem",
                    MB_OK);
        return;
    }
    const std::string reg = RegProgramOrSay(mainWindow_);
    if (reg.empty())
        return;
    CreateOutputFolder(selectedUser_);
    if (ExportStoredProfile(profilesDirectory, reg) != 0)
        return;
    ConvertStoredProfileExports();
}

int TProDlg::ExportStoredProfile(const std::string& profilesDirectory, const std::string& reg)
{
    // reg runs in the profile folder, where the load command's "ntuser.dat"
    // is that profile's hive. Were the folder missing, reg would load
    // whatever "ntuser.dat" some other directory holds, so nothing runs then.
    const std::string profileFolder = profilesDirectory + selectedUser_;
    const DWORD attributes = GetFileAttributesA(profileFolder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        std::string message = "The profile folder " + profileFolder + " cannot be opened. Nothing was exported.";
        MessageBoxA(mainWindow_, message.c_str(), "Problem", MB_OK);
        return 1;
    }
    StoredProfileCommands commands = BuildStoredProfileCommands(selectedUser_, outputFolder_);
    DWORD loadCode = 0;
    // A load that could not be started was reported by the runner already.
    if (RunHidden(reg, commands.load, profileFolder.c_str(), &loadCode) != 0)
        return 1;
    if (loadCode != 0) {
        // Without the hive every export would fail; the files of an earlier
        // run stay as they are.
        std::string message = "The registry of the profile " + selectedUser_ +
                              " could not be loaded. The user may be logged on, or this tool may lack administrator "
                              "rights. Nothing was exported for this profile.";
        MessageBoxA(mainWindow_, message.c_str(), "Problem", MB_OK);
        return 1;
    }
    // The exports' codes are not read: a profile without mapped drives has no
    // Network key, and its missing drives export is normal.
    (void)RunExport(mainWindow_, reg, commands.drives, outputFolder_ + "\\mappedDrv.prt");
    (void)RunExport(mainWindow_, reg, commands.printers, outputFolder_ + "\\printers.prt");
    (void)RunHidden(reg, commands.unload);
    (void)RunExport(mainWindow_, reg, commands.apps, outputFolder_ + "\\InstalledApps.reg");
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
