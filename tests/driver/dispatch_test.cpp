// The device's request dispatch: what each control code does with its buffer, and how requests
// that do not fit their code are refused without a byte read or written outside their buffer.
#include "driver/dispatch.h"

#include <gtest/gtest.h>
#if __has_include(<sanitizer/asan_interface.h>)
#include <sanitizer/asan_interface.h>
#else
// Compilers without the sanitizer runtime (mingw): the guards are then plain memory.
#define ASAN_POISON_MEMORY_REGION(addr, size) ((void)(addr), (void)(size))
#define ASAN_UNPOISON_MEMORY_REGION(addr, size) ((void)(addr), (void)(size))
#endif

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "fake_port.h"
#include "protocol/tarnel_protocol.h"

namespace velkor::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint32_t kInvalid = TARNEL_STATUS_INVALID_PARAMETER;

DriverParams Stk200(std::uint16_t family, std::uint16_t pageSize) {
    DriverParams p{};
    p.cable_kind = 8;
    p.port_base = 0x378;
    p.family = family;
    p.page_size = pageSize;
    p.at89_byte_wait = 1;
    return p;
}

bool SameParams(const DriverParams& a, const DriverParams& b) {
    return a.cable_kind == b.cable_kind && a.port_base == b.port_base &&
           a.delay_count == b.delay_count && a.page_size == b.page_size && a.family == b.family &&
           a.at89_byte_wait == b.at89_byte_wait;
}

struct Reply {
    std::uint32_t status;
    std::uint32_t count;
};

class Dispatch : public ::testing::Test {
  protected:
    DriverParams params_{};
    FakePort port_;
    TarnelPortIo io_ = port_.Io();

    // Sends a request the way the program does: one buffer, equal input and output lengths.
    Reply Send(std::uint32_t code, Bytes& buffer) {
        Reply reply{0, 0xDEAD};
        const auto length = static_cast<std::uint32_t>(buffer.size());
        reply.status = TarnelDispatchControl(&params_, &io_, code, buffer.data(), length, length,
                                             &reply.count);
        return reply;
    }
};

TEST_F(Dispatch, UnknownCodesAreRefused) {
    params_ = Stk200(TARNEL_FAMILY_AVR, 2);
    for (std::uint32_t code : {0xF0003C1Cu, 0xF0003BFCu, 0xF0003C01u, 0xF0007C00u, 0x00003C00u,
                               0x0022C004u, 0xFFFFFFFFu}) {
        Bytes buffer(300, 0x11);
        const Reply reply = Send(code, buffer);
        EXPECT_EQ(reply.status, kInvalid) << std::hex << code;
        EXPECT_EQ(reply.count, 0u);
        EXPECT_EQ(buffer, Bytes(300, 0x11));
    }
    EXPECT_TRUE(port_.log.empty());
}

TEST_F(Dispatch, ReadPortSignExtendsTheByteAndUsesTheLowAddressBits) {
    port_.reader = [](std::uint16_t port) -> std::uint8_t { return port == 0x379 ? 0x80 : 0x7F; };
    Bytes buffer(8, 0);
    TarnelPutU32(buffer.data(), 0, 0xABCD0379u);

    const Reply reply = Send(IOCTL_TARNEL_READ_PORT, buffer);

    EXPECT_EQ(reply.status, TARNEL_STATUS_SUCCESS);
    EXPECT_EQ(reply.count, 8u);
    EXPECT_EQ(TarnelGetU32(buffer.data(), 4), 0xFFFFFF80u);
    EXPECT_EQ(port_.log, std::vector<PortAccess>{In(0x379, 0x80)});

    TarnelPutU32(buffer.data(), 0, 0x278);
    Send(IOCTL_TARNEL_READ_PORT, buffer);
    EXPECT_EQ(TarnelGetU32(buffer.data(), 4), 0x7Fu);
}

TEST_F(Dispatch, WritePortWritesTheLowValueByte) {
    Bytes buffer(8);
    TarnelPutU32(buffer.data(), 0, 0x1037Au);
    TarnelPutU32(buffer.data(), 4, 0x1234502u);

    const Reply reply = Send(IOCTL_TARNEL_WRITE_PORT, buffer);

    EXPECT_EQ(reply.status, TARNEL_STATUS_SUCCESS);
    EXPECT_EQ(reply.count, 0u);
    EXPECT_EQ(port_.log, std::vector<PortAccess>{Out(0x037A, 0x02)});
}

