#include "import/ImportRules.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/import/RegFileHelpers.h"

namespace {

// Whether the verdicts allow each item: one letter per item, "+" or "-".
std::string Allowed(const RegFile& file)
{
    std::string marks;
    for (const ImportVerdict& v : CheckImport(file)) {
        marks += v.allowed ? '+' : '-';
        EXPECT_EQ(v.allowed, v.reason.empty()) << v.reason;
    }
    return marks;
}

const char kWindows[] = "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";

// A key line and one value in it: whether each may be imported.
TEST(ImportRules, KeysAndTheirValues)
{
    const std::string w = kWindows;
    const struct {
        std::string key;
        std::string value;
        const char* allowed;  // the key line, the value
    } cases[] = {
        {"HKEY_CURRENT_USER\\Network\\Z", "RemotePath", "++"},
        {"hkey_current_user\\NETWORK\\z\\Sub", "x", "++"},
        {"HKEY_CURRENT_USER\\Printers", "x", "++"},
        {"HKEY_CURRENT_USER\\Printers\\Connections\\,,srv,HP 4", "Server", "++"},
        {"HKEY_CURRENT_USER\\Network", "x", "+-"},
        {w, "Device", "++"},
        {w, "device", "++"},
        {w, "load", "+-"},
        {"HKEY_CURRENT_USER\\NetworkX\\Z", "x", "--"},
        {"HKEY_CURRENT_USER\\Network\\AB", "x", "--"},
        {"HKEY_CURRENT_USER\\Network\\Z\\..", "x", "--"},
        {"HKEY_CURRENT_USER\\Network\\Z\\", "x", "--"},
        {"HKEY_CURRENT_USER\\\\Printers", "x", "--"},
        {"HKEY_CURRENT_USER\\Printers2", "x", "--"},
        {"HKEY_CURRENT_USERX\\Printers", "x", "--"},
        {"HKCU\\Printers", "x", "--"},
        {"HKEY_LOCAL_MACHINE\\Software", "x", "--"},
        {"HKEY_CURRENT_USER", "x", "--"},
        {"Printers\\Connections", "x", "--"},
        {w + "\\Sub", "Device", "--"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key + " " + c.value);
        const std::string name = c.value.empty() ? "@" : "\"" + c.value + "\"";
        const RegFile file = ReadRegFile("REGEDIT4\r\n\r\n[" + c.key + "]\r\n" + name + "=\"x\"\r\n");
        ASSERT_EQ(Kinds(file), "HBSV");
        EXPECT_EQ(Allowed(file), std::string("++") + c.allowed);
    }
}

// Deletions, unreadable lines and values without a key line are refused,
// and so is everything in a file without its header.
TEST(ImportRules, WhatIsRefusedWhateverTheKey)
{
    const std::string p = "[HKEY_CURRENT_USER\\Printers]\r\n";
    const struct {
        std::string body;
        const char* allowed;
    } cases[] = {
        {"\"x\"=\"y\"\r\n" + p, "+-+"},
        {p + "\"x\"=-\r\n\"x\"=\"y\"\r\n", "++-+"},
        {p + "[-HKEY_CURRENT_USER\\Printers\\X]\r\n\"x\"=\"y\"\r\n", "++--"},
        {p + "\"x\"=\"y\r\n\"x\"=\"y\"\r\n", "++-+"},
        {p + "[HKEY_LOCAL_MACHINE\\Software]\r\n; c\r\n\"x\"=dword:1\r\n", "++-+-"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.body);
        EXPECT_EQ(Allowed(ReadRegFile("REGEDIT4\r\n" + c.body)), c.allowed);
    }
    EXPECT_EQ(Allowed(ReadRegFile("Windows Registry Editor Version 5.00\r\n" + p + "\"x\"=\"y\"\r\n")), "---");

    const RegFile drives = ReadRegFile(Utf16File(u"Windows Registry Editor Version 5.00\r\n\r\n"
                                                 u"[HKEY_CURRENT_USER\\Network]\r\n\r\n"
                                                 u"[HKEY_CURRENT_USER\\Network\\z]\r\n\"RemotePath\"=\"x\"\r\n"));
    EXPECT_EQ(Allowed(drives), "++++++");
}

} // namespace
