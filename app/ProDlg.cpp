#include "app/ProDlg.h"

#define SECURITY_WIN32
#include <security.h>

#include <string>
#include <utility>
#include <vector>

#include "app/BrowseDlg.h"
#include "app/StartupText.h"
#include "local/LoadedHives.h"
#include "local/ProfileList.h"
#include "res/resource.h"

namespace {
// Set by the first EN_CHANGE of the machine-name field (the tool's own
// placing of the default name); the next change enables "Connect reg".
bool firstChangeSeen = false;

const char kDefaultMachineName[] = "\\\\YourMachineName";

// Logoff or shutdown: how long a running job may take by itself, then
// the final unload, then the rest of the job.
const DWORD kSessionJobMs = 10000;
const DWORD kSessionUnloadMs = 4000;
const DWORD kSessionLastMs = 2000;
}

INT_PTR TProDlg::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        OnInitDialog(window);
        return 0;  // the dialog manager does not choose the focus
    case WM_COMMAND:
        OnCommand(LOWORD(wParam), mainWindow_, HIWORD(wParam));
        return 0;
    case kJobProgressMessage:
        OnJobProgress();
        return 0;
    case kJobEndMessage:
        OnJobEnd();
        return 0;
    case WM_ENDSESSION:
        // WM_QUERYENDSESSION gets the default answer, yes: a job is waited
        // for here, where Windows really logs off or shuts down.
        if (wParam)
            OnSessionEnd();
        return 0;
    case WM_DESTROY:
        EndDialog(window, 0);
        return 0;
    default:
        return 0;
    }
}

