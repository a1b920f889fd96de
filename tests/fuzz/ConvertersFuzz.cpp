// The export converters' single pass against the literal edit loop: find the
// first occurrence that starts a line (a section line), edit it, search from
// the start again.
//
// Input: the first byte picks the converter (bits 0-1); with bit 2 set a
// UTF-16LE converter gets the other bytes widened to one unit each, so that
// plain ASCII mutations reach its search text (the remote converter after a
// byte-order mark), else it gets them as they are.
#include "local/ExportConverters.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

const std::size_t kNone = std::string::npos;

// The literal loop is quadratic; larger inputs only run the converter.
const std::size_t kReferenceLimit = 4096;

// The literal loop over units (bytes, or 16-bit units with an odd last byte
// kept outside them).
std::string LiteralLoop(ConverterKind kind, const std::string& bytes)
{
    const bool wide = kind != ConverterKind::RemoteToReg || bytes.compare(0, 2, "\xFF\xFE") == 0;
    const bool fromUsers = kind == ConverterKind::PrtToPrx || kind == ConverterKind::PrtToReg;
    const bool toReg = kind == ConverterKind::PrtToReg || kind == ConverterKind::RemoteToReg;
    const std::u16string search = fromUsers                          ? u"[HKEY_USERS"
                                  : kind == ConverterKind::RemoteToReg ? u"[S-"
                                                                       : u"[HKEY_CURRENT_USER";
    std::u16string text;
    const std::size_t width = wide ? 2 : 1, units = bytes.size() / width;
    for (std::size_t i = 0; i < units; ++i)
        text += static_cast<char16_t>(static_cast<unsigned char>(bytes[i * width]) |
                                      (wide ? static_cast<unsigned char>(bytes[i * width + 1]) << 8 : 0));
    for (std::size_t from = 0;;) {
        std::size_t p = text.find(search, from);
        while (p != kNone && p > 0 && text[p - 1] != u'\n')
            p = text.find(search, p + 1);
        if (p == kNone)
            break;
        std::size_t b = text.find(u'\\', p);
        if (fromUsers && b != kNone)
            b = text.find(u'\\', b + 1);
        if (b == kNone) {
            from = p + 1;  // too few backslashes: this one stays
            continue;
        }
        if (toReg)
            text.replace(p, b - p, u"[HKEY_CURRENT_USER");
        else
            text.erase(p + 1, b - p);
        from = 0;
    }
    std::string out;
    for (char16_t c : text) {
        out += static_cast<char>(c & 0xFF);
        if (wide)
            out += static_cast<char>(c >> 8);
    }
    return out + bytes.substr(units * width);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const ConverterKind kind = static_cast<ConverterKind>(data[0] & 3);
    const bool widen = (data[0] & 4) != 0;
    // The writer's UTF-16 files start with the byte-order mark, which makes
    // its converter read 16-bit units.
    std::string input = widen && kind == ConverterKind::RemoteToReg ? "\xFF\xFE" : "";
    for (std::size_t i = 1; i < size; ++i)
        input += widen ? std::string(1, static_cast<char>(data[i])) + '\0' : std::string(1, static_cast<char>(data[i]));
    const std::string output = ConvertExportBytes(kind, input);
    // A property that fails ends the run like a sanitizer report, so that
    // libFuzzer keeps the input.
    if (input.size() <= kReferenceLimit && output != LiteralLoop(kind, input)) {
        std::fprintf(stderr, "property failed: the same text as the literal loop\n");
        std::abort();
    }
    return 0;
}
