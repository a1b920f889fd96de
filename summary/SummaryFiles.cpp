#include "summary/SummaryFiles.h"

#include <algorithm>

namespace {

const char32_t kReplacement = 0xFFFD;

// The code point of the UTF-8 sequence at text[i] and its length; length 1
// and U+FFFD for a byte that starts no well-formed sequence (overlong forms
// and surrogates included).
char32_t DecodeAt(const std::string& text, std::size_t i, std::size_t& length)
{
    const unsigned lead = static_cast<unsigned char>(text[i]);
    length = lead < 0x80 ? 1 : lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3
             : lead >= 0xF0 && lead <= 0xF4 ? 4 : 0;
    char32_t code = length == 1 ? lead : length == 2 ? lead & 0x1F : length == 3 ? lead & 0x0F : lead & 0x07;
    for (std::size_t k = 1; k < length; ++k) {
        const unsigned next = i + k < text.size() ? static_cast<unsigned char>(text[i + k]) : 0;
        if ((next & 0xC0) != 0x80) {
            length = 0;
            break;
        }
        code = code << 6 | (next & 0x3F);
    }
    if (length == 0 || (length == 3 && code < 0x800) || (length == 4 && code < 0x10000) || code > 0x10FFFF ||
        (code >= 0xD800 && code <= 0xDFFF)) {
        length = 1;
        return kReplacement;
    }
    return code;
}

void AppendUtf8(char32_t code, std::string& out)
{
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | code >> 6);
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | code >> 12);
        out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | code >> 18);
        out += static_cast<char>(0x80 | (code >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

bool IsControl(char32_t code)
{
    return (code < 0x20 && code != '\t' && code != '\r' && code != '\n') || (code >= 0x7F && code < 0xA0);
}

std::string Number(std::size_t n)
{
    return std::to_string(n);
}

const char kStyle[] =
    "body { font-family: Tahoma, Verdana, Arial, sans-serif; font-size: 10pt; margin: 12px; color: #000; "
    "background: #fff; }\r\n"
    "h1 { font-size: 16pt; margin: 0 0 6px 0; }\r\n"
    "h2 { font-size: 12pt; margin: 20px 0 6px 0; padding-bottom: 2px; border-bottom: 1px solid #9ab; }\r\n"
    "h3 { font-size: 10pt; margin: 12px 0 4px 0; }\r\n"
    "table { border-collapse: collapse; }\r\n"
    "th, td { border: 1px solid #ccd; padding: 2px 6px; text-align: left; vertical-align: top; }\r\n"
    "th { background: #e8ecf4; }\r\n"
    "td.n { text-align: right; }\r\n"
    "td.t { white-space: nowrap; }\r\n"
    // Widths set by the heading, so that one long name breaks in its cell
    // rather than pushing the table past the window (word-wrap: IE 5.5 on).
    "table.wide { width: 100%; table-layout: fixed; }\r\n"
    "table.wide td { word-wrap: break-word; }\r\n"
    "span.problem { color: #a00; }\r\n"
    "table.counts td { font-size: 14pt; text-align: center; padding: 4px 12px; }\r\n"
    "table.bars td { border: none; padding: 1px 6px; }\r\n"
    "div.bar { width: 240px; border: 1px solid #9ab; background: #fff; }\r\n"
    "div.fill { height: 10px; font-size: 1px; line-height: 1px; overflow: hidden; background: #36c; }\r\n"
    "table.failed div.fill { background: #c33; }\r\n"
    "tr.problem td { background: #fde8e8; }\r\n"
    "tr.written td { color: #666; }\r\n"
    "tr.group th { background: #f4e0e0; }\r\n"
    "p.note { color: #633; }\r\n";

std::string Cell(const std::string& text, const char* tag = "td")
{
    return std::string("<") + tag + ">" + HtmlText(text) + "</" + tag + ">";
}

std::string NumberCell(std::size_t n)
{
    return "<td class=\"n\">" + Number(n) + "</td>";
}

// Several texts in one cell, one a line.
std::string LinesCell(const std::vector<std::string>& texts)
{
    std::string cell = "<td>";
    for (std::size_t i = 0; i < texts.size(); ++i)
        cell += (i ? "<br>" : "") + HtmlText(texts[i]);
    return cell + "</td>";
}

std::string Heading(const std::vector<std::string>& names, const std::vector<int>& percents = {})
{
    std::string row = "<tr>";
    for (std::size_t i = 0; i < names.size(); ++i)
        row += i < percents.size() ? "<th style=\"width: " + Number(static_cast<std::size_t>(percents[i])) + "%\">" +
                                         HtmlText(names[i]) + "</th>"
                                   : Cell(names[i], "th");
    return row + "</tr>\r\n";
}

std::string Joined(const std::vector<std::string>& parts, const std::string& separator)
{
    std::string text;
    for (std::size_t i = 0; i < parts.size(); ++i)
        text += (i ? separator : "") + parts[i];
    return text;
}

std::string FolderText(const std::vector<std::string>& folder)
{
    return folder.empty() ? "." : Joined(folder, "\\");
}

// A bar as wide as count is of most, in percent: plain block elements
// with a width, which every browser of the era draws.
struct Bar {
    std::string label;
    std::size_t count;
};

std::string Bars(const std::string& title, const char* tableClass, const std::vector<Bar>& bars)
{
    if (bars.empty())
        return std::string();
    std::size_t most = 0;
    for (const Bar& bar : bars)
        most = std::max(most, bar.count);
    std::string html = "<h3>" + HtmlText(title) + "</h3>\r\n<table class=\"bars " + tableClass + "\">\r\n";
    for (const Bar& bar : bars) {
        const std::size_t percent = most ? (bar.count * 100 + most / 2) / most : 0;
        html += "<tr>" + Cell(bar.label) + "<td><div class=\"bar\"><div class=\"fill\" style=\"width: " +
                Number(percent) + "%\"></div></div></td>" + NumberCell(bar.count) + "</tr>\r\n";
    }
    return html + "</table>\r\n";
}

const std::size_t kBarsShown = 10;

std::string Glance(const SummaryTables& t)
{
    std::vector<Bar> failures, apps, servers;
    for (const FailureGroup& group : t.failures)
        failures.push_back({group.reason, group.rows.size()});
    for (std::size_t i = 0; i < t.apps.size() && i < kBarsShown; ++i)
        apps.push_back({t.apps[i].name, t.apps[i].machines});
    for (std::size_t i = 0; i < t.servers.size() && i < kBarsShown; ++i)
        servers.push_back({"\\\\" + t.servers[i].name, t.servers[i].users});
    const std::string html = Bars("Failures by reason", "failed", failures) +
                             Bars("Most common applications (machines)", "apps", apps) +
                             Bars("Servers used by the most users", "servers", servers);
    return html.empty() ? std::string() : "<h2>At a glance</h2>\r\n" + html;
}

std::string CountsTable(const SummaryCounts& c)
{
    const struct {
        const char* id;
        const char* name;
        std::size_t count;
    } counts[] = {
        {"sets", "Sets", c.sets},       {"machines", "Machines", c.machines}, {"users", "Users", c.users},
        {"failures", "Failures", c.failures}, {"servers", "Servers", c.servers}, {"drives", "Drives", c.drives},
        {"printers", "Printers", c.printers},
    };
    std::string head = "<tr>", body = "<tr>";
    for (const auto& count : counts) {
        head += std::string("<th>") + count.name + "</th>";
        body += std::string("<td id=\"count-") + count.id + "\">" + Number(count.count) + "</td>";
    }
    return "<table class=\"counts\">\r\n" + head + "</tr>\r\n" + body + "</tr>\r\n</table>\r\n";
}

std::string Notes(const SummaryTables& t)
{
    std::string html;
    const bool oneWritten = t.counts.beingWritten == 1, oneDamaged = t.counts.damaged == 1;
    if (t.counts.beingWritten)
        html += "<p class=\"note\">" + Number(t.counts.beingWritten) +
                (oneWritten ? " set was being written while this summary was made and is not counted; the next "
                              "summary counts it.</p>\r\n"
                            : " sets were being written while this summary was made and are not counted; the next "
                              "summary counts them.</p>\r\n");
    if (t.counts.damaged)
        html += "<p class=\"note\">" + Number(t.counts.damaged) + (oneDamaged ? " set was" : " sets were") +
                " not read whole; the Users table says why.</p>\r\n";
    for (const std::string& unreadable : t.unreadable)
        html += "<p class=\"note\">Not read: " + HtmlText(unreadable) + "</p>\r\n";
    return html;
}

std::string ServersTable(const SummaryTables& t)
{
    std::string html = "<h2>Servers</h2>\r\n";
    if (t.servers.empty())
        return html + "<p>No drive or printer of the sets names a server.</p>\r\n";
    html += "<table id=\"servers\">\r\n" +
            Heading({"Server", "Users", "Drives", "Printers", "Default printer of", "Renamed by /map from"});
    for (const ServerRow& row : t.servers)
        html += "<tr>" + Cell("\\\\" + row.name) + NumberCell(row.users) + NumberCell(row.drives) +
                NumberCell(row.printers) + NumberCell(row.defaults) + LinesCell(row.renamedFrom) + "</tr>\r\n";
    return html + "</table>\r\n";
}

std::string StateText(const UserRow& row)
{
    if (row.state == SetState::BeingWritten)
        return "being written: not read";
    return row.problem;
}

// The source, and below it why the set was not read whole.
std::string SourceCell(const UserRow& row)
{
    const std::string state = StateText(row);
    return "<td>" + HtmlText(row.source) + (row.source.empty() || state.empty() ? "" : "<br>") +
           (state.empty() ? "" : "<span class=\"problem\">" + HtmlText(state) + "</span>") + "</td>";
}

std::string UsersTable(const SummaryTables& t)
{
    std::string html = "<h2>Users</h2>\r\n";
    if (t.users.empty())
        return html + "<p>No set was found.</p>\r\n";
    html += "<table id=\"users\" class=\"wide\">\r\n" +
            Heading({"Folder", "Source", "Exported", "Drives", "Printers", "Default printer", "Applications"},
                    {12, 21, 10, 18, 18, 12, 9});
    for (const UserRow& row : t.users) {
        const char* rowClass = row.state == SetState::BeingWritten ? " class=\"written\""
                               : row.state == SetState::Damaged    ? " class=\"problem\""
                                                                   : "";
        html += std::string("<tr") + rowClass + "><td><a href=\"" + HtmlText(FolderUrl(row.folder)) + "\">" +
                HtmlText(FolderText(row.folder)) + "</a></td>" + SourceCell(row) + Cell(row.exported) + LinesCell(row.drives) + LinesCell(row.printers) +
                Cell(row.defaultPrinter) + (row.hasApps ? NumberCell(row.apps) : std::string("<td></td>")) +
                "</tr>\r\n";
    }
    return html + "</table>\r\n";
}

std::string ApplicationsTable(const SummaryTables& t)
{
    std::string html = "<h2>Applications</h2>\r\n";
    if (t.apps.empty())
        return html + "<p>No set holds a list of applications (export machines with /apps).</p>\r\n";
    html += "<table id=\"applications\">\r\n" + Heading({"Name", "Versions", "Publisher", "Machines", "Scope"});
    for (const AppRow& row : t.apps)
        html += "<tr>" + Cell(row.name) + LinesCell(row.versions) + LinesCell(row.publishers) +
                NumberCell(row.machines) + Cell(Joined(row.scopes, ", ")) + "</tr>\r\n";
    return html + "</table>\r\n";
}

std::string FailuresTable(const SummaryTables& t)
{
    std::string html = "<h2>Failures</h2>\r\n";
    if (t.failures.empty())
        return html + "<p>No source's latest log line failed.</p>\r\n";
    html += "<table id=\"failures\" class=\"wide\">\r\n" + Heading({"Source", "Time", "Message"}, {30, 14, 56});
    for (const FailureGroup& group : t.failures) {
        html += "<tr class=\"group\"><th colspan=\"3\">" + HtmlText(group.reason) + ": " +
                Number(group.rows.size()) + (group.rows.size() == 1 ? " source" : " sources") +
                (group.text.empty() || group.text == group.reason ? std::string() : " &mdash; " + HtmlText(group.text)) +
                "</th></tr>\r\n";
        for (const FailureRow& row : group.rows)
            html += "<tr>" + Cell(row.source) + "<td class=\"t\">" + HtmlText(row.time) + "</td>" +
                    Cell(row.message) + "</tr>\r\n";
    }
    return html + "</table>\r\n";
}

std::string Row(const std::vector<std::string>& cells)
{
    std::string row;
    for (std::size_t i = 0; i < cells.size(); ++i)
        row += (i ? "\t" : "") + cells[i];
    return row + "\r\n";
}

} // namespace

std::string HtmlText(const std::string& utf8)
{
    std::string html;
    html.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        std::size_t length = 0;
        const char32_t code = DecodeAt(utf8, i, length);
        switch (code) {
        case '&': html += "&amp;"; break;
        case '<': html += "&lt;"; break;
        case '>': html += "&gt;"; break;
        case '"': html += "&quot;"; break;
        case '\'': html += "&#39;"; break;
        default:
            if (IsControl(code) || code == kReplacement)
                AppendUtf8(kReplacement, html);
            else
                html.append(utf8, i, length);
        }
        i += length;
    }
    return html;
}

