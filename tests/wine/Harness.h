#pragma once
// Drives the real tool from another process of the same Wine prefix the way a
// person would (finds its windows, reads texts, clicks, types, answers message
// boxes), and makes the files and registry keys a test needs.
#include <windows.h>
#include <shlobj.h>

#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace driver {

bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs = 10000);
std::string Text(HWND window);
// The text read through the wide call, for texts outside the ANSI code page.
std::wstring WideText(HWND window);
std::vector<std::string> ListItems(HWND list);
// Sends a message whose lParam points to a text, placing the text in the
// window's own process first (BFFM_SETSELECTIONA is not marshalled).
void SendWithText(HWND window, UINT message, WPARAM wParam, const std::string& text);
// "\\" and this computer's name, which Wine's RegConnectRegistryA takes for a
// remote machine.
std::string ThisComputer();

class Tool {
public:
    Tool() = default;
    Tool(const Tool&) = delete;
    Tool& operator=(const Tool&) = delete;
    ~Tool() { Kill(); }

    // Starts exe in workDir and waits for the main window.
    bool Start(const std::string& exe, const std::string& workDir);
    HWND Main() const { return main_; }
    HWND Item(int id) const { return GetDlgItem(main_, id); }
    // A visible dialog of the tool other than the main window whose caption
    // starts with captionStart, waited for up to waitMs.
    HWND FindDialog(const std::string& captionStart = "", DWORD waitMs = 0) const;
    // Waits for the message box with this caption, presses its OK and returns
    // its text, with "<owned>" appended when the main window owns it, and
    // "<other thread>" when a thread other than the main window's shows it.
    std::string Answer(const std::string& caption);
    // Presses a button (of the main window by default) on a thread of its own,
    // so that the test can answer message boxes while its click is handled.
    void Press(int id, HWND dialog = nullptr);
    // Presses the button, answers the one message box its click or its job
    // shows, if any, and waits for the job to end; the box's text as Answer
    // gives it, or "".
    std::string Run(int id);
    // Waits until the press has been handled: a job it started runs on.
    bool WaitJob(DWORD timeoutMs = 60000)
    {
        return !pressThread_ || WaitForSingleObject(pressThread_, timeoutMs) == WAIT_OBJECT_0;
    }
    // Waits until no job runs: the buttons that start one are enabled again.
    bool WaitIdle(DWORD timeoutMs = 120000);
    // Focuses the machine-name field, which empties it, and types the name.
    void TypeMachine(const std::string& machine);
    // Selects the first entry that starts with text (in any letter case), or
    // none for ""; the index selected, or LB_ERR.
    LRESULT Select(int listId, const std::string& text)
    {
        return text.empty() ? SendMessageA(Item(listId), LB_SETCURSEL, static_cast<WPARAM>(-1), 0)
                            : SendMessageA(Item(listId), LB_SELECTSTRING, static_cast<WPARAM>(-1),
                                           reinterpret_cast<LPARAM>(text.c_str()));
    }
    DWORD WaitExit(DWORD timeoutMs = 10000);
    void Kill();

private:
    PROCESS_INFORMATION process_ = {};
    HWND main_ = nullptr;
    HANDLE pressThread_ = nullptr;
};

}  // namespace driver

