#include "app/BrowseDlg.h"

#include <commctrl.h>

#include "res/resource.h"

INT_PTR TBrowseDlg::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        browserWindow_ = window;
        module_ = GetModuleHandleA(nullptr);
        InitCommonControls();
        return 0;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDB_EXIT)
            EndDialog(window, 1);
        return 0;
    case WM_DESTROY:
        EndDialog(window, 0);
        return 0;
    default:
        return 0;
    }
}
