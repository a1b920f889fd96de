#include "app/CommandLine.h"

#include "local/SourceText.h"


const char kCurrentUserSource[] = "current user";
const char kCommandLineSource[] = "command line";

namespace {

const int kMaxJobs = 64;

std::string LowerAscii(std::string s)
{
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return s;
}

bool SameIgnoringAsciiCase(const std::string& a, const std::string& b, LeadByteTest isLead)
{
    return UpperAsciiLetters(a, isLead) == UpperAsciiLetters(b, isLead);
}

bool IsSwitch(const std::string& arg)
{
    return !arg.empty() && arg[0] == '/';
}

// Digits only, so that atoi's leniency ("+3", "3x", " 3") never picks a count;
// stops as soon as the value is too large, so no length of digits overflows.
bool ParseJobs(const std::string& text, int& jobs)
{
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
        if (value > kMaxJobs)
            return false;
    }
    if (value < 1)
        return false;
    jobs = value;
    return true;
}

bool Contains(const std::vector<std::string>& list, const std::string& s)
{
    for (const auto& item : list)
        if (item == s)
            return true;
    return false;
}

// name is lower case; an empty result: the value was taken.
std::string ReadSwitch(const std::string& name, const std::string& value, CommandLineOptions& o, LeadByteTest isLead)
{
    if (name == "/machine") {
        if (MachineFolderName(value).empty())
            return "/machine needs the name of a machine, not \"" + value + "\"";
        o.machines.push_back(value);
    }
    else if (name == "/machines")
        o.machinesFiles.push_back(value);
    else if (name == "/profile") {
        if (!Contains(o.profiles, value))
            o.profiles.push_back(value);
    } else if (name == "/profiles")
        o.profilesDir = value;
    else if (name == "/out") {
        o.out = value;
        o.outGiven = true;
    } else if (name == "/map") {
        ServerMapping mapping;
        std::string error = ParseServerMapping(value, mapping, isLead);
        if (error.empty())
            error = AddServerMapping(o.map, mapping, isLead);
        if (!error.empty())
            return "/map \"" + value + "\": " + error;
    } else if (name == "/apply") {
        o.apply = value;
    } else if (name == "/summary") {
        if (value.empty())
            return "/summary needs the folder of the sets";
        o.summary = value;
    } else if (name == "/jobs") {
        o.jobsGiven = true;
        if (!ParseJobs(value, o.jobs))
            return "/jobs needs a number from 1 to " + std::to_string(kMaxJobs) + ", not \"" + value + "\"";
    }
    return std::string();
}

bool TakesValue(const std::string& name)
{
    return name == "/machine" || name == "/machines" || name == "/profile" || name == "/profiles" || name == "/out" ||
           name == "/jobs" || name == "/map" || name == "/apply" || name == "/summary";
}

std::string Flattened(std::string s)
{
    for (char& c : s)
        if (c == '\r' || c == '\n' || c == '\t')
            c = ' ';
    return s;
}

} // namespace

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args, LeadByteTest isLead)
{
    ParsedCommandLine parsed;
    CommandLineOptions& o = parsed.options;
    for (const auto& arg : args)
        if (arg == "/?")
            o.help = true;
    for (std::size_t i = 0; i < args.size() && parsed.error.empty(); ++i) {
        // Lower case, so that a usage error names the switch the same way whatever case it was typed in.
        const std::string name = LowerAscii(args[i]);
        if (name == "/?")
            continue;
        if (name == "/current")
            o.current = true;
        else if (name == "/apps")
            o.apps = true;
        else if (name == "/again")
            o.again = true;
        else if (!TakesValue(name))
            parsed.error = "unknown argument \"" + args[i] + "\"";
        else if (i + 1 == args.size() || IsSwitch(args[i + 1]))
            parsed.error = name + " needs a value";
        else
            parsed.error = ReadSwitch(name, args[++i], o, isLead);
    }
    if (parsed.error.empty()) {
        const bool anyMachine = !o.machines.empty() || !o.machinesFiles.empty();
        const bool anyExport = anyMachine || !o.profiles.empty() || !o.profilesDir.empty() || o.current || o.apps ||
                               o.jobsGiven;
        if (!o.summary.empty()) {
            if (anyExport || !o.apply.empty() || o.again || !o.map.empty())
                parsed.error = "/summary reads the sets below a folder and exports nothing: give it with /out alone";
        } else if (!o.apply.empty()) {
            if (anyExport)
                parsed.error = "/apply imports a set and exports nothing: give it with /again, /map and /out alone";
        } else if (o.again)
            parsed.error = "/again applies a set once more: give it with /apply";
        else if (o.apps && !anyMachine)
            parsed.error = "/apps needs /machine or /machines";
        else if (!anyMachine && o.profiles.empty() && !o.current)
            parsed.error = "nothing to export: give /machine, /machines, /profile or /current";
    }
    if (o.help)
        parsed.error.clear();
    parsed.ok = parsed.error.empty();
    return parsed;
}

