#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "app/ControlText.h"
#include "app/ProDlg.h"
#include "local/AnsiNames.h"
#include "local/OutputSet.h"
#include "remote/MachineProbe.h"
#include "remote/RemoteExport.h"
#include "remote/RemoteFolder.h"
#include "remote/RemoteUserLine.h"
#include "res/resource.h"

void TProDlg::ConnectRemoteRegistry()
{
    HWND list = GetDlgItem(MainWindow(), IDL_REMOTE_USERS);
    // Emptied first, so that a failure never leaves an earlier machine's
    // user standing.
    SendMessageA(list, LB_RESETCONTENT, 0, 0);
    listedMachine_.clear();
    listedUsers_.clear();
    const std::string machine = WindowText(GetDlgItem(MainWindow(), IDE_MACHINE_NAME));
    // Filled by the worker, read by the window's thread once it has ended.
    const auto users = std::make_shared<std::vector<RemoteUser>>();
    StartJob(
        WindowJob::Connect, {u"", AnsiAsUtf16(machine)}, "connection",
        [machine, users](TProblem& problem, const JobProgress& progress) {
            // A machine that is switched off would hold the job for the
            // system's connection timeout; the look at its ports takes seconds.
            Announce(progress, JobStep::Probe);
            std::string reason = MachineUnreachableReason(machine);
            if (!reason.empty() ||
                (Announce(progress, JobStep::Users) && ListLoggedOnUsers(machine, *users, reason) != ERROR_SUCCESS))
                Fail(problem, ConnectProblemText(reason), kConnectFailedCaption);
        },
        [this, list, machine, users](const TProblem& problem) {
            if (problem.Set()) {
                Tell(problem);
                return;
            }
            listedMachine_ = machine;
            listedUsers_ = *users;
            for (std::size_t i = 0; i < users->size(); ++i) {
                const std::string line = MakeRemoteUserLine((*users)[i].homeFolder, (*users)[i].userKey);
                const LRESULT at = SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
                if (at >= 0)
                    SendMessageA(list, LB_SETITEMDATA, static_cast<WPARAM>(at), static_cast<LPARAM>(i));
            }
            // The first line is selected, so that the user sees who would be exported.
            SendMessageA(list, LB_SETCURSEL, 0, 0);
        });
}

void TProDlg::ExportRemoteUser()
{
    HWND window = MainWindow();
    HWND button = GetDlgItem(window, IDB_REMOTE_SELECT_USER);
    const std::string caption = WindowText(button);
    const auto restoreCaption = [button, caption] { SetWindowTextA(button, caption.c_str()); };
    SetWindowTextA(button, "Please Wait");
    EnableWindow(button, FALSE);
    try {
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
            restoreCaption();
            EnableWindow(button, TRUE);
            return;
        }
        job.user = listedUsers_[static_cast<std::size_t>(user)];
        // The users listed are those of the machine that "Connect reg"
        // asked, whatever the field shows now: the field empties itself
        // whenever it gets the focus.
        job.machine = listedMachine_;
        // Read now, not when the job reaches the applications: the job has
        // copies of all it needs.
        job.withApps = IsDlgButtonChecked(window, IDC_GET_APPS) == BST_CHECKED;
        // Anchored at the tool folder: the current directory may have moved
        // since the tool started.
        job.outputFolder = RemoteMachineFolder(ToolFolder(), IsAnsiLeadByte);
        const JobSubject subject = {AnsiAsUtf16(JoinPath(job.machine, job.user.homeFolder, IsAnsiLeadByte)),
                                    AnsiAsUtf16(job.machine)};
        StartJob(
            WindowJob::RemoteExport, subject, "remote export",
            [job](TProblem& problem, const JobProgress& progress) {
                Announce(progress, JobStep::Probe);
                const std::string unreachable = MachineUnreachableReason(job.machine);
                if (!unreachable.empty())
                    Fail(problem, ConnectProblemText(unreachable), kConnectFailedCaption);
                else
                    (void)ExportRemoteUserFiles(job, problem, progress);
            },
            [this, restoreCaption](const TProblem& problem) {
                Tell(problem);
                restoreCaption();
            });
    } catch (const std::exception&) {
        // No job started: the button comes back.
        MessageBoxA(window, "There is not enough memory to finish the remote export.", "Problem", MB_OK);
        restoreCaption();
        ShowJobButtons(job_.Running());
    }
}
