#pragma once
#include <string>
#include <vector>

#include "app/BaseDialog.h"
#include "app/JobView.h"
#include "app/WindowJob.h"
#include "local/JobReport.h"
#include "remote/RemoteUserLine.h"

// The main window and the state that the local jobs share. Each job runs on
// a worker (TWindowJob) with copies of what it needs; the window's thread
// starts it, shows its progress and tells its outcome.
class TProDlg : public TBaseDialog {
public:
    TProDlg() = default;
    // The job's worker, if one still runs, is waited for (TWindowJob).
    ~TProDlg() override = default;

    INT_PTR HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;

    // Start-up and dispatch
    void OnInitDialog(HWND window);
    void OnCommand(int id, HWND window, int notification);
    void SetTitleLine();

    // Profile list
    void AddCurrentUserEntry();
    int FillProfileList();

    // Folder browser
    void BrowseForProfilesDirectory();

    // Local exports. Each job tells its one problem, if any, when it has ended.
    // Sets the output folder to the tool folder's `name` and creates it; 0.
    int CreateOutputFolder(const std::string& name);
    void SelectUser();
    void ExportStoredProfile();
    void ExportCurrentUser();

    // Remote exports
    void ConnectRemoteRegistry();
    void ExportRemoteUser();

    // A job's problem in a message box, owned by the main window or by none.
    void Tell(const TProblem& problem) const;

    // Jobs beside the window: the buttons that start one are disabled until
    // it has ended and told its outcome (done, on the window's thread).
    void StartJob(WindowJob kind, const JobSubject& subject, const std::string& what, TWindowJob::Work work,
                  TWindowJob::Done done);
    void OnJobProgress();
    void OnJobEnd();
    // Exit, Esc and the close box: at once, or once the running job has ended.
    void OnExit();
    // Logoff or shutdown: Windows ends the process once this returns, so the
    // job is waited for here.
    void OnSessionEnd();

    HWND MainWindow() const { return mainWindow_; }
    const char* ToolFolder() const { return toolFolder_; }

private:
    HWND mainWindow_ = nullptr;
    HMODULE module_ = nullptr;
    HWND profileList_ = nullptr;
    char toolFolder_[256] = {};
    std::string selectedUser_;
    std::string outputFolder_;
    // The folder the profile list was filled from.
    std::string profilesDirectory_;
    // The machine whose users the remote user list shows: the machine-name
    // field may have changed since "Connect reg".
    std::string listedMachine_;
    // Those users; each line of the list holds its user's index as its data.
    std::vector<RemoteUser> listedUsers_;

    void ShowJobButtons(bool jobRunning);
    void ShowJobText(const std::u16string& text);

    // "Connect reg" may be pressed: the machine-name field changed after start-up.
    bool connectUnlocked_ = false;
    TWindowJob job_;
    WindowJob jobKind_ = WindowJob::StoredProfile;
    JobSubject jobSubject_;
    // Exit was pressed while the job ran: the window ends with the job.
    bool closing_ = false;
    HWND focusBeforeJob_ = nullptr;
};
