// Loading the flash and EEPROM images from HEX files, and what each kind remembers of its file.
#pragma once

#include <string>
#include <string_view>

#include "files/hex_reader.h"
#include "files/raw_image.h"

namespace velkor {

class IspProgrammer;

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

    // The last load read the file (its image holds the file's data).
    bool IsOpen() const { return loaded_; }
    const std::string& Path() const { return path_; }
    // Where the data of the last successful load went; empty before one.
    const HexDataExtent& Extent() const { return extent_; }

  private:
    friend int LoadHexText(IspProgrammer&, HexFile&, const std::string&, std::string_view, bool);
    friend int LoadMemoryImage(IspProgrammer&, HexFile&, const std::string&, const MemoryImage&,
                               bool);

    std::string path_;
    bool loaded_ = false;
    HexDataExtent extent_;
};

// Results of the loaders besides the reader's own (0, or the number of the first faulty line).
inline constexpr int kHexLoadOpenFailed = -1;  // the image and its length are unchanged
inline constexpr int kHexLoadNoPath = -2;      // empty path: nothing was done
inline constexpr int kHexLoadNoData = -3;      // no data record: the image is unchanged

// Each does nothing for an empty path. Otherwise it reads `path`, which must be a regular file
// of at most kMaxHexFileBytes; only if that succeeded and the file holds at least one data
// byte is the image filled with 0xFF and the data stored, raising the image's loaded length.
// A file that cannot be read, is no file of data (a directory, a device, an ELF or text file,
// an empty file), or holds a faulty line is reported in the engine's log; the bytes stored
// before a faulty line stay in the image.
int LoadFlashImage(IspProgrammer& programmer, HexFile& file, const std::string& path);
int LoadEepromImage(IspProgrammer& programmer, HexFile& file, const std::string& path);
// The same over bytes already read from `path` (with ReadWholeFile), into the flash image when
// `flash` is set, else the EEPROM image: a caller that also judges the file (is it whole?)
// loads exactly the bytes it judged, though the file may be rewritten meanwhile.
int LoadHexText(IspProgrammer& programmer, HexFile& file, const std::string& path,
                std::string_view text, bool flash);
// An image read already from `path` in another format (raw binary, ELF, values given on a
// command line): stored as a HEX file's data would be. An image without data changes
// nothing and gives kHexLoadNoData, without a line (the reader said what was wrong).
int LoadMemoryImage(IspProgrammer& programmer, HexFile& file, const std::string& path,
                    const MemoryImage& image, bool flash);

}  // namespace velkor
