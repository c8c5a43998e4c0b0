// The shared protocol header's field access: little-endian whatever the host, at any offset.
#include "protocol/tarnel_protocol.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

TEST(TarnelFields, AreLittleEndianAtUnalignedOffsets) {
    std::vector<std::uint8_t> buffer(11, 0);
    TarnelPutU32(buffer.data(), 1, 0xF0003C18u);
    TarnelPutU16(buffer.data(), 5, 0x0378);
    TarnelPutU8(buffer.data(), 7, 0x9A);

    EXPECT_EQ(buffer,
              (std::vector<std::uint8_t>{0, 0x18, 0x3C, 0x00, 0xF0, 0x78, 0x03, 0x9A, 0, 0, 0}));
    EXPECT_EQ(TarnelGetU32(buffer.data(), 1), 0xF0003C18u);
    EXPECT_EQ(TarnelGetU16(buffer.data(), 5), 0x0378);
    EXPECT_EQ(TarnelGetU16(buffer.data(), 1), 0x3C18);
    EXPECT_EQ(TarnelGetU8(buffer.data(), 7), 0x9A);
}

}  // namespace
