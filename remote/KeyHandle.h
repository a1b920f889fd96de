#pragma once

#include <windows.h>

// Owns one registry key handle and closes it once. For the local machine
// RegConnectRegistryA may hand back the predefined key itself; closing that
// is harmless, so no handle needs telling apart.
class TKeyHandle {
public:
    TKeyHandle() = default;
    TKeyHandle(const TKeyHandle&) = delete;
    TKeyHandle& operator=(const TKeyHandle&) = delete;
    ~TKeyHandle() { Close(); }

    HKEY Get() const { return key_; }

    // The Win32 code unchanged; the held handle is replaced only on success.
    LONG Open(HKEY parent, const char* path, REGSAM access = KEY_READ)
    {
        HKEY opened = nullptr;
        const LONG result = RegOpenKeyExA(parent, path, 0, access, &opened);
        if (result == ERROR_SUCCESS)
            Replace(opened);
        return result;
    }
    LONG Open(HKEY parent, const wchar_t* path, REGSAM access = KEY_READ)
    {
        HKEY opened = nullptr;
        const LONG result = RegOpenKeyExW(parent, path, 0, access, &opened);
        if (result == ERROR_SUCCESS)
            Replace(opened);
        return result;
    }

    // Opens the key, creating it and its missing parents.
    LONG Create(HKEY parent, const char* path, REGSAM access = KEY_WRITE)
    {
        HKEY created = nullptr;
        const LONG result =
            RegCreateKeyExA(parent, path, 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr, &created, nullptr);
        if (result == ERROR_SUCCESS)
            Replace(created);
        return result;
    }
    LONG Create(HKEY parent, const wchar_t* path, REGSAM access = KEY_WRITE)
    {
        HKEY created = nullptr;
        const LONG result =
            RegCreateKeyExW(parent, path, 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr, &created, nullptr);
        if (result == ERROR_SUCCESS)
            Replace(created);
        return result;
    }

    LONG Connect(const char* machine, HKEY root)
    {
        HKEY connected = nullptr;
        const LONG result = RegConnectRegistryA(machine, root, &connected);
        if (result == ERROR_SUCCESS)
            Replace(connected);
        return result;
    }

    void Close()
    {
        if (key_)
            RegCloseKey(key_);
        key_ = nullptr;
    }

private:
    void Replace(HKEY key)
    {
        Close();
        key_ = key;
    }

    HKEY key_ = nullptr;
};