namespace sandbox {

// A file beside the test program (the tool, the stand-in), and the system
// directory with a backslash (where the stand-in logs and reads its control
// files "fail-load", "fail-unload", "fail-export", "big-export" and "hold").
std::string Beside(const std::string& name);
std::string SystemDir();
// Copies the stand-in over the system's reg.exe and removes its log and
// control files; returns SystemDir().
std::string InstallStandIn();
// The stand-in's calls since the last look, one line of arguments joined by
// "|" each.
std::string StandInCalls();

// Holds the stand-in once its load or export of key (as on its command
// line, such as "hku\carol\Printers") is done, until Release or the end of
// the object (its "hold" and "held"), so that a test can look at the window
// while a job waits at that step.
class THeldExport {
public:
    explicit THeldExport(const std::string& key);
    THeldExport(const THeldExport&) = delete;
    THeldExport& operator=(const THeldExport&) = delete;
    ~THeldExport() { Release(); }
    // Whether the stand-in has done its work on the key and waits.
    bool WaitHeld(DWORD timeoutMs = 20000);
    // Lets it go on; it holds nothing after.
    void Release();
};

// A process of this test program that does nothing: started suspended, it
// runs till End; ended, its id goes to no other process while the object
// lives (its handle stays open).
class Child {
public:
    Child();
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    ~Child();
    DWORD Id() const { return id_; }
    void End();

private:
    HANDLE process_ = nullptr;
    DWORD id_ = 0;
};

// A new, empty folder C:\mvt\<name>.
std::string FreshDir(const std::string& name);
inline void MakeDirs(const std::string& path) { SHCreateDirectoryExA(nullptr, path.c_str(), nullptr); }
void RemoveTree(const std::string& path);
inline bool KeyExists(HKEY root, const std::string& path)
{
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}
inline bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }
std::string Read(const std::string& path);
// The names in a folder, "." and ".." aside, sorted and each followed by "|".
std::string Listing(const std::string& folder);
// Runs exe with these arguments in dir, its standard output into output
// (with "", in a console of its own, as a command prompt window would run
// it); the exit code, or 999 when it had not ended by itself in time
// (waiting for a person at a window it must not show).
DWORD RunProgram(const std::string& exe, const std::string& arguments, const std::string& dir, const std::string& output);
// RunProgram for the tool beside the test program.
inline DWORD RunTool(const std::string& arguments, const std::string& dir, const std::string& output)
{
    return RunProgram(Beside("MovaraM.exe"), arguments, dir, output);
}
// The tool run so many times in dir, one after the other, its standard
// output into output<i>.txt each time: on a thread of its own.
struct TToolRuns {
    std::string dir, arguments, output;
    int times;
    std::vector<DWORD> codes;
};
DWORD WINAPI RunToolTimes(LPVOID runs);
// The lines of a text, without their LF.
std::vector<std::string> Lines(const std::string& text);
// A log line's source and outcome: its time checked for its form and cut
// off, its error numbers hidden (ErrorNumbersHidden).
std::string LogEntry(const std::string& line);
// LogEntry of each line, sorted: machines run side by side.
std::vector<std::string> SortedEntries(const std::string& log);
// The text with every from replaced by to.
std::string Replaced(std::string text, const std::string& from, const std::string& to);
// The text with each "(error <digits>)" as "(error N)": a name that does not
// resolve is error 11001, or 11002 while the resolver is busy.
std::string ErrorNumbersHidden(std::string text);
// UTF-16LE bytes of an ASCII text, as reg writes its exports (no byte-order mark).
inline std::string Utf16(const std::string& ascii)
{
    std::string out;
    for (char c : ascii)
        out += std::string(1, c) + '\0';
    return out;
}
inline void Write(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }
// Copies the tool into C:\mvt\<name>\tool and starts it there (its tool
// folder); returns the folder.
std::string StartTool(driver::Tool& tool, const std::string& name);
// Creates the key at path; sets the value too when name is not null.
void SetValue(HKEY root, const std::string& path, const char* name, DWORD type, const std::string& data);
inline void SetString(HKEY root, const std::string& path, const char* name, const std::string& text)
{
    SetValue(root, path, name, REG_SZ, text + '\0');
}
// Creates the key at path (in that view of the registry) and sets the value
// to text and its closing NUL through the wide call.
void SetWide(HKEY root, const std::wstring& path, const wchar_t* name, const std::wstring& text, DWORD type = REG_SZ,
             REGSAM view = 0);

// Fills the machine's uninstall key (and the 32-bit view of a 64-bit
// machine) with entries whose reading only Windows does (an unexpanded
// name, names outside the code page, the 32-bit view), and
// the user's own uninstall key below userRoot\userPath with one entry.
void MakeUninstallEntries(HKEY userRoot, const std::string& userPath);
// The user's entry, as a line of the stand-in's hive file.
extern const char kUserUninstallHiveLine[];
// Applications.txt for those entries, the user's included.
std::string ExpectedApplications();

}  // namespace sandbox
