#include <windows.h>

#include "app/ProDlg.h"
#include "res/resource.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    TProDlg mainWindow;
    // A dialog that cannot be created (-1) ends the process like a closed one.
    (void)mainWindow.RunModal(instance, IDD_MAIN, nullptr);
    return 0;
}
