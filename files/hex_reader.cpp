#include "files/hex_reader.h"

#include <climits>

namespace velkor {
namespace {

// Digits are 0-9 and A-F only. Lower case is refused on purpose: files this program has always
// rejected must not start loading, since a half-understood file would be programmed silently.
int DigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Walks one record's text field by field and keeps its running checksum: every complete byte
// parsed (count, address, type, data, checksum) is added modulo 256.
class RecordCursor {
  public:
    explicit RecordCursor(const char* text) : next_(text) {}

    // Parses a field of `digits` characters, most significant first. Stops at the first
    // character that is not a digit, which includes the line's terminating zero, so it never
    // reads past the end of the text however short the line is.
    bool Field(int digits, std::uint32_t& value) {
        value = 0;
        for (int i = 0; i < digits; i += 2) {
            const int high = DigitValue(next_[0]);
            if (high < 0) return false;
            const int low = DigitValue(next_[1]);
            if (low < 0) return false;
            next_ += 2;
            const auto byte = static_cast<std::uint32_t>(high * 16 + low);
            sum_ = static_cast<std::uint8_t>(sum_ + byte);
            value = (value << 8) | byte;
        }
        return true;
    }

    // Whether the next `digits` characters are all digits, without consuming them.
    bool DigitsAhead(std::uint32_t digits) const {
        for (std::uint32_t i = 0; i < digits; ++i) {
            if (DigitValue(next_[i]) < 0) return false;  // stops at the terminating zero
        }
        return true;
    }

    std::uint8_t Sum() const { return sum_; }

  private:
    const char* next_;
    std::uint8_t sum_ = 0;
};

// Addresses are computed in 64 bits: a segment or upper address near FFFF, or an S3 record near
// the top of the 32-bit range, lies far beyond any image and must not wrap back into it.
struct ImageSink {
    std::span<std::uint8_t> image;
    std::uint32_t& loadedLength;
    HexDataExtent* extent;

