#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <string>

#include "app/ProDlg.h"
#include "res/resource.h"

namespace {

// Shell services of the folder browse; the browser gets its address as the
// callback's data, which the callback does not use.
class TShellStuff {
public:
    virtual ~TShellStuff() = default;
};

int CALLBACK BrowseCallback(HWND browser, UINT event, LPARAM, LPARAM)
{
    if (event == BFFM_INITIALIZED) {
        SendMessageA(browser, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>("C:\\"));
    } else if (event == BFFM_VALIDATEFAILEDA) {
        MessageBoxA(nullptr, "That directory has a problem", "Error directory doesnt exist", MB_OK);
    }
    return 0;
}

// Owns the item the browser returns.
class ItemIdList {
public:
    explicit ItemIdList(LPITEMIDLIST item) : item_(item) {}
    ItemIdList(const ItemIdList&) = delete;
    ItemIdList& operator=(const ItemIdList&) = delete;
    ~ItemIdList() { CoTaskMemFree(item_); }
    LPITEMIDLIST get() const { return item_; }

private:
    LPITEMIDLIST item_;
};

}  // namespace

void TProDlg::BrowseForProfilesDirectory()
{
    char displayName[MAX_PATH] = {};
    TShellStuff shell;
    HWND profilesEdit = GetDlgItem(mainWindow_, IDE_PROFILES_DIR);

    BROWSEINFOA info = {};
    info.hwndOwner = mainWindow_;
    info.pidlRoot = nullptr;
    info.pszDisplayName = displayName;
    info.lpszTitle = "This is a test";
    info.ulFlags = BIF_EDITBOX | BIF_VALIDATE | BIF_NEWDIALOGSTYLE | BIF_NONEWFOLDERBUTTON;
    info.lpfn = BrowseCallback;
    info.lParam = reinterpret_cast<LPARAM>(&shell);
    info.iImage = 0;

    // The new-style browser needs COM on this thread, apartment-threaded.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    LPITEMIDLIST picked = SHBrowseForFolderA(&info);
    if (SUCCEEDED(com))
        CoUninitialize();
    // A cancelled browse keeps the directory, the edit and the list as they were.
    if (!picked)
        return;
    ItemIdList item(picked);

    char path[MAX_PATH] = {};
    std::string directory;
    if (SHGetPathFromIDListA(item.get(), path)) {
        path[MAX_PATH - 1] = '\0';
        directory = std::string(path) + "\\";
    }
    // An item without a file-system path leaves an empty directory, which the
    // profile list treats as one that does not exist.
    SetWindowTextA(profilesEdit, directory.c_str());
    profilesDirectory_ = directory;
    (void)FillProfileList();
}
