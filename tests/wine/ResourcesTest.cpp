#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "res/resource.h"
#include "tests/wine/Sandbox.h"

// Reads the built executable's resources back, so that a typo in a
// resource script fails here.
namespace {

const WORD kUsEnglish = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);

class Module {
public:
    Module() : module_(LoadLibraryExA(sandbox::ToolExe().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE)) {}
    ~Module() { if (module_) FreeLibrary(module_); }
    HMODULE get() const { return module_; }
    std::string Bytes(LPCSTR type, LPCSTR name) const
    {
        HRSRC found = FindResourceExA(module_, type, name, kUsEnglish);
        if (!found)
            return std::string();
        HGLOBAL data = LoadResource(module_, found);
        return std::string(static_cast<const char*>(LockResource(data)), SizeofResource(module_, found));
    }

private:
    HMODULE module_;
};

std::string VersionString(const std::vector<char>& block, const std::string& name)
{
    char* value = nullptr;
    UINT length = 0;
    std::string path = "\\StringFileInfo\\040904b0\\" + name;
    if (!VerQueryValueA(block.data(), path.c_str(), reinterpret_cast<void**>(&value), &length) || !value)
        return "<missing>";
    return std::string(value);
}

// One control of a DLGTEMPLATEEX.
struct Control {
    DWORD id;
    std::string className;
    std::string text;
    DWORD style;
    short x, y, cx, cy;
};

struct Template {
    DWORD style = 0;
    short cx = 0, cy = 0;
    std::string title, fontName;
    WORD pointSize = 0;
    std::vector<Control> controls;
};

class Reader {
public:
    explicit Reader(const std::string& bytes) : bytes_(bytes) {}
    WORD Word() { WORD w = 0; memcpy(&w, bytes_.data() + at_, 2); at_ += 2; return w; }
    DWORD Dword() { DWORD d = 0; memcpy(&d, bytes_.data() + at_, 4); at_ += 4; return d; }
    short Short() { return static_cast<short>(Word()); }
    void Align() { at_ = (at_ + 3) & ~static_cast<std::size_t>(3); }
    std::string Wide()
    {
        std::string out;
        for (WORD c = Word(); c != 0; c = Word())
            out.push_back(static_cast<char>(c));
        return out;
    }
    // A name or an ordinal (0xFFFF, then the number).
    std::string NameOrOrdinal()
    {
        WORD first = Word();
        if (first == 0xFFFF) {
            WORD ordinal = Word();
            switch (ordinal) {
            case 0x80: return "Button";
            case 0x81: return "Edit";
            case 0x82: return "Static";
            case 0x83: return "ListBox";
            default: return "#" + std::to_string(ordinal);
            }
        }
        at_ -= 2;
        return Wide();
    }

private:
    const std::string& bytes_;
    std::size_t at_ = 0;
};

Template ParseTemplate(const std::string& bytes)
{
    Template t;
    Reader r(bytes);
    EXPECT_EQ(r.Word(), 1);       // dlgVer
    EXPECT_EQ(r.Word(), 0xFFFF);  // DLGTEMPLATEEX
    r.Dword();                    // help id
    r.Dword();                    // extended style
    t.style = r.Dword();
    WORD count = r.Word();
    r.Short();
    r.Short();
    t.cx = r.Short();
    t.cy = r.Short();
    EXPECT_EQ(r.NameOrOrdinal(), "");  // no menu
    EXPECT_EQ(r.NameOrOrdinal(), "");  // default class
    t.title = r.Wide();
    t.pointSize = r.Word();
    r.Word();  // weight
    r.Word();  // italic, charset
    t.fontName = r.Wide();
    for (WORD i = 0; i < count; ++i) {
        r.Align();
        Control c;
        r.Dword();  // help id
        r.Dword();  // extended style
        c.style = r.Dword();
        c.x = r.Short();
        c.y = r.Short();
        c.cx = r.Short();
        c.cy = r.Short();
        c.id = r.Dword();
        c.className = r.NameOrOrdinal();
        c.text = r.NameOrOrdinal();
        WORD extra = r.Word();
        for (WORD b = 0; b < extra; b += 2)
            r.Word();
        t.controls.push_back(c);
    }
    return t;
}

