#pragma once
// Files and registry keys that a test makes in the Wine prefix, and the
// paths of the programs under test.
#include <windows.h>

#include <string>
#include <vector>

namespace sandbox {

// The folder of the test program, where the build puts the tool too.
std::string BuildDir();
std::string ToolExe();
std::string StandInExe();
// Copies the stand-in over the system's reg.exe (once per run); it logs and
// reads its control files ("no-network", "big-export", "fail-load") in the
// system directory, whose path this returns with a backslash.
std::string InstallStandIn();
std::string StandInDir();
// The stand-in's calls since the last ClearStandInLog: one list of arguments
// per call, in order.
std::vector<std::vector<std::string>> StandInCalls();
void ClearStandInLog();

// A new, empty folder C:\mvt\<name> (an older one is removed first).
std::string FreshDir(const std::string& name);
bool MakeDirs(const std::string& path);
void RemoveTree(const std::string& path);
bool Exists(const std::string& path);
bool ReadBytes(const std::string& path, std::string& bytes);
bool WriteBytes(const std::string& path, const std::string& bytes);
std::string ReadOrEmpty(const std::string& path);

// UTF-16LE bytes of an ASCII/Latin-1 text (no byte-order mark added).
std::string Utf16(const std::string& latin1);

// Registry: a key tree removed with everything below it, and values set.
void DeleteKeyTree(HKEY root, const std::string& path);
void SetValue(HKEY root, const std::string& path, const std::string& name, DWORD type, const std::string& data);
void SetString(HKEY root, const std::string& path, const std::string& name, const std::string& text);
void SetDword(HKEY root, const std::string& path, const std::string& name, DWORD value);
void CreateKey(HKEY root, const std::string& path);
void DeleteValue(HKEY root, const std::string& path, const std::string& name);
// Runs a command line hidden and waits for it; its exit code, or -1 when it
// could not be started.
int RunWait(const std::string& commandLine, DWORD timeoutMs = 60000);

// Every key below path that has values or subkeys, with its values (name,
// type, data bytes), as one text in an order of its own, so that the
// registry's enumeration order does not count. With stringsToNul, REG_SZ data
// counts up to its first NUL.
std::string RegistrySnapshot(HKEY root, const std::string& path, bool stringsToNul = false);

}  // namespace sandbox
