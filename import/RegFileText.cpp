#include "import/RegFileText.h"

#include <initializer_list>
#include <utility>

namespace {

const std::size_t kNone = std::string::npos;

const char kAnsiHeader[] = "REGEDIT4";
const char kUtf16Header[] = "Windows Registry Editor Version 5.00";

bool IsBlank(char16_t c)
{
    return c == u' ' || c == u'\t';
}

int HexDigit(char16_t c)
{
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    return -1;
}

char16_t FoldAscii(char16_t c)
{
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

bool IsLeadUnit(LeadByteTest isLead, char16_t c)
{
    return isLead && c < 0x100 && isLead(static_cast<unsigned char>(c));
}

std::string EncodeUnits(const RegFile& file, const RegUnits& text)
{
    std::string bytes;
    for (const char16_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        if (file.form == RegFileForm::Utf16)
            bytes += static_cast<char>(c >> 8);
    }
    return bytes;
}

// A physical line: its text is units [begin, end), the next line starts at next.
struct Line {
    std::size_t begin;
    std::size_t end;
    std::size_t next;
};

class Parser {
public:
    Parser(const std::string& bytes, RegFile& file, std::size_t firstByte, std::size_t width)
        : bytes_(bytes), file_(file), firstByte_(firstByte), width_(width)
    {
    }

    void Run()
    {
        Decode();
        SplitLines();
        for (std::size_t k = 0; k < lines_.size(); ++k) {
            RegItem item;
            item.line = k + 1;
            itemStart_ = k == 0 ? 0 : ByteAt(lines_[k].begin);
            const std::size_t first = k;
            if (k == 0)
                ParseHeader(item);
            else
                ParseLine(item, k);
            if (item.kind == RegItemKind::Unparsable) {
                // Nothing half-read stays: only the text and what is wrong with it.
                RegItem bad;
                bad.line = item.line;
                bad.problem = std::move(item.problem);
                bad.text = units_.substr(lines_[first].begin, lines_[k].end - lines_[first].begin);
                item = std::move(bad);
            }
            item.raw = bytes_.substr(itemStart_, ByteAt(lines_[k].next) - itemStart_);
            file_.items.push_back(std::move(item));
        }
        file_.header = !file_.items.empty() && file_.items.front().kind == RegItemKind::Header;
        const std::size_t used = ByteAt(units_.size());
        if (used < bytes_.size()) {
            RegItem odd;
            odd.line = lines_.size() + (lines_.empty() || lines_.back().end != lines_.back().next ? 1 : 0);
            odd.raw = bytes_.substr(used);
            odd.problem = "a byte after the last whole UTF-16 unit";
            file_.items.push_back(std::move(odd));
        }
    }

private:
    void Decode()
    {
        const std::size_t count = (bytes_.size() - firstByte_) / width_;
        units_.resize(count);
        for (std::size_t i = 0; i < count; ++i) {
            const std::size_t at = firstByte_ + i * width_;
            char16_t unit = static_cast<unsigned char>(bytes_[at]);
            if (width_ == 2)
                unit = static_cast<char16_t>(unit | static_cast<unsigned char>(bytes_[at + 1]) << 8);
            units_[i] = unit;
        }
    }

    void SplitLines()
    {
        const std::size_t n = units_.size();
        for (std::size_t at = 0; at < n;) {
            std::size_t end = at;
            while (end < n && units_[end] != u'\r' && units_[end] != u'\n')
                ++end;
            std::size_t next = end;
            if (next < n)
                next += units_[next] == u'\r' && next + 1 < n && units_[next + 1] == u'\n' ? 2 : 1;
            lines_.push_back({at, end, next});
            at = next;
        }
        // A byte-order mark alone still makes a (headerless) first line that
        // holds its bytes.
        if (lines_.empty() && !bytes_.empty())
            lines_.push_back({0, 0, 0});
    }

    std::size_t ByteAt(std::size_t unit) const { return firstByte_ + unit * width_; }
    std::size_t Rel(std::size_t unit) const { return ByteAt(unit) - itemStart_; }

    std::size_t Next(std::size_t i, std::size_t end) const
    {
        return IsLeadUnit(file_.isLead, units_[i]) && i + 1 < end ? i + 2 : i + 1;
    }

    std::size_t SkipBlanks(std::size_t i, std::size_t end) const
    {
        while (i < end && IsBlank(units_[i]))
            ++i;
        return i;
    }

    // Nothing but blanks and perhaps a comment from i to end.
    bool RestIsEmpty(std::size_t i, std::size_t end) const
    {
        i = SkipBlanks(i, end);
        return i == end || units_[i] == u';';
    }

    bool HasNul(const Line& line) const
    {
        for (std::size_t i = line.begin; i < line.end; ++i) {
            if (units_[i] == 0)
                return true;
        }
        return false;
    }

    // The last line of a file that ends without a line end.
    bool EndsFile(const Line& line) const { return line.end == line.next; }

    static bool Fail(RegItem& item, const char* problem)
    {
        item.kind = RegItemKind::Unparsable;
        item.problem = problem;
        return false;
    }

    void ParseHeader(RegItem& item)
    {
        const Line& line = lines_[0];
        const std::size_t i = SkipBlanks(line.begin, line.end);
        const RegUnits header = ByteUnits(file_.form == RegFileForm::Utf16 ? kUtf16Header : kAnsiHeader);
        if (units_.compare(i, line.end - i, header) == 0)
            item.kind = RegItemKind::Header;
        else
            Fail(item, file_.form == RegFileForm::Utf16
                           ? "the first line is not \"Windows Registry Editor Version 5.00\""
                           : "the first line is not \"REGEDIT4\"");
    }

    // One logical line from physical line k; k ends at its last physical line.
    void ParseLine(RegItem& item, std::size_t& k)
    {
        const Line& line = lines_[k];
        if (HasNul(line)) {
            Fail(item, "a NUL character in the line");
            return;
        }
        const std::size_t i = SkipBlanks(line.begin, line.end);
        if (i == line.end || units_[i] == u';')
            item.kind = RegItemKind::Blank;
        else if (units_[i] == u'[')
            ParseSection(item, i, line);
        else if (units_[i] == u'@' || units_[i] == u'"')
            ParseValue(item, i, k);
        else
            Fail(item, "neither a key, a value nor a comment");
    }

    // From the "[" at i: the key runs to the last "]" of the line.
    bool ParseSection(RegItem& item, std::size_t i, const Line& line)
    {
        std::size_t at = i + 1;
        const bool deletion = at < line.end && units_[at] == u'-';
        if (deletion)
            ++at;
        std::size_t close = kNone;
        for (std::size_t j = at; j < line.end; j = Next(j, line.end)) {
            if (units_[j] == u']')
                close = j;
        }
        if (close == kNone)
            return Fail(item, EndsFile(line) ? "the file ends inside a key name" : "no \"]\" after the key name");
        if (close == at)
            return Fail(item, "an empty key name");
        if (IsBlank(units_[at]))
            return Fail(item, "a blank before the key name");
        if (!RestIsEmpty(close + 1, line.end))
            return Fail(item, "text after the \"]\" of the key name");
        item.kind = deletion ? RegItemKind::DeleteSection : RegItemKind::Section;
        item.key = units_.substr(at, close - at);
        item.keyAt = Rel(at);
        item.keyEnd = Rel(close);
        return true;
    }

    // From just after an opening quote at i; i ends just after the closing one.
    bool ReadQuoted(RegItem& item, std::size_t& i, const Line& line, RegUnits& out)
    {
        while (i < line.end) {
            const char16_t c = units_[i];
            const std::size_t next = Next(i, line.end);
            if (next == i + 2) {
                out += units_.substr(i, 2);
            } else if (c == u'"') {
                ++i;
                return true;
            } else if (c == u'\\') {
                if (i + 1 == line.end)
                    break;
                const char16_t escaped = units_[i + 1];
                if (escaped != u'\\' && escaped != u'"')
                    return Fail(item, "a backslash before neither a backslash nor a double quote");
                out += escaped;
                i += 2;
                continue;
            } else {
                out += c;
            }
            i = next;
        }
        return Fail(item, EndsFile(line) ? "the file ends inside a quoted text" : "no closing double quote");
    }

    bool ParseValue(RegItem& item, std::size_t i, std::size_t& k)
    {
        const Line& line = lines_[k];
        if (units_[i] == u'@') {
            ++i;
        } else {
            const std::size_t at = ++i;
            if (!ReadQuoted(item, i, line, item.name))
                return false;
            item.nameAt = Rel(at);
            item.nameEnd = Rel(i - 1);
        }
        i = SkipBlanks(i, line.end);
        if (i == line.end || units_[i] != u'=')
            return Fail(item, "no \"=\" after the value name");
        i = SkipBlanks(i + 1, line.end);
        if (i == line.end)
            return Fail(item, "no data after \"=\"");

        if (units_[i] == u'-') {
            if (!RestIsEmpty(i + 1, line.end))
                return Fail(item, "text after \"=-\"");
            item.kind = RegItemKind::DeleteValue;
            return true;
        }
        if (units_[i] == u'"') {
            const std::size_t at = ++i;
            if (!ReadQuoted(item, i, line, item.text))
                return false;
            if (!RestIsEmpty(i, line.end))
                return Fail(item, "text after the closing double quote");
            item.kind = RegItemKind::Value;
            item.type = 1;
            item.quoted = true;
            item.textAt = Rel(at);
            item.textEnd = Rel(i - 1);
            item.data = EncodeUnits(file_, item.text + u'\0');
            return true;
        }
        if (HasPrefix(i, line, "dword:"))
            return ParseDword(item, i + 6, line);
        if (HasPrefix(i, line, "hex:")) {
            item.type = 3;
            return ParseHex(item, i + 4, k);
        }
        if (HasPrefix(i, line, "hex(")) {
            std::size_t j = i + 4;
            unsigned long type = 0;
            for (; j < line.end && HexDigit(units_[j]) >= 0 && j - (i + 4) < 8; ++j)
                type = type * 16 + static_cast<unsigned long>(HexDigit(units_[j]));
            if (j == i + 4 || !HasPrefix(j, line, "):"))
                return Fail(item, "a type number in hex(...) of no digits, more than eight, or not hexadecimal");
            item.type = type;
            return ParseHex(item, j + 2, k);
        }
        return Fail(item, "data that is neither a quoted text, dword:, hex: nor hex(N):");
    }

    bool HasPrefix(std::size_t i, const Line& line, const char* ascii) const
    {
        for (; *ascii; ++ascii, ++i) {
            if (i == line.end || units_[i] != static_cast<unsigned char>(*ascii))
                return false;
        }
        return true;
    }

    bool ParseDword(RegItem& item, std::size_t i, const Line& line)
    {
        i = SkipBlanks(i, line.end);
        const std::size_t first = i;
        unsigned long value = 0;
        for (; i < line.end && HexDigit(units_[i]) >= 0; ++i)
            value = value * 16 + static_cast<unsigned long>(HexDigit(units_[i]));
        if (i == first || i - first > 8)
            return Fail(item, "a dword of no digits or more than eight");
        if (!RestIsEmpty(i, line.end))
            return Fail(item, "text after the dword");
        item.kind = RegItemKind::Value;
        item.type = 4;
        for (int b = 0; b < 4; ++b)
            item.data += static_cast<char>((value >> (8 * b)) & 0xFF);
        return true;
    }

    // Comma-separated bytes of one or two hex digits. A backslash where a
    // byte could start (after a comma, or first) continues the value on the
    // next line, whose leading blanks are skipped.
    bool ParseHex(RegItem& item, std::size_t i, std::size_t& k)
    {
        std::size_t end = lines_[k].end;
        for (;;) {
            i = SkipBlanks(i, end);
            if (i == end || units_[i] == u';')
                break;
            if (units_[i] == u'\\') {
                if (!RestIsEmpty(i + 1, end))
                    return Fail(item, "text after the backslash that continues a hex value");
                if (k + 1 == lines_.size())
                    return Fail(item, "the file ends after the backslash that continues a hex value");
                const Line& next = lines_[k + 1];
                const std::size_t j = SkipBlanks(next.begin, next.end);
                if (j == next.end || HexDigit(units_[j]) < 0 || HasNul(next))
                    return Fail(item, "the line after a continued hex value holds no hex bytes");
                ++k;
                i = j;
                end = next.end;
                continue;
            }
            int value = HexDigit(units_[i]);
            if (value < 0)
                return Fail(item, "a hex byte that is not hexadecimal");
            if (++i < end && HexDigit(units_[i]) >= 0)
                value = value * 16 + HexDigit(units_[i++]);
            if (i < end && HexDigit(units_[i]) >= 0)
                return Fail(item, "a hex byte of more than two digits");
            item.data += static_cast<char>(value);
            i = SkipBlanks(i, end);
            if (i == end || units_[i] == u';')
                break;
            if (units_[i] != u',')
                return Fail(item, "hex bytes not separated by commas");
            ++i;
        }
        item.kind = RegItemKind::Value;
        return true;
    }

    const std::string& bytes_;
    RegFile& file_;
    const std::size_t firstByte_;
    const std::size_t width_;
    RegUnits units_;
    std::vector<Line> lines_;
    std::size_t itemStart_ = 0;  // byte offset of the item being read
};

RegUnits EscapeUnits(const RegFile& file, const RegUnits& text)
{
    RegUnits out;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t next = NextChar(file.isLead, text, i);
        if (next == i + 1 && (text[i] == u'\\' || text[i] == u'"'))
            out += u'\\';
        out.append(text, i, next - i);
        i = next;
    }
    return out;
}

// Replaces the bytes of one part of the item's raw line; the parts behind it move.
void ReplacePart(RegItem& item, std::size_t RegItem::*at, std::size_t RegItem::*end, const std::string& bytes)
{
    const std::size_t from = item.*at;
    const std::size_t to = item.*end;
    if (from == kNone || to == kNone)
        return;
    item.raw.replace(from, to - from, bytes);
    using Part = std::pair<std::size_t RegItem::*, std::size_t RegItem::*>;
    for (const Part& part : {Part(&RegItem::keyAt, &RegItem::keyEnd), Part(&RegItem::nameAt, &RegItem::nameEnd),
                             Part(&RegItem::textAt, &RegItem::textEnd)}) {
        if (item.*part.first != kNone && item.*part.first >= to) {
            item.*part.first = item.*part.first - (to - from) + bytes.size();
            item.*part.second = item.*part.second - (to - from) + bytes.size();
        }
    }
    item.*end = from + bytes.size();
}

} // namespace

