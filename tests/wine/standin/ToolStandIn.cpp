// Stands in for MovaraM.exe behind a copy of MovaraM.com, for what the real
// tool cannot be made to do. "exit N": writes one line to standard output and
// ends with exit code N, such as the code of an exception. "interrupt": sends
// Ctrl+C to every process of its console, the front included, and ends with
// 71 once its own handler has heard it (70 if it never did), a second later,
// when a front that did not wait it out has long ended.
#include <windows.h>

#include <cstdlib>
#include <string>

namespace {

volatile LONG gHeard = 0;

BOOL WINAPI Heard(DWORD event)
{
    if (event == CTRL_C_EVENT)
        InterlockedExchange(&gHeard, 1);
    return TRUE;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "exit" && argc > 2) {
        const std::string line = "stand-in exit " + std::string(argv[2]) + "\r\n";
        DWORD written = 0;
        WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
        ExitProcess(static_cast<UINT>(std::strtoul(argv[2], nullptr, 10)));
    }
    if (mode == "interrupt") {
        SetConsoleCtrlHandler(Heard, TRUE);
        if (!GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0))
            return 69;
        for (int i = 0; i < 250 && !gHeard; ++i)
            Sleep(20);
        Sleep(1000);
        return gHeard ? 71 : 70;
    }
    return 2;
}