Bytes SetParamsRequest(std::uint32_t cable, std::uint32_t base, std::uint32_t delay,
                       std::uint32_t page, std::uint32_t family, std::uint32_t byteWait) {
    Bytes buffer(TARNEL_SET_PARAMS_LENGTH);
    TarnelPutU32(buffer.data(), 0, cable);
    TarnelPutU32(buffer.data(), 4, base);
    TarnelPutU32(buffer.data(), 8, delay);
    TarnelPutU32(buffer.data(), 12, page);
    TarnelPutU32(buffer.data(), 16, family);
    TarnelPutU32(buffer.data(), 20, byteWait);
    return buffer;
}

TEST_F(Dispatch, SetParamsKeepsTheLowBitsOfEachField) {
    Bytes buffer = SetParamsRequest(0xFFFFFF0Bu, 0x10278u, 0x70007u, 0x20100u, 0x30001u, 0x40064u);

    const Reply reply = Send(IOCTL_TARNEL_SET_PARAMS, buffer);

    EXPECT_EQ(reply.status, TARNEL_STATUS_SUCCESS);
    EXPECT_EQ(reply.count, 0u);
    EXPECT_EQ(params_.cable_kind, 11);
    EXPECT_EQ(params_.port_base, 0x278);
    EXPECT_EQ(params_.delay_count, 7);
    EXPECT_EQ(params_.page_size, 256);
    EXPECT_EQ(params_.family, 1);
    EXPECT_EQ(params_.at89_byte_wait, 100);
    EXPECT_TRUE(port_.log.empty());
}

TEST_F(Dispatch, SetParamsRefusesPagesOverTheLargestChipPage) {
    params_ = Stk200(TARNEL_FAMILY_AVR, 64);
    const DriverParams before = params_;
    Bytes buffer = SetParamsRequest(11, 0x278, 3, 257, 1, 100);

    const Reply reply = Send(IOCTL_TARNEL_SET_PARAMS, buffer);

    EXPECT_EQ(reply.status, kInvalid);
    EXPECT_EQ(reply.count, 0u);
    EXPECT_TRUE(SameParams(params_, before));
}

// The page goes out at the size SET_PARAMS stored: bytes past it in a longer request stay
// unsent, and a request too short for it is refused before any line moves.
TEST_F(Dispatch, WritePageFollowsTheStoredPageSize) {
    params_ = Stk200(TARNEL_FAMILY_AVR, 2);
    WireTarget target(port_, Wire{0x378, 0x20, 0x10, 0x40, false});
    Bytes buffer{0x00, 0x01, 0x00, 0x00, 0xA1, 0xA2, 0xA3, 0xA4};

    EXPECT_EQ(Send(IOCTL_TARNEL_WRITE_PAGE, buffer).status, TARNEL_STATUS_SUCCESS);
    EXPECT_EQ(target.SentBytes(),
              (Bytes{0x40, 0x00, 0x80, 0xA1, 0x48, 0x00, 0x80, 0xA2, 0x4C, 0x00, 0x80, 0x00}));

    port_.Clear();
    params_.page_size = 8;
    const Reply reply = Send(IOCTL_TARNEL_WRITE_PAGE, buffer);
    EXPECT_EQ(reply.status, kInvalid);
    EXPECT_EQ(reply.count, 0u);
    EXPECT_TRUE(port_.log.empty());
}

TEST_F(Dispatch, WriteByteTakesTheKindAsASignedLowByte) {
    params_ = Stk200(TARNEL_FAMILY_AVR, 0);
    WireTarget target(port_, Wire{0x378, 0x20, 0x10, 0x40, false});
    Bytes buffer(12);
    TarnelPutU32(buffer.data(), 0, 0x302u);  // EEPROM
    TarnelPutU32(buffer.data(), 4, 0x0ABC);
    TarnelPutU32(buffer.data(), 8, 0x1234u);
    EXPECT_EQ(Send(IOCTL_TARNEL_WRITE_BYTE, buffer).status, TARNEL_STATUS_SUCCESS);
    EXPECT_EQ(target.SentBytes(), (Bytes{0xC0, 0x0A, 0xBC, 0x34}));

    port_.Clear();
    TarnelPutU32(buffer.data(), 0, 0x80u);  // -128: no memory kind; the status is still success
    const Reply reply = Send(IOCTL_TARNEL_WRITE_BYTE, buffer);
    EXPECT_EQ(reply.status, TARNEL_STATUS_SUCCESS);
    EXPECT_EQ(reply.count, 0u);
    EXPECT_TRUE(port_.log.empty());
}

