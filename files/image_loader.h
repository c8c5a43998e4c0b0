// Loading the flash and EEPROM images from HEX files, and what each kind remembers of its file.
// The loaders only read: they hand back the image as a value with the lines that say what went
// wrong, and the station puts it into the engine.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "files/hex_reader.h"
#include "files/raw_image.h"
#include "messages/log_messages.h"

namespace velkor {

// The HEX file of one image kind. It remembers the last non-empty path it was asked to load,
// whether or not that load succeeded, because the settings file saves it and the file watcher
// reloads from it; and where the data of the last successful load lies, so that a run can say
// which bytes the chosen chip cannot take. The file is read whole and closed again, so a build
// tool can replace it at any time.
class HexFile {
  public:
    // Forgets the previous load and remembers `path`. An empty path changes nothing and
    // returns false.
    bool Open(const std::string& path);
    // The load of the remembered path put data into the image, which lies at `extent`.
    void Loaded(HexDataExtent extent);
    // The remembered path names something that is no file (a folder, a device).
    void NotAFile() { notAFile_ = true; }

    // The last load read the file (its image holds the file's data).
    bool IsOpen() const { return loaded_; }
    const std::string& Path() const { return path_; }
    // Where the data of the last successful load went; empty before one.
    const HexDataExtent& Extent() const { return extent_; }
    // A path a file watch can follow: a file, or nothing yet (a build may still make it); not
    // a folder, whose every change would be taken for a new file.
    bool Watchable() const { return !path_.empty() && !notAFile_; }

  private:
    std::string path_;
    bool loaded_ = false;
    bool notAFile_ = false;
    HexDataExtent extent_;
};

// Results of the loaders besides the reader's own (0, or the number of the first faulty line).
inline constexpr int kHexLoadOpenFailed = -1;  // the image and its length are unchanged
inline constexpr int kHexLoadNoPath = -2;      // empty path: nothing was done
inline constexpr int kHexLoadNoData = -3;      // no data record: the image is unchanged

// One load of a file into an image of one kind.
struct LoadedImage {
    int result = kHexLoadNoPath;  // 0, the first faulty line, or a kHexLoad* value
    // The whole image (0xFF where the file gave no data); empty when the image must stay as
    // it was (nothing read, no data in the file).
    std::vector<std::uint8_t> bytes;
    std::uint32_t length = 0;    // the image's loaded length after this load
    HexDataExtent extent;        // where the file's data went
    std::vector<LogLine> lines;  // what went wrong, for the log
    bool notAFile = false;       // the path names a folder or a device
    // An ELF file read as the flash file: its .eeprom section as an EEPROM load (null: none),
    // its .fuse bytes (low, high, extended; empty: none) and its .lock byte, which the station
    // takes along with the flash image.
    std::shared_ptr<const LoadedImage> elfEeprom;
    std::vector<std::uint8_t> elfFuses;
    std::optional<std::uint8_t> elfLock;

    bool HasData() const { return !bytes.empty(); }
};

// Nothing is read for an empty path. Otherwise `path` must be a regular file of at most
// kMaxHexFileBytes; only if that succeeded and the file holds at least one data byte does the
// value carry an image: 0xFF filled and the data stored, its loaded length `loadedLength` or
// raised to the data's end. A file that cannot be read, is no file of data (a directory, a
// device, a text file, an empty file), or holds a faulty line gives a line saying so;
// the bytes stored before a faulty line stay in the image. `flash` chooses the image's size.
// An ELF file (avr-gcc's output, told by its first bytes) gives its flash sections, or its
// .eeprom section for the EEPROM; one for another processor, or damaged, gives a line.
LoadedImage ReadImageFile(const std::string& path, bool flash, std::uint32_t loadedLength);
// The same over bytes already read from `path` (with ReadWholeFile): a caller that also judges
// the file (is it whole?) loads exactly the bytes it judged, though the file may be rewritten
// meanwhile.
LoadedImage ReadImageText(const std::string& path, std::string_view text, bool flash,
                          std::uint32_t loadedLength);

// An image read in another format (raw binary, ELF, values given on a command line) as a load
// of an image of one kind: the image's size, its loaded length `loadedLength` or raised to the
// data's end. Without data it carries no image and gives kHexLoadNoData, with no line (the
// reader has said what was wrong).
LoadedImage LoadedFromMemory(const MemoryImage& memory, bool flash, std::uint32_t loadedLength);

}  // namespace velkor
