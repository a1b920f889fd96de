#include "import/ApplyPlan.h"

#include <algorithm>
#include <cstdint>
#include <initializer_list>

#include "local/AnsiNames.h"
#include "import/ImportRules.h"
#include "local/SourceText.h"

const char* const kApplyFileNames[5] = {"mappedDrv.reg", "printers.reg", "drives.txt.reg", "printers.txt.reg",
                                        "DefaultPrinter.reg"};

namespace {

const std::size_t kNone = std::string::npos;
const unsigned long kDword = 4;  // REG_DWORD
// An unreadable line is shown up to this many characters.
const std::size_t kShownLine = 120;

bool Is(LeadByteTest isLead, const RegUnits& part, const char* ascii)
{
    return SameTextIgnoringCase(isLead, part, ByteUnits(ascii));
}

// Where an allowed key line belongs.
struct KeyPlace {
    ApplyKind kind = ApplyKind::Settings;
    char letter = 0;        // Drive
    bool driveRoot = false; // Drive: the key Network\<letter> itself, which holds RemotePath
    bool printerRoot = false;  // Printer: the connection's key itself, which holds Provider
    bool windows = false;   // the default printer's key: its value is the Device
    RegUnits server, name;  // Printer: from ",,server,name"
};

KeyPlace PlaceOf(const RegFile& file, const RegUnits& key)
{
    const std::vector<RegUnits> parts = SplitKeyPath(file.isLead, key);
    KeyPlace place;
    if (parts.size() >= 3 && Is(file.isLead, parts[1], "Network")) {
        place.kind = ApplyKind::Drive;
        const char16_t c = parts[2][0];  // CheckImport let it through: one ASCII letter
        place.letter = static_cast<char>(c >= u'a' && c <= u'z' ? c - u'a' + u'A' : c);
        place.driveRoot = parts.size() == 3;
    } else if (parts.size() >= 4 && Is(file.isLead, parts[1], "Printers") &&
               Is(file.isLead, parts[2], "Connections") && parts[3].compare(0, 2, u",,") == 0) {
        // A comma is below 0x40: never the second byte of a character.
        const std::size_t comma = parts[3].find(u',', 2);
        if (comma != RegUnits::npos && comma > 2 && comma + 1 < parts[3].size()) {
            place.kind = ApplyKind::Printer;
            place.printerRoot = parts.size() == 4;
            place.server = parts[3].substr(2, comma - 2);
            place.name = parts[3].substr(comma + 1);
        }
    } else if (parts.size() == 6 && Is(file.isLead, parts[1], "Software")) {
        place.windows = true;  // the one other key CheckImport allows
    }
    return place;
}

std::string ValueText(const std::string& name, const std::string& key)
{
    const std::string value = name.empty() ? "the default value" : "the value \"" + name + "\"";
    return key.empty() ? value : value + " of " + key;
}

// How a refused line is named in its log line. key: the last key line
// before it, "" when there is none that values could belong to.
std::string RefusedText(const RegFile& file, const RegItem& item, const std::string& key, Utf16ToAnsi narrow)
{
    switch (item.kind) {
    case RegItemKind::Section:
        return "the key " + AnsiText(file, item.key, narrow);
    case RegItemKind::Value:
        return ValueText(AnsiText(file, item.name, narrow), key);
    case RegItemKind::DeleteSection:
        return "the line [-" + AnsiText(file, item.key, narrow) + "]";
    case RegItemKind::DeleteValue: {
        const std::string name = item.name.empty() ? "@" : "\"" + AnsiText(file, item.name, narrow) + "\"";
        return "the line " + name + "=-" + (key.empty() ? "" : " in " + key);
    }
    default:
        break;
    }
    std::string text = AnsiText(file, item.text, narrow);
    if (text.size() > kShownLine)
        text = text.substr(0, kShownLine) + "...";
    return "the line \"" + text + "\"";
}

bool LooksLikeSection(const RegUnits& text)
{
    const std::size_t at = text.find_first_not_of(u" \t");
    return at != RegUnits::npos && text[at] == u'[';
}

class Planner {
public:
    Planner(Utf16ToAnsi narrow, LeadByteTest isLead) : narrow_(narrow), isLead_(isLead) {}

