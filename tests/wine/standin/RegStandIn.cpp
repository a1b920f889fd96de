// Stands in for the system's reg tool where Wine lacks "reg load" and
// "reg unload": it appends each command line it gets (and its arguments, one
// per line) to reg-calls.log beside itself, and answers "export" with a small
// UTF-16LE export of the named key. A file "no-network" beside it makes the
// export of a Network key fail, as for a profile without mapped drives; a file
// "big-export" holding a number N makes every export N MiB long; "fail-load"
// holding a hive's name makes its load fail.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

std::string Beside(const char* name)
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string dir = path;
    return dir.substr(0, dir.find_last_of('\\') + 1) + name;
}

void Log(const std::string& line)
{
    FILE* log = std::fopen(Beside("reg-calls.log").c_str(), "ab");
    if (!log)
        return;
    std::fwrite(line.data(), 1, line.size(), log);
    std::fwrite("\r\n", 1, 2, log);
    std::fclose(log);
}

std::string Utf16(const std::string& text)
{
    std::string out;
    for (unsigned char c : text) {
        out.push_back(static_cast<char>(c));
        out.push_back('\0');
    }
    return out;
}

std::string ExpandRoot(const std::string& key)
{
    std::string lower;
    for (char c : key)
        lower.push_back(static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c));
    if (lower.compare(0, 4, "hku\\") == 0)
        return "HKEY_USERS" + key.substr(3);
    if (lower.compare(0, 5, "hklm\\") == 0)
        return "HKEY_LOCAL_MACHINE" + key.substr(4);
    if (lower.compare(0, 5, "hkcu\\") == 0)
        return "HKEY_CURRENT_USER" + key.substr(4);
    return key;
}

}  // namespace

int main(int argc, char** argv)
{
    Log("CMDLINE " + std::string(GetCommandLineA()));
    for (int i = 1; i < argc; ++i)
        Log("ARG " + std::string(argv[i]));
    if (argc >= 3 && std::string(argv[1]) == "load") {
        // A file "fail-load" beside the stand-in names a hive whose load fails,
        // as for a user who is logged on.
        char hive[MAX_PATH] = {};
        if (FILE* fail = std::fopen(Beside("fail-load").c_str(), "rb")) {
            hive[std::fread(hive, 1, sizeof hive - 1, fail)] = '\0';
            std::fclose(fail);
        }
        return std::string(argv[2]) == hive ? 1 : 0;
    }
    if (argc < 2 || std::string(argv[1]) != "export")
        return 0;
    if (argc < 4)
        return 1;
    std::string key = argv[2];
    std::string file = argv[3];
    if (GetFileAttributesA(file.c_str()) != INVALID_FILE_ATTRIBUTES) {
        // The real tool would ask whether to overwrite and wait for ever.
        Log("EXISTS " + file);
        return 2;
    }
    if (key.find("\\Network") != std::string::npos && GetFileAttributesA(Beside("no-network").c_str()) != INVALID_FILE_ATTRIBUTES)
        return 1;
    while (!key.empty() && (key.back() == '\\' || key.back() == ' '))
        key.pop_back();
    std::string full = ExpandRoot(key);
    std::string text = "Windows Registry Editor Version 5.00\r\n\r\n"
                       "[" + full + "]\r\n\"Device\"=\"\\\\\\\\srv1\\\\Laser\"\r\n\r\n"
                       "[" + full + "\\Sub]\r\n\"DisplayName\"=\"Sample Viewer 1.0\"\r\n\r\n";
    FILE* out = std::fopen(file.c_str(), "wb");
    if (!out)
        return 1;
    std::fwrite("\xff\xfe", 1, 2, out);
    std::string wide = Utf16(text);
    std::fwrite(wide.data(), 1, wide.size(), out);
    if (FILE* big = std::fopen(Beside("big-export").c_str(), "rb")) {
        int mebibytes = 0;
        if (std::fscanf(big, "%d", &mebibytes) != 1)
            mebibytes = 0;
        std::fclose(big);
        std::string line = "\"Filler\"=\"" + std::string(1000, 'f') + "\"\r\n";
        std::string chunk;
        while (chunk.size() < (1u << 20))
            chunk += Utf16(line);
        for (int i = 0; i < mebibytes; ++i)
            std::fwrite(chunk.data(), 1, chunk.size(), out);
    }
    std::fclose(out);
    return 0;
}