TEST_F(Dispatch, ReadByteAnswersZeroExtendedAtOffsetEight) {
    params_ = Stk200(TARNEL_FAMILY_AVR, 0);
    WireTarget target(port_, Wire{0x378, 0x20, 0x10, 0x40, false}, {0, 0, 0, 0x9E});
    Bytes buffer(12, 0xEE);
    TarnelPutU32(buffer.data(), 0, TARNEL_MEMORY_SIGNATURE);
    TarnelPutU32(buffer.data(), 4, 1);

    const Reply reply = Send(IOCTL_TARNEL_READ_BYTE, buffer);

    EXPECT_EQ(reply.status, TARNEL_STATUS_SUCCESS);
    EXPECT_EQ(reply.count, 12u);
    EXPECT_EQ(TarnelGetU32(buffer.data(), 8), 0x9Eu);
    EXPECT_EQ(target.SentBytes(), (Bytes{0x30, 0x00, 0x01, 0x00}));
}

TEST_F(Dispatch, ReadByteOfUnknownKindAnswersFFWithoutPortAccess) {
    params_ = Stk200(TARNEL_FAMILY_AVR, 0);
    Bytes buffer(12, 0);
    TarnelPutU32(buffer.data(), 0, TARNEL_MEMORY_FLASH_FORCED);

    const Reply reply = Send(IOCTL_TARNEL_READ_BYTE, buffer);

    EXPECT_EQ(reply.status, TARNEL_STATUS_SUCCESS);
    EXPECT_EQ(reply.count, 12u);
    EXPECT_EQ(TarnelGetU32(buffer.data(), 8), 0xFFu);
    EXPECT_TRUE(port_.log.empty());
}

TEST_F(Dispatch, ReadPageOnAvrReturnsTheBufferAsItCame) {
    params_ = Stk200(TARNEL_FAMILY_AVR, 128);
    Bytes buffer(260);
    for (std::size_t i = 0; i < buffer.size(); ++i) buffer[i] = static_cast<std::uint8_t>(i);
    const Bytes before = buffer;

    const Reply reply = Send(IOCTL_TARNEL_READ_PAGE, buffer);

    EXPECT_EQ(reply.status, TARNEL_STATUS_SUCCESS);
    EXPECT_EQ(reply.count, 260u);
    EXPECT_EQ(buffer, before);
    EXPECT_TRUE(port_.log.empty());
}

TEST_F(Dispatch, ReadPageOnAt89FillsThePageAfterTheAddress) {
    params_ = Stk200(TARNEL_FAMILY_AT89S5X, 256);
    Bytes answers(258);
    for (std::size_t i = 0; i < answers.size(); ++i) answers[i] = static_cast<std::uint8_t>(~i);
    WireTarget target(port_, Wire{0x378, 0x20, 0x10, 0x40, false}, answers);
    Bytes buffer(260, 0);
    TarnelPutU32(buffer.data(), 0, 0x1100);

    const Reply reply = Send(IOCTL_TARNEL_READ_PAGE, buffer);

    EXPECT_EQ(reply.count, 260u);
    EXPECT_EQ(TarnelGetU32(buffer.data(), 0), 0x1100u);
    EXPECT_EQ(Bytes(buffer.begin() + 4, buffer.end()), Bytes(answers.begin() + 2, answers.end()));
    const Bytes sent = target.SentBytes();
    ASSERT_EQ(sent.size(), 258u);
    EXPECT_EQ(Bytes(sent.begin(), sent.begin() + 2), (Bytes{0x30, 0x11}));
}

TEST(DispatchBuffer, NoBufferIsRefused) {
    DriverParams params{};
    FakePort port;
    const TarnelPortIo io = port.Io();
    std::uint32_t count = 7;
    EXPECT_EQ(TarnelDispatchControl(&params, &io, IOCTL_TARNEL_READ_PORT, nullptr, 0, 0, &count),
              kInvalid);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(TarnelDispatchControl(&params, &io, IOCTL_TARNEL_WRITE_PORT, nullptr, 8, 8, &count),
              kInvalid);
    EXPECT_TRUE(port.log.empty());
}

// ---- Every code against every input and output length from 0 to 300 ---------------------

struct CodeCase {
    const char* name;
    std::uint32_t code;
    DriverParams params;
    Bytes request;             // the request's meaningful bytes, placed at the buffer's start
    std::uint32_t needIn;      // input length the code needs
    std::uint32_t needOut;     // output length the code needs, and the count it returns
    std::uint32_t answerFrom;  // the only bytes an accepted request may change: [answerFrom,
    std::uint32_t answerTo;    // answerTo)
};

void PrintTo(const CodeCase& c, std::ostream* os) {
    *os << c.name;
}

Bytes Request(std::initializer_list<std::uint32_t> fields) {
    Bytes bytes(fields.size() * 4);
    std::size_t offset = 0;
    for (std::uint32_t f : fields) {
        TarnelPutU32(bytes.data(), offset, f);
        offset += 4;
    }
    return bytes;
}

