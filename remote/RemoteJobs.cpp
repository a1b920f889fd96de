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

void SayConnectionFailed(HWND owner)
{
    MessageBoxA(owner,
                "Problem connecting to remote machine. Please check to make sure the pc name does exist on the network.",
                "Problem locating pc.", MB_OK);
}

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
            SayConnectionFailed(MainWindow());
            return;
        }
        (void)registry.EnumKeys();  // the keys listed before an error are still worth looking at
        const std::list<std::string> candidates = registry.GetNames();
        // Every logged-on user gets a line: a terminal server has many.
        for (const std::string& candidate : candidates) {
            if (!TRegistry::HasSubKey(registry.ConnectedKey(), candidate, kLoggedOnMarkKey))
                continue;
            (void)registry.ReadHomePath(registry.ConnectedKey(), candidate + "\\" + kLoggedOnMarkKey);
            for (const std::string& line : registry.GetNames())
                SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
        }
        // The first line is selected, so that the user sees who would be exported.
        SendMessageA(list, LB_SETCURSEL, 0, 0);
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

        // The selected line's user, or the first line's when none is selected.
        HWND list = GetDlgItem(window, IDL_REMOTE_USERS);
        LRESULT selected = SendMessageA(list, LB_GETCURSEL, 0, 0);
        const std::string line = ListEntryText(list, selected == LB_ERR ? 0 : static_cast<int>(selected));
        const std::string machine = WindowText(GetDlgItem(window, IDE_MACHINE_NAME));
        std::string userKey;
        if (!UserKeyFromRemoteLine(line, userKey)) {
            MessageBoxA(window, "Please connect to a machine first that has users to export settings from", "Problem",
                        MB_OK);
        } else {
            // Anchored at the tool folder: the current directory may have
            // moved since the tool started.
            const std::string folder = RemoteMachineFolder(ToolFolder());
            // A connection that fails ends the job with one message, before
            // its export could replace a good file of an earlier run with an
            // empty one. A missing key on a reachable machine is no failure:
            // its file holds the header alone.
            const bool withApps = IsDlgButtonChecked(window, IDC_GET_APPS) == BST_CHECKED;
            bool connected = registry.Connect(machine, HKEY_USERS) == ERROR_SUCCESS;
            if (connected) {
                registry.ExportToFile(folder, userKey + "\\Printers", "printers.txt");
                connected = registry.Connect(machine, HKEY_USERS) == ERROR_SUCCESS;
            }
            if (connected) {
                registry.ExportToFile(folder, userKey + "\\Network", "drives.txt");
                connected = !withApps || registry.Connect(machine, HKEY_LOCAL_MACHINE) == ERROR_SUCCESS;
            }
            if (connected && withApps) {
                registry.ExportToFile(folder, kUninstallKey, "apps.txt");
                MakeAppList(folder + "\\apps.txt", folder + "\\SmallApps.txt");
            }
            if (!connected)
                SayConnectionFailed(window);
        }
    } catch (const std::exception&) {
        // The job ends here, and the button still comes back.
        MessageBoxA(window, "There is not enough memory to finish the remote export.", "Problem", MB_OK);
    }
    EnableWindow(button, TRUE);
    if (captionSaved)
        SetWindowTextA(button, caption.c_str());
}
