#pragma once
// GoogleTest's Notification uses std::mutex, which the win32 thread model of
// mingw-w64 lacks; this Win32 event does the same job. Force-included into
// every C++ file of the Windows test build.
#include <windows.h>

namespace testing {
namespace internal {
class Notification {
public:
    Notification() : event_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
    Notification(const Notification&) = delete;
    Notification& operator=(const Notification&) = delete;
    ~Notification() { CloseHandle(event_); }
    void Notify() { SetEvent(event_); }
    void WaitForNotification() { WaitForSingleObject(event_, INFINITE); }

private:
    HANDLE event_;
};
}  // namespace internal
}  // namespace testing

#define GTEST_HAS_NOTIFICATION_ 1
