#include "remote/Applications.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

const std::string kHeader = "\xEF\xBB\xBF" "Name\tVersion\tPublisher\tScope\r\n";

// What CharLowerBuffW does to the letters the tests use: ASCII and the
// Cyrillic capitals U+0410..U+042F.
void TestLower(std::u16string& text)
{
    for (char16_t& unit : text) {
        if ((unit >= u'A' && unit <= u'Z') || (unit >= 0x0410 && unit <= 0x042F))
            unit = static_cast<char16_t>(unit + 0x20);
    }
}

std::string Bytes(const std::vector<AppEntry>& entries)
{
    ApplicationsList list;
    for (const AppEntry& e : entries)
        list.Add({e.name, e.version, e.publisher, {}, false, false, {}}, e.scope);
    return list.FileBytes(TestLower);
}

TEST(Applications, WhichSubkeysCount)
{
    const struct {
        UninstallKeyValues values;
        const char16_t* name;  // null: the subkey gives no entry
    } cases[] = {
        {{u"Editor", {}, {}, {}, false, false, {}}, u"Editor"},
        {{u"Editor", {}, {}, {}, true, false, {}}, nullptr},
        {{u"Editor", {}, {}, {}, false, true, {}}, nullptr},
        {{{}, u"1.0", u"Acme", {}, false, false, {}}, nullptr},
        {{u"", u"1.0", u"Acme", {}, false, false, {}}, nullptr},
        {{u" \r\n\t ", u"1.0", u"Acme", {}, false, false, {}}, nullptr},
        {{u"\tEditor\r", {}, {}, {}, false, false, {}}, u"Editor"},
        // Registry data may go on after its NUL; no program shows that part.
        {{std::u16string(u"Editor\0Junk", 11), {}, {}, {}, false, false, {}}, u"Editor"},
        {{std::u16string(u"\0Editor", 7), {}, {}, {}, false, false, {}}, nullptr},
        // An entry that names its parent by display name alone is an update.
        {{u"Editor", {}, {}, {}, false, false, u"Office Suite"}, nullptr},
        {{u"Editor", {}, {}, {}, false, false, u" \r\n"}, u"Editor"},
    };
    for (const auto& c : cases) {
        const auto entry = MakeAppEntry(c.values, AppScope::User);
        const bool kept = c.name && entry && entry->name == c.name && entry->version.empty() && entry->publisher.empty();
        EXPECT_TRUE(c.name ? kept : !entry) << Utf8(c.values.displayName.value_or(u"-") + u"/" +
                                                   c.values.releaseType.value_or(u"-"));
    }
    // An update's release type, whatever its case and blanks, leaves it out;
    // other types, however alike, do not.
    for (const std::u16string release : {u"hotFIX", u" UPDATE\r\n", u"security Update", u"Service\tPack"})
        EXPECT_FALSE(MakeAppEntry({u"Editor", {}, {}, release, false, false, {}}, AppScope::User)) << Utf8(release);
    EXPECT_FALSE(MakeAppEntry({u"Editor", {}, {}, std::u16string(u"Hotfix\0Z", 8), false, false, {}}, AppScope::User));
    for (const std::u16string release : {u"Update Rollup", u"Updates", u"Security  Update", u"Hot fix", u"Application"})
        EXPECT_TRUE(MakeAppEntry({u"Editor", {}, {}, release, false, false, {}}, AppScope::User)) << Utf8(release);
    const auto entry = MakeAppEntry(
        {u"Editor", std::u16string(u" 1.0\r\n\0x", 8), std::u16string(u"\tAcme  Ltd \0\0", 13), {}, false, false, {}},
        AppScope::Machine32);
    ASSERT_TRUE(entry);
    EXPECT_TRUE(entry->version == u"1.0" && entry->publisher == u"Acme  Ltd" && entry->scope == AppScope::Machine32);
}

