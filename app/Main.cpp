#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "app/CommandLineRun.h"
#include "app/ProDlg.h"
#include "res/resource.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    // With arguments the tool runs the exports they name and shows nothing:
    // a window or a message box would hang a scheduled or remote run.
    if (__argc > 1)
        return RunCommandLine(std::vector<std::string>(__argv + 1, __argv + __argc));

    TProDlg mainWindow;
    // A dialog that cannot be created (-1) ends the process like a closed one.
    (void)mainWindow.RunModal(instance, IDD_MAIN, nullptr);
    return 0;
}
