#pragma once
#include <string>
#include <vector>

#include "app/BaseDialog.h"
#include "local/JobReport.h"
#include "remote/RemoteUserLine.h"

// The main window and the state that the local jobs share.
class TProDlg : public TBaseDialog {
public:
    TProDlg() = default;
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
};
