#include "app/ProDlg.h"

int TProDlg::CreateOutputFolder(const std::string&) { return 0; }
void TProDlg::SelectUser() {}
void TProDlg::ExportStoredProfile() {}
void TProDlg::ExportCurrentUser() {}
void TProDlg::ConvertStoredProfileExports() {}
