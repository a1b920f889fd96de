#include "summary/FleetRead.h"

#include <algorithm>
#include <map>
#include <utility>

#include "import/ApplyPlan.h"
#include "import/RegFileText.h"
#include "local/WorkFolderName.h"
#include "remote/Applications.h"

namespace {

// Sets lie at most a few folders down: <out>\<set>, <out>\<MACHINE>\<user>,
// a logon script's <share>\<user>\CurrentUser, and each of these below a
// folder of a day.
const int kMaxDepth = 6;

const char kSourceFile[] = "Source.txt";
const char kApplicationsFile[] = "Applications.txt";
const char kLogFile[] = "Movara.log";
const char kWorkMark[] = ".~new-";

const char* const kSetFiles[] = {
    "Source.txt",       "Applications.txt", "printers.reg",    "mappedDrv.reg", "printers.txt.reg", "drives.txt.reg",
    "DefaultPrinter.reg", "printers.txt",   "drives.txt",      "apps.txt",      "apps.txt.reg",     "SmallApps.txt",
    "printers.prt",     "mappedDrv.prt",    "printers.prx",    "mappedDrv.prx", "InstalledApps.reg", "InstalledApps.txt",
    "InstalledApp.txt",
};

std::string LowerAscii(std::string s)
{
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return s;
}

bool SameName(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && LowerAscii(a) == LowerAscii(b);
}

bool StartsWith(const std::string& text, const std::string& start)
{
    return text.compare(0, start.size(), start) == 0;
}

bool EndsWith(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

std::string Latin1ToUtf8(const std::string& bytes)
{
    std::string text;
    for (const char c : bytes) {
        const unsigned char b = static_cast<unsigned char>(c);
        if (b < 0x80) {
            text += c;
        } else {
            text += static_cast<char>(0xC0 | b >> 6);
            text += static_cast<char>(0x80 | (b & 0x3F));
        }
    }
    return text;
}

std::string Join(const std::vector<std::string>& parts)
{
    std::string path;
    for (const std::string& part : parts)
        path += (path.empty() ? "" : "\\") + part;
    return path;
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

std::vector<std::string> Split(const std::string& text, const std::string& separator)
{
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (std::size_t at; (at = text.find(separator, start)) != std::string::npos; start = at + separator.size())
        parts.push_back(text.substr(start, at - start));
    parts.push_back(text.substr(start));
    return parts;
}

// The actual name of a file of the listing, in any letter case; empty when
// there is none.
std::string FileNamed(const std::vector<FolderEntry>& entries, const std::string& name)
{
    for (const FolderEntry& entry : entries)
        if (!entry.folder && SameName(entry.name, name))
            return entry.name;
    return std::string();
}

// The folder a work folder belongs to ("carol" of "carol.~new-12-1"), or "".
std::string WorkFolderOwner(const std::string& name)
{
    const std::size_t mark = name.rfind(kWorkMark);
    if (mark == std::string::npos || mark == 0)
        return std::string();
    const std::string leaf = name.substr(0, mark);
    unsigned long processId = 0;
    return ParseWorkFolderName(name, leaf, processId) ? leaf : std::string();
}

class FleetReader {
public:
    FleetReader(FleetFiles& files, const FleetReadOptions& options) : files_(files), options_(options) {}

    FleetData Read()
    {
        std::vector<FolderEntry> entries;
        std::string error;
        if (!files_.List("", entries, error)) {
            data_.unreadable.push_back(".: " + error);
            return data_;
        }
        if (IsSet(entries))
            ReadSet({}, entries, files_.WorkFolderBeside(""));
        else
            Visit({}, entries, 0);
        DropStaleMachineLines(data_.latest);
        return data_;
    }

private:
    std::string Utf8Ansi(const std::string& bytes) const
    {
        return options_.ansi ? options_.ansi(bytes) : Latin1ToUtf8(bytes);
    }

    static bool IsSet(const std::vector<FolderEntry>& entries)
    {
        for (const FolderEntry& entry : entries)
            if (!entry.folder && IsSetFileName(entry.name))
                return true;
        return false;
    }

    void Visit(const std::vector<std::string>& parts, std::vector<FolderEntry>& entries, int depth)
    {
        const std::string log = FileNamed(entries, kLogFile);
        if (!log.empty())
            ReadLog(parts, log);
        std::sort(entries.begin(), entries.end(), [](const FolderEntry& a, const FolderEntry& b) {
            return LowerAscii(a.name) < LowerAscii(b.name);
        });
        // Work folders, by the folder they belong to: that set is being written.
        std::vector<std::string> written;
        for (const FolderEntry& entry : entries) {
            const std::string owner = entry.folder ? WorkFolderOwner(entry.name) : std::string();
            if (!owner.empty() &&
                std::none_of(written.begin(), written.end(), [&](const std::string& w) { return SameName(w, owner); }))
                written.push_back(owner);
        }
        for (const std::string& owner : written) {
            const bool there = std::any_of(entries.begin(), entries.end(), [&](const FolderEntry& e) {
                return e.folder && SameName(e.name, owner);
            });
            if (!there)
                AddBeingWritten(Child(parts, owner));  // a first export of it
        }
        for (const FolderEntry& entry : entries) {
            if (!entry.folder || !WorkFolderOwner(entry.name).empty())
                continue;
            const std::vector<std::string> path = Child(parts, entry.name);
            if (std::any_of(written.begin(), written.end(), [&](const std::string& w) { return SameName(w, entry.name); })) {
                AddBeingWritten(path);
                continue;
            }
            std::vector<FolderEntry> inner;
            std::string error;
            if (!files_.List(Join(path), inner, error)) {
                data_.unreadable.push_back(Join(path) + ": " + error);
                continue;
            }
            if (IsSet(inner))
                ReadSet(path, inner, false);
            else if (depth + 1 < kMaxDepth)
                Visit(path, inner, depth + 1);
        }
    }

    static std::vector<std::string> Child(std::vector<std::string> parts, const std::string& name)
    {
        parts.push_back(name);
        return parts;
    }

    void AddBeingWritten(const std::vector<std::string>& path)
    {
        FleetSet set;
        set.folder = path;
        set.state = SetState::BeingWritten;
        data_.sets.push_back(set);
    }

    void ReadLog(const std::vector<std::string>& parts, const std::string& name)
    {
        std::string bytes, error;
        const ReadOutcome outcome = files_.Read(Join(Child(parts, name)), bytes, error);
        if (outcome == ReadOutcome::Failed)
            data_.unreadable.push_back(Join(Child(parts, name)) + ": " + error);
        else if (outcome == ReadOutcome::Read)
            ReadLogText(bytes, parts, data_.latest, options_.ansi);
    }

    struct SetRead {
        ReadOutcome outcome = ReadOutcome::Missing;
        std::string bytes;
        std::string error;
    };

    SetRead ReadFile(const std::vector<std::string>& path, const std::string& name)
    {
        SetRead read;
        read.outcome = files_.Read(Join(Child(path, name)), read.bytes, read.error);
        return read;
    }

    // A set is read between two looks at its work folder and two reads of
    // its Source.txt: a commit moves Source.txt in last, so a commit that
    // began while the set was read either still has its work folder at the
    // second look or has changed Source.txt by the second read.
    void ReadSet(const std::vector<std::string>& path, const std::vector<FolderEntry>& entries, bool workBeside)
    {
        if (workBeside) {
            AddBeingWritten(path);
            return;
        }
        FleetSet set;
        set.folder = path;
        const std::string sourceName = FileNamed(entries, kSourceFile);
        const SetRead before = ReadFile(path, sourceName.empty() ? kSourceFile : sourceName);
        bool changed = false;
        std::string failure;
        std::vector<std::pair<std::string, SetRead>> imports;
        for (const char* name : kApplyFileNames) {
            const std::string actual = FileNamed(entries, name);
            if (actual.empty())
                continue;
            imports.emplace_back(actual, ReadFile(path, actual));
        }
        const std::string appsName = FileNamed(entries, kApplicationsFile);
        SetRead apps;
        if (!appsName.empty())
            apps = ReadFile(path, appsName);
        const bool workAfter = files_.WorkFolderBeside(Join(path));
        const SetRead after = ReadFile(path, sourceName.empty() ? kSourceFile : sourceName);

        auto note = [&](const std::string& name, const SetRead& read) {
            if (read.outcome == ReadOutcome::Missing)
                changed = true;  // listed a moment ago
            else if (read.outcome == ReadOutcome::Failed && failure.empty())
                failure = name + " cannot be read (" + read.error + ")";
        };
        for (const auto& import : imports)
            note(import.first, import.second);
        if (!appsName.empty())
            note(appsName, apps);
        if (workAfter || changed || before.outcome != after.outcome || before.bytes != after.bytes) {
            AddBeingWritten(path);
            return;
        }
        if (before.outcome == ReadOutcome::Failed)
            failure = kSourceFile + std::string(" cannot be read (") + before.error + ")";
        else if (failure.empty() && before.outcome == ReadOutcome::Missing)
            failure = "Source.txt is missing: the set is not whole";
        else if (failure.empty() && !ReadSourceText(Utf8Ansi(before.bytes), set))
            failure = "Source.txt is not one the tool wrote";
        if (!failure.empty()) {
            set.state = SetState::Damaged;
            set.problem = failure;
            data_.sets.push_back(set);
            return;
        }
        ReadImports(imports, set);
        if (!appsName.empty()) {
            set.hasApps = true;
            std::string problem;
            if (!ReadApplicationsText(apps.bytes, set.apps, problem))
                Damage(set, appsName + ": " + problem);
        }
        data_.sets.push_back(set);
    }

    static void Damage(FleetSet& set, const std::string& problem)
    {
        set.state = SetState::Damaged;
        if (set.problem.empty())
            set.problem = problem;
    }

    // The drives, printers and default printer as /apply takes them, each
    // file planned on its own so that its texts are known to be ANSI or UTF-16.
    void ReadImports(const std::vector<std::pair<std::string, SetRead>>& imports, FleetSet& set)
    {
        std::size_t refused = 0;
        std::string firstRefused;
        for (const auto& import : imports) {
            ApplyFile file;
            file.name = import.first;
            file.file = ReadRegFile(import.second.bytes, options_.isLead);
            const bool ansi = file.file.form == RegFileForm::Ansi;
            auto text = [&](const std::string& s) { return ansi ? Utf8Ansi(s) : s; };
            const ApplyPlan plan = PlanApply({file}, Utf8, options_.isLead);
            for (const ApplyGroup& group : plan.groups) {
                const std::string target = text(group.target);
                if (group.kind == ApplyKind::Drive)
                    AddDrive(set, group.letter, target);
                else if (group.kind == ApplyKind::Printer)
                    AddPrinter(set, target);
                else if (group.kind == ApplyKind::DefaultPrinter)
                    set.defaultPrinter = target;
            }
            for (const ApplyLine& line : plan.refused) {
                if (refused++ == 0)
                    firstRefused = text(line.source) + ": " + text(line.message);
            }
        }
        if (refused)
            Damage(set, std::to_string(refused) + (refused == 1 ? " line" : " lines") +
                            " of its files to import would be refused by /apply; the first: " + firstRefused);
        std::sort(set.drives.begin(), set.drives.end(),
                  [](const SetDrive& a, const SetDrive& b) { return a.letter < b.letter; });
    }

    static void AddDrive(FleetSet& set, char letter, const std::string& path)
    {
        for (SetDrive& drive : set.drives)
            if (drive.letter == letter) {
                if (!path.empty())
                    drive.path = path;
                return;
            }
        set.drives.push_back({letter, path});
    }

    static void AddPrinter(FleetSet& set, const std::string& printer)
    {
        for (const std::string& known : set.printers)
            if (SameName(known, printer))
                return;
        set.printers.push_back(printer);
    }

    FleetFiles& files_;
    FleetReadOptions options_;
    FleetData data_;
};

// "YYYY-MM-DD HH:MM:SS"
bool IsLogTime(const std::string& text)
{
    static const char form[] = "0000-00-00 00:00:00";
    if (text.size() != sizeof form - 1)
        return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool digit = text[i] >= '0' && text[i] <= '9';
        if (form[i] == '0' ? !digit : text[i] != form[i])
            return false;
    }
    return true;
}

} // namespace

bool IsSetFileName(const std::string& name)
{
    return std::any_of(std::begin(kSetFiles), std::end(kSetFiles), [&](const char* file) { return SameName(name, file); });
}

bool ReadSourceText(const std::string& utf8, FleetSet& set)
{
    bool source = false;
    for (const std::string& line : Lines(utf8)) {
        if (StartsWith(line, "Source: ")) {
            source = true;
            const std::string text = line.substr(8);
            static const std::string remote = "the user ", home = " (home folder ", at = ") logged on at \\\\",
                                     current = "the user who ran the tool, ", profile = "the stored profile ",
                                     profileEnd = " on the machine that exported it";
            const std::size_t atPos = text.rfind(at);
            const std::size_t homePos = text.find(home);
            if (StartsWith(text, current)) {
                set.user = "account " + text.substr(current.size());
                set.source = "current user " + text.substr(current.size());
            } else if (StartsWith(text, remote) && atPos != std::string::npos && homePos != std::string::npos &&
                       homePos < atPos) {
                const std::string key = text.substr(remote.size(), homePos - remote.size());
                const std::string homeFolder = text.substr(homePos + home.size(), atPos - homePos - home.size());
                set.machine = text.substr(atPos + at.size());
                set.user = "key " + key;
                set.source = set.machine + "\\" + homeFolder + " (" + key + ")";
            } else if (StartsWith(text, profile) && EndsWith(text, profileEnd) && text.rfind(" in ") != std::string::npos &&
                       text.rfind(" in ") >= profile.size()) {
                const std::string name = text.substr(profile.size(), text.rfind(" in ") - profile.size());
                set.user = "profile " + name;
                set.source = "profile " + name;
            } else {
                set.user = "source " + text;
                set.source = text;
            }
        } else if (StartsWith(line, "Exported: ")) {
            set.exported = line.substr(10);
        } else if (StartsWith(line, "Servers renamed in the files to import: ")) {
            set.serverMap = Split(line.substr(40), ", ");
        }
    }
    return source;
}

bool ReadApplicationsText(const std::string& bytes, std::vector<SetApp>& apps, std::string& problem)
{
    const std::string text = StartsWith(bytes, "\xEF\xBB\xBF") ? bytes.substr(3) : bytes;
    const std::vector<std::string> lines = Lines(text);
    if (lines.empty() || lines[0] != "Name\tVersion\tPublisher\tScope") {
        problem = "its first line is not the list's header";
        return false;
    }
    for (std::size_t i = 1; i < lines.size(); ++i) {
        if (lines[i].empty() || lines[i][0] == '#')
            continue;
        const std::vector<std::string> columns = Split(lines[i], "\t");
        if (columns.size() != 4) {
            problem = "line " + std::to_string(i + 1) + " has " + std::to_string(columns.size()) + " columns, not 4";
            return false;
        }
        apps.push_back({columns[0], columns[1], columns[2], columns[3]});
    }
    return true;
}

void ReadLogText(const std::string& bytes, const std::vector<std::string>& log, std::vector<FleetLogLine>& latest,
                 AnsiToUtf8 ansi)
{
    // The lines kept, by their source's bytes; tab and LF are never the
    // second byte of a double-byte character.
    std::map<std::string, FleetLogLine> kept;
    std::size_t order = 0;
    std::size_t start = 0;
    // A last line without its line end may be one that a run is writing now.
    for (std::size_t end; (end = bytes.find('\n', start)) != std::string::npos; start = end + 1) {
        std::string line = bytes.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const std::size_t tab = line.find('\t');
        const std::size_t second = tab == std::string::npos ? tab : line.find('\t', tab + 1);
        if (second == std::string::npos || !IsLogTime(line.substr(0, tab)))
            continue;
        FleetLogLine entry;
        entry.log = log;
        entry.order = ++order;
        entry.time = line.substr(0, tab);
        entry.source = line.substr(tab + 1, second - tab - 1);
        const std::string outcome = line.substr(second + 1);
        if (outcome == "ok") {
            entry.ok = true;
        } else if (StartsWith(outcome, "ok: ")) {
            entry.ok = true;
            entry.message = outcome.substr(4);
        } else if (StartsWith(outcome, "failed: ")) {
            entry.message = outcome.substr(8);
        } else {
            continue;
        }
        kept[entry.source] = entry;
    }
    for (auto& source : kept) {
        FleetLogLine& line = source.second;
        line.source = ansi ? ansi(line.source) : Latin1ToUtf8(line.source);
        line.message = ansi ? ansi(line.message) : Latin1ToUtf8(line.message);
        latest.push_back(line);
    }
}

void DropStaleMachineLines(std::vector<FleetLogLine>& latest)
{
    // Per log, the last line of any user of each machine.
    std::map<std::pair<std::vector<std::string>, std::string>, std::size_t> lastUserLine;
    for (const FleetLogLine& line : latest) {
        const std::size_t slash = line.source.find('\\');
        if (slash == std::string::npos)
            continue;
        std::size_t& last = lastUserLine[{line.log, line.source.substr(0, slash)}];
        last = std::max(last, line.order);
    }
    std::size_t kept = 0;
    for (std::size_t i = 0; i < latest.size(); ++i) {
        const auto user = lastUserLine.find({latest[i].log, latest[i].source});
        if (user == lastUserLine.end() || user->second < latest[i].order)
            latest[kept++] = latest[i];
    }
    latest.resize(kept);
}

FleetData ReadFleet(FleetFiles& files, const FleetReadOptions& options)
{
    return FleetReader(files, options).Read();
}