std::string FolderUrl(const std::vector<std::string>& parts)
{
    static const char hex[] = "0123456789ABCDEF";
    if (parts.empty())
        return "./";
    std::string url;
    for (const std::string& part : parts) {
        for (const char c : part) {
            const unsigned char b = static_cast<unsigned char>(c);
            if ((b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9') || b == '-' || b == '.' ||
                b == '_' || b == '~') {
                url += c;
            } else {
                url += '%';
                url += hex[b >> 4];
                url += hex[b & 0xF];
            }
        }
        url += '/';
    }
    return url;
}

std::string FileUrl(const std::string& path)
{
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (std::size_t at; (at = path.find('\\', start)) != std::string::npos; start = at + 1)
        parts.push_back(path.substr(start, at - start));
    parts.push_back(path.substr(start));
    parts.erase(std::remove(parts.begin(), parts.end(), std::string()), parts.end());
    if (path.compare(0, 2, "\\\\") == 0 && !parts.empty()) {
        // \\srv\share\x -> file://srv/share/x/
        const std::string server = FolderUrl({parts.front()});
        parts.erase(parts.begin());
        return "file://" + server + (parts.empty() ? "" : FolderUrl(parts));
    }
    // C:\x -> file:///C:/x/; the drive's colon stays as it is.
    std::string drive;
    if (!parts.empty() && parts.front().size() == 2 && parts.front()[1] == ':') {
        drive = parts.front() + "/";
        parts.erase(parts.begin());
    }
    return "file:///" + drive + (parts.empty() ? "" : FolderUrl(parts));
}

std::string SheetCell(const std::string& utf8)
{
    std::string text;
    for (std::size_t i = 0; i < utf8.size();) {
        std::size_t length = 0;
        const char32_t code = DecodeAt(utf8, i, length);
        if (code == '\t' || code == '\r' || code == '\n')
            text += ' ';
        else if (code == kReplacement)
            AppendUtf8(kReplacement, text);
        else
            text.append(utf8, i, length);
        i += length;
    }
    // As spreadsheet injection advice has it: a formula's first characters,
    // also after blanks, which some spreadsheets skip.
    const std::size_t first = utf8.find_first_not_of(' ');
    if (first != std::string::npos && std::string("=+-@\t\r").find(utf8[first]) != std::string::npos)
        text = "'" + text;
    if (text.find('"') != std::string::npos) {
        std::string quoted = "\"";
        for (const char c : text)
            quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
        text = quoted + "\"";
    }
    return text;
}

std::string Utf16LeFile(const std::string& utf8)
{
    std::string bytes = "\xFF\xFE";
    bytes.reserve(2 + utf8.size() * 2);
    auto unit = [&](char32_t u) {
        bytes += static_cast<char>(u & 0xFF);
        bytes += static_cast<char>(u >> 8 & 0xFF);
    };
    for (std::size_t i = 0; i < utf8.size();) {
        std::size_t length = 0;
        const char32_t code = DecodeAt(utf8, i, length);
        if (code >= 0x10000) {
            unit(0xD800 + ((code - 0x10000) >> 10));
            unit(0xDC00 + ((code - 0x10000) & 0x3FF));
        } else {
            unit(code);
        }
        i += length;
    }
    return bytes;
}

std::string SummaryPage(const SummaryTables& t, const SummaryPageFacts& facts)
{
    std::string html =
        "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01//EN\" \"http://www.w3.org/TR/html4/strict.dtd\">\r\n"
        "<html lang=\"en\">\r\n<head>\r\n"
        "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">\r\n"
        // Browsers that know it run no script and load nothing from this page,
        // whatever a name might smuggle in; older ones ignore it.
        "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; style-src 'unsafe-inline'\">\r\n"
        "<title>Movara: the sets in " + HtmlText(facts.folder) + "</title>\r\n";
    if (!facts.base.empty())
        html += "<base href=\"" + HtmlText(facts.base) + "\">\r\n";
    html += std::string("<style type=\"text/css\">\r\n") + kStyle + "</style>\r\n</head>\r\n<body>\r\n";
    html += "<h1>Planning the move</h1>\r\n<p>The sets in <b id=\"folder\">" + HtmlText(facts.folder) +
            "</b>, summary made " + HtmlText(facts.made) + ".</p>\r\n";
    html += CountsTable(t.counts) + Notes(t) + Glance(t) + ServersTable(t) + UsersTable(t) + ApplicationsTable(t) +
            FailuresTable(t);
    return html + "</body>\r\n</html>\r\n";
}

std::string ServersSheet(const SummaryTables& t)
{
    std::string text = Row({"Server", "Users", "Drives", "Printers", "Default printer of", "Renamed by /map from"});
    for (const ServerRow& row : t.servers)
        text += Row({SheetCell("\\\\" + row.name), Number(row.users), Number(row.drives), Number(row.printers),
                     Number(row.defaults), SheetCell(Joined(row.renamedFrom, "; "))});
    return Utf16LeFile(text);
}

std::string UsersSheet(const SummaryTables& t)
{
    std::string text =
        Row({"Folder", "Source", "Exported", "Drives", "Printers", "Default printer", "Applications", "Problem"});
    for (const UserRow& row : t.users)
        text += Row({SheetCell(FolderText(row.folder)), SheetCell(row.source), SheetCell(row.exported),
                     SheetCell(Joined(row.drives, "; ")), SheetCell(Joined(row.printers, "; ")),
                     SheetCell(row.defaultPrinter), row.hasApps ? Number(row.apps) : std::string(),
                     SheetCell(StateText(row))});
    return Utf16LeFile(text);
}

std::string ApplicationsSheet(const SummaryTables& t)
{
    std::string text = Row({"Name", "Versions", "Publisher", "Machines", "Scope"});
    for (const AppRow& row : t.apps)
        text += Row({SheetCell(row.name), SheetCell(Joined(row.versions, "; ")), SheetCell(Joined(row.publishers, "; ")),
                     Number(row.machines), SheetCell(Joined(row.scopes, ", "))});
    return Utf16LeFile(text);
}

std::string FailuresSheet(const SummaryTables& t)
{
    std::string text = Row({"Reason", "Source", "Time", "Message"});
    for (const FailureGroup& group : t.failures)
        for (const FailureRow& row : group.rows)
            text += Row({SheetCell(group.reason), SheetCell(row.source), SheetCell(row.time), SheetCell(row.message)});
    return Utf16LeFile(text);
}
