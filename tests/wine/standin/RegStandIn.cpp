// Stands in for the system's reg tool where Wine lacks "reg load" and
// "reg unload": it appends its arguments, joined by "|", as one line to
// reg-calls.log beside itself, and answers "export" with a small UTF-16LE
// export of the named key. Files beside it change its answers:
// "no-network" fails the export of a Network key (a profile without mapped
// drives), "fail-load" holding a hive's name fails its load (a logged-on
// user), "big-export" holding N makes every export N MiB long.
#include <cstdlib>
#include <string>

#include "tests/wine/Harness.h"

using sandbox::Beside;
using sandbox::Exists;

int main(int argc, char** argv)
{
    std::ofstream log(Beside("reg-calls.log"), std::ios::binary | std::ios::app);
    for (int i = 1; i < argc; ++i)
        log << argv[i] << (i + 1 < argc ? "|" : "\n");
    const std::string verb = argc > 1 ? argv[1] : "", key = argc > 2 ? argv[2] : "";
    // Like reg, load needs the hive file, named relative to the working directory.
    if (verb == "load")
        return argc < 4 || key == sandbox::Read(Beside("fail-load")) || !Exists(argv[3]);
    if (verb != "export")
        return 0;
    if (argc < 4 || (key.find("\\Network") != std::string::npos && Exists(Beside("no-network"))))
        return 1;
    if (Exists(argv[3])) {
        log << "EXISTS " << argv[3] << "\n";  // reg would ask whether to overwrite, and wait for ever
        return 2;
    }
    // One section naming the key in full, as reg writes it.
    const std::string root = key.substr(0, key.find('\\'));
    const std::string text = "Windows Registry Editor Version 5.00\r\n\r\n[" +
                             std::string(root == "hku" ? "HKEY_USERS" : root == "hklm" ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER") +
                             key.substr(root.size(), key.find_last_not_of('\\') + 1 - root.size()) + "]\r\n\"a\"=\"b\"\r\n";
    std::ofstream out(argv[3], std::ios::binary);
    out << "\xff\xfe" << sandbox::Utf16(text);
    const std::string filler = sandbox::Utf16("\"Filler\"=\"" + std::string(1000, 'f') + "\"\r\n");
    for (long long bytes = std::atoll(sandbox::Read(Beside("big-export")).c_str()) << 20; bytes > 0; bytes -= filler.size())
        out << filler;
    return out ? 0 : 1;
}