void TProDlg::OnInitDialog(HWND window)
{
    mainWindow_ = window;
    module_ = GetModuleHandleA(nullptr);
    profileList_ = GetDlgItem(window, IDL_PROFILES);
    HWND profilesEdit = GetDlgItem(window, IDE_PROFILES_DIR);

    profilesDirectory_ = SystemProfilesDirectory();
    SetWindowTextA(profilesEdit, profilesDirectory_.c_str());

    char startDirectory[MAX_PATH] = {};
    DWORD longLength = GetCurrentDirectoryA(MAX_PATH, startDirectory);
    std::string longForm = (longLength > 0 && longLength < MAX_PATH) ? std::string(startDirectory) : std::string();
    std::string shortForm;
    bool shortOk = false;
    if (!longForm.empty()) {
        // The short form may be longer than the long one; let the call size it.
        DWORD needed = GetShortPathNameA(longForm.c_str(), nullptr, 0);
        if (needed > 0) {
            std::vector<char> buffer(needed + 1, '\0');
            DWORD got = GetShortPathNameA(longForm.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
            if (got > 0 && got < buffer.size()) {
                shortForm.assign(buffer.data(), got);
                shortOk = true;
            }
        }
    }
    // ChooseToolFolder gives at most sizeof toolFolder_ - 1 characters.
    std::string toolFolder = ChooseToolFolder(longForm, shortForm, shortOk, sizeof toolFolder_);
    toolFolder_[toolFolder.copy(toolFolder_, sizeof toolFolder_ - 1)] = '\0';

    SetDlgItemTextA(window, IDE_MACHINE_NAME, kDefaultMachineName);
    SetTitleLine();
    (void)FillProfileList();  // it reports its own failures
    EnableWindow(GetDlgItem(window, IDB_CONNECT_REG), FALSE);
}

void TProDlg::OnCommand(int id, HWND window, int notification)
{
    // The buttons that start a job are disabled while one runs; a click that
    // still arrives (sent by another program) starts nothing.
    const bool startsJob =
        id == IDB_SELECT_USER || id == IDB_BROWSE || id == IDB_REMOTE_SELECT_USER || id == IDB_CONNECT_REG;
    if (startsJob && job_.Running())
        return;
    switch (id) {
    case IDB_EXIT:
        OnExit();
        break;
    case IDB_SELECT_USER:
        SelectUser();
        break;
    case IDB_BROWSE:
        BrowseForProfilesDirectory();
        break;
    case IDB_SHOW_NET_PCS: {
        TBrowseDlg browser;
        (void)browser.RunModal(module_, IDD_NET_BROWSER, window);
        break;
    }
    case IDB_REMOTE_SELECT_USER:
        ExportRemoteUser();
        break;
    case IDE_MACHINE_NAME:
        if (notification == EN_SETFOCUS) {
            SetDlgItemTextA(window, IDE_MACHINE_NAME, "");
        } else if (notification == EN_CHANGE) {
            if (firstChangeSeen) {
                connectUnlocked_ = true;
                ShowJobButtons(job_.Running());  // "Connect reg" waits for the end of a running job
            }
            firstChangeSeen = true;
        }
        break;
    case IDB_CONNECT_REG:
        ConnectRemoteRegistry();
        break;
    default:
        break;  // lists, the profiles edit, the check box and Enter start nothing
    }
}

void TProDlg::SetTitleLine()
{
    char name[255] = {};
    ULONG size = sizeof name;
    BOOLEAN ok = GetComputerObjectNameA(NameSamCompatible, name, &size);
    std::string title = TitleLineText(ok != FALSE, name, sizeof name, size);
    SetWindowTextA(mainWindow_, title.c_str());
}

void TProDlg::StartJob(WindowJob kind, const JobSubject& subject, const std::string& what, TWindowJob::Work work,
                       TWindowJob::Done done)
{
    jobKind_ = kind;
    jobSubject_ = subject;
    closing_ = false;
    // A control loses the focus when it is disabled; it gets it back after.
    focusBeforeJob_ = GetFocus();
    ShowJobButtons(true);
    try {
        (void)job_.Start(mainWindow_, what, std::move(work), std::move(done));  // none runs: its buttons were enabled
    } catch (...) {
        ShowJobButtons(job_.Running());  // a job that did not start leaves the buttons as they were
        throw;
    }
}

void TProDlg::OnJobProgress()
{
    JobStep step = JobStep::Files;
    std::size_t done = 0, total = 0;
    // Once Exit was pressed the window says only that it finishes.
    if (job_.TakeProgress(step, done, total) && job_.Running() && !closing_)
        ShowJobText(JobStepText(jobSubject_, step, done, total));
}

void TProDlg::OnJobEnd()
{
    if (!job_.Running())
        return;  // abandoned at logoff or shutdown
    ShowJobText(u"");
    // After the job has told its outcome; also when telling it failed.
    const auto after = [this] {
        if (closing_) {
            EndDialog(mainWindow_, 0);
            return;
        }
        ShowJobButtons(false);
        if (!GetFocus() && focusBeforeJob_ && IsWindowEnabled(focusBeforeJob_))
            SendMessageA(mainWindow_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(focusBeforeJob_), TRUE);
    };
    try {
        job_.Finish();
    } catch (...) {
        after();
        throw;
    }
    after();
}

void TProDlg::OnExit()
{
    if (!job_.Running()) {
        EndDialog(mainWindow_, 0);
        return;
    }
    // The window stays till the job has ended: a stored profile's hive is
    // unloaded (left loaded, its user would get a temporary profile at the
    // next logon), and the job's outcome is told, before the tool goes.
    closing_ = true;
    ShowJobText(FinishingText(jobKind_, jobSubject_));
}

void TProDlg::OnSessionEnd()
{
    if (job_.Running()) {
        closing_ = true;
        ShowJobText(FinishingText(jobKind_, jobSubject_));
        UpdateWindow(mainWindow_);
        // The system ends the process once this message is answered, and
        // offers to end it when that takes long (XP: 20 s at logoff and
        // shutdown). The job gets most of that time to end by itself; then
        // the final unload ends its system program and unloads its hives, and
        // the job, which can start no other program, ends soon after.
        if (!job_.WaitForWorker(kSessionJobMs)) {
            (void)UnloadLoadedHives(kSessionUnloadMs);
            (void)job_.WaitForWorker(kSessionLastMs);
        }
        job_.Abandon();  // no box: nobody is left to read it
    }
    EndDialog(mainWindow_, 0);
}

void TProDlg::ShowJobButtons(bool jobRunning)
{
    const JobButtons buttons = EnabledJobButtons(jobRunning, connectUnlocked_);
    EnableWindow(GetDlgItem(mainWindow_, IDB_SELECT_USER), buttons.selectUser);
    EnableWindow(GetDlgItem(mainWindow_, IDB_BROWSE), buttons.browse);
    EnableWindow(GetDlgItem(mainWindow_, IDB_CONNECT_REG), buttons.connect);
    EnableWindow(GetDlgItem(mainWindow_, IDB_REMOTE_SELECT_USER), buttons.remoteSelectUser);
}

void TProDlg::ShowJobText(const std::u16string& text)
{
    SetDlgItemTextW(mainWindow_, IDC_PROGRESS, reinterpret_cast<const wchar_t*>(text.c_str()));
}
