#include <exception>
#include <string>
#include <vector>

#include "app/ControlText.h"
#include "app/ProDlg.h"
#include "local/OutputSet.h"
#include "remote/MachineProbe.h"
#include "remote/RemoteExport.h"
#include "remote/RemoteFolder.h"
#include "remote/RemoteUserLine.h"
#include "res/resource.h"

void TProDlg::ConnectRemoteRegistry()
{
    HWND list = GetDlgItem(MainWindow(), IDL_REMOTE_USERS);
    // Emptied first, so that a failure below never leaves an earlier
    // machine's user standing.
    SendMessageA(list, LB_RESETCONTENT, 0, 0);
    listedMachine_.clear();
    listedUsers_.clear();
    try {
        const std::string machine = WindowText(GetDlgItem(MainWindow(), IDE_MACHINE_NAME));
        std::vector<RemoteUser> users;
        // A machine that is switched off would hold the window for the
        // system's connection timeout; the look at its ports takes seconds.
        std::string reason = MachineUnreachableReason(machine);
        if (!reason.empty() || ListLoggedOnUsers(machine, users, reason) != ERROR_SUCCESS) {
            MessageBoxA(MainWindow(), ConnectProblemText(reason).c_str(), kConnectFailedCaption, MB_OK);
            return;
        }
        listedMachine_ = machine;
        listedUsers_ = users;
        for (std::size_t i = 0; i < users.size(); ++i) {
            const std::string line = MakeRemoteUserLine(users[i].homeFolder, users[i].userKey);
            const LRESULT at = SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
            if (at >= 0)
                SendMessageA(list, LB_SETITEMDATA, static_cast<WPARAM>(at), static_cast<LPARAM>(i));
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
        caption = WindowText(button);
        captionSaved = true;
        SetWindowTextA(button, "Please Wait");
        EnableWindow(button, FALSE);

        // The selected line's user, or the first line's when none is selected,
        // by the index the line holds: a name the code page lacks shows as
        // '?', and two users may read alike.
        HWND list = GetDlgItem(window, IDL_REMOTE_USERS);
        LRESULT selected = SendMessageA(list, LB_GETCURSEL, 0, 0);
        const LRESULT user = SendMessageA(list, LB_GETITEMDATA, selected == LB_ERR ? 0 : static_cast<int>(selected), 0);
        RemoteExportJob job;
        if (user == LB_ERR || static_cast<std::size_t>(user) >= listedUsers_.size()) {
            MessageBoxA(window, "Please connect to a machine first that has users to export settings from", "Problem",
                        MB_OK);
        } else {
            job.user = listedUsers_[static_cast<std::size_t>(user)];
            // The users listed are those of the machine that "Connect reg"
            // asked, whatever the field shows now: the field empties itself
            // whenever it gets the focus.
            job.machine = listedMachine_;
            job.withApps = IsDlgButtonChecked(window, IDC_GET_APPS) == BST_CHECKED;
            // Anchored at the tool folder: the current directory may have
            // moved since the tool started.
            job.outputFolder = RemoteMachineFolder(ToolFolder(), IsAnsiLeadByte);
            TProblem problem;
            const std::string reason = MachineUnreachableReason(job.machine);
            if (!reason.empty())
                Fail(problem, ConnectProblemText(reason), kConnectFailedCaption);
            else
                (void)ExportRemoteUserFiles(job, problem);
            Tell(problem);
        }
    } catch (const std::exception&) {
        // The job ends here, and the button still comes back.
        MessageBoxA(window, "There is not enough memory to finish the remote export.", "Problem", MB_OK);
    }
    EnableWindow(button, TRUE);
    if (captionSaved)
        SetWindowTextA(button, caption.c_str());
}