    void AddFile(const std::vector<ApplyFile>& files, std::size_t f)
    {
        const RegFile& file = files[f].file;
        if (!file.header) {
            plan_.refused.push_back({files[f].name, "the file is not imported: it does not start with REGEDIT4 or "
                                                    "Windows Registry Editor Version 5.00"});
            return;
        }
        const std::vector<ImportVerdict> verdicts = CheckImport(file);
        std::string lastKey;        // for naming values in refused lines
        std::size_t group = kNone;  // where the values of the current key line go
        std::size_t key = kNone;
        KeyPlace place;
        for (std::size_t i = 0; i < file.items.size(); ++i) {
            const RegItem& item = file.items[i];
            // A line that starts a key, read or not, ends the key before it.
            if (item.kind == RegItemKind::Section || item.kind == RegItemKind::DeleteSection) {
                lastKey = AnsiText(file, item.key, narrow_);
                group = kNone;
            } else if (item.kind == RegItemKind::Unparsable && LooksLikeSection(item.text)) {
                lastKey.clear();
                group = kNone;
            }
            if (!verdicts[i].allowed) {
                plan_.refused.push_back({files[f].name + " line " + std::to_string(item.line),
                                         RefusedText(file, item, lastKey, narrow_) + " is not imported: " +
                                             verdicts[i].reason});
                continue;
            }
            if (item.kind == RegItemKind::Section) {
                place = PlaceOf(file, item.key);
                key = i;
                group = GroupFor(file, place);
                plan_.groups[group].writes.push_back({f, i, i});
            } else if (item.kind == RegItemKind::Value && group != kNone) {
                AddValue(file, item, place, {f, i, key}, group);
            }
        }
    }

    ApplyPlan Finish()
    {
        for (ApplyGroup& g : plan_.groups) {
            if (g.kind == ApplyKind::Drive)
                g.source = std::string("drive ") + g.letter + ":" + (g.target.empty() ? "" : " " + g.target);
            else if (g.kind == ApplyKind::Printer)
                g.source = "printer " + g.target;
            else if (g.kind == ApplyKind::DefaultPrinter)
                g.source = "default printer " + g.target;
        }
        std::stable_sort(plan_.groups.begin(), plan_.groups.end(), [](const ApplyGroup& a, const ApplyGroup& b) {
            if (a.kind != b.kind)
                return a.kind < b.kind;
            return a.kind == ApplyKind::Drive && a.letter < b.letter;
        });
        return plan_;
    }

private:
    void AddValue(const RegFile& file, const RegItem& item, const KeyPlace& place, const ApplyWrite& write,
                  std::size_t group)
    {
        if (place.windows) {
            // The Device value, "\\srv\HP 4,winspool,Ne01:"; a comma is never
            // the second byte of a character.
            group = Find(ApplyKind::DefaultPrinter, 0, std::string());
            const std::string device = AnsiText(file, item.text, narrow_);
            plan_.groups[group].target = device.substr(0, device.find(','));
        } else if (place.driveRoot && Is(file.isLead, item.name, "RemotePath")) {
            plan_.groups[group].target = AnsiText(file, item.text, narrow_);
        } else if (place.driveRoot && Is(file.isLead, item.name, "ProviderType") && item.type == kDword &&
                   item.data.size() == 4) {
            plan_.groups[group].sharing = item.data == std::string("\0\0\2\0", 4);  // 0x20000, little-endian
        } else if (place.printerRoot && Is(file.isLead, item.name, "Provider") && item.quoted) {
            plan_.groups[group].sharing = Is(file.isLead, item.text, "win32spl.dll");
        }
        plan_.groups[group].writes.push_back(write);
    }

    std::size_t GroupFor(const RegFile& file, const KeyPlace& place)
    {
        if (place.kind == ApplyKind::Drive)
            return Find(ApplyKind::Drive, place.letter, std::string());
        if (place.kind == ApplyKind::Printer)
            return Find(ApplyKind::Printer, 0,
                        "\\\\" + AnsiText(file, place.server, narrow_) + "\\" + AnsiText(file, place.name, narrow_));
        return Find(ApplyKind::Settings, 0, std::string());
    }

