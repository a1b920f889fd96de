#include "remote/RegistryText.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

namespace {

const unsigned long kRegSz = 1;
const unsigned long kRegExpandSz = 2;
const unsigned long kRegBinary = 3;
const unsigned long kRegDword = 4;
const unsigned long kRegMultiSz = 7;

// REGEDIT4: the ANSI form holds the narrow registry calls' bytes, which
// Windows converts from the ANSI code page under this header only. Under
// "Version 5.00" it takes hex(1), hex(2) and hex(7) bytes as UTF-16 as they
// are. (Wine reads any file without a byte-order mark as ANSI.)
const char kAnsiHeader[] = "REGEDIT4\n";
const char16_t kUnicodeHeader[] = u"Windows Registry Editor Version 5.00\n";

// Bytes per continuation line; the first line carries one more.
const std::size_t kHexBytesPerLine = 24;

} // namespace

std::string EscapeRegText(const std::string& s, LeadByteTest isLead)
{
    std::string out;
    out.reserve(s.size() + s.size() / 8 + 1);
    ForEachAnsiChar(s, isLead, [&](std::size_t i, std::size_t length) {
        const char c = s[i];
        if (length == 1 && (c == '\\' || c == '"'))
            out += '\\';
        out.append(s, i, length);
        return true;
    });
    return out;
}

std::string ValueNamePart(const std::string& name, LeadByteTest isLead)
{
    if (name.empty())
        return "@ =";
    return "\"" + EscapeRegText(name, isLead) + "\"=";
}

std::string SectionLine(const std::string& keyPath)
{
    return "\n[" + keyPath + "]\n";
}

std::string HexForm(const unsigned char* data, std::size_t count)
{
    static const char kDigits[] = "0123456789abcdef";
    std::string out;
    out.reserve(count * 3 + count / kHexBytesPerLine * 2 + 1);
    for (std::size_t i = 0; i < count; ++i) {
        out += kDigits[data[i] >> 4];
        out += kDigits[data[i] & 0x0f];
        if (i + 1 == count)
            break;
        out += ',';
        if (i > 0 && i % kHexBytesPerLine == 0)
            out += "\\\n";
    }
    out += '\n';
    return out;
}

std::string FormatValueText(unsigned long type, const unsigned char* data, std::size_t count, LeadByteTest isLead)
{
    if (type == kRegSz) {
        // The data need not be terminated: a value written without its NUL
        // still ends at count.
        std::size_t length = 0;
        while (length < count && data[length] != 0)
            ++length;
        const std::string text(reinterpret_cast<const char*>(data), length);
        // A quoted string cannot carry a line break, nor anything after its
        // terminator; such data keeps every byte in the hex form.
        const bool quotable = text.find_first_of("\r\n") == std::string::npos && count - length <= 1;
        if (quotable)
            return "\"" + EscapeRegText(text, isLead) + "\"\n";
    }
    if (type == kRegDword) {
        // Short data counts its missing high bytes as zero rather than
        // reading past the value.
        std::uint32_t value = 0;
        for (std::size_t i = 0; i < 4 && i < count; ++i)
            value |= static_cast<std::uint32_t>(data[i]) << (8 * i);
        char text[32];
        std::snprintf(text, sizeof text, "dword:%08lx\n", static_cast<unsigned long>(value));
        return text;
    }
    if (type == kRegBinary)
        return "hex:" + HexForm(data, count);

    // Every other type, unknown ones and strings that need it included, keeps
    // its bytes under its own number; importers read that number as
    // hexadecimal.
    char prefix[32];
    std::snprintf(prefix, sizeof prefix, "hex(%lx):", type);
    return prefix + HexForm(data, count);
}

std::u16string EscapeRegText(const std::u16string& s)
{
    std::u16string out;
    out.reserve(s.size() + s.size() / 8 + 1);
    for (const char16_t c : s) {
        if (c == u'\\' || c == u'"')
            out += u'\\';
        out += c;
    }
    return out;
}

std::u16string ValueNamePart(const std::u16string& name)
{
    if (name.empty())
        return u"@ =";
    return u"\"" + EscapeRegText(name) + u"\"=";
}