namespace {

// The names of a /machines file's text, in bytes or in UTF-16 units: one a
// line (CR LF or LF), blanks around a name trimmed (spaces and tabs), blank
// lines and lines whose first non-blank character is ';' or '#' skipped.
template <class Text>
std::vector<Text> ListLines(const Text& text)
{
    using Unit = typename Text::value_type;
    const auto blank = [](Unit c) { return c == Unit(' ') || c == Unit('\t'); };
    std::vector<Text> names;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find(Unit('\n'), start);
        if (end == Text::npos)
            end = text.size();
        std::size_t first = start;
        std::size_t last = end;
        if (last > first && text[last - 1] == Unit('\r'))
            --last;
        while (first < last && blank(text[first]))
            ++first;
        while (last > first && blank(text[last - 1]))
            --last;
        if (first < last && text[first] != Unit(';') && text[first] != Unit('#'))
            names.push_back(text.substr(first, last - first));
        start = end + 1;
    }
    return names;
}

const char16_t kReplacement = 0xFFFD;

std::u16string Utf16Units(const std::string& bytes, std::size_t from, bool bigEndian)
{
    std::u16string text;
    std::size_t i = from;
    for (; i + 1 < bytes.size(); i += 2) {
        const unsigned first = static_cast<unsigned char>(bytes[i]);
        const unsigned second = static_cast<unsigned char>(bytes[i + 1]);
        text += static_cast<char16_t>(bigEndian ? first << 8 | second : second << 8 | first);
    }
    if (i < bytes.size())
        text += kReplacement;  // half a unit: the file was cut short
    return text;
}

// UTF-8 to UTF-16; each byte that does not belong to a well-formed sequence
// (overlong forms, surrogates and values past U+10FFFF included) is U+FFFD.
std::u16string Utf8Units(const std::string& bytes, std::size_t from)
{
    std::u16string text;
    std::size_t i = from;
    while (i < bytes.size()) {
        const unsigned lead = static_cast<unsigned char>(bytes[i]);
        std::size_t length = lead < 0x80 ? 1 : lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3
                                           : lead >= 0xF0 && lead <= 0xF4 ? 4 : 0;
        unsigned long code = length == 1 ? lead : length == 2 ? lead & 0x1F : length == 3 ? lead & 0x0F : lead & 0x07;
        for (std::size_t k = 1; k < length; ++k) {
            const unsigned next = i + k < bytes.size() ? static_cast<unsigned char>(bytes[i + k]) : 0;
            if ((next & 0xC0) != 0x80) {
                length = 0;
                break;
            }
            code = code << 6 | (next & 0x3F);
        }
        const bool wellFormed = length != 0 && !(length == 3 && code < 0x800) && !(length == 4 && code < 0x10000) &&
                                code <= 0x10FFFF && !(code >= 0xD800 && code <= 0xDFFF);
        if (!wellFormed) {
            text += kReplacement;
            ++i;
            continue;
        }
        if (code >= 0x10000) {
            text += static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10));
            text += static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
        } else {
            text += static_cast<char16_t>(code);
        }
        i += length;
    }
    return text;
}

bool StartsWith(const std::string& bytes, const char* mark)
{
    return bytes.compare(0, std::char_traits<char>::length(mark), mark) == 0;
}

} // namespace

std::vector<MachineListName> ReadMachineList(const std::string& bytes, WideToAnsi toAnsi)
{
    std::vector<MachineListName> names;
    std::u16string text;
    if (StartsWith(bytes, "\xFF\xFE"))
        text = Utf16Units(bytes, 2, false);
    else if (StartsWith(bytes, "\xFE\xFF"))
        text = Utf16Units(bytes, 2, true);
    else if (StartsWith(bytes, "\xEF\xBB\xBF"))
        text = Utf8Units(bytes, 3);
    else {
        for (const std::string& name : ListLines(bytes))
            names.push_back({name, true});
        return names;
    }
    for (const std::u16string& wide : ListLines(text)) {
        MachineListName entry;
        if (!toAnsi(wide, entry.name)) {
            entry.ok = false;
            entry.name.clear();
            for (char16_t c : wide)
                entry.name += c < 0x80 ? static_cast<char>(c) : '?';
        }
        names.push_back(entry);
    }
    return names;
}

std::string MachineFolderName(const std::string& name, LeadByteTest isLead)
{
    std::size_t first = name.size();
    ForEachAnsiChar(name, isLead, [&](std::size_t i, std::size_t length) {
        if (length == 1 && name[i] == '\\')
            return true;
        first = i;
        return false;
    });
    return UpperAsciiLetters(name.substr(first), isLead);
}

std::vector<std::string> UniqueMachines(const std::vector<std::string>& names, LeadByteTest isLead)
{
    std::vector<std::string> unique;
    std::vector<std::string> seen;
    for (const auto& name : names) {
        const std::string folder = MachineFolderName(name, isLead);
        if (folder.empty() || Contains(seen, folder))
            continue;
        seen.push_back(folder);
        unique.push_back(name);
    }
    return unique;
}

