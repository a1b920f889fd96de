// The export converters against the literal edit loop: search from the start
// for the first occurrence that starts a line (a section line), edit it,
// search from the start again.
//
// Input: the first byte picks the converter (bits 0-1). With bit 2 set, a
// UTF-16LE converter gets the remaining bytes widened to one unit each, so
// that plain ASCII mutations reach its search text; otherwise it gets them as
// they are, odd length and all.

#include "local/ExportConverters.h"
#include "tests/fuzz/FuzzCheck.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace {

const std::size_t kNone = std::string::npos;

// The literal loop is quadratic; above this size only the cheap properties run.
const std::size_t kReferenceLimit = 4096;

struct Member {
    bool wide;                // 16-bit units, else bytes
    std::u16string search;
    int backslashes;          // the edit ends at this backslash after the "["
    bool toCurrentUser;       // replace up to that backslash, else remove the hive through it
};

Member MemberOf(ConverterKind kind)
{
    switch (kind) {
    case ConverterKind::PrtToPrx:
        return {true, u"[HKEY_USERS", 2, false};
    case ConverterKind::PrtToReg:
        return {true, u"[HKEY_USERS", 2, true};
    case ConverterKind::ToPrx:
        return {true, u"[HKEY_CURRENT_USER", 1, false};
    case ConverterKind::RemoteToReg:
        break;
    }
    return {false, u"[S-", 1, true};
}

// The file as units (one per byte for the 8-bit member); an odd last byte of a
// UTF-16LE file is kept apart, outside every unit.
struct Units {
    std::u16string text;
    std::string tail;
};

Units Split(const std::string& bytes, bool wide)
{
    Units u;
    if (!wide) {
        for (char c : bytes)
            u.text += static_cast<char16_t>(static_cast<unsigned char>(c));
        return u;
    }
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        u.text += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                        static_cast<unsigned char>(bytes[i + 1]) << 8);
    }
    if (bytes.size() % 2 != 0)
        u.tail = bytes.substr(bytes.size() - 1);
    return u;
}

std::string Join(const Units& u, bool wide)
{
    std::string out;
    for (char16_t c : u.text) {
        out += static_cast<char>(c & 0xFF);
        if (wide)
            out += static_cast<char>(c >> 8);
    }
    return out + u.tail;
}

struct Reference {
    std::string bytes;
    long long growth = 0; // bytes added minus bytes removed, over all edits
};

// The reference's search, kept out of the coverage feedback and the address
// checks (it reads only inside the text): traced, its comparisons would count
// as new paths of the converter, and the loop from the start after every edit
// would make the large inputs slow.
__attribute__((no_sanitize("coverage", "address"))) std::size_t Find(const std::u16string& text, const char16_t* what,
                                                                      std::size_t length, std::size_t from)
{
    const char16_t* t = text.data();
    for (std::size_t at = from; at < text.size() && length <= text.size() - at; ++at) {
        std::size_t k = 0;
        while (k < length && t[at + k] == what[k])
            ++k;
        if (k == length)
            return at;
    }
    return kNone;
}

std::size_t Find(const std::u16string& text, const std::u16string& what, std::size_t from = 0)
{
    return Find(text, what.data(), what.size(), from);
}

std::size_t Find(const std::u16string& text, char16_t what, std::size_t from)
{
    return Find(text, &what, 1, from);
}

// The first occurrence at or after from that is the text's first unit or
// follows a line feed; the others are value data or names.
std::size_t FindSectionStart(const std::u16string& text, const std::u16string& what, std::size_t from = 0)
{
    for (std::size_t at = Find(text, what, from); at != kNone; at = Find(text, what, at + 1)) {
        if (at == 0 || text[at - 1] == u'\n')
            return at;
    }
    return kNone;
}

Reference LiteralLoop(ConverterKind kind, const std::string& input)
{
    const Member m = MemberOf(kind);
    const std::u16string replacement = u"[HKEY_CURRENT_USER";
    const long long width = m.wide ? 2 : 1;
    Units u = Split(input, m.wide);
    Reference r;
    std::size_t from = 0;
    for (;;) {
        const std::size_t p = FindSectionStart(u.text, m.search, from);
        if (p == kNone)
            break;
        std::size_t b = Find(u.text, u'\\', p);
        for (int k = 1; k < m.backslashes && b != kNone; ++k)
            b = Find(u.text, u'\\', b + 1);
        if (b == kNone) {
            // Not enough backslashes: this occurrence stays, the search goes on after it.
            from = p + 1;
            continue;
        }
        if (m.toCurrentUser) {
            u.text.replace(p, b - p, replacement);
            r.growth += width * (static_cast<long long>(replacement.size()) - static_cast<long long>(b - p));
        } else {
            u.text.erase(p + 1, b - p);
            r.growth -= width * static_cast<long long>(b - p);
        }
        from = 0;
    }
    r.bytes = Join(u, m.wide);
    return r;
}

std::size_t FirstSection(ConverterKind kind, const std::string& bytes)
{
    const Member m = MemberOf(kind);
    const std::size_t at = FindSectionStart(Split(bytes, m.wide).text, m.search);
    return at == kNone ? kNone : at * (m.wide ? 2 : 1);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const ConverterKind kind = static_cast<ConverterKind>(data[0] & 3);
    const bool widen = (data[0] & 4) != 0 && MemberOf(kind).wide;
    std::string input;
    for (std::size_t i = 1; i < size; ++i) {
        input += static_cast<char>(data[i]);
        if (widen)
            input += '\0';
    }

    const std::string output = ConvertExportBytes(kind, input);

    const std::size_t first = FirstSection(kind, input);
    if (first == kNone)
        FUZZ_CHECK_EQ(output, input, "without a section line to edit the text comes back byte for byte");
    else
        FUZZ_CHECK(output.compare(0, first, input, 0, first) == 0, "the text before the first section line is kept");
    // The loop ends only when no occurrence it could edit is left.
    FUZZ_CHECK_EQ(ConvertExportBytes(kind, output), output, "a converted text converts to itself");

    if (input.size() <= kReferenceLimit) {
        const Reference ref = LiteralLoop(kind, input);
        FUZZ_CHECK(static_cast<long long>(output.size()) == static_cast<long long>(input.size()) + ref.growth,
                   "the length changes by the edits' sizes alone");
        FUZZ_CHECK_EQ(output, ref.bytes, "same text as the search-from-start loop");
    }
    return 0;
}