std::u16string SectionLine(const std::u16string& keyPath)
{
    return u"\n[" + keyPath + u"]\n";
}

std::u16string UnicodeValueText(const ExportValue& value)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(value.data.data());
    if (value.type == kRegSz) {
        // Quoted as the ANSI form quotes: an odd byte, a line break or
        // anything after the terminator needs the hex form.
        const std::u16string units = UnitsOfBytes(value.data);
        const std::size_t length = std::min(units.find(u'\0'), units.size());
        const bool quotable = value.data.size() % 2 == 0 && units.size() - length <= 1 &&
                              units.find_first_of(u"\r\n") >= length;
        if (quotable)
            return u"\"" + EscapeRegText(units.substr(0, length)) + u"\"\n";
        return u"hex(1):" + AsciiUnits(HexForm(bytes, value.data.size()));
    }
    return AsciiUnits(FormatValueText(value.type, bytes, value.data.size()));
}

namespace {

// Appends text with each LF as CR LF, as a text-mode stream writes it.
void AppendLines(const std::string& text, std::string& out)
{
    std::size_t from = 0;
    for (std::size_t lf = text.find('\n'); lf != std::string::npos; lf = text.find('\n', from)) {
        out.append(text, from, lf - from);
        out += "\r\n";
        from = lf + 1;
    }
    out.append(text, from, std::string::npos);
}

bool IsStringType(unsigned long type)
{
    return type == kRegSz || type == kRegExpandSz || type == kRegMultiSz;
}

// text in the code page: exactly, or false; or, not exact, as the narrow
// registry calls give it.
bool ConvertText(const std::u16string& text, const AnsiCodePage& codePage, bool exact, std::string& ansi)
{
    if (exact)
        return ToAnsiExactly(text, codePage, ansi);
    if (!ToAnsiExactly(text, codePage, ansi))
        ansi = codePage.toAnsiAsNarrowCalls(text);
    return true;
}

// The ANSI form; with exact, false at the first text that does not convert
// exactly.
bool AnsiExportBytes(const std::vector<ExportSection>& sections, const AnsiCodePage& codePage, bool exact,
                     std::string& bytes)
{
    bytes.clear();
    AppendLines(kAnsiHeader, bytes);
    std::string ansi, data;
    for (const ExportSection& section : sections) {
        if (!ConvertText(section.path, codePage, exact, ansi))
            return false;
        AppendLines(SectionLine(ansi), bytes);
        for (const ExportValue& value : section.values) {
            if (!ConvertText(value.name, codePage, exact, ansi))
                return false;
            AppendLines(ValueNamePart(ansi, codePage.isLead), bytes);
            const std::string* stored = &value.data;
            if (IsStringType(value.type)) {
                // The narrow calls drop an odd last byte; only the Unicode
                // form can keep it.
                if ((exact && value.data.size() % 2 != 0) ||
                    !ConvertText(UnitsOfBytes(value.data), codePage, exact, data))
                    return false;
                stored = &data;
            }
            AppendLines(FormatValueText(value.type, reinterpret_cast<const unsigned char*>(stored->data()),
                                        stored->size(), codePage.isLead),
                        bytes);
        }
    }
    return true;
}

std::string UnicodeExportBytes(const std::vector<ExportSection>& sections)
{
    std::u16string text = kUnicodeHeader;
    for (const ExportSection& section : sections) {
        text += SectionLine(section.path);
        for (const ExportValue& value : section.values) {
            text += ValueNamePart(value.name);
            text += UnicodeValueText(value);
        }
    }
    std::string bytes = "\xFF\xFE";
    bytes.reserve(2 + text.size() * 2 + text.size() / 16);
    for (const char16_t unit : text) {
        if (unit == u'\n')
            bytes.append("\r\0", 2);
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

} // namespace

std::string ExportFileBytes(const std::vector<ExportSection>& sections, const AnsiCodePage& codePage,
                            ExportForm& form, bool unicodeAllowed)
{
    std::string bytes;
    form = AnsiExportBytes(sections, codePage, unicodeAllowed, bytes) ? ExportForm::Ansi : ExportForm::Unicode;
    return form == ExportForm::Ansi ? bytes : UnicodeExportBytes(sections);
}
