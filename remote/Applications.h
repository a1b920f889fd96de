#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// The pure side of Applications.txt: the Win32 side reads the uninstall
// subkeys and hands over their values; everything that decides the file's
// bytes is here.

enum class AppScope { Machine, Machine32, User };  // also the sort order of scopes

// "machine", "machine 32-bit", "user".
const char* ScopeText(AppScope scope);

// Values of one uninstall subkey as read. A string member is set only when the
// value exists and is REG_SZ or REG_EXPAND_SZ, taken unexpanded and as stored,
// NULs and anything after them included; a value of any other type is left
// unset, i.e. counts as missing.
struct UninstallKeyValues {
    std::optional<std::u16string> displayName, displayVersion, publisher, releaseType;
    bool systemComponentIsOne = false;  // SystemComponent exists, is REG_DWORD and equals 1
    bool hasParentKeyName = false;      // a value named ParentKeyName exists (any type)
    std::optional<std::u16string> parentDisplayName;
};

struct AppEntry {
    std::u16string name, version, publisher;
    AppScope scope;
};

// The text up to its first NUL (what a program reading the value shows), in
// which each CR LF, lone CR, lone LF or tab becomes one space, so that a text
// keeps to its line and column; then leading and trailing spaces are removed.
std::u16string CleanAppText(const std::u16string& text);

// The entry a subkey gives, or nullopt when it does not count: it needs a
// DisplayName that is not empty once cleaned, and is left out when it is a
// system component, names a parent (an update of another entry: it has a
// ParentKeyName, or a ParentDisplayName not empty once cleaned), or its
// ReleaseType is "Update", "Hotfix", "Security Update" or "Service Pack" in
// any ASCII letter case. Version and publisher are cleaned the same way; a
// missing one is empty.
std::optional<AppEntry> MakeAppEntry(const UninstallKeyValues& values, AppScope scope);

// Lower-cases a text in place; on Windows this is CharLowerBuffW.
using LowerText = std::function<void(std::u16string&)>;

// Which views of a machine's uninstall key are read, and the scope their
// entries get: a 64-bit machine {View64, Machine}, {View32, Machine32}; a
// 32-bit machine {Default, Machine}.
enum class RegistryView { Default, View64, View32 };
struct MachineView {
    RegistryView view;
    AppScope scope;
};
std::vector<MachineView> MachineViews(bool machineIs64Bit);

// Whether a machine is 64-bit by its PROCESSOR_ARCHITECTURE value (of
// SYSTEM\CurrentControlSet\Control\Session Manager\Environment), cleaned and in
// any ASCII letter case: "AMD64", "IA64" and "ARM64" are, "x86" is not;
// nullopt when the value is missing or names no architecture known here.
std::optional<bool> ArchitectureIs64Bit(const std::optional<std::u16string>& architecture);

// Gathers the entries of every read and writes the file.
class ApplicationsList {
public:
    // Keeps the entry MakeAppEntry gives, if any.
    void Add(const UninstallKeyValues& values, AppScope scope);

    // A subkey that could not be read; reason e.g. "error 5". Only the first
    // reason is kept, the others are counted.
    void AddUnreadable(const std::string& reason);

    // UTF-8 with a byte-order mark: the line "Name\tVersion\tPublisher\tScope",
    // then one line per entry, each line ending in CR LF. Entries are ordered
    // by name, then version, both compared unit by unit after lower, then by
    // scope. Entries equal in lower-cased name and version and in scope are
    // written once, as the one whose publisher sorts first (lower-cased, then
    // exact), so that the output never depends on the order of the reads.
    // Unreadable subkeys add one last line "# N uninstall entries could not be
    // read: <first reason>". An empty lower compares the texts as they are.
    std::string FileBytes(const LowerText& lower) const;

private:
    std::vector<AppEntry> entries_;
    std::size_t unreadable_ = 0;
    std::string firstUnreadableReason_;
};

// UTF-16 to UTF-8; a surrogate pair becomes one 4-byte sequence, an unpaired
// surrogate becomes U+FFFD.
std::string Utf8(const std::u16string& text);
