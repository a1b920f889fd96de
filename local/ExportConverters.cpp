#include "local/ExportConverters.h"

#include <cstring>
#include <utility>

// A converter edits the first occurrence that starts a line (a section line;
// the same text inside a value's data or a key's name is data and stays as it
// is), then searches again from the start, until none is left. Done literally that is quadratic in the file's length;
// this single pass gives the same text. It relies on the search
// texts starting with "[" and holding no other "[", and on the replacement
// "[HKEY_CURRENT_USER" holding no other "[" either: no occurrence can begin
// before the last edit, so the scan never has to look back, except that a
// ".prx" edit leaves its "[" directly before what followed the removed part,
// where the next occurrence may begin.

namespace {

const std::size_t kNone = std::string::npos;

struct Rule {
    std::size_t unitBytes;
    const char* search;
    int backslashes; // the edit ends at this backslash after the "["
    bool toCurrentUser; // ".reg": replace up to that backslash; ".prx": remove through it
};

Rule RuleFor(ConverterKind kind, const std::string& bytes)
{
    switch (kind) {
    case ConverterKind::PrtToPrx:
        return {2, "[HKEY_USERS", 2, false};
    case ConverterKind::PrtToReg:
        return {2, "[HKEY_USERS", 2, true};
    case ConverterKind::ToPrx:
        return {2, "[HKEY_CURRENT_USER", 1, false};
    case ConverterKind::RemoteToReg:
        break;
    }
    // The writer's files are 8-bit, or UTF-16LE after a byte-order mark when
    // their names need it; the copy keeps the file's form.
    const bool utf16 = bytes.compare(0, 2, "\xFF\xFE") == 0;
    return {utf16 ? 2u : 1u, "[S-", 1, true};
}

// ASCII text in the file's own units (little-endian when they are 16-bit).
std::string Encode(const char* ascii, std::size_t unitBytes)
{
    std::string out;
    for (; *ascii; ++ascii) {
        out += *ascii;
        if (unitBytes == 2)
            out += '\0';
    }
    return out;
}

// The file as whole units; positions are unit indexes. An odd last byte lies
// outside every unit, so nothing can match into it.
class Units {
public:
    Units(const std::string& bytes, std::size_t unitBytes)
        : data_(bytes.data()), width_(unitBytes), end_(bytes.size() / unitBytes * unitBytes)
    {
    }

    // The first unit at or after from that is the ASCII character c.
    std::size_t Find(char c, std::size_t from) const
    {
        std::size_t at = from * width_;
        while (at < end_) {
            const void* hit = std::memchr(data_ + at, c, end_ - at);
            if (!hit)
                return kNone;
            at = static_cast<std::size_t>(static_cast<const char*>(hit) - data_);
            // memchr also stops at the high byte of a unit and at a low byte
            // whose high byte is not zero; neither is the character.
            if (at % width_ == 0 && (width_ == 1 || data_[at + 1] == '\0'))
                return at / width_;
            ++at;
        }
        return kNone;
    }

    // Whether the units from unit on spell encoded, less its first skip bytes.
    bool HasAt(std::size_t unit, const std::string& encoded, std::size_t skip = 0) const
    {
        const std::size_t at = unit * width_;
        const std::size_t n = encoded.size() - skip;
        return at <= end_ && n <= end_ - at && std::memcmp(data_ + at, encoded.data() + skip, n) == 0;
    }

    // Whether unit starts a line: the first unit, or one right after a line feed.
    bool StartsLine(std::size_t unit) const
    {
        if (unit == 0)
            return true;
        const std::size_t at = (unit - 1) * width_;
        return data_[at] == '\n' && (width_ == 1 || data_[at + 1] == '\0');
    }

