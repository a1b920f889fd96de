#include "remote/AppList.h"

#include <cstring>
#include <string_view>

namespace {

const std::size_t kNone = std::string::npos;
const char kWord[] = "DisplayName";
const std::size_t kWordLength = sizeof kWord - 1;
// "DisplayName" between double quotes and the equals sign.
const std::size_t kCut = 14;

// The zero characters count as removed before the cut, and the LF appended
// after the line counts towards the 14 characters cut off: a line of 13
// characters or fewer writes nothing, one of 14 just the line end.
void WriteByteLine(std::string_view line, std::string& compact, std::string& out)
{
    if (line.find('\0') != kNone) {
        compact.clear();
        for (char c : line) {
            if (c != '\0')
                compact += c;
        }
        line = compact;
    }
    if (line.find(kWord) == kNone || line.size() < kCut)
        return;
    out.append(line.substr(kCut));
    out += "\r\n";
}

std::string ByteList(const std::string& bytes)
{
    std::string out;
    std::string compact;
    const char* data = bytes.data();
    std::size_t start = 0;
    for (;;) {
        const void* hit = std::memchr(data + start, '\n', bytes.size() - start);
        const std::size_t lf = hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - data) : kNone;
        std::size_t end = hit ? lf : bytes.size();
        // Text-mode reading folds a CR that is directly followed by LF.
        if (hit && end > start && data[end - 1] == '\r')
            --end;
        WriteByteLine(std::string_view(data + start, end - start), compact, out);
        if (!hit)
            return out;
        start = lf + 1;
    }
}

// A UTF-16LE export as units; an odd last byte is one more unit of that value.
class WideText {
public:
    explicit WideText(const std::string& bytes)
        : data_(bytes.data()), pairs_(bytes.size() / 2), odd_(bytes.size() % 2 != 0)
    {
    }

    std::size_t size() const { return pairs_ + (odd_ ? 1 : 0); }

    char16_t operator[](std::size_t k) const
    {
        const unsigned char low = static_cast<unsigned char>(data_[2 * k]);
        if (k == pairs_)
            return low;
        return static_cast<char16_t>(low | static_cast<unsigned char>(data_[2 * k + 1]) << 8);
    }

    // The first unit in [from, to) that is the ASCII character c.
    std::size_t Find(char c, std::size_t from, std::size_t to) const
    {
        const std::size_t pairEnd = 2 * (to < pairs_ ? to : pairs_);
        std::size_t at = 2 * from;
        while (at < pairEnd) {
            const void* hit = std::memchr(data_ + at, c, pairEnd - at);
            if (!hit)
                break;
            at = static_cast<std::size_t>(static_cast<const char*>(hit) - data_);
            if (at % 2 == 0 && data_[at + 1] == '\0')
                return at / 2;
            ++at;
        }
        if (odd_ && from <= pairs_ && pairs_ < to && data_[2 * pairs_] == c)
            return pairs_;
        return kNone;
    }

    // Whether [from, to) holds "DisplayName" once its zero units are removed.
    bool HasWord(std::size_t from, std::size_t to) const
    {
        for (std::size_t d = Find(kWord[0], from, to); d != kNone; d = Find(kWord[0], d + 1, to)) {
            std::size_t matched = 1;
            for (std::size_t k = d + 1; k < to && matched < kWordLength; ++k) {
                const char16_t u = (*this)[k];
                if (u == 0)
                    continue;
                if (u != static_cast<unsigned char>(kWord[matched]))
                    break;
                ++matched;
            }
            if (matched == kWordLength)
                return true;
        }
        return false;
    }

private:
    const char* data_;
    std::size_t pairs_;
    bool odd_;
};

std::string WideList(const std::string& bytes, const WideUnitToAnsi& toAnsi)
{
    std::string out;
    const WideText text(bytes);
    std::u16string line;
    std::size_t start = 0;
    for (;;) {
        const std::size_t lf = text.Find('\n', start, text.size());
        const std::size_t end = lf == kNone ? text.size() : lf;
        if (text.HasWord(start, end)) {
            line.clear();
            for (std::size_t k = start; k < end; ++k) {
                const char16_t u = text[k];
                if (k == 0) {
                    // A byte-per-character reading sees the byte-order mark as the
                    // two characters FF FE; so does the cut.
                    line += u'\xFF';
                    line += u'\xFE';
                } else if (u != 0) {
                    line += u;
                }
            }
            line += u'\n';
            for (std::size_t k = kCut; k < line.size(); ++k) {
                const char16_t u = line[k];
                if (u == u'\n')
                    out += "\r\n";
                else if (u <= 0xFF)
                    out += static_cast<char>(u);
                else
                    out += toAnsi ? toAnsi(u) : std::string("?");
            }
        }
        if (lf == kNone)
            return out;
        start = lf + 1;
    }
}

} // namespace

std::string MakeAppListText(const std::string& exportBytes, const WideUnitToAnsi& toAnsi)
{
    if (exportBytes.size() >= 2 && exportBytes[0] == '\xFF' && exportBytes[1] == '\xFE')
        return WideList(exportBytes, toAnsi);
    return ByteList(exportBytes);
}
