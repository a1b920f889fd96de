#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "local/JobProgress.h"
#include "local/JobReport.h"
#include "remote/KeyHandle.h"
#include "remote/RegistryText.h"

// One connection to a predefined root key of a machine, and the registry
// export writer. Names are read through the wide registry calls, so that a
// name in any script reaches the files as it is.
class TRegistry {
public:
    TRegistry() = default;
    TRegistry(const TRegistry&) = delete;
    TRegistry& operator=(const TRegistry&) = delete;
    virtual ~TRegistry() = default;

    // RegConnectRegistryA's code. A failure leaves no connection at all, so
    // nothing later reads from an earlier machine or root.
    LONG Connect(const std::string& machine, HKEY root);
    HKEY ConnectedKey() const { return connectedKey_.Get(); }

    // Whether the key at path below key has a direct subkey called exactly name.
    static bool HasSubKey(HKEY key, const std::wstring& path, const std::wstring& name);

    // The data of the value named exactly "HOMEPATH" in the key at path below
    // key, with the length the registry reported (its terminator included);
    // false when there is none.
    static bool ReadHomePath(HKEY key, const std::wstring& path, std::u16string& homePath);

    // Writes the tree at keyPath below the connected key to folder\fileName
    // and its HKEY_CURRENT_USER copy to folder\fileName.reg, both in the form
    // that carries every name of the tree (LastForm); without unicodeAllowed
    // in REGEDIT4 whatever the names. A top key that is missing below a
    // parent that is there gives the header alone. Any registry error but
    // the end of a list, and any write error, is a problem that names the key
    // or the file: false. progress hears of each subkey of the top key once
    // its tree is read.
    bool ExportToFile(const std::string& folder, const std::wstring& keyPath, const std::string& fileName,
                      TProblem& problem, bool unicodeAllowed = true, const EntryProgress& progress = {});
    ExportForm LastForm() const { return lastForm_; }
    // The walk of one tree, gathering the sections of its keys in the walk's
    // order; the Win32 code of the first error, which FailedKey then names, or 0.
    LONG ExportKey(HKEY root, const std::wstring& rootName, const std::wstring& keyPath,
                   std::vector<ExportSection>& sections, const EntryProgress& progress = {});
    LONG ExportValues(HKEY key, std::vector<ExportSection>& sections, const std::wstring& sectionName);
    const std::wstring& FailedKey() const { return failedKey_; }

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
    LONG ExportTree(HKEY parent, const wchar_t* relativePath, std::wstring& section,
                    std::vector<ExportSection>& sections, const EntryProgress* progress = nullptr);
    LONG ReadSection(HKEY key, KeyInfo info, std::vector<ExportSection>& sections, const std::wstring& sectionName);

    HKEY rootKey_ = nullptr;  // recorded for the root's name in a section line
    TKeyHandle connectedKey_;
    std::wstring failedKey_;
    ExportForm lastForm_ = ExportForm::Ansi;
};