RegFile ReadRegFile(const std::string& bytes, LeadByteTest isLead)
{
    RegFile file;
    const bool wide = bytes.compare(0, 2, "\xff\xfe") == 0;
    file.form = wide ? RegFileForm::Utf16 : RegFileForm::Ansi;
    file.isLead = wide ? nullptr : isLead;
    Parser(bytes, file, wide ? 2 : 0, wide ? 2 : 1).Run();
    return file;
}

std::string RegFileBytes(const RegFile& file)
{
    std::string bytes;
    for (const RegItem& item : file.items)
        bytes += item.raw;
    return bytes;
}

void SetItemKey(const RegFile& file, RegItem& item, const RegUnits& key)
{
    ReplacePart(item, &RegItem::keyAt, &RegItem::keyEnd, EncodeUnits(file, key));
    item.key = key;
}

void SetItemName(const RegFile& file, RegItem& item, const RegUnits& name)
{
    if (item.nameAt == kNone)
        return;
    ReplacePart(item, &RegItem::nameAt, &RegItem::nameEnd, EncodeUnits(file, EscapeUnits(file, name)));
    item.name = name;
}

void SetItemString(const RegFile& file, RegItem& item, const RegUnits& text)
{
    if (!item.quoted)
        return;
    ReplacePart(item, &RegItem::textAt, &RegItem::textEnd, EncodeUnits(file, EscapeUnits(file, text)));
    item.text = text;
    item.data = EncodeUnits(file, text + u'\0');
}

