#pragma once

#include <windows.h>

#include <cstdio>
#include <list>
#include <string>

#include "local/JobProgress.h"
#include "local/JobReport.h"
#include "remote/KeyHandle.h"

// One connection to a predefined root key of a machine, the names its
// operations find, and the registry export writer.
class TRegistry {
public:
    TRegistry() = default;
    TRegistry(const TRegistry&) = delete;
    TRegistry& operator=(const TRegistry&) = delete;
    virtual ~TRegistry() = default;

    // RegConnectRegistryA's code. A failure leaves no connection at all, so
    // nothing later reads from an earlier machine or root.
    LONG Connect(const std::string& machine, HKEY root);
    // ERROR_NO_MORE_ITEMS when every subkey of the connected key was listed,
    // 0 when an error stopped the listing.
    LONG EnumKeys();
    std::list<std::string> GetNames() const { return names_; }
    HKEY ConnectedKey() const { return connectedKey_.Get(); }

    // Whether the key at path below key has a direct subkey called exactly name.
    static bool HasSubKey(HKEY key, const std::string& path, const std::string& name);

    // Replaces the names by the remote user line of the user whose
    // "Volatile Environment" key is at path below key (none without HOMEPATH).
    int ReadHomePath(HKEY key, const std::string& path);

    // Writes the tree at keyPath below the connected key to folder\fileName
    // and its HKEY_CURRENT_USER copy to folder\fileName.reg. A top key that
    // is missing below a parent that is there gives the header alone. Any
    // registry error but the end of a list, and any write error, is a
    // problem that names the key or the file: false. progress hears of each
    // subkey of the top key once its tree is written.
    bool ExportToFile(const std::string& folder, const std::string& keyPath, const std::string& fileName,
                      TProblem& problem, const EntryProgress& progress = {});
    // The walk of one tree; the Win32 code of the first error, which
    // failedKey then names, or 0.
    LONG ExportKey(HKEY root, const std::string& rootName, const std::string& keyPath, std::FILE* stream,
                   const EntryProgress& progress = {});
    LONG ExportValues(HKEY key, std::FILE* stream, const std::string& sectionName);
    static void FormatValue(std::string& output, DWORD type, const BYTE* data, DWORD count);
    const std::string& FailedKey() const { return failedKey_; }

private:
    struct KeyInfo {
        DWORD subKeys = 0;
        DWORD values = 0;
        DWORD longestName = 0;
        DWORD longestData = 0;
    };
    static LONG QueryKeyInfo(HKEY key, KeyInfo& info);
    // section is the path of the key at relativePath below parent; it is
    // extended for each subkey and restored before returning.
    LONG ExportTree(HKEY parent, const char* relativePath, std::string& section, std::FILE* stream,
                    const EntryProgress* progress = nullptr);
    LONG WriteSection(HKEY key, KeyInfo info, std::FILE* stream, const std::string& sectionName);

    std::list<std::string> names_;
    HKEY rootKey_ = nullptr;  // recorded for the root's name in a section line
    TKeyHandle connectedKey_;
    std::string failedKey_;
};