void ExpectControl(const Control& c, DWORD id, const char* cls, const char* text, DWORD style, short x, short y,
                   short cx, short cy)
{
    SCOPED_TRACE("control " + std::to_string(static_cast<int>(id)) + " \"" + text + "\"");
    EXPECT_EQ(c.id, id);
    // Class names compare without regard to case, as the system does.
    EXPECT_EQ(lstrcmpiA(c.className.c_str(), cls), 0) << c.className;
    EXPECT_EQ(c.text, text);
    EXPECT_EQ(c.style, style | WS_CHILD) << std::hex << c.style;
    EXPECT_EQ(c.x, x);
    EXPECT_EQ(c.y, y);
    EXPECT_EQ(c.cx, cx);
    EXPECT_EQ(c.cy, cy);
}

const DWORD kNone = 0xFFFFFFFF;
const DWORD kSortedList = LBS_SORT | LBS_NOTIFY | WS_VSCROLL | WS_BORDER | LBS_NOINTEGRALHEIGHT | WS_TABSTOP | WS_VISIBLE;
const DWORD kButton = BS_PUSHBUTTON | WS_TABSTOP | WS_VISIBLE;
const DWORD kGroup = BS_GROUPBOX | WS_VISIBLE;

BOOL CALLBACK CountResource(HMODULE, LPCSTR, LPSTR, LONG_PTR count)
{
    ++*reinterpret_cast<int*>(count);
    return TRUE;
}

}  // namespace

TEST(Resources, VersionBlock)
{
    std::string exe = sandbox::ToolExe();
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeA(exe.c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::vector<char> block(size);
    ASSERT_TRUE(GetFileVersionInfoA(exe.c_str(), 0, size, block.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00010007u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0x00010007u);
    EXPECT_EQ(fixed->dwFileOS, static_cast<DWORD>(VOS__WINDOWS32));
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));

    EXPECT_EQ(VersionString(block, "FileDescription"), "MovaraM Application");
    EXPECT_EQ(VersionString(block, "FileVersion"), "1, 0, 1, 7");
    EXPECT_EQ(VersionString(block, "InternalName"), "MovaraM");
    EXPECT_EQ(VersionString(block, "OriginalFilename"), "MovaraM.exe");
    EXPECT_EQ(VersionString(block, "ProductName"), " MovaraM Application");
    EXPECT_EQ(VersionString(block, "ProductVersion"), "1, 0, 1, 7");

    WORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length));
    ASSERT_EQ(length, 4u);
    EXPECT_EQ(translation[0], 0x0409);
    EXPECT_EQ(translation[1], 0x04b0);
}

TEST(Resources, ManifestSelectsCommonControlsSix)
{
    Module module;
    ASSERT_NE(module.get(), nullptr);
    std::string manifest = module.Bytes(MAKEINTRESOURCEA(24), MAKEINTRESOURCEA(1));
    ASSERT_FALSE(manifest.empty());
    EXPECT_NE(manifest.find("<assemblyIdentity version=\"1.0.0.0\" processorArchitecture=\"X86\" "
                            "name=\"Microsoft.Windows.Movara\" type=\"win32\"/>"), std::string::npos);
    EXPECT_NE(manifest.find("<description>Movara</description>"), std::string::npos);
    EXPECT_NE(manifest.find("<assemblyIdentity type=\"win32\" name=\"Microsoft.Windows.Common-Controls\" "
                            "version=\"6.0.0.0\" processorArchitecture=\"X86\" publicKeyToken=\"6595b64144ccf1df\" "
                            "language=\"*\"/>"), std::string::npos);
    // XP rejects some manifests with repeated namespace declarations.
    EXPECT_EQ(manifest.find("xmlns"), manifest.rfind("xmlns"));

    // Exactly one manifest: no second one added by the toolchain.
    int manifests = 0;
    EnumResourceNamesA(module.get(), MAKEINTRESOURCEA(24), CountResource, reinterpret_cast<LONG_PTR>(&manifests));
    EXPECT_EQ(manifests, 1);

    EXPECT_FALSE(module.Bytes(RT_GROUP_ICON, MAKEINTRESOURCEA(IDI_MOVARA)).empty());
}

