// Loading the flash and EEPROM images from HEX files, and the file each kind keeps open.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

namespace velkor {

class IspProgrammer;

// The HEX file of one image kind. It remembers the last non-empty path it was asked to open,
// whether or not that open succeeded, because the settings file saves it and the file watcher
// reloads from it. After a successful open the file stays open (read-only, shared with other
// readers and writers) until the next open of the same kind or the object's end.
class HexFile {
  public:
    HexFile() = default;
    HexFile(const HexFile&) = delete;
    HexFile& operator=(const HexFile&) = delete;
    HexFile(HexFile&&) = default;
    HexFile& operator=(HexFile&&) = default;

    // Closes the file held from before, remembers `path` and opens it for reading in text
    // mode. An empty path changes nothing and returns false.
    bool Open(const std::string& path);
    void Close() { file_.reset(); }

    bool IsOpen() const { return file_ != nullptr; }
    std::FILE* Stream() const { return file_.get(); }
    const std::string& Path() const { return path_; }

  private:
    struct Closer {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };

    std::string path_;
    std::unique_ptr<std::FILE, Closer> file_;
};

// Results of the loaders besides the reader's own (0, or the number of the first faulty line).
inline constexpr int kHexLoadOpenFailed = -1;  // the image and its length are unchanged
inline constexpr int kHexLoadNoPath = -2;      // empty path: nothing was done

// Each does nothing for an empty path. Otherwise it closes the kind's file, opens `path` and,
// only if that succeeded, fills the image with 0xFF and reads the file into it, raising the
// image's loaded length. A file that cannot be opened or holds a faulty line is reported in the
// engine's log; the bytes stored before the faulty line stay in the image.
int LoadFlashImage(IspProgrammer& programmer, HexFile& file, const std::string& path);
int LoadEepromImage(IspProgrammer& programmer, HexFile& file, const std::string& path);

}  // namespace velkor
