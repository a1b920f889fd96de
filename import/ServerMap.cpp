#include "import/ServerMap.h"

namespace {

struct Rename {
    RegUnits from;
    RegUnits to;
};

// One side of a mapping: the server name alone, or an error text.
std::string ServerName(const std::string& side, const char* which, LeadByteTest isLead, std::string& name)
{
    const std::string server = std::string("the ") + which + " server";
    std::string::size_type start = 0;
    if (side.compare(0, 2, "\\\\") == 0)
        start = 2;
    else if (side.compare(0, 1, "\\") == 0)
        return server + " starts with one backslash; write \\\\server or server";
    name = side.substr(start);
    if (name.empty())
        return server + " name is empty";
    std::string problem;
    // A lead byte is never one of these; the byte after it is not looked at.
    ForEachAnsiChar(name, isLead, [&](std::size_t i, std::size_t) {
        const unsigned char c = static_cast<unsigned char>(name[i]);
        if (c == '\\')
            problem = server + " holds a backslash; give the server alone, without a share or printer";
        else if (c == ',' || c == '"' || c <= ' ' || c == 0x7F)
            problem = server + " holds a comma, a double quote, a blank or a control character";
        return problem.empty();
    });
    return problem;
}

const Rename* Find(LeadByteTest isLead, const std::vector<Rename>& renames, const RegUnits& server)
{
    for (const Rename& r : renames) {
        if (SameTextIgnoringCase(isLead, r.from, server))
            return &r;
    }
    return nullptr;
}

// "\\OLD" or "\\OLD\..." with OLD renamed; false when text is neither.
bool RenameUnc(LeadByteTest isLead, const std::vector<Rename>& renames, RegUnits& text)
{
    if (text.compare(0, 2, u"\\\\") != 0)
        return false;
    std::size_t end = 2;
    while (end < text.size() && text[end] != u'\\')
        end = NextChar(isLead, text, end);
    const Rename* r = Find(isLead, renames, text.substr(2, end - 2));
    if (!r)
        return false;
    text.replace(2, end - 2, r->to);
    return true;
}

// A printer connection's key, ",,OLD,printer", with OLD renamed.
bool RenameConnectionKey(LeadByteTest isLead, const std::vector<Rename>& renames, RegUnits& part)
{
    if (part.compare(0, 2, u",,") != 0)
        return false;
    const std::size_t end = part.find(u',', 2);  // a comma is never the second byte of a character
    if (end == RegUnits::npos)
        return false;
    const Rename* r = Find(isLead, renames, part.substr(2, end - 2));
    if (!r)
        return false;
    part.replace(2, end - 2, r->to);
    return true;
}

bool RenameKey(const RegFile& file, const std::vector<Rename>& renames, RegItem& item)
{
    std::vector<RegUnits> parts = SplitKeyPath(file.isLead, item.key);
    bool changed = false;
    for (RegUnits& part : parts)
        changed = RenameConnectionKey(file.isLead, renames, part) || changed;
    if (!changed)
        return false;
    RegUnits key = parts[0];
    for (std::size_t i = 1; i < parts.size(); ++i)
        key += u'\\' + parts[i];
    SetItemKey(file, item, key);
    return true;
}

bool RenameValue(const RegFile& file, const std::vector<Rename>& renames, RegItem& item)
{
    bool changed = false;
    RegUnits name = item.name;
    if (item.nameAt != std::string::npos && RenameUnc(file.isLead, renames, name)) {
        SetItemName(file, item, name);
        changed = true;
    }
    RegUnits text = item.text;
    if (item.kind == RegItemKind::Value && item.quoted && RenameUnc(file.isLead, renames, text)) {
        SetItemString(file, item, text);
        changed = true;
    }
    return changed;
}

} // namespace

std::string ParseServerMapping(const std::string& argument, ServerMapping& mapping, LeadByteTest isLead)
{
    // "=" is below 0x40, so it is never the second byte of a character.
    const std::string::size_type equals = argument.find('=');
    std::string error;
    if (equals == std::string::npos)
        error = "no \"=\" between the old and the new server";
    else if (argument.find('=', equals + 1) != std::string::npos)
        error = "more than one \"=\"";
    ServerMapping parsed;
    if (error.empty())
        error = ServerName(argument.substr(0, equals), "old", isLead, parsed.oldServer);
    if (error.empty())
        error = ServerName(argument.substr(equals + 1), "new", isLead, parsed.newServer);
    if (!error.empty())
        return error + " (the form is \\\\OLD=\\\\NEW)";
    mapping = parsed;
    return std::string();
}

std::string AddServerMapping(std::vector<ServerMapping>& map, const ServerMapping& mapping, LeadByteTest isLead)
{
    for (const ServerMapping& m : map) {
        if (SameTextIgnoringCase(isLead, ByteUnits(m.oldServer), ByteUnits(mapping.oldServer)))
            return "the server " + mapping.oldServer + " is mapped twice, to " + m.newServer + " and to " +
                   mapping.newServer;
    }
    map.push_back(mapping);
    return std::string();
}

std::size_t RenameServers(RegFile& file, const std::vector<ServerMapping>& map, AnsiToUtf16 widen)
{
    std::vector<Rename> renames;
    for (const ServerMapping& m : map) {
        if (file.form == RegFileForm::Utf16 && widen)
            renames.push_back({widen(m.oldServer), widen(m.newServer)});
        else
            renames.push_back({ByteUnits(m.oldServer), ByteUnits(m.newServer)});
    }
    std::size_t changed = 0;
    for (RegItem& item : file.items) {
        switch (item.kind) {
        case RegItemKind::Section:
        case RegItemKind::DeleteSection:
            changed += RenameKey(file, renames, item) ? 1 : 0;
            break;
        case RegItemKind::Value:
        case RegItemKind::DeleteValue:
            changed += RenameValue(file, renames, item) ? 1 : 0;
            break;
        default:
            break;
        }
    }
    return changed;
}

std::string RenameServerInPath(const std::string& path, const std::vector<ServerMapping>& map, LeadByteTest isLead)
{
    std::vector<Rename> renames;
    for (const ServerMapping& m : map)
        renames.push_back({ByteUnits(m.oldServer), ByteUnits(m.newServer)});
    RegUnits units = ByteUnits(path);
    if (!RenameUnc(isLead, renames, units))
        return path;
    std::string renamed;
    for (const char16_t c : units)
        renamed += static_cast<char>(c);  // bytes of path and map: each unit is one
    return renamed;
}

RenamedFile RenameServersInFile(const std::string& bytes, const std::vector<ServerMapping>& map, LeadByteTest isLead,
                                AnsiToUtf16 widen)
{
    RegFile file = ReadRegFile(bytes, isLead);
    RenamedFile result;
    result.changedLines = RenameServers(file, map, widen);
    result.bytes = RegFileBytes(file);
    return result;
}