TEST(Resources, MainWindowTemplate)
{
    Module module;
    Template t = ParseTemplate(module.Bytes(RT_DIALOG, MAKEINTRESOURCEA(IDD_MAIN)));
    EXPECT_EQ(t.style, static_cast<DWORD>(DS_SETFONT | DS_MODALFRAME | DS_3DLOOK | DS_CENTER | WS_POPUP | WS_CAPTION |
                                          WS_SYSMENU | WS_MINIMIZEBOX));
    EXPECT_EQ(t.cx, 228);
    EXPECT_EQ(t.cy, 278);
    EXPECT_EQ(t.title, "");
    EXPECT_EQ(t.fontName, "Tahoma");
    EXPECT_EQ(t.pointSize, 8);
    ASSERT_EQ(t.controls.size(), 15u);
    const auto& c = t.controls;
    ExpectControl(c[0], 2, "Button", "Exit", kButton, 24, 249, 181, 22);
    ExpectControl(c[1], kNone, "Button", "Users", kGroup, 19, 53, 123, 76);
    ExpectControl(c[2], 1001, "ListBox", "", kSortedList, 26, 65, 110, 40);
    ExpectControl(c[3], 1002, "Button", "Select User", kButton, 26, 109, 110, 14);
    ExpectControl(c[4], 1003, "Edit", "", ES_READONLY | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP | WS_VISIBLE, 32, 28, 140, 12);
    ExpectControl(c[5], 1004, "Button", "...", kButton, 177, 27, 25, 14);
    ExpectControl(c[6], 1005, "Button", "Show Net PC's", BS_PUSHBUTTON | WS_TABSTOP, 23, 257, 50, 14);
    ExpectControl(c[7], 1009, "Edit", "", ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP | WS_VISIBLE, 27, 159, 117, 12);
    ExpectControl(c[8], 1010, "Button", "Connect reg", kButton, 147, 157, 50, 14);
    ExpectControl(c[9], 1011, "ListBox", "", kSortedList | WS_HSCROLL, 27, 176, 172, 44);
    ExpectControl(c[10], kNone, "Button", "Location of Profiles Directory on this machine", kGroup, 18, 14, 191, 33);
    ExpectControl(c[11], kNone, "Button", "Remote Reg Stuff", kGroup, 23, 144, 181, 100);
    ExpectControl(c[12], kNone, "Button", "Export Settings", kGroup, 7, 3, 214, 136);
    ExpectControl(c[13], 1006, "Button", "Select User", kButton, 27, 223, 56, 14);
    ExpectControl(c[14], 1012, "Button", "Check here to get apps also", BS_AUTOCHECKBOX | WS_TABSTOP | WS_VISIBLE, 91, 225, 106, 10);
}

TEST(Resources, NetworkBrowserTemplate)
{
    Module module;
    Template t = ParseTemplate(module.Bytes(RT_DIALOG, MAKEINTRESOURCEA(IDD_NET_BROWSER)));
    EXPECT_EQ(t.style, static_cast<DWORD>(DS_SHELLFONT | DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU));
    EXPECT_EQ(t.cx, 365);
    EXPECT_EQ(t.cy, 167);
    EXPECT_EQ(t.title, "Dialog");
    EXPECT_EQ(t.fontName, "MS Shell Dlg");
    EXPECT_EQ(t.pointSize, 8);
    ASSERT_EQ(t.controls.size(), 3u);
    ExpectControl(t.controls[0], 2, "Button", "Exit", kButton, 308, 146, 50, 14);
    ExpectControl(t.controls[1], 1006, "SysTreeView32", "", 0x1 | 0x2 | WS_BORDER | WS_TABSTOP | WS_VISIBLE, 17, 17, 126, 108);
    ExpectControl(t.controls[2], 1007, "ListBox", "", kSortedList, 148, 17, 199, 108);
}
