#include "local/DefaultPrinter.h"

namespace {

const char kWindowsKey[] = "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
const char16_t kWindowsKeyUnits[] = u"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";

} // namespace

bool IsNetworkPrinterDevice(const std::string& device, LeadByteTest isLead)
{
    // A comma is below 0x40, never the second byte of a character.
    const std::string printer = device.substr(0, device.find(','));
    if (printer.compare(0, 2, "\\\\") != 0)
        return false;
    std::string::size_type i = 2;
    while (i < printer.size() && printer[i] != '\\')
        i += isLead && isLead(static_cast<unsigned char>(printer[i])) && i + 1 < printer.size() ? 2 : 1;
    return i > 2 && i + 1 < printer.size();
}

std::string NetworkPrinterName(const std::string& device, LeadByteTest isLead)
{
    return IsNetworkPrinterDevice(device, isLead) ? device.substr(0, device.find(',')) : std::string();
}

std::string DefaultPrinterRegText(const std::string& device, LeadByteTest isLead)
{
    // The registry export writer's own pieces, so that the file reads like
    // its exports; it writes through a text-mode stream, which this does by hand.
    const std::string data = device + '\0';
    const auto* bytesOfData = reinterpret_cast<const unsigned char*>(data.data());
    const std::string text = "REGEDIT4\n" + SectionLine(kWindowsKey) + ValueNamePart("Device", isLead) +
                             FormatValueText(1, bytesOfData, data.size(), isLead);
    std::string bytes;
    for (const char c : text) {
        if (c == '\n')
            bytes += '\r';
        bytes += c;
    }
    return bytes;
}

std::string DefaultPrinterRegText(const std::u16string& device, const AnsiCodePage& codePage, bool& unicode)
{
    ExportValue value;
    value.name = u"Device";
    value.type = 1;
    value.data = BytesOfUnits(device + u'\0');
    ExportForm form = ExportForm::Ansi;
    const std::string bytes = ExportFileBytes({ExportSection{kWindowsKeyUnits, {value}}}, codePage, form);
    unicode = form == ExportForm::Unicode;
    return bytes;
}
