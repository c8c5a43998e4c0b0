#include "messages/log_messages.h"

#include <gtest/gtest.h>

#include <string>

namespace velkor {
namespace {

std::string LineEnd(const std::string& text) {
    if (text.ends_with("\r\n")) return "\r\n";
    if (text.ends_with("\n")) return "\n";
    return "";
}

// A line shown in English must take the same arguments as the Chinese one, or rendering it
// would print a number as a name or drop one; it must end its row as the Chinese one does, or
// the log's layout would change with the language.
TEST(LogMessages, EveryLineHasAnEnglishTextTakingTheSameArguments) {
    for (std::size_t i = 1; i < std::size(kMessages); ++i) {
        const MsgText& m = kMessages[i];
        SCOPED_TRACE(m.zh);
        EXPECT_STRNE(m.en, "");
        EXPECT_EQ(Conversions(m.zh), Conversions(m.en));
        EXPECT_EQ(LineEnd(m.zh), LineEnd(m.en));
        for (const char* c = m.en; *c != '\0'; ++c) EXPECT_LT(static_cast<unsigned char>(*c), 0x80);
    }
}

TEST(LogMessages, RendersAsPrintfWouldWithTermsInTheLinesLanguage) {
    const LogLine fit{Msg::kImageBeyondChip,
                      {std::string("Flash"), Num(0x1000000001ULL), std::string("mega8"),
                       std::string("Flash"), Num(8192), Num(0x2000)}};
    EXPECT_EQ(Render(fit, Language::kZh),
              "Flash映像有 68719476737 字节超出 mega8 的Flash (8192 字节), 起始地址 2000, "
              "这些数据不会写入.\r\n");
    const LogLine failed{Msg::kEepromCompareFailed, {Num(0x1A), Num(5), Num(0xFF)}};
    EXPECT_EQ(Render(failed, Language::kEn), "At 001A:05-FF verify failed\n");
    const LogLine notOpen{Msg::kDriverNotOpen, {Msg::kTermDriverFileMissing, Num(2u)}};
    EXPECT_NE(Render(notOpen, Language::kZh).find("找不到驱动文件 Tarnel.sys (错误 2)"),
              std::string::npos);
    EXPECT_NE(Render(notOpen, Language::kEn).find("driver file Tarnel.sys not found (error 2)"),
              std::string::npos);
    EXPECT_EQ(Render({Msg::kSettingsBadType, {Num(-3)}}, Language::kEn),
              "The chip type -3 in the settings file is not valid; AVR is used.\r\n");
    // A missing argument leaves its place empty rather than reading past the list.
    EXPECT_EQ(Render({Msg::kTimeoutAt, {}}, Language::kEn), "Timeout at \n");
    EXPECT_EQ(Render(Msg::kNone, Language::kEn), "");
}

TEST(LogMessages, LanguageCodesAndLocales) {
    EXPECT_EQ(ParseLanguage("en"), Language::kEn);
    EXPECT_EQ(ParseLanguage("zh"), Language::kZh);
    EXPECT_EQ(ParseLanguage("EN"), std::nullopt);
    EXPECT_EQ(ParseLanguage(""), std::nullopt);
    EXPECT_STREQ(LanguageCode(Language::kEn), "en");
    EXPECT_STREQ(LanguageCode(Language::kZh), "zh");
    EXPECT_EQ(LanguageOfLocale("zh_CN.UTF-8"), Language::kZh);
    EXPECT_EQ(LanguageOfLocale("zh_TW"), Language::kZh);
    EXPECT_EQ(LanguageOfLocale("C.UTF-8"), Language::kEn);
    EXPECT_EQ(LanguageOfLocale("z"), Language::kEn);
    EXPECT_EQ(LanguageOfLocale(""), Language::kEn);
}

}  // namespace
}  // namespace velkor
