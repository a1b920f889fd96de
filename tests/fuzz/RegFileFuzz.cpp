// The .reg reader and the server map's rename over any bytes:
// - the items' raw bytes joined are the input, exactly;
// - a rename keeps every line's kind, rewrites only lines it counts, and
//   the rewritten file reads back as the renamed items (keys, names, data),
//   so that the line writer's escaping and the reader agree.
//
// Input: the first byte holds flags. Bit 0: the other bytes become a UTF-16LE
// file, a byte-order mark and one unit per byte, so that plain ASCII
// mutations reach the parser of that form. Bit 1: read with code page 932's
// lead bytes.
#include "import/ServerMap.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/local/Cp932.h"

namespace {

void Require(bool ok, const char* property)
{
    // A property that fails ends the run like a sanitizer report, so that
    // libFuzzer keeps the input.
    if (!ok) {
        std::fprintf(stderr, "property failed: %s\n", property);
        std::abort();
    }
}

bool SameParse(const RegItem& a, const RegItem& b)
{
    return a.kind == b.kind && a.key == b.key && a.name == b.name && a.type == b.type && a.data == b.data &&
           a.quoted == b.quoted && (a.kind == RegItemKind::Unparsable || a.text == b.text);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const bool wide = (data[0] & 1) != 0;
    const LeadByteTest isLead = (data[0] & 2) != 0 ? Cp932Lead : nullptr;
    std::string input = wide ? "\xff\xfe" : "";
    for (std::size_t i = 1; i < size; ++i) {
        input += static_cast<char>(data[i]);
        if (wide)
            input += '\0';
    }

    const RegFile original = ReadRegFile(input, isLead);
    Require(RegFileBytes(original) == input, "the items' bytes are the file");
    for (const RegItem& item : original.items)
        Require((item.kind == RegItemKind::Unparsable) == !item.problem.empty(), "a problem for each unparsable item");

    // New names with the characters the writer must escape in names and strings.
    const std::vector<ServerMapping> map = {{"srv", "N\"e\\w]"}, {"a", "b"}};
    RegFile renamed = original;
    const std::size_t changed = RenameServers(renamed, map);
    const RegFile reread = ReadRegFile(RegFileBytes(renamed), isLead);
    Require(reread.items.size() == original.items.size(), "as many items after a rename");
    std::size_t differ = 0;
    for (std::size_t i = 0; i < original.items.size(); ++i) {
        Require(reread.items[i].kind == original.items[i].kind, "each item keeps its kind");
        Require(SameParse(reread.items[i], renamed.items[i]), "the rewritten line reads as the renamed item");
        differ += renamed.items[i].raw != original.items[i].raw ? 1 : 0;
    }
    Require(differ == changed, "the count is of the lines whose bytes changed");
    return 0;
}