std::vector<CodeCase> EveryCode() {
    const DriverParams avr = Stk200(TARNEL_FAMILY_AVR, 2);
    const DriverParams at89 = Stk200(TARNEL_FAMILY_AT89S5X, 256);
    Bytes page = Request({0x0100});
    page.insert(page.end(), {0xA1, 0xA2});
    return {
        {"ReadPort", IOCTL_TARNEL_READ_PORT, avr, Request({0x379}), 8, 8, 4, 8},
        {"WritePort", IOCTL_TARNEL_WRITE_PORT, avr, Request({0x378, 0x55}), 8, 0, 0, 0},
        {"SetParams", IOCTL_TARNEL_SET_PARAMS, avr, Request({11, 0x278, 1, 256, 1, 100}), 24, 0, 0,
         0},
        {"WriteByte", IOCTL_TARNEL_WRITE_BYTE, avr, Request({1, 0x1235, 0x5A}), 12, 0, 0, 0},
        {"WritePage", IOCTL_TARNEL_WRITE_PAGE, avr, page, 6, 0, 0, 0},
        {"ReadByte", IOCTL_TARNEL_READ_BYTE, avr, Request({0, 0x1235}), 12, 12, 8, 12},
        {"ReadPage", IOCTL_TARNEL_READ_PAGE, at89, Request({0x0300}), 260, 260, 4, 260},
    };
}

constexpr std::uint32_t kMaxLength = 300;
constexpr std::size_t kGuard = 32;
constexpr std::uint8_t kGuardByte = 0xA5;

class EveryLength : public ::testing::TestWithParam<CodeCase> {};

// Under AddressSanitizer every byte the driver must not touch is poisoned, so a stray read
// or write aborts on the spot; in any build the guard and the untouched bytes are compared
// afterwards, which catches stray writes.
TEST_P(EveryLength, IsServedOrRefusedWithoutStrayAccess) {
    const CodeCase& c = GetParam();
    FakePort port;
    port.reader = [](std::uint16_t) -> std::uint8_t { return 0x96; };  // reads change the page
    const TarnelPortIo io = port.Io();
    std::vector<std::uint8_t> storage;
    Bytes before;
    for (std::uint32_t in = 0; in <= kMaxLength; ++in) {
        for (std::uint32_t out = 0; out <= kMaxLength; ++out) {
            const std::size_t length = in > out ? in : out;
            // The rear guard ends on an 8-byte boundary so that all of it can be poisoned.
            const std::size_t rear = kGuard + (8 - (length % 8)) % 8;
            storage.assign(kGuard + length + rear, kGuardByte);
            std::uint8_t* buffer = storage.data() + kGuard;
            for (std::size_t i = 0; i < length; ++i) {
                buffer[i] =
                    i < c.request.size() ? c.request[i] : static_cast<std::uint8_t>(0x40 + i);
            }
            before = storage;
            const bool accept = in >= c.needIn && out >= c.needOut;
            // An accepted request may use its code's layout; a refused one nothing at all.
            const std::size_t usable = accept ? c.needIn : 0;
            ASAN_POISON_MEMORY_REGION(storage.data(), kGuard);
            ASAN_POISON_MEMORY_REGION(buffer + usable, length - usable + rear);

            DriverParams params = c.params;
            port.Clear();
            std::uint32_t count = 0xDEAD;
            const std::uint32_t status =
                TarnelDispatchControl(&params, &io, c.code, buffer, in, out, &count);

            ASAN_UNPOISON_MEMORY_REGION(storage.data(), storage.size());
            SCOPED_TRACE(::testing::Message() << "in " << in << " out " << out);
            ASSERT_EQ(status, accept ? TARNEL_STATUS_SUCCESS : kInvalid);
            ASSERT_EQ(count, accept ? c.needOut : 0u);
            // Only an accepted request's answer field may differ from what was sent.
            const std::size_t from = kGuard + (accept ? c.answerFrom : 0);
            const std::size_t to = kGuard + (accept ? c.answerTo : 0);
            ASSERT_TRUE(std::equal(storage.begin(), storage.begin() + from, before.begin()));
            ASSERT_TRUE(std::equal(storage.begin() + to, storage.end(), before.begin() + to));
            if (!accept) {
                ASSERT_TRUE(port.log.empty());
                ASSERT_TRUE(SameParams(params, c.params));
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(EveryCode, EveryLength, ::testing::ValuesIn(EveryCode()),
                         [](const ::testing::TestParamInfo<CodeCase>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
}  // namespace velkor::test
