// Walks through the tool's windows on the demo machine and saves a picture
// of each as a BMP file into the folder given as its argument, for the
// user's guide. Run under Wine by scripts/screenshots.
#include <windows.h>
#include <shlobj.h>

#include <cstdio>
#include <string>

#include "res/resource.h"
#include "tests/wine/Harness.h"

namespace {

std::string outFolder;

bool SaveWindow(HWND window, const std::string& name)
{
    RECT r;
    if (!window || !GetWindowRect(window, &r))
        return false;
    Sleep(400);  // let it finish painting
    int width = r.right - r.left, height = r.bottom - r.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
    SelectObject(memory, old);
    DWORD rowBytes = (width * 3 + 3) & ~3u;
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info.bmiHeader;
    file.bfSize = file.bfOffBits + rowBytes * height;
    std::string path = outFolder + "\\" + name + ".bmp";
    FILE* out = std::fopen(path.c_str(), "wb");
    bool ok = out != nullptr;
    if (out) {
        std::fwrite(&file, sizeof file, 1, out);
        std::fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, out);
        std::fwrite(bits, rowBytes, height, out);
        std::fclose(out);
    }
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    std::printf("%s %s\n", ok ? "saved" : "FAILED", path.c_str());
    return ok;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: tour <tool folder> <picture folder>\n");
        return 2;
    }
    std::string toolFolder = argv[1];
    outFolder = argv[2];
    driver::Tool tool;
    if (!tool.Start(toolFolder + "\\MovaraM.exe", toolFolder)) {
        std::fprintf(stderr, "the tool did not start\n");
        return 1;
    }
    int failures = 0;
    failures += !SaveWindow(tool.Main(), "main-window");

    tool.Press(IDB_BROWSE);
    HWND browser = tool.FindDialog("Browse for Folder", 10000);
    failures += !SaveWindow(browser, "folder-browser");
    if (browser)
        PostMessageA(browser, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(browser, IDCANCEL)));
    tool.WaitJob();

    tool.Press(IDB_REMOTE_SELECT_USER);
    HWND problem = tool.FindDialog("Problem", 10000);
    failures += !SaveWindow(problem, "remote-not-connected");
    if (problem)
        tool.Answer("Problem");
    tool.WaitJob();

    tool.TypeMachine(driver::ThisComputer());
    tool.Run(IDB_CONNECT_REG);
    SendMessageA(tool.Item(IDC_GET_APPS), BM_SETCHECK, BST_CHECKED, 0);
    failures += !SaveWindow(tool.Main(), "remote-connected");

    // A stored profile being exported, its export held in the stand-in for
    // the system's reg (the tour runs with it, as the tests do).
    sandbox::Write("C:\\users\\bob smith\\ntuser.dat", "Printers\r\nNetwork\r\n");
    sandbox::InstallStandIn();
    {
        sandbox::THeldExport hold("hku\\bob smith\\Printers");
        tool.Select(IDL_PROFILES, "bob smith");
        tool.Press(IDB_SELECT_USER);
        failures += !(hold.WaitHeld() && SaveWindow(tool.Main(), "job-running"));
    }
    tool.WaitIdle();
    tool.Select(IDL_PROFILES, "*User = ");

    tool.Run(IDB_SELECT_USER);
    tool.Run(IDB_REMOTE_SELECT_USER);

    tool.Press(IDB_EXIT);
    tool.WaitExit();
    return failures == 0 ? 0 : 1;
}
