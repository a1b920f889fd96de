#include "summary/SummaryTables.h"

#include <algorithm>
#include <map>
#include <set>

#include "remote/ConnectReason.h"

namespace {

std::string LowerAscii(std::string s)
{
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return s;
}

std::string Join(const std::vector<std::string>& parts, const std::string& separator)
{
    std::string text;
    for (std::size_t i = 0; i < parts.size(); ++i)
        text += (i ? separator : "") + parts[i];
    return text;
}

void AddOnce(std::vector<std::string>& list, const std::string& item)
{
    if (std::find(list.begin(), list.end(), item) == list.end())
        list.push_back(item);
}

// The machine whose applications a set lists: a remote set's machine, or
// the set itself where Source.txt names no machine.
std::string MachineKey(const FleetSet& set)
{
    return set.machine.empty() ? "set " + LowerAscii(Join(set.folder, "\\")) : "machine " + LowerAscii(set.machine);
}

// Sets whose drives, printers and applications count: read, if not whole.
bool IsRead(const FleetSet& set)
{
    return set.state != SetState::BeingWritten && !set.source.empty();
}

class ServerTable {
public:
    // One set's servers: each user counts once per server, however many of
    // its drives and printers name it.
    void Add(const FleetSet& set)
    {
        std::set<std::string> named;
        for (const SetDrive& drive : set.drives)
            if (ServerRow* row = Row(drive.path, named))
                ++row->drives;
        for (const std::string& printer : set.printers)
            if (ServerRow* row = Row(printer, named))
                ++row->printers;
        if (ServerRow* row = Row(set.defaultPrinter, named))
            ++row->defaults;
        for (const std::string& key : named)
            ++rows_[key].users;
        // "\\OLD to \\NEW": NEW is what the files name now.
        for (const std::string& mapping : set.serverMap) {
            const std::size_t to = mapping.find(" to ");
            if (to == std::string::npos)
                continue;
            const std::string key = LowerAscii(ServerOf(mapping.substr(to + 4)));
            if (named.count(key))
                AddOnce(rows_[key].renamedFrom, mapping.substr(0, to));
        }
    }

    std::vector<ServerRow> Rows() const
    {
        std::vector<ServerRow> rows;
        for (const auto& row : rows_)
            rows.push_back(row.second);
        for (ServerRow& row : rows)
            std::sort(row.renamedFrom.begin(), row.renamedFrom.end());
        std::sort(rows.begin(), rows.end(), [](const ServerRow& a, const ServerRow& b) {
            return a.users != b.users ? a.users > b.users : LowerAscii(a.name) < LowerAscii(b.name);
        });
        return rows;
    }

private:
    ServerRow* Row(const std::string& path, std::set<std::string>& named)
    {
        const std::string server = ServerOf(path);
        if (server.empty())
            return nullptr;
        const std::string key = LowerAscii(server);
        ServerRow& row = rows_[key];
        if (row.name.empty())
            row.name = server;
        named.insert(key);
        return &row;
    }

