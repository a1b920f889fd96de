#include "remote/Applications.h"

#include <algorithm>
#include <tuple>

namespace {

// Release types of entries that update another program rather than being
// one, lower-cased.
const char16_t* const kUpdateReleaseTypes[] = {u"update", u"hotfix", u"security update", u"service pack"};

// PROCESSOR_ARCHITECTURE values, lower-cased.
const char16_t kArchitecture32[] = u"x86";
const char16_t* const kArchitectures64[] = {u"amd64", u"ia64", u"arm64"};

// Only ASCII letters: the release types are English words, and the
// comparison must not depend on the system's case tables.
std::u16string AsciiLower(std::u16string text)
{
    for (char16_t& unit : text) {
        if (unit >= u'A' && unit <= u'Z')
            unit = static_cast<char16_t>(unit + (u'a' - u'A'));
    }
    return text;
}

bool IsUpdateReleaseType(const std::optional<std::u16string>& releaseType)
{
    if (!releaseType)
        return false;
    const std::u16string word = AsciiLower(CleanAppText(*releaseType));
    for (const char16_t* updateType : kUpdateReleaseTypes) {
        if (word == updateType)
            return true;
    }
    return false;
}

std::u16string CleanOrEmpty(const std::optional<std::u16string>& text)
{
    return text ? CleanAppText(*text) : std::u16string();
}

bool IsHighSurrogate(char16_t unit)
{
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool IsLowSurrogate(char16_t unit)
{
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

void AppendUtf8(char32_t code, std::string& out)
{
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// An entry with the lower-cased texts it sorts by, computed once rather than
// in every comparison.
struct SortedEntry {
    std::u16string name, version, publisher;
    const AppEntry* entry;
};

// Everything that decides the order, down to the exact texts, so that the
// entry kept from a merged group never depends on the order of the reads.
auto OrderKey(const SortedEntry& e)
{
    return std::tie(e.name, e.version, e.entry->scope, e.publisher, e.entry->publisher, e.entry->name,
                    e.entry->version);
}

bool SameLine(const SortedEntry& a, const SortedEntry& b)
{
    return a.name == b.name && a.version == b.version && a.entry->scope == b.entry->scope;
}

} // namespace

const char* ScopeText(AppScope scope)
{
    switch (scope) {
    case AppScope::Machine:
        return "machine";
    case AppScope::Machine32:
        return "machine 32-bit";
    case AppScope::User:
        return "user";
    }
    return "";
}

std::u16string CleanAppText(const std::u16string& text)
{
    const std::size_t end = std::min(text.find(u'\0'), text.size());
    std::u16string out;
    out.reserve(end);
    for (std::size_t i = 0; i < end; ++i) {
        const char16_t unit = text[i];
        if (unit == u'\r') {
            out += u' ';
            if (i + 1 < end && text[i + 1] == u'\n')
                ++i;
        } else if (unit == u'\n' || unit == u'\t') {
            out += u' ';
        } else {
            out += unit;
        }
    }
    const std::size_t first = out.find_first_not_of(u' ');
    if (first == std::u16string::npos)
        return std::u16string();
    const std::size_t last = out.find_last_not_of(u' ');
    return out.substr(first, last - first + 1);
}

std::optional<AppEntry> MakeAppEntry(const UninstallKeyValues& values, AppScope scope)
{
    const bool namesParent = values.hasParentKeyName || !CleanOrEmpty(values.parentDisplayName).empty();
    if (values.systemComponentIsOne || namesParent || IsUpdateReleaseType(values.releaseType))
        return std::nullopt;
    std::u16string name = CleanOrEmpty(values.displayName);
    if (name.empty())
        return std::nullopt;
    return AppEntry{std::move(name), CleanOrEmpty(values.displayVersion), CleanOrEmpty(values.publisher), scope};
}

std::vector<MachineView> MachineViews(bool machineIs64Bit)
{
    if (machineIs64Bit)
        return {{RegistryView::View64, AppScope::Machine}, {RegistryView::View32, AppScope::Machine32}};
    return {{RegistryView::Default, AppScope::Machine}};
}

std::optional<bool> ArchitectureIs64Bit(const std::optional<std::u16string>& architecture)
{
    if (!architecture)
        return std::nullopt;
    const std::u16string name = AsciiLower(CleanAppText(*architecture));
    if (name == kArchitecture32)
        return false;
    for (const char16_t* name64 : kArchitectures64) {
        if (name == name64)
            return true;
    }
    return std::nullopt;
}

void ApplicationsList::Add(const UninstallKeyValues& values, AppScope scope)
{
    if (auto entry = MakeAppEntry(values, scope))
        entries_.push_back(std::move(*entry));
}

void ApplicationsList::AddUnreadable(const std::string& reason)
{
    if (unreadable_ == 0)
        firstUnreadableReason_ = reason;
    ++unreadable_;
}

std::string ApplicationsList::FileBytes(const LowerText& lower) const
{
    std::vector<SortedEntry> sorted;
    sorted.reserve(entries_.size());
    for (const AppEntry& entry : entries_) {
        SortedEntry e{entry.name, entry.version, entry.publisher, &entry};
        if (lower) {
            lower(e.name);
            lower(e.version);
            lower(e.publisher);
        }
        sorted.push_back(std::move(e));
    }
    std::sort(sorted.begin(), sorted.end(),
              [](const SortedEntry& a, const SortedEntry& b) { return OrderKey(a) < OrderKey(b); });

    std::string out = "\xEF\xBB\xBF" "Name\tVersion\tPublisher\tScope\r\n";
    for (std::size_t i = 0; i < sorted.size(); ++i) {
        if (i > 0 && SameLine(sorted[i - 1], sorted[i]))
            continue;
        const AppEntry& entry = *sorted[i].entry;
        out += Utf8(entry.name) + '\t' + Utf8(entry.version) + '\t' + Utf8(entry.publisher) + '\t';
        out += ScopeText(entry.scope);
        out += "\r\n";
    }
    if (unreadable_ > 0) {
        out += "# " + std::to_string(unreadable_);
        out += unreadable_ == 1 ? " uninstall entry could not be read: " : " uninstall entries could not be read: ";
        out += firstUnreadableReason_ + "\r\n";
    }
    return out;
}

std::string Utf8(const std::u16string& text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        if (IsHighSurrogate(unit) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
            AppendUtf8(0x10000 + ((char32_t(unit) - 0xD800) << 10) + (char32_t(text[i + 1]) - 0xDC00), out);
            ++i;
        } else if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
            AppendUtf8(0xFFFD, out);
        } else {
            AppendUtf8(unit, out);
        }
    }
    return out;
}
