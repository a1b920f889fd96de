#pragma once

#include <cstddef>
#include <string>

#include "local/JobProgress.h"

// What the window shows of the job it runs: which buttons it offers, and a
// short line of UTF-16 text that says what is being done (the names come
// from the ANSI code page, the ellipsis from none).

// The jobs the window starts.
enum class WindowJob { StoredProfile, CurrentUser, Connect, RemoteExport };

// Whom and where a job reads: the profile or account ("carol"), or for a
// remote user the machine and the user ("\\PC7\carol"); the machine as it
// is connected to ("\\PC7").
struct JobSubject {
    std::u16string user;
    std::u16string machine;
};

// The step's line, such as "Reading printers of \\PC7\carol…" or, for a
// count, "Installed applications: 120 of 300".
std::u16string JobStepText(const JobSubject& subject, JobStep step, std::size_t done, std::size_t total);

// The line while the window waits for the job to end before it closes:
// "Finishing the export of carol…".
std::u16string FinishingText(WindowJob job, const JobSubject& subject);

// Which of the window's job buttons can be pressed: none while a job runs,
// so that no second one starts; "Connect reg" only once the machine-name
// field has been changed after start-up.
struct JobButtons {
    bool selectUser, browse, connect, remoteSelectUser;
};
JobButtons EnabledJobButtons(bool jobRunning, bool connectUnlocked);
