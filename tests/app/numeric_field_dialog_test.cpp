#include <gtest/gtest.h>

#include "app/numeric_field.h"

namespace velkor {
namespace {

TEST(NumericField, OnlyThePrefixOrUpperCaseLettersMakeTextHexadecimal) {
    EXPECT_EQ(ParseNumericText("1ff"), 1u);  // lower-case letters stay decimal
    EXPECT_EQ(ParseNumericText("1FF"), 0x1FFu);
    EXPECT_EQ(ParseNumericText("0x1ff"), 0x1FFu);
    EXPECT_EQ(ParseNumericText("0x"), 0u);
    EXPECT_EQ(ParseNumericText("511"), 511u);
    EXPECT_EQ(ParseNumericText("  42"), 42u);
    EXPECT_EQ(ParseNumericText("0X1F"), 0x1Fu);  // the 'F' makes it hexadecimal
}

TEST(NumericField, GarbageGivesZeroAndOverflowSaturates) {
    EXPECT_EQ(ParseNumericText(""), 0u);
    EXPECT_EQ(ParseNumericText("abc"), 0u);
    EXPECT_EQ(ParseNumericText("-1"), 0u);
    EXPECT_EQ(ParseNumericText("12zz"), 12u);
    EXPECT_EQ(ParseNumericText("4294967295"), 0xFFFFFFFFu);
    // Wrapping would turn these into 0 and 1, which an address check lets through.
    EXPECT_EQ(ParseNumericText("4294967296"), 0xFFFFFFFFu);
    EXPECT_EQ(ParseNumericText("0x100000001"), 0xFFFFFFFFu);
}

TEST(NumericField, ConvertSwitchesFormsAndIsGreyedOnEmptyText) {
    EXPECT_EQ(FormatNumericText(0x1FF), "0x1ff");
    EXPECT_EQ(ConvertNumericText("0x1ff"), "511");
    EXPECT_EQ(ConvertNumericText("511"), "0x1FF");
    EXPECT_EQ(ConvertNumericText(ConvertNumericText("4000000000")), "4000000000");
    EXPECT_FALSE(CanConvertNumericText(""));
    EXPECT_FALSE(CanConvertNumericText("0x"));
    EXPECT_TRUE(CanConvertNumericText("0"));
    EXPECT_TRUE(CanConvertNumericText("0x0"));
}

}  // namespace
}  // namespace velkor