    std::map<std::string, ServerRow> rows_;
};

UserRow MakeUserRow(const FleetSet& set)
{
    UserRow row;
    row.folder = set.folder;
    row.state = set.state;
    row.problem = set.problem;
    row.source = set.source;
    row.exported = set.exported;
    for (const SetDrive& drive : set.drives)
        row.drives.push_back(std::string(1, drive.letter) + ":" + (drive.path.empty() ? "" : " " + drive.path));
    row.printers = set.printers;
    row.defaultPrinter = set.defaultPrinter;
    row.hasApps = set.hasApps;
    row.apps = set.apps.size();
    return row;
}

std::vector<AppRow> MakeAppRows(const std::vector<FleetSet>& sets)
{
    struct Gathered {
        AppRow row;
        std::set<std::string> machines;
    };
    std::map<std::string, Gathered> apps;
    for (const FleetSet& set : sets) {
        if (!IsRead(set))
            continue;
        for (const SetApp& app : set.apps) {
            Gathered& gathered = apps[LowerAscii(app.name)];
            if (gathered.row.name.empty())
                gathered.row.name = app.name;
            if (!app.version.empty())
                AddOnce(gathered.row.versions, app.version);
            if (!app.publisher.empty())
                AddOnce(gathered.row.publishers, app.publisher);
            if (!app.scope.empty())
                AddOnce(gathered.row.scopes, app.scope);
            gathered.machines.insert(MachineKey(set));
        }
    }
    std::vector<AppRow> rows;
    for (auto& app : apps) {
        AppRow row = app.second.row;
        row.machines = app.second.machines.size();
        std::sort(row.versions.begin(), row.versions.end());
        std::sort(row.publishers.begin(), row.publishers.end());
        std::sort(row.scopes.begin(), row.scopes.end());
        rows.push_back(row);
    }
    std::stable_sort(rows.begin(), rows.end(),
                     [](const AppRow& a, const AppRow& b) { return a.machines > b.machines; });
    return rows;
}

std::vector<FailureGroup> MakeFailureGroups(const std::vector<FleetLogLine>& latest)
{
    std::map<std::string, FailureGroup> groups;
    for (const FleetLogLine& line : latest) {
        if (line.ok)
            continue;
        FailureRow row;
        row.source = line.log.empty() ? line.source : Join(line.log, "\\") + ": " + line.source;
        row.time = line.time;
        row.message = FailureText(line.message);
        const std::string reason = FailureReason(line.message);
        groups[reason].reason = reason;
        groups[reason].rows.push_back(row);
    }
    std::vector<FailureGroup> result;
    for (auto& entry : groups) {
        FailureGroup group = entry.second;
        std::sort(group.rows.begin(), group.rows.end(), [](const FailureRow& a, const FailureRow& b) {
            return std::make_pair(LowerAscii(a.source), a.source) < std::make_pair(LowerAscii(b.source), b.source);
        });
        group.text = group.rows.front().message;
        for (const FailureRow& row : group.rows)
            if (row.message != group.text)
                group.text.clear();
        result.push_back(group);
    }
    std::stable_sort(result.begin(), result.end(),
                     [](const FailureGroup& a, const FailureGroup& b) { return a.rows.size() > b.rows.size(); });
    return result;
}

} // namespace

std::string ServerOf(const std::string& path)
{
    if (path.compare(0, 2, "\\\\") != 0)
        return std::string();
    return path.substr(2, path.find('\\', 2) == std::string::npos ? std::string::npos : path.find('\\', 2) - 2);
}

std::string FailureText(const std::string& message)
{
    // The log keeps the connect failure's two paragraphs on one line,
    // between them the blanks that stand for its line breaks.
    const std::string opening = kConnectFailedText;
    std::size_t start = message.compare(0, opening.size(), opening) == 0 ? opening.size() : 0;
    while (start < message.size() && message[start] == ' ')
        ++start;
    return start < message.size() ? message.substr(start) : message;
}

std::string FailureReason(const std::string& message)
{
    for (std::size_t at = message.rfind("(error "); at != std::string::npos;
         at = at ? message.rfind("(error ", at - 1) : std::string::npos) {
        std::size_t end = at + 7;
        while (end < message.size() && message[end] >= '0' && message[end] <= '9')
            ++end;
        if (end > at + 7 && end < message.size() && message[end] == ')')
            return message.substr(at + 1, end - at - 1);
    }
    return message;
}

SummaryTables MakeSummaryTables(const FleetData& data)
{
    SummaryTables tables;
    SummaryCounts& counts = tables.counts;
    ServerTable servers;
    std::set<std::string> machines, users;
    for (const FleetSet& set : data.sets) {
        tables.users.push_back(MakeUserRow(set));
        ++counts.sets;
        if (set.state == SetState::BeingWritten)
            ++counts.beingWritten;
        else if (set.state == SetState::Damaged)
            ++counts.damaged;
        if (!IsRead(set))
            continue;
        machines.insert(MachineKey(set));
        users.insert(LowerAscii(set.user));
        counts.drives += set.drives.size();
        counts.printers += set.printers.size();
        servers.Add(set);
    }
    std::sort(tables.users.begin(), tables.users.end(), [](const UserRow& a, const UserRow& b) {
        return LowerAscii(Join(a.folder, "\\")) < LowerAscii(Join(b.folder, "\\"));
    });
    counts.machines = machines.size();
    counts.users = users.size();
    tables.servers = servers.Rows();
    counts.servers = tables.servers.size();
    tables.apps = MakeAppRows(data.sets);
    tables.failures = MakeFailureGroups(data.latest);
    for (const FailureGroup& group : tables.failures)
        counts.failures += group.rows.size();
    tables.unreadable = data.unreadable;
    return tables;
}