std::string ConnectName(const std::string& name, LeadByteTest isLead)
{
    return "\\\\" + MachineFolderName(name, isLead);
}

bool IsPlainFolderName(const std::string& name, LeadByteTest isLead)
{
    bool plain = !name.empty();
    char last = '\0';  // the last character when it is a single byte
    ForEachAnsiChar(name, isLead, [&](std::size_t i, std::size_t length) {
        const unsigned char c = static_cast<unsigned char>(name[i]);
        last = length == 1 ? name[i] : '\0';
        if (length == 1 && (c < 0x20 || std::string("\\/:*?\"<>|").find(name[i]) != std::string::npos))
            plain = false;
        return plain;
    });
    return plain && last != '.' && last != ' ' && !IsReservedDeviceName(name, isLead);
}

std::vector<std::string> UserFolderNames(const std::vector<RemoteUser>& users, LeadByteTest isLead)
{
    std::vector<std::string> folders;
    for (std::size_t i = 0; i < users.size(); ++i) {
        const RemoteUser& user = users[i];
        int sharing = 0;
        for (const auto& other : users)
            if (SameIgnoringAsciiCase(other.homeFolder, user.homeFolder, isLead))
                ++sharing;
        const bool home = IsPlainFolderName(user.homeFolder, isLead) && sharing == 1;
        // The names come from the remote machine's registry: one that is no
        // plain folder name ("..", "a\\b") must not lead out of the machine's folder.
        folders.push_back(home ? user.homeFolder
                               : IsPlainFolderName(user.userKey, isLead) ? user.userKey
                                                                         : "user " + std::to_string(i + 1));
    }
    return folders;
}

std::string LogLine(const LogTime& time, const std::string& source, bool ok, const std::string& message)
{
    std::string line = TimeStampText(time.year, time.month, time.day, time.hour, time.minute, time.second);
    line += '\t';
    line += Flattened(source);
    line += '\t';
    if (!ok)
        line += "failed: " + Flattened(message);
    else
        line += message.empty() ? std::string("ok") : "ok: " + Flattened(message);
    line += "\r\n";
    return line;
}

std::string RemoteUserSource(const std::string& machineFolder, const std::string& homeFolder, const std::string& userKey)
{
    if (homeFolder.empty() && userKey.empty())
        return machineFolder;
    return machineFolder + "\\" + homeFolder + " (" + userKey + ")";
}

std::string ProfileSource(const std::string& profile)
{
    return "profile " + profile;
}

std::string UsageText()
{
    static const char* const lines[] = {
        "Usage: MovaraM [/machine NAME]... [/machines FILE] [/profile NAME]... [/profiles DIR] [/current]",
        "               [/apps] [/map \\\\OLD=\\\\NEW]... [/out FOLDER] [/jobs N] [/?]",
        "       MovaraM /apply FOLDER [/again] [/map \\\\OLD=\\\\NEW]... [/out FOLDER]",
        "       MovaraM /summary FOLDER [/out FOLDER]",
        "Without arguments MovaraM shows its window.",
        "",
        "  /machine NAME   a machine, through the remote registry (repeatable; NAME or \\\\NAME)",
        "  /machines FILE  a file of machine names, one a line; lines starting with ; or # are skipped",
        "  /profile NAME   a stored profile of this machine (repeatable)",
        "  /profiles DIR   the profiles directory for /profile (default: the system's)",
        "  /current        the running user",
        "  /apps           with /machine or /machines: also the machines' installed applications",
        "  /map \\\\OLD=\\\\NEW  the server OLD is NEW in the sets' printers, drives and default printer",
        "                  (repeatable, one server each)",
        "  /apply FOLDER   imports the set in FOLDER for the running user: its drives, printers and",
        "                  default printer, nothing else; every other line is refused and logged.",
        "                  A set applied before is left as it is: the user's changes since are kept",
        "  /again          with /apply: applies the set once more, as if for the first time",
        "  /summary FOLDER reads every set below FOLDER and writes Summary.html and four tables for",
        "                  spreadsheets there (or into /out); runs that export machines write it too",
        "  /out FOLDER     where everything goes (default: the current directory; with /apply the",
        "                  log alone, default: the user's temporary folder)",
        "  /jobs N         how many machines are exported at once, 1 to 64 (default: 8)",
        "  /?              this text",
        "",
        "Exit codes: 0 every source exported or imported, 1 any source failed or line refused,",
        "            2 usage error. /summary: 0 every set read, 1 a set not read or a file not written.",
        "",
        "Examples:",
        "  MovaraM /machine PC7 /machine PC8 /apps /out D:\\Exports",
        "  MovaraM /current /profile alice /out C:\\Backup",
        "  MovaraM /apply \\\\fs\\moves\\alice\\CurrentUser /map \\\\OLDSRV=\\\\NEWSRV",
    };
    std::string text;
    for (const char* line : lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}
