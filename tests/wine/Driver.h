#pragma once
// Drives the real tool from another process the way a person would: finds
// its windows, reads control texts and states, clicks, types, answers
// message boxes and reads the exit code.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace driver {

extern const char kMainTitlePrefix[];

// Waits until `done` holds or the time is up; true when it held.
bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs = 10000);

std::string Text(HWND window);
// This computer's name, which Wine's remote registry accepts as a machine.
std::string ComputerName();
std::string ClassName(HWND window);
std::vector<std::string> ListItems(HWND list);
int ListSelection(HWND list);
// Presses a button on a thread of its own, beside a press that is still
// running (a button of a dialog that a job opened); the thread's handle.
HANDLE PressAside(HWND button);
// Sends a message whose lParam points to a text, placing the text in the
// window's own process first (messages like BFFM_SETSELECTIONA are not
// marshalled across processes).
LRESULT SendWithText(HWND window, UINT message, WPARAM wParam, const std::string& text);

class Tool {
public:
    Tool() = default;
    Tool(const Tool&) = delete;
    Tool& operator=(const Tool&) = delete;
    ~Tool();

    // Starts exe with workDir as its current directory; its standard output
    // goes to stdoutFile when one is given. Waits for the main window.
    bool Start(const std::string& exe, const std::string& workDir, const std::string& stdoutFile = "");
    HWND Main() const { return main_; }
    HWND Item(int id) const { return GetDlgItem(main_, id); }
    DWORD ProcessId() const { return process_.dwProcessId; }

    // A top-level dialog of the tool other than the main window (message box,
    // browser) whose caption is `caption`, or any caption when it is empty.
    HWND FindDialog(const std::string& caption = "", bool prefix = false) const;
    HWND WaitDialog(const std::string& caption = "", DWORD timeoutMs = 10000) const;
    // The text of a message box and a press of its OK button.
    static std::string MessageText(HWND box);
    static void PressOk(HWND box);

    // Presses a button of the main window. The press runs on its own thread,
    // so the test can answer message boxes while the job runs; JobDone tells
    // when the tool has finished handling it.
    void Press(int id);
    void PressIn(HWND dialog, int id);
    bool WaitJob(DWORD timeoutMs = 60000);
    bool JobRunning() const;

    // Puts the keyboard focus into a control, as a click or Tab would.
    void Focus(int id);
    // Types text into the focused control, one character at a time.
    void Type(HWND control, const std::string& text);
    void Key(HWND target, UINT virtualKey);
    // Types a machine name into the emptied machine-name field and presses
    // "Connect reg"; the job may still be waiting on a message box.
    void PressConnect(const std::string& machine);

    // Waits for the process to end; its exit code, or STILL_ACTIVE.
    DWORD WaitExit(DWORD timeoutMs = 10000);
    void Kill();

private:
    PROCESS_INFORMATION process_ = {};
    HWND main_ = nullptr;
    HANDLE pressThread_ = nullptr;
};

}  // namespace driver
