#pragma once

#include <string>

#include "remote/RegistryText.h"

// The user's default printer is the value Device of
// HKEY_CURRENT_USER\Software\Microsoft\Windows NT\CurrentVersion\Windows,
// such as "\\srv\HP 4,winspool,Ne01:". device is that value's ANSI text
// without its terminating NUL.

// Whether the part of device before its first comma is "\\server\name",
// with neither server nor name empty.
bool IsNetworkPrinterDevice(const std::string& device, LeadByteTest isLead = nullptr);

// That part ("\\srv\HP 4") for a network printer, else an empty text.
std::string NetworkPrinterName(const std::string& device, LeadByteTest isLead = nullptr);

// The bytes of DefaultPrinter.reg: "REGEDIT4", an empty line, the Windows
// key's section line and its one value "Device", escaped as the registry
// export writer escapes strings, every line ended by CR LF. The caller
// writes them in binary mode.
std::string DefaultPrinterRegText(const std::string& device, LeadByteTest isLead = nullptr);

// The same file for the Device value as the wide registry calls read it:
// byte for byte the text above when the value converts exactly to the code
// page, else the Unicode form of the export writer (unicode then true).
std::string DefaultPrinterRegText(const std::u16string& device, const AnsiCodePage& codePage, bool& unicode);