    // The group of that drive letter or printer, made when it is new.
    std::size_t Find(ApplyKind kind, char letter, const std::string& printer)
    {
        for (std::size_t g = 0; g < plan_.groups.size(); ++g) {
            const ApplyGroup& group = plan_.groups[g];
            if (group.kind == kind && group.letter == letter &&
                (kind != ApplyKind::Printer ||
                 SameTextIgnoringCase(isLead_, ByteUnits(group.target), ByteUnits(printer))))
                return g;
        }
        ApplyGroup group;
        group.kind = kind;
        group.letter = letter;
        group.target = printer;
        plan_.groups.push_back(group);
        return plan_.groups.size() - 1;
    }

    Utf16ToAnsi narrow_;
    LeadByteTest isLead_;
    ApplyPlan plan_;
};

} // namespace

ApplyPlan PlanApply(const std::vector<ApplyFile>& files, Utf16ToAnsi narrow, LeadByteTest isLead)
{
    Planner planner(narrow, isLead);
    for (std::size_t f = 0; f < files.size(); ++f)
        planner.AddFile(files, f);
    return planner.Finish();
}

std::string AnsiText(const RegFile& file, const RegUnits& units, Utf16ToAnsi narrow)
{
    if (file.form == RegFileForm::Utf16 && narrow)
        return narrow(units);
    std::string text;
    for (const char16_t c : units)
        text += file.form == RegFileForm::Ansi || c < 0x80 ? static_cast<char>(c) : '?';
    return text;
}

RegUnits KeyBelowRoot(const RegUnits& key)
{
    const std::size_t slash = key.find(u'\\');
    return slash == RegUnits::npos ? RegUnits() : key.substr(slash + 1);
}

std::string WriteText(const std::vector<ApplyFile>& files, const ApplyWrite& write, Utf16ToAnsi narrow)
{
    const RegFile& file = files[write.file].file;
    const RegItem& item = file.items[write.item];
    const std::string key = AnsiText(file, file.items[write.key].key, narrow);
    if (item.kind == RegItemKind::Section)
        return "the key " + key;
    return ValueText(AnsiText(file, item.name, narrow), key);
}

std::string DriveInUse(char letter, const std::string& path, const DriveState& state,
                       const std::vector<ServerMapping>& map, LeadByteTest isLead)
{
    const std::string drive = std::string(1, letter) + ":";
    if (state.local)
        return drive + " is in use for a local drive";
    const auto same = [&](const std::string& other) {
        return SameTextIgnoringCase(isLead, ByteUnits(other), ByteUnits(path));
    };
    if (!state.connected.empty() && !same(state.connected))
        return drive + " is in use for " + state.connected;
    if (!state.remembered.empty() && !same(state.remembered) &&
        !same(RenameServerInPath(state.remembered, map, isLead)))
        return drive + " is in use for " + state.remembered;
    return std::string();
}

std::string ServerOfPath(const std::string& path, LeadByteTest isLead)
{
    if (path.compare(0, 2, "\\\\") != 0)
        return std::string();
    const std::string rest = path.substr(2);
    return rest.substr(0, FindAnsiChar(rest, '\\', isLead));
}

namespace {

bool OneOf(unsigned long error, std::initializer_list<unsigned long> errors)
{
    return std::find(errors.begin(), errors.end(), error) != errors.end();
}

// The server, or the way to it, is not there now; it may be at the next
// logon. The redirector's and the print router's errors for a machine that
// is switched off, a network not up yet, no domain controller to log on to.
bool Unreachable(unsigned long error)
{
    return OneOf(error, {51, 53, 54, 59, 64, 121, 1203, 1222, 1231, 1232, 1236, 1311, 1722, 1727, 1908});
}

// What a failed call says in plain words, before the system's own text.
std::string FailureHint(ApplyKind kind, unsigned long error)
{
    const bool printer = kind == ApplyKind::Printer;
    if (OneOf(error, {2, 3, 67, 1801}))
        return printer ? "the server has no such printer" : "the server has no such share or folder";
    if (printer && OneOf(error, {1797, 1930, 3013, 3014, 3019}))
        return "its driver may be installed by an administrator only";
    if (printer && error == 5)
        return "the user may not use this printer, or its driver may be installed by an administrator only";
    if (OneOf(error, {5, 65, 86, 1219, 1326, 1327, 1328, 1329, 1330, 1331, 1909}))
        return "the user is not let in (rights or password)";
    if (!printer && OneOf(error, {85, 1202}))
        return "the drive letter was taken meanwhile";
    return "not connected";
}

} // namespace