RegUnits ByteUnits(const std::string& bytes)
{
    RegUnits units;
    for (const char c : bytes)
        units += static_cast<char16_t>(static_cast<unsigned char>(c));
    return units;
}

std::size_t NextChar(LeadByteTest isLead, const RegUnits& text, std::size_t i)
{
    return IsLeadUnit(isLead, text[i]) && i + 1 < text.size() ? i + 2 : i + 1;
}

std::vector<RegUnits> SplitKeyPath(LeadByteTest isLead, const RegUnits& path)
{
    std::vector<RegUnits> parts(1);
    for (std::size_t i = 0; i < path.size();) {
        const std::size_t next = NextChar(isLead, path, i);
        if (next == i + 1 && path[i] == u'\\')
            parts.emplace_back();
        else
            parts.back().append(path, i, next - i);
        i = next;
    }
    return parts;
}

bool SameTextIgnoringCase(LeadByteTest isLead, const RegUnits& a, const RegUnits& b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size();) {
        const std::size_t next = NextChar(isLead, a, i);
        if (next == i + 2) {
            // A lead byte is no ASCII letter, so b has the same one here.
            if (a[i] != b[i] || a[i + 1] != b[i + 1])
                return false;
        } else if (FoldAscii(a[i]) != FoldAscii(b[i])) {
            return false;
        }
        i = next;
    }
    return true;
}
