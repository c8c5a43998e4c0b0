// libFuzzer target for the settings reader: any bytes as velkor.ini, read into an engine and
// the window's boxes. Whatever the file says, the engine must end with a family and a chip
// row it has; and the profile reader's own round trip must keep every value it finds.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "files/profile_file.h"
#include "files/settings.h"

namespace {

// A file in memory that the reader opens by name, as it would open velkor.ini.
struct MemoryFile {
    MemoryFile() : fd(memfd_create("velkor.ini", 0)), path("/proc/self/fd/" + std::to_string(fd)) {}
    void Set(const std::uint8_t* data, std::size_t size) {
        if (ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != static_cast<ssize_t>(size)) {
            std::abort();
        }
    }
    int fd;
    std::string path;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static MemoryFile file;
    file.Set(data, size);
    const velkor::SettingsRead read = velkor::ReadSettings(file.path);
    if (!read.values.programmer.ChipIndexValid()) std::abort();

    // The profile reader on its own: a round trip keeps every value it finds.
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const velkor::ProfileDocument doc = velkor::ProfileDocument::FromGbk(bytes);
    const velkor::ProfileDocument again = velkor::ProfileDocument::FromGbk(doc.ToGbk());
    for (const char* key : {"TYPE", "CHIP", "FUSE0"}) {
        if (doc.Find("DEVICE", key) != again.Find("DEVICE", key)) std::abort();
    }
    if (doc.Find("FLASH", "FILE") != again.Find("FLASH", "FILE")) std::abort();
    return 0;
}