ConnectVerdict DecideConnect(const ConnectFacts& facts)
{
    if (!facts.putOff.empty())
        return {ApplyOutcome::NextLogon, NextLogonNote(facts.kind, facts.putOff)};
    const unsigned long error = facts.error;
    const bool alreadyThere = (facts.kind == ApplyKind::Printer && OneOf(error, {183, 1802})) ||
                              (facts.kind == ApplyKind::Drive && OneOf(error, {85, 1202}) && facts.targetThere);
    if (error == 0 || alreadyThere)
        return {ApplyOutcome::Ok, std::string()};
    const std::string reason = ErrorReason(error, facts.systemText);
    if (facts.kind == ApplyKind::DefaultPrinter)
        return {ApplyOutcome::Failed, "not made the default printer: " + reason};
    if (Unreachable(error))
        return {ApplyOutcome::NextLogon, NextLogonNote(facts.kind, reason)};
    return {ApplyOutcome::Failed, FailureHint(facts.kind, error) + ": " + reason};
}

std::string NextLogonNote(ApplyKind kind, const std::string& reason)
{
    const char* const what =
        kind == ApplyKind::DefaultPrinter ? "the default printer from the next logon" : "connects at the next logon";
    return std::string(what) + " (not now: " + reason + ")";
}

std::string ErrorReason(unsigned long error, const std::string& systemText)
{
    std::string text = systemText;
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    const std::string number = "(error " + std::to_string(error) + ")";
    return text.empty() ? number : text + " " + number;
}

bool SetFolderAbsent(unsigned long error)
{
    // File or path not found, a name that cannot be one, a file where the
    // folder should be.
    return OneOf(error, {2, 3, 123, 161, 267});
}

std::string SourceTextLine(const std::string& sourceText, const std::string& label)
{
    for (std::size_t at = 0; at < sourceText.size();) {
        std::size_t end = sourceText.find('\n', at);
        if (end == std::string::npos)
            end = sourceText.size();
        std::string line = sourceText.substr(at, end - at);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.compare(0, label.size(), label) == 0)
            return line.substr(label.size());
        at = end + 1;
    }
    return std::string();
}

std::vector<std::string> SourceImportNames(const std::string& sourceText)
{
    std::vector<std::string> names;
    const std::string list = SourceTextLine(sourceText, kImportLabel);
    for (std::size_t at = 0; at < list.size();) {
        std::size_t end = list.find(", ", at);
        if (end == std::string::npos)
            end = list.size();
        const std::string name = list.substr(at, end - at);
        for (const char* known : kApplyFileNames)
            if (name == known)
                names.push_back(name);
        at = end + 2;
    }
    return names;
}

std::string SetIdentity(const std::vector<SetFileBytes>& files, const std::vector<ServerMapping>& map,
                        LeadByteTest isLead)
{
    std::uint64_t hash = 14695981039346656037ull;
    const auto add = [&hash](const std::string& bytes) {
        for (const char c : bytes) {
            hash ^= static_cast<unsigned char>(c);
            hash *= 1099511628211ull;
        }
        // Its length after it, so that no two lists of texts run together
        // into the same bytes.
        for (std::size_t n = bytes.size(), i = 0; i < 8; ++i, n >>= 8) {
            hash ^= n & 0xFF;
            hash *= 1099511628211ull;
        }
    };
    for (const SetFileBytes& file : files) {
        add(file.name);
        add(file.bytes);
    }
    for (const ServerMapping& m : map) {
        add(UpperAsciiLetters(m.oldServer, isLead));
        add(UpperAsciiLetters(m.newServer, isLead));
    }
    static const char digits[] = "0123456789abcdef";
    std::string text(16, '0');
    for (int i = 15; i >= 0; --i, hash >>= 4)
        text[static_cast<std::size_t>(i)] = digits[hash & 0xF];
    return text;
}
