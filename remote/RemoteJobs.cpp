#include "app/ProDlg.h"

void TProDlg::ConnectRemoteRegistry() {}
void TProDlg::ExportRemoteUser() {}
