#include <windows.h>

#include <string>

#include "app/ProDlg.h"
#include "local/CommandLines.h"
#include "local/CommandRunner.h"
#include "local/ExportFiles.h"
#include "remote/AppListFile.h"

void TProDlg::ExportCurrentUser()
{
    const std::string reg = RegProgramOrSay(mainWindow_);
    if (reg.empty())
        return;
    CreateOutputFolder("CurrentUser");
    const std::string& out = outputFolder_;
    CurrentUserCommands commands = BuildCurrentUserCommands(out);

    // Each result is ignored: the next step runs whatever the previous did.
    (void)RunExport(mainWindow_, reg, commands.drives, out + "\\mappedDrv.reg");
    (void)RunExport(mainWindow_, reg, commands.printers, out + "\\printers.reg");
    (void)RunExport(mainWindow_, reg, commands.apps, out + "\\InstalledApps.txt");

    (void)ConvertToPrxFile(*this, out + "\\mappedDrv.reg", out + "\\mappedDrv.prx");
    (void)ConvertToPrxFile(*this, out + "\\printers.reg", out + "\\printers.prx");
    MakeAppList(out + "\\InstalledApps.txt", out + "\\InstalledApp.txt");
}