    // The first occurrence of encoded at or after from that starts a line.
    std::size_t FindText(const std::string& encoded, std::size_t from) const
    {
        for (std::size_t at = Find('[', from); at != kNone; at = Find('[', at + 1)) {
            if (StartsLine(at) && HasAt(at, encoded))
                return at;
        }
        return kNone;
    }

private:
    const char* data_;
    std::size_t width_;
    std::size_t end_;
};

// One pass over the input, handing the result to out piece by piece: the
// input's units [from, to) with Copy, inserted text with Put.
template <class Out>
void Rewrite(const Rule& rule, const Units& text, Out& out)
{
    const std::size_t w = rule.unitBytes;
    const std::string search = Encode(rule.search, w);
    const std::string bracket = Encode("[", w);
    const std::string replacement = Encode("[HKEY_CURRENT_USER", w);

    std::size_t next = 0;         // first unit of the input not yet handed out
    bool bracketPending = false;  // the result ends with the "[" of a ".prx" edit
    for (;;) {
        std::size_t start = kNone; // the occurrence's "[" in the input, if it is there
        std::size_t afterBracket;
        // The pending "[" stands before unit next; the rest of the search text must follow it.
        if (bracketPending && text.HasAt(next, search, w)) {
            afterBracket = next;
        } else {
            start = text.FindText(search, next);
            if (start == kNone)
                break;
            afterBracket = start + 1;
        }
        std::size_t end = text.Find('\\', afterBracket);
        for (int k = 1; k < rule.backslashes && end != kNone; ++k)
            end = text.Find('\\', end + 1);
        // Too few backslashes after this occurrence means even fewer after
        // every later one: the rest of the text stays as it is.
        if (end == kNone)
            break;

        if (start != kNone)
            out.Copy(next, start);
        if (rule.toCurrentUser) {
            out.Put(replacement);
            next = end;
            bracketPending = false;
        } else {
            if (start != kNone)
                out.Put(bracket);
            next = end + 1;
            bracketPending = true;
        }
    }
    out.CopyRest(next);
}

struct CountingOut {
    std::size_t unitBytes;
    std::size_t fileBytes;
    std::size_t size = 0;

    void Copy(std::size_t from, std::size_t to) { size += (to - from) * unitBytes; }
    void Put(const std::string& s) { size += s.size(); }
    void CopyRest(std::size_t from) { size += fileBytes - from * unitBytes; }
};

struct StringOut {
    const std::string& in;
    std::size_t unitBytes;
    std::string text;

    void Copy(std::size_t from, std::size_t to) { text.append(in, from * unitBytes, (to - from) * unitBytes); }
    void Put(const std::string& s) { text += s; }
    void CopyRest(std::size_t from) { text.append(in, from * unitBytes, kNone); }
};

} // namespace

std::string ConvertExportBytes(ConverterKind kind, const std::string& bytes)
{
    const Rule rule = RuleFor(kind, bytes);
    const Units text(bytes, rule.unitBytes);
    StringOut out{bytes, rule.unitBytes, std::string()};
    if (rule.toCurrentUser) {
        // A ".reg" edit can lengthen the text (a short user name, a bare
        // "[S-"); sizing the buffer exactly keeps a large file from holding a
        // doubled buffer while it grows.
        CountingOut count{rule.unitBytes, bytes.size()};
        Rewrite(rule, text, count);
        out.text.reserve(count.size);
    } else {
        out.text.reserve(bytes.size()); // ".prx" edits only remove
    }
    Rewrite(rule, text, out);
    return std::move(out.text);
}

namespace {

char16_t UnitAt(const std::string& bytes, std::size_t unit)
{
    return static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * unit]) |
                                 static_cast<unsigned char>(bytes[2 * unit + 1]) << 8);
}

char16_t LowerUnit(char16_t c)
{
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

} // namespace

std::string RenameExportSections(const std::string& bytes, const std::string& from, const std::string& to)
{
    const std::size_t units = bytes.size() / 2;
    const std::string search = "[" + from;
    std::string out;
    out.reserve(bytes.size() + 64);
    std::size_t copied = 0;  // bytes of the input already in out
    // The first line starts after the byte-order mark.
    for (std::size_t line = units > 0 && UnitAt(bytes, 0) == 0xFEFF ? 1 : 0; line < units;) {
        bool match = line + search.size() < units;
        for (std::size_t i = 0; match && i < search.size(); ++i)
            match = LowerUnit(UnitAt(bytes, line + i)) == LowerUnit(static_cast<unsigned char>(search[i]));
        if (match) {
            const char16_t next = UnitAt(bytes, line + search.size());
            match = next == u'\\' || next == u']';
        }
        if (match) {
            out.append(bytes, copied, 2 * line - copied);
            out += Encode(("[" + to).c_str(), 2);
            copied = 2 * (line + search.size());
        }
        while (line < units && UnitAt(bytes, line) != u'\n')
            ++line;
        ++line;
    }
    out.append(bytes, copied, std::string::npos);
    return out;
}