TEST(Applications, TextCleaning)
{
    const struct {
        std::u16string text, clean;
    } cases[] = {
        {u"a\r\nb", u"a b"},          {u"a\r\r\nb", u"a  b"}, {u"a\n\rb", u"a  b"},
        {u"a\tb\nc", u"a b c"},       {u"  a  b  ", u"a  b"}, {u"\r\na\n", u"a"},
        {u"\r", u""},                 {u" ", u""},            {u"\u00A0a\u3000", u"\u00A0a\u3000"},
        {u"a\r\n\r\n", u"a"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CleanAppText(c.text), c.clean) << Utf8(c.text);
}

TEST(Applications, SortedAndMergedWhateverTheOrderOfTheReads)
{
    std::vector<AppEntry> entries = {
        {u"Beta", u"2", u"Zeta", AppScope::Machine},
        {u"BETA", u"2", u"alpha", AppScope::Machine},
        {u"beta", u"2", u"aLPHA", AppScope::Machine},
        {u"beta", u"2", u"Zeta", AppScope::User},
        {u"beta", u"2", u"Zeta", AppScope::Machine32},
        {u"Beta", u"a", u"", AppScope::Machine},
        {u"Beta", u"B", u"", AppScope::Machine},
        {u"alpha", u"", u"", AppScope::User},
        {u"\u042F\u0431", u"", u"", AppScope::Machine},
        {u"\u0430\u043F", u"", u"", AppScope::Machine},
    };
    const std::string expected = kHeader + "alpha\t\t\tuser\r\n"
                                           "beta\t2\taLPHA\tmachine\r\n"
                                           "beta\t2\tZeta\tmachine 32-bit\r\n"
                                           "beta\t2\tZeta\tuser\r\n"
                                           "Beta\ta\t\tmachine\r\n"
                                           "Beta\tB\t\tmachine\r\n" +
                                 u8"\u0430\u043F\t\t\tmachine\r\n"
                                 u8"\u042F\u0431\t\t\tmachine\r\n";
    EXPECT_EQ(Bytes(entries), expected);
    std::reverse(entries.begin(), entries.end());
    EXPECT_EQ(Bytes(entries), expected);
    std::rotate(entries.begin(), entries.begin() + 3, entries.end());
    EXPECT_EQ(Bytes(entries), expected);
}

std::string ViewNames(const std::vector<MachineView>& views)
{
    static const char* const names[] = {"default", "64", "32"};
    std::string out;
    for (const MachineView& v : views)
        out += std::string(names[static_cast<int>(v.view)]) + "=" + ScopeText(v.scope) + ";";
    return out;
}

TEST(Applications, FileForEachMachineView)
{
    const struct {
        bool machineIs64Bit;
        std::string views, bytes;
    } cases[] = {
        {true, "64=machine;32=machine 32-bit;",
         "\xEF\xBB\xBF" "Name\tVersion\tPublisher\tScope\r\nTool\t1.0\tAcme\tmachine\r\n"
         "Tool\t1.0\tAcme\tmachine 32-bit\r\nTool\t1.0\tAcme\tuser\r\n"},
        {false, "default=machine;",
         "\xEF\xBB\xBF" "Name\tVersion\tPublisher\tScope\r\nTool\t1.0\tAcme\tmachine\r\nTool\t1.0\tAcme\tuser\r\n"},
    };
    const UninstallKeyValues tool{u"Tool", u"1.0", u"Acme", {}, false, false, {}};
    for (const auto& c : cases) {
        ApplicationsList list;
        list.Add(tool, AppScope::User);
        for (const MachineView& view : MachineViews(c.machineIs64Bit))
            list.Add(tool, view.scope);
        EXPECT_EQ(ViewNames(MachineViews(c.machineIs64Bit)), c.views);
        EXPECT_EQ(list.FileBytes(TestLower), c.bytes);
    }
    EXPECT_EQ(ApplicationsList().FileBytes(TestLower), kHeader);
}

TEST(Applications, ArchitectureDecidesWhetherAMachineIs64Bit)
{
    using Text = std::optional<std::u16string>;
    const struct {
        std::vector<Text> architectures;
        std::optional<bool> is64Bit;
    } cases[] = {
        {{u"x86", u"X86", std::u16string(u"x86\0AMD64", 9)}, false},
        {{u"AMD64", u"amd64", u"IA64", u"ARM64", u" AMD64\r\n"}, true},
        {{Text(), u"", u"ALPHA", u"x86_64", u"AMD6", std::u16string(u"\0AMD64", 6)}, std::nullopt},
    };
    for (const auto& c : cases) {
        for (const Text& architecture : c.architectures)
            EXPECT_EQ(ArchitectureIs64Bit(architecture), c.is64Bit) << Utf8(architecture.value_or(u"(missing)"));
    }
}

TEST(Applications, Utf8)
{
    const struct {
        std::u16string text;
        std::string utf8;
    } cases[] = {
        {u"\x7F\x80", "\x7F\xC2\x80"},
        {u"\u07FF\u0800", "\xDF\xBF\xE0\xA0\x80"},
        {u"\u0410\u044F", "\xD0\x90\xD1\x8F"},
        {u"\u4E2D\uFFFF", "\xE4\xB8\xAD\xEF\xBF\xBF"},
        {u"\xD83D\xDE00", "\xF0\x9F\x98\x80"},
        {u"\xDBFF\xDFFF", "\xF4\x8F\xBF\xBF"},
        {u"a\xD83D", "a\xEF\xBF\xBD"},
        {u"\xDE00" u"b", "\xEF\xBF\xBD" "b"},
        {u"\xD83D\xD83D\xDE00", "\xEF\xBF\xBD\xF0\x9F\x98\x80"},
        {u"\xDE00\xD83D", "\xEF\xBF\xBD\xEF\xBF\xBD"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Utf8(c.text), c.utf8) << c.utf8;
}

TEST(Applications, UnreadableSubkeysLine)
{
    ApplicationsList list;
    list.Add({u"Tool", {}, {}, {}, false, false, {}}, AppScope::User);
    list.AddUnreadable("error 5");
    EXPECT_EQ(list.FileBytes(TestLower),
              kHeader + "Tool\t\t\tuser\r\n# 1 uninstall entry could not be read: error 5\r\n");
    list.AddUnreadable("error 2");
    list.AddUnreadable("error 1");
    EXPECT_EQ(list.FileBytes(TestLower),
              kHeader + "Tool\t\t\tuser\r\n# 3 uninstall entries could not be read: error 5\r\n");
}

} // namespace
