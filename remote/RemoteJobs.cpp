#include "app/ProDlg.h"

#include <exception>
#include <string>
#include <vector>

#include "app/ControlText.h"
#include "remote/AppListFile.h"
#include "remote/Registry.h"
#include "remote/RemoteFolder.h"
#include "remote/RemoteUserLine.h"
#include "res/resource.h"

namespace {

const char kLoggedOnMarkKey[] = "Volatile Environment";
const char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

} // namespace

void TProDlg::ConnectRemoteRegistry()
{
    HWND list = GetDlgItem(MainWindow(), IDL_REMOTE_USERS);
    // Emptied first, so that a failure below never leaves an earlier
    // machine's user standing.
    SendMessageA(list, LB_RESETCONTENT, 0, 0);
    try {
        const std::string machine = WindowText(GetDlgItem(MainWindow(), IDE_MACHINE_NAME));
        TRegistry registry;
        if (registry.Connect(machine, HKEY_USERS) != ERROR_SUCCESS) {
            MessageBoxA(MainWindow(),
                        "Problem connecting to remote machine. Please check to make sure the pc name does exist on "
                        "the network.",
                        "Problem locating pc.", MB_OK);
            return;
        }
        (void)registry.EnumKeys();  // the keys listed before an error are still worth looking at
        const std::list<std::string> candidates = registry.GetNames();
        for (const std::string& candidate : candidates) {
            if (!TRegistry::HasSubKey(registry.ConnectedKey(), candidate, kLoggedOnMarkKey))
                continue;
            // Only the first logged-on user is shown.
            (void)registry.ReadHomePath(registry.ConnectedKey(), candidate + "\\" + kLoggedOnMarkKey);
            for (const std::string& line : registry.GetNames())
                SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
            break;
        }
    } catch (const std::exception&) {
        MessageBoxA(MainWindow(), "There is not enough memory to list the remote users.", "Problem", MB_OK);
    }
}

void TProDlg::ExportRemoteUser()
{
    HWND window = MainWindow();
    HWND button = GetDlgItem(window, IDB_REMOTE_SELECT_USER);
    std::string caption;
    bool captionSaved = false;
    try {
        TRegistry registry;
        caption = WindowText(button);
        captionSaved = true;
        SetWindowTextA(button, "Please Wait");
        EnableWindow(button, FALSE);

        // The list is sorted, so its first entry is the one exported whatever
        // is selected.
        const std::string line = ListEntryText(GetDlgItem(window, IDL_REMOTE_USERS), 0);
        const std::string machine = WindowText(GetDlgItem(window, IDE_MACHINE_NAME));
        std::string userKey;
        if (!UserKeyFromRemoteLine(line, userKey)) {
            MessageBoxA(window, "Please connect to a machine first that has users to export settings from", "Problem",
                        MB_OK);
        } else {
            // Anchored at the tool folder: a stored-profile export leaves the
            // current directory in a profile folder.
            const std::string folder = RemoteMachineFolder(ToolFolder());
            // The connections are not checked: a failed one leaves its export
            // with the header line alone, and the next export still runs.
            (void)registry.Connect(machine, HKEY_USERS);
            registry.ExportToFile(folder, userKey + "\\Printers", "printers.txt");
            (void)registry.Connect(machine, HKEY_USERS);
            registry.ExportToFile(folder, userKey + "\\Network", "drives.txt");
            if (IsDlgButtonChecked(window, IDC_GET_APPS) == BST_CHECKED) {
                (void)registry.Connect(machine, HKEY_LOCAL_MACHINE);
                registry.ExportToFile(folder, kUninstallKey, "apps.txt");
                MakeAppList(folder + "\\apps.txt", folder + "\\SmallApps.txt");
            }
        }
    } catch (const std::exception&) {
        // The job ends here, and the button still comes back.
        MessageBoxA(window, "There is not enough memory to finish the remote export.", "Problem", MB_OK);
    }
    EnableWindow(button, TRUE);
    if (captionSaved)
        SetWindowTextA(button, caption.c_str());
}