    // Stores `count` data bytes from `address` on. A record whose data or checksum text is not
    // all digits (a lower-case file, a truncated line) is refused before any byte of it is
    // stored. A wrong checksum only shows once every byte was summed, so by then the bytes are
    // stored and they stay. A byte at or beyond the image's end is parsed and checked like any
    // other, then dropped.
    bool Data(RecordCursor& cursor, std::uint64_t address, std::uint32_t count) {
        if (!cursor.DigitsAhead(2 * count + 2)) return false;
        for (std::uint32_t i = 0; i < count; ++i, ++address) {
            std::uint32_t byte = 0;
            if (!cursor.Field(2, byte)) return false;
            if (address < image.size()) {
                image[address] = static_cast<std::uint8_t>(byte);
                if (address + 1 > loadedLength)
                    loadedLength = static_cast<std::uint32_t>(address + 1);
                if (extent != nullptr) extent->stored[address] = true;
            } else if (extent != nullptr) {
                ++extent->droppedBytes;
                if (address < extent->firstDropped) extent->firstDropped = address;
            }
            if (extent != nullptr) ++extent->dataBytes;
        }
        return true;
    }
};

// The extended address values of the Intel records read so far in this file.
struct IntelBase {
    std::uint32_t segment = 0;  // type 02: paragraphs of 16 bytes
    std::uint32_t upper = 0;    // type 04: blocks of 64 KiB
};

enum IntelType : std::uint32_t {
    kData = 0,
    kEndOfFile = 1,
    kSegmentAddress = 2,
    kStartSegment = 3,
    kLinearAddress = 4,
};

// `text` follows the ':'. Returns false when the record is faulty.
bool ReadIntelRecord(const char* text, IntelBase& base, ImageSink& sink) {
    RecordCursor cursor(text);
    std::uint32_t count = 0;
    std::uint32_t address = 0;
    std::uint32_t type = 0;
    if (!cursor.Field(2, count) || !cursor.Field(4, address) || !cursor.Field(2, type)) {
        return false;
    }
    switch (type) {
        case kData: {
            const std::uint64_t target = std::uint64_t{address} + std::uint64_t{base.segment} * 16 +
                                         std::uint64_t{base.upper} * 65536;
            if (!sink.Data(cursor, target, count)) return false;
            break;
        }
        case kEndOfFile:
            // Reading goes on after it: files with data after the end record load in full.
            if (count != 0) return false;
            break;
        case kSegmentAddress:
        case kLinearAddress: {
            std::uint32_t value = 0;
            if (count != 2 || !cursor.Field(4, value)) return false;
            // FFFF has always been refused here; keeping it refused keeps every file loading the
            // way it did.
            if (value == 0xFFFF) return false;
            (type == kSegmentAddress ? base.segment : base.upper) = value;
            break;
        }
        default:
            // Start addresses (03, 05) mean nothing to a programmer, and unknown types cannot be
            // trusted: either way the file is not one this reader understands.
            return false;
    }
    std::uint32_t checksum = 0;
    if (!cursor.Field(2, checksum)) return false;
    return cursor.Sum() == 0;
}

// `text` follows the 'S'. Returns false when the record is faulty; record types other than
// S1, S2 and S3 (header, count and start records) carry no data and are skipped.
bool ReadSRecord(const char* text, ImageSink& sink) {
    if (text[0] < '1' || text[0] > '3') return true;
    const int addressBytes = text[0] - '0' + 1;
    RecordCursor cursor(text + 1);
    std::uint32_t count = 0;
    if (!cursor.Field(2, count)) return false;
    // The count covers the address and checksum bytes as well as the data.
    const int dataCount = static_cast<int>(count) - addressBytes - 1;
    if (dataCount < 0) return false;
    std::uint32_t address = 0;
    if (!cursor.Field(addressBytes * 2, address)) return false;
    // An S3 record at FFFFFFFF has always been refused; it stays refused for the same reason
    // as the Intel FFFF values.
    if (addressBytes == 4 && address == 0xFFFFFFFF) return false;
    if (!sink.Data(cursor, address, static_cast<std::uint32_t>(dataCount))) return false;
    std::uint32_t checksum = 0;
    if (!cursor.Field(2, checksum)) return false;
    return cursor.Sum() == 0xFF;
}

// One piece of text as the stream reader takes it, terminated by a zero, and its number.
// Returns false when it holds a faulty record.
bool ReadLine(const char* line, int number, IntelBase& base, ImageSink& sink) {
    // An editor's UTF-8 byte order mark is no part of the first record.
    if (number == 1 && line[0] == '\xEF' && line[1] == '\xBB' && line[2] == '\xBF') line += 3;
    if (line[0] == ':') return ReadIntelRecord(line + 1, base, sink);
    if (line[0] == 'S') return ReadSRecord(line + 1, sink);
    for (const char* c = line; *c != '\0'; ++c) {
        if (*c == ' ' || *c == '\t' || *c == '\r' || *c == '\n') continue;
        if (sink.extent != nullptr) {
            if (sink.extent->otherLines++ == 0) sink.extent->firstOtherLine = number;
        }
        break;
    }
    return true;
}

}  // namespace

int ReadHexImage(std::FILE* file, std::span<std::uint8_t> image, std::uint32_t& loadedLength,
                 HexDataExtent* extent) {
    char line[kHexLineBufferSize];
    if (extent != nullptr) extent->Reset(image.size());
    ImageSink sink{image, loadedLength, extent};
    IntelBase base;
    int lineNumber = 0;
    while (std::fgets(line, sizeof line, file) != nullptr) {
        // Saturates rather than overflows on a file of more than two thousand million lines.
        if (lineNumber < INT_MAX) ++lineNumber;
        if (!ReadLine(line, lineNumber, base, sink)) return lineNumber;
    }
    return 0;
}

int ReadHexText(std::string_view text, std::span<std::uint8_t> image, std::uint32_t& loadedLength,
                HexDataExtent* extent) {
    char line[kHexLineBufferSize];
    if (extent != nullptr) extent->Reset(image.size());
    ImageSink sink{image, loadedLength, extent};
    IntelBase base;
    int lineNumber = 0;
    std::size_t at = 0;
    while (at < text.size()) {
        // Pieces as fgets cuts them: up to a line end (kept) or a full buffer.
        std::size_t length = 0;
        while (at < text.size() && length + 1 < sizeof line) {
#ifdef _WIN32
            // A text-mode stream on Windows turns CR LF into LF before the reader sees it.
            if (text[at] == '\r' && at + 1 < text.size() && text[at + 1] == '\n') ++at;
#endif
            const char c = text[at++];
            line[length++] = c;
            if (c == '\n') break;
        }
        line[length] = '\0';
        if (lineNumber < INT_MAX) ++lineNumber;
        if (!ReadLine(line, lineNumber, base, sink)) return lineNumber;
    }
    return 0;
}

}  // namespace velkor
