#include "files/profile_file.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "files/gbk_text.h"

namespace velkor {
namespace {

ProfileDocument Parse(const std::string& utf8) {
    return ProfileDocument::FromGbk(*Utf8ToGbk(utf8));
}
std::string Text(const ProfileDocument& document) {
    return *GbkToUtf8(document.ToGbk());
}

TEST(ProfileFile, FindsNamesAsWindowsDoes) {
    const ProfileDocument file = Parse(
        "Orphan=before any section\r\n"
        "[Device]\r\n"
        "  id  =  7  \r\n"
        "; TYPE=1 is only a comment\r\n"
        "Quoted=\"C:\\my files\\a.hex\"\n"
        "Single='x'\n"
        "Empty=\n"
        "id=8\n"
        "[device]\n"
        "TYPE=2\n"
        "[基本信息]\n"
        "版本=0.18");
    EXPECT_EQ(file.GetInt("DEVICE", "ID"), 7);  // first of repeated keys
    EXPECT_EQ(file.GetString("DEVICE", "Quoted", ""), "C:\\my files\\a.hex");
    EXPECT_EQ(file.GetString("DEVICE", "Single", ""), "x");
    EXPECT_EQ(file.GetString("DEVICE", "Empty", "fallback"), "");
    EXPECT_EQ(file.GetString("DEVICE", "Missing", "fallback"), "fallback");
    EXPECT_EQ(file.GetInt("DEVICE", "TYPE"), 0);  // only the first [DEVICE] counts, not the comment
    EXPECT_EQ(file.GetString("", "Orphan", "none"), "none");
    EXPECT_EQ(file.GetString("基本信息", "版本", ""), "0.18");
}

TEST(ProfileFile, NumbersReadLikeAtoi) {
    const std::pair<const char*, int> cases[] = {
        {"12", 12},
        {"-7x", -7},
        {"+5", 5},
        {"0x1F", 0},
        {"abc", 0},
        {"", 0},
        {"\t 300", 300},
        {"1 2", 1},
        {"- 3", 0},
        {"2147483647", INT_MAX},
        {"99999999999", INT_MAX},
        {"-99999999999", INT_MIN},
    };
    for (const auto& [text, value] : cases) EXPECT_EQ(ProfileAtoi(text), value) << text;
}

TEST(ProfileFile, ValuesComeThroughA300CharacterBuffer) {
    const std::string ascii(400, 'a');
    std::string chinese;
    for (int i = 0; i < 200; ++i) chinese += "固";  // two bytes each in GBK
    ProfileDocument file;
    file.SetString("S", "A", ascii);
    file.SetString("S", "C", chinese);
    EXPECT_EQ(file.GetString("S", "A", ""), std::string(299, 'a'));
    // 149 characters fill 298 bytes; the 150th would need bytes 299 and 300.
    EXPECT_EQ(file.GetString("S", "C", ""), chinese.substr(0, 149 * 3));

    // The cut never splits a character, whichever lead byte it has and whether the
    // double-byte run starts at an even or an odd offset: the value keeps the longest run of
    // whole characters within 299 bytes.
    for (const unsigned char lead : {0x81, 0xB0, 0xD7, 0xFE}) {
        std::string character;  // the first character of this lead byte that GBK has
        for (unsigned trail = 0x40; trail <= 0xFE && character.empty(); ++trail) {
            const char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
            if (trail != 0x7F) character = GbkToUtf8(std::string(pair, 2)).value_or("");
        }
        ASSERT_FALSE(character.empty()) << int(lead);
        for (const std::size_t ascii : {0u, 1u, 2u, 3u}) {
            std::string value(ascii, 'a');
            for (int i = 0; i < 200; ++i) value += character;
            file.SetString("S", "G", value);
            std::string expected(ascii, 'a');
            for (std::size_t i = 0; i < (299 - ascii) / 2; ++i) expected += character;
            EXPECT_EQ(file.GetString("S", "G", ""), expected) << int(lead) << " after " << ascii;
        }
    }
}

TEST(ProfileFile, WritesKeepEverythingElseInPlace) {
    ProfileDocument file = Parse(
        "; written by hand\n"
        "[device]\n"
        "id=3\n"
        "Future=kept\n"
        "\n"
        "; next section\n"
        "[NEWER]\n"
        "Thing=1\n");
    EXPECT_TRUE(file.SetInt("DEVICE", "ID", 7));
    EXPECT_TRUE(file.SetInt("DEVICE", "TYPE", 1));
    EXPECT_TRUE(file.SetString("FLASH", "FILE", "/tmp/a.hex"));
    EXPECT_EQ(Text(file),
              "; written by hand\r\n"
              "[device]\r\n"
              "id=7\r\n"
              "Future=kept\r\n"
              "TYPE=1\r\n"
              "\r\n"
              "; next section\r\n"
              "[NEWER]\r\n"
              "Thing=1\r\n"
              "[FLASH]\r\n"
              "FILE=/tmp/a.hex\r\n");
}

TEST(ProfileFile, RefusesValuesItCannotStoreFaithfully) {
    ProfileDocument file = Parse("[FLASH]\nFILE=old.hex\n");
    const std::string before = file.ToGbk();
    EXPECT_FALSE(file.SetString("FLASH", "FILE", "a.hex\n[DEVICE]\nTYPE=1"));
    EXPECT_FALSE(file.SetString("FLASH", "FILE", "a\r.hex"));
    EXPECT_FALSE(file.SetString("FLASH", "FILE", "火箭🚀.hex"));     // no emoji in GBK
    EXPECT_FALSE(file.SetString("FLASH", "FILE", "\xFF\xFE.hex"));  // not UTF-8
    EXPECT_EQ(file.ToGbk(), before);
}

TEST(ProfileFile, StoresGbkAndKeepsUndecodableLinesByteForByte) {
    ProfileDocument file;
    file.SetString("基本信息", "版本", "0.18");
    EXPECT_EQ(file.ToGbk(), "[\xBB\xF9\xB1\xBE\xD0\xC5\xCF\xA2]\r\n\xB0\xE6\xB1\xBE=0.18\r\n");

    // A lone lead byte is not GBK. The line is kept as it was and cannot be read; the section
    // header after it still starts a section.
    const std::string bytes = "[A]\r\nbroken=\x81\r\n[B]\r\nkey=1\r\n";
    ProfileDocument odd = ProfileDocument::FromGbk(bytes);
    EXPECT_EQ(odd.GetString("A", "broken", "unreadable"), "unreadable");
    EXPECT_EQ(odd.GetInt("B", "key"), 1);
    odd.SetInt("B", "key", 2);
    EXPECT_EQ(odd.ToGbk(), "[A]\r\nbroken=\x81\r\n[B]\r\nkey=2\r\n");

    const std::string rawHeader = "[A]\r\n[\x81\x7F]\r\nkey=1\r\n";
    EXPECT_EQ(ProfileDocument::FromGbk(rawHeader).GetInt("A", "key"), 0);
}

}  // namespace
}  // namespace velkor
