// Reading a small file whole, and replacing a file's contents so that a crash, a full disk or
// a failed write leaves either the old file or the new one, never a truncated mix.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>
#include <string_view>

namespace velkor {

// The system calls whose failure the replacement must survive; tests substitute failing ones.
class FileOps {
  public:
    virtual ~FileOps() = default;
    virtual ssize_t Write(int fd, const void* data, std::size_t size);
    virtual int Fsync(int fd);
    virtual int Rename(const char* from, const char* to);
};

// The real system calls.
FileOps& SystemFileOps();

enum class FileReadStatus {
    kRead,
    kMissing,     // no such file
    kFailed,      // it exists (or may) but could not be read; `error` says why
    kNotRegular,  // a directory, a device, a pipe: never read
    kTooLarge,    // more bytes than the caller's bound
};

// velkor.ini is a few kilobytes; anything near this is not a settings file.
inline constexpr std::size_t kMaxSettingsFileBytes = 1024 * 1024;
// The largest chip's flash as Intel HEX text, with generous room for comments and long lines.
inline constexpr std::size_t kMaxHexFileBytes = 8 * 1024 * 1024;

// Reads a regular file of at most `maxBytes` bytes whole. Anything else (a directory, a device
// such as /dev/zero, a pipe; a file larger than the bound) is refused with `error` saying why,
// before more than `maxBytes` bytes are kept, so it takes bounded time and memory.
FileReadStatus ReadWholeFile(const std::string& path, std::string& bytes, std::string& error,
                             std::size_t maxBytes = kMaxSettingsFileBytes);

// Where a replacement of `path` writes: `path` itself, or the file its symbolic link points to
// (through a chain of links), also when that file does not exist yet. Only a new name or a
// regular file is ever replaced: a device such as /dev/null, a pipe, a socket or a folder
// would be swapped for a plain file under everyone using it. Returns "" with the name in
// `target`, or a line saying why `path` is left alone.
std::string ReplaceableTarget(const std::string& path, std::string& target);

// Whether two paths that may be replaced name the same file: through links, and however each
// is spelled ("x", "./x", an absolute name).
bool SameReplaceableTarget(const std::string& a, const std::string& b);

// Writes `bytes` to a new file beside `path`, flushes it to the disk and renames it over
// `path` (over the file a symbolic link points to, keeping the link). An existing file keeps
// its permission bits. After a save, temporaries that earlier saves of `path` left behind
// when their process was killed before the rename are removed (only those of processes that
// no longer run). A `path` that ReplaceableTarget refuses is not touched. On failure the temporary
// file is removed, `path` is untouched, `error` says what failed, and the result is false.
bool ReplaceFileContents(const std::string& path, std::string_view bytes, std::string& error,
                         FileOps& ops = SystemFileOps());

}  // namespace velkor
