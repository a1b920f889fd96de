#pragma once
#include <string>

#include "app/BaseDialog.h"

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

    // Local exports
    int CreateOutputFolder(const std::string& name);
    void SelectUser();
    // 0 when the profile's exports ran; 1 when its folder could not be entered
    // or its hive could not be loaded (the user was told).
    int ExportStoredProfile(const std::string& profilesDirectory, const std::string& reg);
    void ExportCurrentUser();
    void ConvertStoredProfileExports();

    // Remote exports
    void ConnectRemoteRegistry();
    void ExportRemoteUser();

    HWND MainWindow() const { return mainWindow_; }
    const char* ToolFolder() const { return toolFolder_; }

private:
    HWND mainWindow_ = nullptr;
    HMODULE module_ = nullptr;
    HWND profileList_ = nullptr;
    char toolFolder_[256] = {};
    std::string selectedUser_;
    std::string outputFolder_;
    std::string profilesDirectory_;
};

// The index of the running user's entry in the profile list, or LB_ERR.
LRESULT CurrentUserIndex(HWND list);

// The system's profiles folder with a backslash appended; empty when the
// system cannot tell it.
std::string SystemProfilesDirectory();
