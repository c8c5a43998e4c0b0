// Reading the chip's memories back whole, and the verify that compares only the addresses the
// loaded files gave data for. Both add to the programming sequence without changing it.
#include <algorithm>
#include <array>

#include "engine/isp_programmer.h"

namespace velkor {
namespace {

// Sorts and joins ranges that overlap or touch, and cuts them to [0, limit).
std::vector<AddressRange> Normalised(std::vector<AddressRange> ranges, std::uint32_t limit) {
    std::sort(ranges.begin(), ranges.end(),
              [](const AddressRange& a, const AddressRange& b) { return a.begin < b.begin; });
    std::vector<AddressRange> out;
    for (AddressRange r : ranges) {
        r.end = std::min(r.end, limit);
        if (r.begin >= r.end) continue;
        if (!out.empty() && r.begin <= out.back().end) {
            out.back().end = std::max(out.back().end, r.end);
        } else {
            out.push_back(r);
        }
    }
    return out;
}

}  // namespace

int IspProgrammer::ReadBackBody() {
    readFlash.clear();
    readEeprom.clear();
    int result = StartRun();
    // A file read from another chip than the one selected would carry the wrong size and the
    // wrong content under the selected chip's name. The 89S53 and 89S8252 have no signature:
    // their read instruction at those addresses returns code bytes.
    if (result == kSeqDone && Protocol().HasSignature() && !SignatureMatchesSelection()) {
        result = kSeqSignatureMismatch;
    }
    if (result == kSeqDone && settings_.readBackFlash) result = ReadBackMemory(true);
    if (result == kSeqDone && settings_.readBackEeprom) result = ReadBackMemory(false);
    // A chip that lost its supply or its cable during the read answers with a constant line,
    // which reads as plausible bytes: the supply and the signature are asked for again.
    if (result == kSeqDone && (settings_.readBackFlash || settings_.readBackEeprom)) {
        if (cableKind != kCableByteBlaster &&
            (ReadPort(static_cast<std::uint16_t>(portBase + 1)) & 0x08) == 0) {
            Log(Msg::kReadPowerLost);
            result = kSeqTargetLost;
        } else if (Protocol().HasSignature() && !SignatureMatchesSelection()) {
            Log(Msg::kReadTargetLost);
            result = kSeqTargetLost;
        }
    }
    if (result == kSeqTargetLost) {
        readFlash.clear();
        readEeprom.clear();
    }
    if (result == kSeqDone && backend_.FailedDriverCalls() != 0) result = kSeqDriverCallsFailed;
    if (result == kSeqDone) Log(Msg::kDone);
    ExitProgramming();
    return result;
}

int IspProgrammer::ReadBackMemory(bool flash) {
    SerialProtocol& protocol = Protocol();
    const std::uint32_t size = flash ? protocol.FlashSize() : protocol.EepromSize();
    if (!flash && size == 0) {
        Log(Msg::kNoEepromRead);
        return kSeqDone;
    }
    std::vector<std::uint8_t>& out = flash ? readFlash : readEeprom;
    out.assign(size, 0xFF);
    Log(flash ? Msg::kReadFlash : Msg::kReadEeprom);
    PostProgress(0);
    Log(Msg::kReading);
    // The page read moves a whole 256-byte page for one instruction; the parts without it
    // read byte by byte.
    const bool pages = flash && protocol.ReadsFlashInPages();
    const std::uint32_t step = pages ? 256 : 1;
    for (std::uint32_t a = 0; a < size; a += step) {
        if (pages) {
            ReadFlashPage(a, out.data() + a);
        } else {
            out[a] = ReadMemoryByte(flash ? kMemFlash : kMemEeprom, a);
        }
        PostProgress(static_cast<int>(a * 100u / size));
        // A lost supply reads as one repeated 0x00 or 0xFF, as erased memory does: each such
        // 256-byte block costs one read of the supply sense line, so the read ends at the block
        // where the supply went, not after the whole memory.
        const std::uint32_t end = a + step;
        if (end % 256 != 0 && end != size) continue;
        const std::uint32_t begin = (end - 1) & ~0xFFu;
        const std::uint8_t first = out[begin];
        const bool uniform = (first == 0x00 || first == 0xFF) &&
                             std::all_of(out.begin() + begin, out.begin() + end,
                                         [first](std::uint8_t b) { return b == first; });
        if (uniform && cableKind != kCableByteBlaster &&
            (ReadPort(static_cast<std::uint16_t>(portBase + 1)) & 0x08) == 0) {
            Log(Msg::kReadPowerLost);
            return kSeqTargetLost;
        }
    }
    PostProgress(100);
    return kSeqDone;
}

int IspProgrammer::VerifyFileBytes(bool flash, std::uint32_t size) {
    std::vector<AddressRange> ranges = flash ? flashDataRanges : eepromDataRanges;
    // A calibration byte copied into the image was written with it and is checked with it.
    if (settings_.commands.copyCal != 0 && Protocol().CalibrationCount() != 0 &&
        (settings_.calibrationSaveLocation == 0) == flash) {
        ranges.push_back({settings_.calibrationAddress, settings_.calibrationAddress + 1});
    }
    ranges = Normalised(std::move(ranges), size);
    std::uint64_t total = 0;
    for (const AddressRange& r : ranges) total += r.end - r.begin;

    const std::uint8_t* image = flash ? flashImage.data() : eepromImage.data();
    const bool pages = flash && Protocol().ReadsFlashInPages();
    std::array<std::uint8_t, 256> page{};
    std::uint32_t pageAddress = 0xFFFFFFFF;  // the page held in `page`
    std::uint64_t done = 0;
    for (const AddressRange& r : ranges) {
        for (std::uint32_t a = r.begin; a < r.end; ++a, ++done) {
            std::uint8_t read = 0;
            if (pages) {
                if ((a & ~0xFFu) != pageAddress) {
                    pageAddress = a & ~0xFFu;
                    ReadFlashPage(pageAddress, page.data());
                }
                read = page[a & 0xFF];
            } else {
                read = ReadMemoryByte(flash ? kMemFlash : kMemEeprom, a);
            }
            if (read != image[a]) {
                Log({flash ? Msg::kByteCompareFailed : Msg::kEepromCompareFailed,
                     {Num(a), Num(image[a]), Num(read)}});
                return 1;
            }
            ++bytesVerified;
            PostProgress(static_cast<int>(done * 100 / total));
        }
    }
    return 0;
}

}  // namespace velkor
