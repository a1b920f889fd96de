#include "import/ImportRules.h"

namespace {

enum class KeyClass {
    None,     // no key line yet, or the last one could not be read or deleted a key
    Refused,  // a key that is not imported; nor are its values
    Parent,   // HKEY_CURRENT_USER\Network: the line passes, values do not
    Windows,  // the default printer's key: only its Device value
    Inside,   // a drive's or the printers' key: everything
};

bool Is(LeadByteTest isLead, const RegUnits& part, const char* ascii)
{
    return SameTextIgnoringCase(isLead, part, ByteUnits(ascii));
}

bool IsDriveLetter(const RegUnits& part)
{
    return part.size() == 1 && ((part[0] >= u'A' && part[0] <= u'Z') || (part[0] >= u'a' && part[0] <= u'z'));
}

KeyClass ClassifyKey(LeadByteTest isLead, const RegUnits& key, std::string& reason)
{
    const std::vector<RegUnits> parts = SplitKeyPath(isLead, key);
    for (const RegUnits& part : parts) {
        if (part.empty() || part == u"." || part == u"..") {
            reason = "a key path with an empty, \".\" or \"..\" part";
            return KeyClass::Refused;
        }
    }
    if (!Is(isLead, parts[0], "HKEY_CURRENT_USER")) {
        reason = "a key outside HKEY_CURRENT_USER";
        return KeyClass::Refused;
    }
    if (parts.size() >= 2 && Is(isLead, parts[1], "Printers"))
        return KeyClass::Inside;
    if (parts.size() >= 2 && Is(isLead, parts[1], "Network")) {
        if (parts.size() == 2)
            return KeyClass::Parent;
        if (IsDriveLetter(parts[2]))
            return KeyClass::Inside;
        reason = "a key under Network that is not a drive letter";
        return KeyClass::Refused;
    }
    static const char* const kWindowsKey[] = {"Software", "Microsoft", "Windows NT", "CurrentVersion", "Windows"};
    bool windows = parts.size() == 6;
    for (std::size_t i = 0; windows && i < 5; ++i)
        windows = Is(isLead, parts[i + 1], kWindowsKey[i]);
    if (windows)
        return KeyClass::Windows;
    reason = "a key other than a mapped drive's, the printers' or the default printer's";
    return KeyClass::Refused;
}

ImportVerdict CheckValue(LeadByteTest isLead, KeyClass section, const RegItem& item)
{
    switch (section) {
    case KeyClass::Inside:
        return {true, ""};
    case KeyClass::Windows:
        if (Is(isLead, item.name, "Device"))
            return {true, ""};
        return {false, "a value of the Windows key other than Device"};
    case KeyClass::Parent:
        return {false, "a value of HKEY_CURRENT_USER\\Network itself, not of a drive"};
    case KeyClass::Refused:
        return {false, "a value of a key that is not imported"};
    case KeyClass::None:
        break;
    }
    return {false, "a value with no key line before it"};
}

// A line that could not be read but starts like a key line leaves the
// values after it without a key.
bool LooksLikeSection(const RegUnits& text)
{
    const std::size_t at = text.find_first_not_of(u" \t");
    return at != RegUnits::npos && text[at] == u'[';
}

} // namespace

std::vector<ImportVerdict> CheckImport(const RegFile& file)
{
    std::vector<ImportVerdict> verdicts;
    if (!file.header) {
        verdicts.assign(file.items.size(), {false, "the file does not start with a registry export header"});
        return verdicts;
    }
    KeyClass section = KeyClass::None;
    for (const RegItem& item : file.items) {
        ImportVerdict verdict;
        switch (item.kind) {
        case RegItemKind::Header:
        case RegItemKind::Blank:
            verdict.allowed = true;
            break;
        case RegItemKind::Unparsable:
            verdict.reason = "a line that could not be read: " + item.problem;
            if (LooksLikeSection(item.text))
                section = KeyClass::None;
            break;
        case RegItemKind::DeleteSection:
            verdict.reason = "deletes a key";
            section = KeyClass::None;
            break;
        case RegItemKind::DeleteValue:
            verdict.reason = "deletes a value";
            break;
        case RegItemKind::Section:
            section = ClassifyKey(file.isLead, item.key, verdict.reason);
            verdict.allowed = section != KeyClass::Refused;
            break;
        case RegItemKind::Value:
            verdict = CheckValue(file.isLead, section, item);
            break;
        }
        verdicts.push_back(verdict);
    }
    return verdicts;
}
