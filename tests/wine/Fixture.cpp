#include "tests/wine/Fixture.h"

namespace fixture {

void PrepareProfiles()
{
    sandbox::MakeDirs("C:\\users\\All Users");
    sandbox::MakeDirs("C:\\users\\Default User");
    SetFileAttributesA("C:\\users\\Default User", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_DIRECTORY);
    sandbox::MakeDirs("C:\\users\\alice");
    sandbox::MakeDirs("C:\\users\\bob smith");
}

std::string StartTool(driver::Tool& tool, const std::string& name, const std::string& stdoutFile)
{
    std::string folder = sandbox::FreshDir(name) + "\\tool";
    sandbox::MakeDirs(folder);
    EXPECT_TRUE(CopyFileA(sandbox::ToolExe().c_str(), (folder + "\\MovaraM.exe").c_str(), FALSE));
    EXPECT_TRUE(tool.Start(folder + "\\MovaraM.exe", folder, stdoutFile)) << "the main window did not appear";
    return folder;
}

void EndTool(driver::Tool& tool)
{
    tool.Press(2);
    EXPECT_EQ(tool.WaitExit(), 0u);
}

std::string AnswerBox(const driver::Tool& tool, const std::string& caption)
{
    HWND box = tool.WaitDialog(caption);
    if (!box)
        return "<no message box \"" + caption + "\">";
    std::string text = driver::Tool::MessageText(box);
    driver::Tool::PressOk(box);
    driver::WaitUntil([&] { return !IsWindow(box); }, 5000);
    return text;
}

}  // namespace fixture
